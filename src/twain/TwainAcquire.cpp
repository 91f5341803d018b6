// Source selection and acquisition: the proxy window, the session from state 1 up and back
// down, and the loop that keeps the program live while the source's dialog is up.
#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <utility>

#include "twain/TwainManager.h"
#include "twain/TwainSession.h"
#include "twain/TwainSourceList.h"

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
// top-level window titled "Acquire Proxy". It counts as shown, so that dialogs take it as
// their owner, but never appears on the screen: an empty window over the program would only
// be in the way. It sits at the screen's centre, where dialogs over it then open.
std::unique_ptr<QWidget> CreateProxyWindow() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return nullptr;
    auto proxy = std::make_unique<QWidget>(nullptr, Qt::Window);
    proxy->setWindowTitle(QStringLiteral("Acquire Proxy"));
    proxy->setAttribute(Qt::WA_DontShowOnScreen);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        proxy->setGeometry(QRect(screen->availableGeometry().center(), QSize(1, 1)));
    proxy->show();
    return proxy;
}

// One pass of the event loop: events are processed as they come until the pass's time is
// up, or the manager's callback wakes it. It runs as a loop of its own so that a quit
// request (QCoreApplication::quit or exit) ends it; false then. Qt hands that request to
// every running loop, so the program's own loop ends as well once the acquisition has
// closed down.
struct TPass {
    QEventLoop Loop;
    bool Ended = false;
};
TPass* CurrentPass = nullptr;

// Ends the pass running now, if any.
void EndPass() {
    if (!CurrentPass) return;
    CurrentPass->Ended = true;
    CurrentPass->Loop.exit(0);
}

bool ProcessEventsOnce() {
    TPass pass;
    TPass* const outer = std::exchange(CurrentPass, &pass);
    QTimer::singleShot(CallbackMessage != MSG_NULL ? 0 : PassMilliseconds, &pass.Loop, [&pass] {
        pass.Ended = true;
        pass.Loop.exit(0);
    });
    pass.Loop.exec();
    CurrentPass = outer;
    return pass.Ended;
}

// Runs until the acquisition has an image, the source is disabled, or the program quits.
// A message the callback brought is acted on; otherwise the source is offered its tick, as
// a 1.x manager expects and as the fallback when a callback never comes.
void RunModalLoop(TWindowHandle window) {
    TTickMessage tick{window, 0};
    while (SessionState >= SourceEnabled && ResultHandle == nullptr && ProcessEventsOnce()) {
        if (const TW_UINT16 message = CallbackMessage.exchange(MSG_NULL); message != MSG_NULL)
            ActOnSourceMessage(message);
        else
            RouteEvent(tick);
    }
}

std::string OpenFailure() { return "Unable to open Source Manager (" + ManagerName() + ")"; }

// The condition code of the manager's last failure.
TW_UINT16 ManagerCondition() {
    TW_STATUS status{};
    return CallManager(DG_CONTROL, DAT_STATUS, MSG_GET, &status) ? status.ConditionCode : TWCC_BUMMER;
}
}  // namespace

// Posted, so that it is safe from the source's threads; the pass it ends is the one running
// when the event arrives.
void WakeModalLoop() {
    if (QCoreApplication* application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, EndPass, Qt::QueuedConnection);
}
}  // namespace twain

using namespace twain;

namespace {
bool NoSourceFound = false;

// The manager has no selection box: the program's own list, built from the manager's
// sources. The pick is opened by the acquisitions that follow.
bool PickFromList(const TSourceList& list, TWindowHandle window) {
    std::vector<TTwainSourceEntry> entries;
    for (const TW_IDENTITY& source : list.Sources) entries.push_back(SourceEntry(source));
    const std::optional<int> picked = Ui ? Ui->ChooseSource(entries, list.Default, WidgetOf(window)) : std::nullopt;
    NoSourceFound = entries.empty();
    if (!picked || *picked < 0 || *picked >= int(entries.size())) return false;
    PickedSource = list.Sources[std::size_t(*picked)];
    return true;
}
}  // namespace

bool TWAIN_NoSourceFound() { return NoSourceFound; }

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
    PickedSource.reset();
    NoSourceFound = false;
    bool chosen = false;
    if (!BindManager()) {
        TWAIN_ShowError(ManagerLoadFailure());
    } else {
        if (!DoOpenDSM(window)) {
            TWAIN_ShowError(OpenFailure());
        } else {
            // The manager makes the chosen source its default; its identity is not kept.
            TW_IDENTITY choice{};
            chosen = CallManager(DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &choice);
            std::optional<TSourceList> list;
            if (LastReturnCode == TWRC_FAILURE) {
                // A manager without a selection box says the triplet is not in its protocol;
                // one that has no source at all says so.
                const TW_UINT16 condition = ManagerCondition();
                if (condition == TWCC_BADPROTOCOL) list = ListSources();
                NoSourceFound = condition == TWCC_NODS;
            }
            DoCloseDSM(window);
            if (list) chosen = PickFromList(*list, window);
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
        TWAIN_ShowError(ManagerLoadFailure());
    else if (!DoOpenDSM(window))
        TWAIN_ShowError(OpenFailure());
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
