#include "app/Main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QLayout>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <vector>

#include "app/ClientArea.h"
#include "image/Progress.h"
#include "image/Region.h"
#include "app/Forms.h"
#include "app/Glyphs.h"
#include "app/MenuTable.h"
#include "app/UserInterface.h"
#include "app/View.h"
#include "qtshared/WindowFit.h"

TMainForm::TMainForm(TUserInterface& ui, TForms& forms, const std::string& firstArgument)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      ui_(ui), forms_(forms), clientArea_(new TClientArea(*this, WorkingImage)), scrollArea_(new QScrollArea) {
    ProgramFolder = QCoreApplication::applicationDirPath().toStdString();
    // XDG_PICTURES_DIR set for the program wins over the user's folder settings.
    const char* pictures = std::getenv("XDG_PICTURES_DIR");
    PicturesFolder = pictures && *pictures
                         ? pictures
                         : QStandardPaths::writableLocation(QStandardPaths::PicturesLocation).toStdString();
    setFont(WindowFont());
    setWindowIcon(ProgramGlyph());
    // The client area sits in a scroll area that takes its exact size while that fits the
    // screen, and scrolls beyond; the window follows its size, and the user cannot resize it.
    scrollArea_->setFrameShape(QFrame::NoFrame);
    scrollArea_->setWidgetResizable(false);
    scrollArea_->setWidget(clientArea_);
    clientArea_->Scroller = scrollArea_;
    // What a screen reader says of the picture area: the scroll area and its viewport hold the
    // picture, which describes itself (ShowCaption).
    scrollArea_->setAccessibleName(QStringLiteral("Picture area"));
    scrollArea_->viewport()->setAccessibleName(QStringLiteral("Picture area"));
    clientArea_->setAccessibleName(QStringLiteral("Picture"));
    setCentralWidget(scrollArea_);
    // A compositor ends the connection when a window of fixed size is maximised, since it must
    // then fill the output: on Wayland the window may grow (the view stays its size, the rest
    // is empty) and is brought back to its contents' size by FitWindow.
    layout()->setSizeConstraint(OnWayland() ? QLayout::SetMinimumSize : QLayout::SetFixedSize);
    // The boxes speak for this window unless another window says otherwise.
    if (!ui_.Speaker) ui_.Speaker = this;
    // Its close box during a long command stops the command, then asks as Exit does.
    LongCommands.ExitWindow = this;
    LongCommands.OnExitRequested = [this] { ExitMenuClick(); };
    FormCreate(firstArgument);
}

TMainForm::~TMainForm() {
    if (ui_.Speaker == this) ui_.Speaker = nullptr;
}

void TMainForm::FormCreate(const std::string& firstArgument) {
    setAcceptDrops(true);
    CreateMenus();
    ZoomImage = Bitmap(ZoomAreaWidth, ZoomAreaHeight);
    if (!firstArgument.empty()) {
        // By the name's bytes: one that is not UTF-8 would not survive a QString.
        std::error_code unreadable;
        if (std::filesystem::is_regular_file(firstArgument, unreadable)) {
            OpenNamedFile(firstArgument);
        } else {
            ui_.Information(firstArgument + " does not exist.");
        }
    }
    ReDraw();
}

void TMainForm::CreateMenus() {
    // Narrower items, so that all six menus fit the 260-pixel minimum width instead of the
    // last one hiding behind an overflow button.
    menuBar()->setStyleSheet(QStringLiteral("QMenuBar { spacing: 0px; } QMenuBar::item { padding: 2px 4px; }"));
    QMenu* menu = nullptr;
    std::vector<QMenu*> open;  // the submenus being filled, innermost last
    auto current = [&] { return open.empty() ? menu : open.back(); };
    for (const TMenuEntry& entry : MainMenuEntries()) {
        const QString caption = QString::fromUtf8(entry.Caption);
        switch (entry.Kind) {
            case MenuEntryKind::Menu:
                menu = menuBar()->addMenu(caption);
                open.clear();
                actions_[entry.Name] = menu->menuAction();
                actionGroups_[menu->menuAction()] = entry.Group;
                break;
            case MenuEntryKind::Submenu:
                open.push_back(current()->addMenu(caption));
                actions_[entry.Name] = open.back()->menuAction();
                break;
            case MenuEntryKind::EndSubmenu: open.pop_back(); break;
            case MenuEntryKind::Separator: current()->addSeparator(); break;
            case MenuEntryKind::Item: {
                QAction* action = current()->addAction(caption);
                if (entry.Shortcut) action->setShortcut(QKeySequence(QString::fromLatin1(entry.Shortcut)));
                if (entry.Glyph != Glyph::None) action->setIcon(MenuGlyph(entry.Glyph));
                action->setCheckable(entry.Checkable);
                // The style draws a glyph in place of the check mark: a checkable item shows its tick.
                if (entry.Checkable) action->setIconVisibleInMenu(false);
                if (entry.FilterCommand) {
                    const std::string command = entry.FilterCommand;
                    connect(action, &QAction::triggered, this, [this, command] {
                        const std::set<QWidget*> shown = VisibleWindows();
                        FilterMenuClick(command);
                        TakeFocusBack(shown);
                    });
                } else {
                    const auto handler = entry.Handler;
                    connect(action, &QAction::triggered, this, [this, handler] {
                        const std::set<QWidget*> shown = VisibleWindows();
                        (this->*handler)();
                        TakeFocusBack(shown);
                    });
                }
                actions_[entry.Name] = action;
                actionGroups_[action] = entry.Group;
                break;
            }
        }
    }
    zoomAction_ = actions_.at("ZoomMenu");
    webcamAction_ = actions_.at("WebcameraMenu");
    UpdateActions();
}

