// The session state, the triplets, the steps between the TWAIN states, and the source's
// events with the native transfers they start.
#include "twain/TwainSession.h"

#include <cstdio>
#include <cstring>

#include "twain/TwainManager.h"

namespace twain {

TwainState SessionState = PreSession;
TW_UINT16 LastReturnCode = 0;
bool FirstFailureNoted = false;
TW_HANDLE ResultHandle = nullptr;
TTwainUserInterface* Ui = nullptr;
bool Manager2 = false;
std::optional<TW_IDENTITY> PickedSource;
std::atomic<TW_UINT16> CallbackMessage{MSG_NULL};

namespace {
TW_IDENTITY MakeAppIdentity() {
    TW_IDENTITY identity{};
    identity.Id = 0;  // the manager assigns it
    identity.Version.MajorNum = 1;
    identity.Version.MinorNum = 0;
    identity.Version.Language = TWLG_USA;
    identity.Version.Country = TWCY_USA;
    std::strcpy(identity.Version.Info, "<?>");
    identity.ProtocolMajor = TWON_PROTOCOLMAJOR;
    identity.ProtocolMinor = TWON_PROTOCOLMINOR;
    identity.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_APP2;
    std::strcpy(identity.Manufacturer, "<?>");
    std::strcpy(identity.ProductFamily, "<?>");
    std::strcpy(identity.ProductName, "<?>");
    return identity;
}

TW_IDENTITY AppIdentity = MakeAppIdentity();
// The open source as the manager filled it in; kept from one session to the next.
TW_IDENTITY SourceIdentity{};
// The window given to MSG_OPENDSM; the manager keeps a pointer to it while open.
TWindowHandle ParentHandle = 0;
TW_USERINTERFACE UserInterface{};
TW_PENDINGXFERS PendingTransfers{};

bool Call(pTW_IDENTITY destination, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    const DSMENTRYPROC entry = ManagerEntry();
    LastReturnCode = entry ? entry(&AppIdentity, destination, dg, dat, msg, data) : TWRC_FAILURE;
    return LastReturnCode == TWRC_SUCCESS;
}

// A 2.x manager passes the source's messages on through this callback, on whatever thread
// the source sends them from. Only the message is kept; the loop acts on it.
TW_UINT16 SourceCallback(pTW_IDENTITY, pTW_IDENTITY, TW_UINT32, TW_UINT16, TW_UINT16 msg, TW_MEMREF) {
    if (msg == MSG_XFERREADY || msg == MSG_CLOSEDSREQ) {
        CallbackMessage = msg;
        WakeModalLoop();
    }
    return TWRC_SUCCESS;
}

// Registers the callback with the open source: DAT_CALLBACK2 where the manager knows it,
// DAT_CALLBACK otherwise. When neither is taken the loop goes on polling.
void RegisterCallback() {
    auto* procedure = reinterpret_cast<TW_MEMREF>(&SourceCallback);
    TW_CALLBACK2 callback2{procedure, 0, 0};
    if (CallSource(DG_CONTROL, DAT_CALLBACK2, MSG_REGISTER_CALLBACK, &callback2)) return;
    TW_CALLBACK callback{procedure, 0, 0};
    CallSource(DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &callback);
}

// Transfer ready while the source has more transfers pending, else source enabled.
void SetStateFromPending() { SessionState = PendingTransfers.Count != 0 ? TransferReady : SourceEnabled; }
}  // namespace

bool CallManager(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    return Call(nullptr, dg, dat, msg, data);
}

bool CallSource(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    CheckState(SessionState >= SourceOpen);
    return Call(&SourceIdentity, dg, dat, msg, data);
}

bool BindManager() {
    if (SessionState >= ManagerLoaded) return true;
    if (LoadManagerLibrary()) SessionState = ManagerLoaded;
    return SessionState >= ManagerLoaded;
}

bool DoOpenDSM(TWindowHandle window) {
    if (!BindManager()) return false;
    if (SessionState == ManagerLoaded) {
        ParentHandle = window;
        // The manager marks the identity DF_DSM2 when it speaks TWAIN 2; a mark left by an
        // earlier manager must not count.
        AppIdentity.SupportedGroups &= ~DF_DSM2;
        if (CallManager(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &ParentHandle)) {
            SessionState = ManagerOpen;
            Manager2 = (AppIdentity.SupportedGroups & DF_DSM2) != 0;
            TW_ENTRYPOINT entryPoint{};
            entryPoint.Size = sizeof entryPoint;
            if (Manager2 && CallManager(DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &entryPoint)) UseManagerMemory(entryPoint);
        }
    }
    return SessionState >= ManagerOpen;
}

bool DoOpenDS() {
    if (SessionState == ManagerOpen) {
        if (PickedSource) {
            // The identity as the manager listed it, Id and all: the Id tells the manager
            // which source is meant where two share a product name.
            SourceIdentity = *PickedSource;
        } else {
            // An empty name and Id 0 ask the manager for its default source.
            SourceIdentity.Id = 0;
            SourceIdentity.ProductName[0] = '\0';
        }
        if (CallManager(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &SourceIdentity)) {
            SessionState = SourceOpen;
            if (Manager2) RegisterCallback();
        } else {
            NoteError();
        }
    }
    return SessionState >= SourceOpen;
}

bool DoEnableDS(TWindowHandle window) {
    if (SessionState == SourceOpen) {
        UserInterface.ShowUI = TW_TRUE;  // the source always shows its own dialog
        UserInterface.hParent = reinterpret_cast<TW_HANDLE>(window);
        CallbackMessage = MSG_NULL;  // nothing from an earlier session counts
        CallSource(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &UserInterface);
        // TWRC_CHECKSTATUS (the source changed ShowUI or ModalUI) is a success as well.
        if (LastReturnCode == TWRC_FAILURE)
            NoteError();
        else
            SessionState = SourceEnabled;
    }
    return SessionState >= SourceEnabled;
}

bool DoDisableDS() {
    if (SessionState == SourceEnabled && CallSource(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &UserInterface))
        SessionState = SourceOpen;
    return SessionState <= SourceOpen;
}

// A transfer left open because MSG_ENDXFER or MSG_RESET failed would hold the session in
// state 7 or 6 for good, and the next acquisition's loop would never end. Each is asked once
// more on the way out.
bool DoEndTransfers() {
    if (SessionState == Transferring && CallSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &PendingTransfers))
        SetStateFromPending();
    if (SessionState == TransferReady && CallSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &PendingTransfers))
        SessionState = SourceEnabled;
    return SessionState <= SourceEnabled;
}

