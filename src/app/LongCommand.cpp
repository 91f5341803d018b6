#include "LongCommand.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <exception>
#include <memory>
#include <thread>

#include "View.h"

namespace {
// Swallows user input everywhere but in the progress dialog, once there is one, while a
// command runs; paint, timer and layout events go on.
class TInputBlocker : public QObject {
public:
    TInputBlocker() { qApp->installEventFilter(this); }
    ~TInputBlocker() override { qApp->removeEventFilter(this); }
    void Allow(const QWidget* widget) { allowed_ = widget; }

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
                const auto* widget = qobject_cast<const QWidget*>(target);
                return !(widget && allowed_ && (widget == allowed_ || allowed_->isAncestorOf(widget)));
            }
            default: return false;
        }
    }

private:
    const QWidget* allowed_ = nullptr;
};
}  // namespace

void RunLongCommand(QWidget* parent, const TLongCommandOptions& options,
                    const std::function<void(const ProgressCallback&)>& work) {
    // The worker only stores numbers; the dialog reads them on the window's own thread.
    constexpr int Steps = 1000;
    std::atomic<int> permille{0};
    std::atomic<bool> cancelled{false};
    const ProgressCallback progress{[&](std::int64_t done, std::int64_t total) {
        if (total > 0) permille.store(int(done * Steps / total), std::memory_order_relaxed);
        return !cancelled.load(std::memory_order_relaxed);
    }};

    // The dialog is made only when it is due: most commands end before that, and building it
    // would cost more than a quick command itself.
    std::unique_ptr<QProgressDialog> dialog;
    TInputBlocker blocker;
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
        QObject::connect(dialog.get(), &QProgressDialog::canceled, [&] {
            cancelled = true;
            dialog->setLabelText(QStringLiteral("Cancelling..."));
        });
        blocker.Allow(dialog.get());
        dialog->show();
        if (options.OnDialogShown) options.OnDialogShown(*dialog);
    };

    QEventLoop loop;
    QTimer show;
    show.setSingleShot(true);
    QObject::connect(&show, &QTimer::timeout, showDialog);
    // Without a delay the dialog is up before the work starts, however short the work is.
    if (options.DialogDelay <= 0)
        showDialog();
    else
        show.start(options.DialogDelay);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
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
    if (failure) std::rethrow_exception(failure);
    // Work that never asks its callback still ends in a cancel once the user has pressed it.
    if (stopped) throw ECancelled();
}
