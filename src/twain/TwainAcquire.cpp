// Source selection and acquisition: the proxy window, the session from state 1 up and back
// down, and the loop that keeps the program live while the source's dialog is up.
#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "TwainManager.h"
#include "TwainSession.h"

namespace twain {
namespace {
// How long one pass of the acquisition loop waits for events before the source is offered
// its tick.
constexpr int PassMilliseconds = 50;

QWidget* WidgetOf(TWindowHandle window) { return reinterpret_cast<QWidget*>(window); }
TWindowHandle HandleOf(QWidget* widget) { return reinterpret_cast<TWindowHandle>(widget); }

// A live top-level window of this program. The handle is compared, never dereferenced.
bool IsWindow(TWindowHandle window) {
    if (window == 0 || !QApplication::instance()) return false;
    return QApplication::topLevelWidgets().contains(WidgetOf(window));
}

// The parent of the manager's and the source's dialogs when the caller gives no window: a
// visible, bordered top-level window titled "Acquire Proxy".
std::unique_ptr<QWidget> CreateProxyWindow() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return nullptr;
    auto proxy = std::make_unique<QWidget>(nullptr, Qt::Window);
    proxy->setWindowTitle(QStringLiteral("Acquire Proxy"));
    proxy->show();
    return proxy;
}

// One pass of the event loop: events are processed as they come until the pass's time is
// up. It runs as a loop of its own so that a quit request (QCoreApplication::quit or exit)
// ends it; false then. Qt hands that request to every running loop, so the program's own
// loop ends as well once the acquisition has closed down.
bool ProcessEventsOnce() {
    QEventLoop pass;
    bool passEnded = false;
    QTimer::singleShot(PassMilliseconds, &pass, [&] {
        passEnded = true;
        pass.exit(0);
    });
    pass.exec();
    return passEnded;
}

// Runs until the acquisition has an image, the source is disabled, or the program quits.
void RunModalLoop(TWindowHandle window) {
    TTickMessage tick{window, 0};
    while (SessionState >= 5 && ResultHandle == nullptr && ProcessEventsOnce()) RouteEvent(tick);
}
}  // namespace
}  // namespace twain

using namespace twain;

bool TWAIN_SelectImageSource(TWindowHandle window) {
    std::unique_ptr<QWidget> proxy;
    if (!IsWindow(window)) {
        if (window != 0) {
            TWAIN_ShowError("TWAIN_SelectImageSource: window handle is invalid");
            return false;
        }
        proxy = CreateProxyWindow();
        if (!proxy) {
            TWAIN_ShowError("TWAIN_SelectImageSource: Unable to create proxy window");
            return false;
        }
        window = HandleOf(proxy.get());
    }
    bool chosen = false;
    if (!BindManager()) {
        TWAIN_ShowError("Unable to load Source Manager (TWAIN_32.DLL)");
    } else {
        if (!DoOpenDSM(window)) {
            TWAIN_ShowError("Unable to open Source Manager (TWAIN_32.DLL)");
        } else {
            // The manager makes the chosen source its default; its identity is not kept.
            TW_IDENTITY choice{};
            chosen = CallManager(DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &choice);
            DoCloseDSM(window);
        }
        UnbindManager();
    }
    return chosen;
}

TW_HANDLE TWAIN_AcquireImages(TWindowHandle window) {
    ResultHandle = nullptr;
    FirstFailureNoted = false;
    EmptyImageList();

    std::unique_ptr<QWidget> proxy;
    if (!IsWindow(window)) {
        proxy = CreateProxyWindow();
        window = proxy ? HandleOf(proxy.get()) : 0;
    }
    bool ready = false;
    if (!IsWindow(window))
        TWAIN_ShowError("Unable to create proxy window");
    else if (!BindManager())
        TWAIN_ShowError("Unable to load Source Manager (TWAIN_32.DLL)");
    else if (!DoOpenDSM(window))
        TWAIN_ShowError("Unable to open Source Manager (TWAIN_32.DLL)");
    else if (!DoOpenDS() || !DoEnableDS(window))
        TWAIN_ReportLastError();
    else
        ready = true;

    if (ready) {
        // Only the acquisition window is closed to input; the program's others stay live.
        // A caller's window may be destroyed while the loop dispatches its events.
        const QPointer<QWidget> acquisitionWindow = WidgetOf(window);
        acquisitionWindow->setEnabled(false);
        RunModalLoop(window);
        if (acquisitionWindow) acquisitionWindow->setEnabled(true);
    }
    // Back down to state 1 as far as the manager and source allow.
    DoEndTransfers();
    DoDisableDS();
    DoCloseDS();
    DoCloseDSM(window);
    UnbindManager();
    return ResultHandle;
}