bool DoCloseDS() {
    LastReturnCode = 0;
    if (SessionState == SourceEnabled) DoDisableDS();
    if (SessionState == SourceOpen && CallManager(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &SourceIdentity))
        SessionState = ManagerOpen;
    return SessionState <= ManagerOpen;
}

bool DoCloseDSM(TWindowHandle window) {
    LastReturnCode = 0;
    DoCloseDS();
    if (SessionState <= ManagerOpen) {
        // In state 2 the manager is not open and refuses; nothing changes then.
        TWindowHandle parent = window;
        if (CallManager(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent) && SessionState == ManagerOpen)
            SessionState = ManagerLoaded;
    }
    return SessionState <= ManagerLoaded;
}

void UnbindManager() {
    if (SessionState != ManagerLoaded) return;
    UnloadManagerLibrary();
    SessionState = PreSession;
}

void NoteError() {
    if (FirstFailureNoted) return;
    FirstFailureNoted = true;
    // The condition code is asked for as the protocol expects, though every report shows
    // the same fixed text.
    TW_STATUS status{};
    if (SessionState >= SourceOpen)
        CallSource(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
    else if (SessionState == ManagerOpen)
        CallManager(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
}

void CheckState(bool condition) {
    if (!condition) TWAIN_ShowError("Assertion failed");
}

bool RouteEvent(TTickMessage& message) {
    if (SessionState < SourceEnabled) return false;
    TW_EVENT event{&message, MSG_NULL};
    CallSource(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
    const bool taken = LastReturnCode == TWRC_DSEVENT;
    ActOnSourceMessage(event.TWMessage);
    return taken;
}

void ActOnSourceMessage(TW_UINT16 message) {
    switch (message) {
        case MSG_XFERREADY:
            SessionState = TransferReady;
            TransferNativeImages();
            break;
        case MSG_CLOSEDSREQ:
            DoEndTransfers();  // only after a failed MSG_ENDXFER or MSG_RESET
            DoDisableDS();
            break;
        default: break;
    }
}

void TransferNativeImages() {
    CheckState(SessionState == TransferReady);
    bool failed = false;
    do {
        TW_HANDLE handle = nullptr;  // pointer-sized on Linux
        CallSource(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
        if (LastReturnCode != TWRC_XFERDONE) ResultHandle = nullptr;
        switch (LastReturnCode) {
            case TWRC_XFERDONE:
                SessionState = Transferring;
                // A source that claims a transfer without a block has delivered nothing.
                ResultHandle = handle ? KeepImage(handle) : nullptr;
                break;
            case TWRC_CANCEL: SessionState = Transferring; break;
            default:
                failed = true;  // the state stays 6
                break;
        }
        CheckState(SessionState >= TransferReady);
        if (!failed) {
            if (CallSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &PendingTransfers))
                SetStateFromPending();  // 0xFFFF, "unknown", counts as more to come
        } else if (CallSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &PendingTransfers)) {
            SessionState = SourceEnabled;
        }
    } while (SessionState == TransferReady && !failed);
}

}  // namespace twain

void TWAIN_SetUserInterface(TTwainUserInterface* ui) { twain::Ui = ui; }

void TWAIN_ShowError(const std::string& text) {
    if (twain::Ui)
        twain::Ui->Warning("TWAIN Error", text);
    else
        std::fprintf(stderr, "TWAIN Error: %s\n", text.c_str());
}

void TWAIN_ReportLastError() { TWAIN_ShowError("TWAIN_ReportLastError: an error occurred"); }

TwainState TWAIN_SessionState() { return twain::SessionState; }
