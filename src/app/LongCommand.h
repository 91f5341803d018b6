#pragma once
// Long commands: the work runs on a worker thread while the windows keep repainting; after
// a short while a modal progress dialog with Cancel shows. The core sees only a plain
// progress callback.
#include <functional>

#include "image/Progress.h"

class QWidget;

struct TLongCommandOptions {
    // How long the work may run before the progress dialog shows, in milliseconds, unless its
    // progress says it is about to end; with 0 or less it shows before the work starts.
    int DialogDelay = 500;
    // Called with the dialog once it shows (tests press Cancel through it).
    std::function<void(QWidget& dialog)> OnDialogShown;
    // The window whose close box ends the program. Closed while a command runs, it cancels the
    // command; once that has stopped, OnExitRequested runs (the main window asks as Exit does).
    const QWidget* ExitWindow = nullptr;
    std::function<void()> OnExitRequested;
};

// Runs `work` with a progress callback that answers false once the user has cancelled, and
// returns when it ends. Rethrows whatever `work` threw; throws ECancelled after a cancel even
// when the work finished without noticing it. Until it
// returns, keyboard and mouse input reaches only the progress dialog, so that no other
// command can start meanwhile.
void RunLongCommand(QWidget* parent, const TLongCommandOptions& options,
                    const std::function<void(const ProgressCallback&)>& work);
