// The windows without a mouse and through a screen reader: unique mnemonics, every control
// within Tab's reach and named, and the selection made with the arrow keys.
#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QUrl>
#include <fstream>

#include "AppFixture.h"
#include "custom/Custom.h"
#include "geometry/Resize.h"
#include "retouch/Retouch.h"

namespace {
// The letter a caption's single '&' marks, lower case; none for "&&" or no '&'.
QChar Mnemonic(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return {};
}

// Every caption's letter within one menu or window is its own.
void ExpectUnique(const QString& where, const QStringList& captions) {
    std::map<QChar, QString> seen;
    for (const QString& caption : captions) {
        const QChar letter = Mnemonic(caption);
        if (letter.isNull()) continue;
        const auto [at, added] = seen.emplace(letter, caption);
        EXPECT_TRUE(added) << where.toStdString() << ": " << caption.toStdString() << " and "
                           << at->second.toStdString();
    }
}

void ExpectUniqueInMenu(QMenu* menu) {
    QStringList captions;
    for (QAction* action : menu->actions()) {
        captions << action->text();
        if (action->menu()) ExpectUniqueInMenu(action->menu());
    }
    ExpectUnique(menu->title(), captions);
}

QString AccessibleName(QWidget* widget) { return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name); }
}  // namespace

TEST_F(AppTest, MnemonicsAreUniqueAndEveryControlIsReachableAndNamed) {
    Start();
    QStringList bar;
    for (QAction* action : Main().menuBar()->actions()) {
        bar << action->text();
        ExpectUniqueInMenu(action->menu());
    }
    ExpectUnique("menu bar", bar);

    for (QWidget* window : std::initializer_list<QWidget*>{forms->CustomFilterForm.get(), forms->ResizeForm.get(),
                                                           forms->RetouchForm.get(), forms->PrintForm.get(),
                                                           forms->PaletteForm.get(), forms->VideoForm.get()}) {
        QStringList captions;
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) captions << button->text();
        for (QLabel* label : window->findChildren<QLabel*>())
            if (label->buddy()) captions << label->text();
        for (QTabBar* tabs : window->findChildren<QTabBar*>())
            for (int i = 0; i < tabs->count(); ++i) captions << tabs->tabText(i);
        ExpectUnique(window->windowTitle(), captions);
        for (QWidget* control : window->findChildren<QWidget*>()) {
            // A combo box's own line edit and a scroll area's bars are parts of those controls.
            const bool part = qobject_cast<QComboBox*>(control->parent()) ||
                              qobject_cast<QAbstractScrollArea*>(control->parent()->parent());
            const bool input = !part && (qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control) ||
                                         qobject_cast<QAbstractSlider*>(control) || qobject_cast<QComboBox*>(control));
            if (!input) continue;
            EXPECT_TRUE(control->focusPolicy() & Qt::TabFocus) << window->windowTitle().toStdString() << ": "
                                                               << control->metaObject()->className();
            EXPECT_FALSE(AccessibleName(control).isEmpty()) << window->windowTitle().toStdString();
        }
    }
    const struct {
        QWidget* control;
        const char* name;
    } named[] = {
        {forms->CustomFilterForm->GEdit, "Green formula"},
        {forms->ResizeForm->HeightScrollBar, "New height"},
        {forms->RetouchForm->Colors.BScrollBar, "Blue channel"},
        {forms->RetouchForm->OpacityScrollBar, "Opacity of airbrush"},
    };
    for (const auto& n : named) EXPECT_EQ(AccessibleName(n.control), n.name);
}

// The arrow keys move the selection, with Shift its right and bottom edges, by ten with Ctrl,
// never past the picture; a pointer between pixels picks the pixel it is on.
TEST_F(AppTest, TheSelectionFollowsTheArrowKeysAndThePixelUnderThePointer) {
    Start(WriteBmp("start.bmp", TestPicture(100, 60)));
    QWidget* picture = Main().findChild<QScrollArea*>()->widget();
    EXPECT_EQ(AccessibleName(picture), "Picture");
    Main().Selection = {10, 10, 29, 19};
    Main().ReDraw();
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        TRect expected;
    } cases[] = {
        {Qt::Key_Right, Qt::NoModifier, {11, 10, 30, 19}},
        {Qt::Key_Down, Qt::ControlModifier, {11, 20, 30, 29}},
        {Qt::Key_Left, Qt::ShiftModifier, {11, 20, 29, 29}},
        {Qt::Key_Up, Qt::ShiftModifier | Qt::ControlModifier, {11, 20, 29, 21}},  // stays 2 high
        {Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier, {11, 20, 39, 21}},
        {Qt::Key_Up, Qt::ControlModifier, {11, 10, 39, 11}},
        {Qt::Key_Up, Qt::ControlModifier, {11, 0, 39, 1}},  // stops at the top
        {Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier, {11, 0, 49, 1}},
    };
    for (const auto& c : cases) {
        QTest::keyClick(picture, c.key, c.modifiers);
        EXPECT_EQ(Main().Selection, c.expected) << c.key;
    }
    for (int i = 0; i < 12; ++i) QTest::keyClick(picture, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(Main().Selection, (TRect{61, 0, 99, 1}));
    EXPECT_EQ(picture->accessibleDescription().toStdString().find("selection 39 by 2") != std::string::npos, true)
        << picture->accessibleDescription().toStdString();

    for (const auto& [press, release] : {std::pair{QPointF(10.6, 20.7), QPointF(40.5, 50.99)}}) {
        QMouseEvent down(QEvent::MouseButtonPress, press, picture->mapToGlobal(press), Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(picture, &down);
        QMouseEvent up(QEvent::MouseButtonRelease, release, picture->mapToGlobal(release), Qt::LeftButton, {}, {});
        QApplication::sendEvent(picture, &up);
        EXPECT_EQ(Main().Selection, (TRect{10, 20, 40, 50}));
    }
}

// A name that is not UTF-8 opens from the command line and by a drop, by its own bytes.
TEST_F(AppTest, ANameThatIsNotUtf8Opens) {
    const std::string path = WriteBmp("caf\xE9.bmp", TestPicture(40, 30));
    Start(path);
    EXPECT_TRUE(ui.Take().empty());
    EXPECT_EQ(Main().FileName, path);
    Main().FileName.clear();
    QMimeData data;
    data.setUrls({QUrl::fromEncoded("file://" + QByteArray::fromStdString(path).toPercentEncoding("/"))});
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
    // Straight to the window's handler: the application passes drops on only during a drag.
    static_cast<QObject&>(Main()).event(&drop);
    EXPECT_TRUE(ui.Take().empty());
    EXPECT_EQ(Main().FileName, path);
}