std::set<QWidget*> TMainForm::VisibleWindows() {
    std::set<QWidget*> shown;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible()) shown.insert(window);
    return shown;
}

// Without a window manager the keyboard focus falls to the root window when a menu closes, and
// shortcuts such as Ctrl+Z would go nowhere: the window takes it back after a command, unless
// the command brought up a window of its own.
void TMainForm::TakeFocusBack(const std::set<QWidget*>& shownBefore) {
    if (!isVisible() || QApplication::activeModalWidget()) return;
    for (QWidget* window : VisibleWindows())
        if (!shownBefore.contains(window)) return;
    activateWindow();
}

void TMainForm::UpdateActions() {
    for (const auto& [action, group] : actionGroups_)
        action->setEnabled(ownControlsEnabled_ && MenuState.Enabled(group));
    zoomAction_->setChecked(forms_.ZoomForm && forms_.ZoomForm->isVisible());
    webcamAction_->setChecked(forms_.VideoForm && forms_.VideoForm->isVisible());
}

void TMainForm::SetOwnControlsEnabled(bool enabled) {
    ownControlsEnabled_ = enabled;
    menuBar()->setEnabled(enabled);
    centralWidget()->setEnabled(enabled);
    UpdateActions();
}

QAction* TMainForm::Action(const std::string& name) const {
    const auto found = actions_.find(name);
    return found == actions_.end() ? nullptr : found->second;
}

void TMainForm::ReDraw() {
    Selection.Normalize();
    clientArea_->Screen = screenColours_.For(WorkingMetadata);
    clientArea_->ShowPicture(Selection);
    FitWindow();
    ShowCaption();
}

void TMainForm::ReDrawSelection() {
    Selection.Normalize();
    clientArea_->ShowSelection(Selection);
    ShowCaption();
}

void TMainForm::FitWindow() {
    const QSize content = clientArea_->size();
    QSize room = content;
    if (const QScreen* screen = this->screen()) {
        // The screen less the window's frame (known once shown) and its menu bar.
        fittedFrame_ = FrameSize();
        room = UsableArea(*screen).size() - fittedFrame_ - QSize(0, menuBar()->sizeHint().height());
    }
    // A scroll bar across takes height from the view, one down takes width; each can bring
    // the other, hence twice.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scrollArea_);
    bool across = false, down = false;
    for (int i = 0; i < 2; ++i) {
        across = content.width() + (down ? bar : 0) > room.width();
        down = content.height() + (across ? bar : 0) > room.height();
    }
    scrollArea_->setFixedSize(std::min(content.width() + (down ? bar : 0), room.width()),
                              std::min(content.height() + (across ? bar : 0), room.height()));
    if (layout()->sizeConstraint() != QLayout::SetFixedSize && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        resize(minimumSizeHint().expandedTo(layout()->minimumSize()));
}

void TMainForm::ShowCaption() {
    const QString name = FileName.empty() ? QStringLiteral("Unnamed picture") : QString::fromStdString(FileName);
    setWindowTitle(FileName.empty() ? QStringLiteral("Corvalux") : QStringLiteral("Corvalux - ") + name);
    clientArea_->setAccessibleDescription(
        WorkingImage.Empty() ? QStringLiteral("No picture")
                             : QStringLiteral("%1, %2 by %3 pixels, selection %4 by %5")
                                   .arg(name)
                                   .arg(WorkingImage.Width())
                                   .arg(WorkingImage.Height())
                                   .arg(Selection.Width())
                                   .arg(Selection.Height()));
}

const QImage& TMainForm::Canvas() const {
    canvas_ = clientArea_->Compose();
    return canvas_;
}

QSize TMainForm::ClientSize() const { return clientArea_->size(); }

void TMainForm::SelectAll() { Selection = WholePicture(WorkingImage); }

void TMainForm::RunCommand(const std::function<void()>& command, Cursor cursor) {
    if (cursor == Cursor::Busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        command();
    } catch (const ECancelled&) {
        // The user asked for it: nothing to report.
    } catch (const std::bad_alloc&) {
        ui_.Error(ErrorBoxText("Out of memory"));
    } catch (const std::exception& error) {
        ui_.Error(ErrorBoxText(error.what()));
    }
    if (cursor == Cursor::Busy) QApplication::restoreOverrideCursor();
    UpdateActions();
}

QWidget* TMainForm::BoxOwner() { return ui_.Speaker ? ui_.Speaker : this; }

void TMainForm::ExitMenuClick() {
    if (ui_.Confirm("Exit now?")) close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    event->accept();
    if (OnClosed) OnClosed();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FitWindow();
}

// A window manager frames the window only after it is shown, and moves it as it does: from
// then on the frame's size is known, and a fit made without it may leave the window a title
// bar taller than the screen.
void TMainForm::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (isVisible() && FrameSize() != fittedFrame_) FitWindow();
}

QSize TMainForm::FrameSize() const { return isVisible() ? frameGeometry().size() - geometry().size() : QSize(0, 0); }

void TMainForm::AboutMenuClick() {
    forms_.AboutBox->show();
    forms_.AboutBox->raise();
}
