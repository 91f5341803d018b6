#include "Main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMenuBar>
#include <QLayout>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <vector>

#include "ClientArea.h"
#include "Forms.h"
#include "Glyphs.h"
#include "MenuTable.h"
#include "UserInterface.h"
#include "View.h"

TMainForm::TMainForm(TUserInterface& ui, TForms& forms, const std::string& firstArgument)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint),
      ui_(ui),
      forms_(forms),
      clientArea_(new TClientArea(*this)) {
    ProgramFolder = QCoreApplication::applicationDirPath().toStdString();
    PicturesFolder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation).toStdString();
    setFont(WindowFont());
    setWindowIcon(ProgramGlyph());
    setCentralWidget(clientArea_);
    // The window takes exactly the size of its client area; the user cannot resize it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    FormCreate(firstArgument);
}

TMainForm::~TMainForm() = default;

void TMainForm::FormCreate(const std::string& firstArgument) {
    setAcceptDrops(true);
    CreateMenus();
    ZoomImage = Bitmap(ZoomAreaWidth, ZoomAreaHeight);
    if (!firstArgument.empty()) {
        if (QFileInfo(QString::fromStdString(firstArgument)).isFile()) {
            FileName = firstArgument;
            RunCommand([&] { OpenFile(FileName); }, Cursor::Busy);
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
            case MenuEntryKind::EndSubmenu:
                open.pop_back();
                break;
            case MenuEntryKind::Separator:
                current()->addSeparator();
                break;
            case MenuEntryKind::Item: {
                QAction* action = current()->addAction(caption);
                if (entry.Shortcut) action->setShortcut(QKeySequence(QString::fromLatin1(entry.Shortcut)));
                if (entry.Glyph >= 0) action->setIcon(MenuGlyph(entry.Glyph));
                action->setCheckable(entry.Checkable);
                if (entry.FilterCommand) {
                    const std::string command = entry.FilterCommand;
                    connect(action, &QAction::triggered, this, [this, command] { FilterMenuClick(command); });
                } else {
                    const auto handler = entry.Handler;
                    connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
                }
                actions_[entry.Name] = action;
                actionGroups_[action] = entry.Group;
                break;
            }
        }
    }
    UpdateActions();
}

void TMainForm::UpdateActions() {
    for (const auto& [action, group] : actionGroups_) action->setEnabled(MenuState.Enabled(group));
    actions_.at("ZoomMenu")->setChecked(forms_.ZoomForm && forms_.ZoomForm->isVisible());
    actions_.at("WebcameraMenu")->setChecked(forms_.VideoForm && forms_.VideoForm->isVisible());
}

QAction* TMainForm::Action(const std::string& name) const {
    const auto found = actions_.find(name);
    return found == actions_.end() ? nullptr : found->second;
}

void TMainForm::ReDraw() {
    Selection.Normalize();
    clientArea_->SetCanvas(ComposeView(WorkingImage, Selection));
    setWindowTitle(FileName.empty() ? QStringLiteral("Corvalux")
                                    : QStringLiteral("Corvalux - ") + QString::fromStdString(FileName));
}

const QImage& TMainForm::Canvas() const { return clientArea_->Canvas; }

QSize TMainForm::ClientSize() const { return clientArea_->size(); }

void TMainForm::SelectAll() { Selection = {0, 0, WorkingImage.Width() - 1, WorkingImage.Height() - 1}; }

void TMainForm::RunCommand(const std::function<void()>& command, Cursor cursor) {
    if (cursor == Cursor::Busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        command();
    } catch (const std::bad_alloc&) {
        ui_.Error(ErrorBoxText("Out of memory"));
    } catch (const std::exception& error) {
        ui_.Error(ErrorBoxText(error.what()));
    }
    if (cursor == Cursor::Busy) QApplication::restoreOverrideCursor();
    UpdateActions();
}

void TMainForm::ExitMenuClick() {
    if (ui_.Confirm("Exit now?")) close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    event->accept();
    if (OnClosed) OnClosed();
}

void TMainForm::AboutMenuClick() {
    forms_.AboutBox->show();
    forms_.AboutBox->raise();
}

// Commands whose windows come with their own features: until then they are present in the
// menu, follow the enabling rules and do nothing.
