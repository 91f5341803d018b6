#include "app/LongCommand.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <exception>
#include <memory>
#include <thread>

#include "app/View.h"

namespace {
// Swallows user input everywhere but in the progress dialog, once there is one, while a
// command runs; paint, timer and layout events go on. Input from the window system reaches a
// window (QWindow) before its widgets, so the dialog's own window must pass too, or a click,
// Escape or its close box would never reach the dialog.
class TInputBlocker : public QObject {
public:
    explicit TInputBlocker(const QWidget* exitWindow) : exitWindow_(exitWindow) { qApp->installEventFilter(this); }
    ~TInputBlocker() override { qApp->removeEventFilter(this); }
    void Allow(const QWidget* widget) { allowed_ = widget; }
    // Called when the window whose closing ends the program is closed meanwhile.
    std::function<void()> OnExitWindowClosed;

protected:
    bool eventFilter(QObject* target, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::Shortcut:
            case QEvent::ShortcutOverride:
            case QEvent::Wheel:
            case QEvent::ContextMenu:
            case QEvent::Drop:
            case QEvent::Close: {
                if (IsAllowed(target)) return false;
                if (event->type() == QEvent::Close) {
                    event->ignore();
                    if (IsExitWindow(target) && OnExitWindowClosed) OnExitWindowClosed();
                }
                return true;
            }
            default: return false;
        }
    }

private:
    bool IsAllowed(const QObject* target) const {
        if (!allowed_) return false;
        if (const auto* window = qobject_cast<const QWindow*>(target)) return window == allowed_->windowHandle();
        // The dialog's widgets, and its objects such as the Escape shortcut.
        for (const QObject* object = target; object; object = object->parent())
            if (object == allowed_) return true;
        return false;
    }
    bool IsExitWindow(const QObject* target) const {
        if (!exitWindow_) return false;
        if (const auto* window = qobject_cast<const QWindow*>(target)) return window == exitWindow_->windowHandle();
        return target == exitWindow_;
    }

    const QWidget* exitWindow_;
    const QWidget* allowed_ = nullptr;
};
}  // namespace

void RunLongCommand(QWidget* parent, const TLongCommandOptions& options,
                    const std::function<void(const ProgressCallback&)>& work) {
    // The worker only stores numbers; the dialog reads them on the window's own thread.
    constexpr int Steps = 1000;
    // Work expected to end sooner than this, in milliseconds, gets no dialog.
    constexpr qint64 RemainingWorthADialog = 300;
    std::atomic<int> permille{0};
    std::atomic<bool> cancelled{false};
    const ProgressCallback progress{[&](std::int64_t done, std::int64_t total) {
        if (total > 0) permille.store(int(done * Steps / total), std::memory_order_relaxed);
        return !cancelled.load(std::memory_order_relaxed);
    }};

    // The dialog is made only when it is due: most commands end before that, and building it
    // would cost more than a quick command itself.
    std::unique_ptr<QProgressDialog> dialog;
    TInputBlocker blocker(options.ExitWindow);
    bool exitRequested = false;
    const auto cancel = [&] {
        cancelled = true;
        if (dialog) dialog->setLabelText(QStringLiteral("Cancelling..."));
    };
    blocker.OnExitWindowClosed = [&] {
        exitRequested = true;
        cancel();
    };
    const auto showDialog = [&] {
        dialog = std::make_unique<QProgressDialog>(QStringLiteral("Working..."), QStringLiteral("&Cancel"), 0, Steps,
                                                   parent);
        dialog->setWindowTitle(QStringLiteral("Corvalux"));
        dialog->setFont(WindowFont());
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->setAutoReset(false);
        dialog->setAutoClose(false);
        dialog->setMinimumDuration(0);
        dialog->setValue(permille.load(std::memory_order_relaxed));
        // Cancel, the close box and Escape (which rejects the dialog) all stop the work.
        QObject::connect(dialog.get(), &QProgressDialog::canceled, cancel);
        QObject::connect(dialog.get(), &QDialog::rejected, cancel);
        blocker.Allow(dialog.get());
        dialog->show();
        if (options.OnDialogShown) options.OnDialogShown(*dialog);
    };
    // Shown once the delay has passed, unless the work's own progress says it is nearly done:
    // a window that flashes up for a few milliseconds tells the user nothing.
    QElapsedTimer clock;
    clock.start();
    const auto dialogDue = [&] {
        if (clock.elapsed() < options.DialogDelay) return false;
        const int done = permille.load(std::memory_order_relaxed);
        return done <= 0 || clock.elapsed() * (Steps - done) / done >= RemainingWorthADialog;
    };

    QEventLoop loop;
    // Without a delay the dialog is up before the work starts, however short the work is.
    if (options.DialogDelay <= 0) showDialog();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!dialog && dialogDue()) showDialog();
        if (dialog) dialog->setValue(permille.load(std::memory_order_relaxed));
    });
    tick.start(50);

    std::exception_ptr failure;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        try {
            work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
        finished = true;
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    // The loop also ends early when the program is told to exit: the work is then cancelled.
    const bool stopped = cancelled || !finished;
    cancelled = true;
    worker.join();
    // Asked once the command has stopped and its dialog is gone, as the Exit command asks.
    if (exitRequested && options.OnExitRequested) QTimer::singleShot(0, options.OnExitRequested);
    if (failure) std::rethrow_exception(failure);
    // Work that never asks its callback still ends in a cancel once the user has pressed it.
    if (stopped) throw ECancelled();
}
