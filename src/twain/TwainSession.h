#pragma once
// Inside the TWAIN layer: the session state and the steps that move it, shared by the
// acquisition and selection code. Each step acts only in the state it names and answers
// whether the state it aims at has been reached.
#include <atomic>
#include <optional>

#include "twain/Twain.h"

namespace twain {

extern TwainState SessionState;
// The TWRC code of the last triplet; TWRC_FAILURE when no manager entry is known.
extern TW_UINT16 LastReturnCode;
// Set by the first NoteError of an acquisition.
extern bool FirstFailureNoted;
// The last completed image of the acquisition; 0 when the latest transfer completed none.
extern TW_HANDLE ResultHandle;
// Where the layer's boxes go.
extern TTwainUserInterface* Ui;
// The open manager speaks TWAIN 2: it set DF_DSM2 in the program's identity at MSG_OPENDSM.
extern bool Manager2;
// The source the user picked from the program's own list, as the manager listed it, opened
// by its Id in place of the manager's default by the acquisitions that follow; none after a
// selection that picked nothing.
extern std::optional<TW_IDENTITY> PickedSource;
// The last message a 2.x manager passed on through the callback, not yet acted on.
extern std::atomic<TW_UINT16> CallbackMessage;

// What a tick of the acquisition loop offers the source where Windows would pass a window
// message. Sources on Linux ignore its contents.
struct TTickMessage {
    TWindowHandle Window;
    TW_UINT32 Message;  // 0, the null message
};

// A triplet to the manager (no destination) or to the open source; true for TWRC_SUCCESS.
bool CallManager(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
bool CallSource(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);

bool BindManager();
bool DoOpenDSM(TWindowHandle window);
bool DoOpenDS();
bool DoEnableDS(TWindowHandle window);
bool DoDisableDS();
bool DoEndTransfers();
bool DoCloseDS();
bool DoCloseDSM(TWindowHandle window);
void UnbindManager();

// Ends the acquisition loop's current wait, so that a message the callback brought is acted
// on at once. Safe from any thread.
void WakeModalLoop();
// Acts on a message of the source: a transfer is ready, or the user closed its dialog.
void ActOnSourceMessage(TW_UINT16 message);
// Offers a tick to the enabled source and acts on what it answers: a transfer is ready, or
// the user closed the source's dialog. True when the source took the message.
bool RouteEvent(TTickMessage& message);
// The native transfers of one batch, entered in state 6.
void TransferNativeImages();
// Appends a completed image to the image list; answers the handle the acquisition now
// reports as its last (the list's last when the list was full and the image released).
TW_HANDLE KeepImage(TW_HANDLE dib);
// Empties the image list, releasing what nobody took.
void EmptyImageList();

// Asks for the condition code of the first failure of an acquisition.
void NoteError();
// An internal consistency check: a false condition shows "Assertion failed" and goes on.
void CheckState(bool condition);

}  // namespace twain
