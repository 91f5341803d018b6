#include "app/Print.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "qtshared/WindowFit.h"

namespace {
// A small outlined page standing beside its radio button.
QFrame* PageSymbol(int w, int h) {
    auto* shape = new QFrame;
    shape->setFixedSize(w, h);
    shape->setFrameShape(QFrame::Box);
    shape->setStyleSheet(QStringLiteral("background: white; border: 1px solid black;"));
    return shape;
}

QPushButton* DialogButton(const char* caption, const char* hint) {
    auto* button = new QPushButton(QString::fromLatin1(caption));
    button->setToolTip(QString::fromLatin1(hint));
    button->setMinimumSize(75, 25);
    return button;
}
}  // namespace

TPrintForm::TPrintForm(QWidget* owner) : QDialog(owner, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Print"));
    auto* group = new QGroupBox(QStringLiteral("Printer options"));
    RadioButton2 = new QRadioButton(QStringLiteral("&Landscape"));
    RadioButton2->setChecked(true);
    PortraitRadioButton = new QRadioButton(QStringLiteral("&Portrait"));
    auto* options = new QGridLayout(group);
    options->setContentsMargins(16, 8, 16, 8);
    options->setHorizontalSpacing(12);
    options->addWidget(RadioButton2, 0, 0);
    options->addWidget(PageSymbol(25, 17), 0, 1, Qt::AlignCenter);
    options->addWidget(PortraitRadioButton, 1, 0);
    options->addWidget(PageSymbol(17, 25), 1, 1, Qt::AlignCenter);

    Button1 = DialogButton("&OK", "OK");
    Button2 = DialogButton("&Cancel", "Cancel");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(group);
    layout->addLayout(buttons);
    // 177 x 128 while the captions fit in it, larger with a larger font.
    setFixedSize(FittedSize({177, 128}, *this));
    PlaceOnFirstShow(*this, Opening::ScreenCentre);

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

void TPrintForm::Button1Click() {
    const auto orientation = PortraitRadioButton->isChecked() ? QPageLayout::Portrait : QPageLayout::Landscape;
    if (!OnPrint || OnPrint(orientation)) hide();
}

void TPrintForm::Button2Click() { hide(); }
