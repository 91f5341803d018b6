#include "batch/SignalCleanup.h"

#include <unistd.h>

#include <csignal>

#include "image/AtomicWrite.h"

namespace {
// Only async-signal-safe calls: the names sit in a fixed table, unlink and raise are safe.
void RemoveAndDie(int signal) {
    UnlinkTemporaryFilesInProgress();
    // SA_RESETHAND has put the default action back: raising again ends the process by this signal.
    ::raise(signal);
}
}  // namespace

void RemoveTemporaryFileOnSignals() {
    struct sigaction action {};
    action.sa_handler = RemoveAndDie;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal ignored when we started (nohup, a background job's SIGINT) stays ignored.
        struct sigaction previous {};
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}
