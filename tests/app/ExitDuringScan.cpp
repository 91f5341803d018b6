// The whole program, run as main() runs it, with a scan in progress whose source shows a
// dialog that refuses to close, as real TWAIN sources do. File > Exit must still end the
// process: ctest's timeout fails the test when the process is left running.
#include <QApplication>
#include <QCloseEvent>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include "FakeManager.h"
#include "FakeUserInterface.h"
#include "app/Forms.h"
#include "app/Program.h"
#include "twain/Twain.h"

namespace {
class TStubbornDialog : public QWidget {
protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

TStubbornDialog* Dialog = nullptr;
bool ScanRunning = false;

// Called by the fake manager at each pass of the acquisition loop: the source's dialog is up.
void ShowSourceDialog(void*) {
    ScanRunning = true;
    if (!Dialog->isVisible()) Dialog->show();
}
}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    TFakeManager fake{FAKE_DSM_PATH};
    // The transfer would come only after minutes: the user leaves before it.
    fake.Run("event 100000 xferready");
    fake.OnEvent(ShowSourceDialog, nullptr);
    TStubbornDialog dialog;
    Dialog = &dialog;
    FakeUserInterface ui;  // answers Yes to "Exit now?"
    const int code = RunProgram(ui, "", [](TForms& forms) {
        TMainForm* main = forms.MainForm.get();
        QTimer::singleShot(0, main, [main] { main->ScanMenuClick(); });
        // Fires inside the acquisition loop, as the user's click on File > Exit would.
        QTimer::singleShot(500, main, [main] { main->ExitMenuClick(); });
    });
    fake.OnEvent(nullptr, nullptr);
    if (!ScanRunning) {
        std::fprintf(stderr, "the scan never reached the source's dialog\n");
        return 1;
    }
    if (TWAIN_SessionState() != PreSession) {
        std::fprintf(stderr, "the session was left in state %d\n", int(TWAIN_SessionState()));
        return 1;
    }
    return code;
}
