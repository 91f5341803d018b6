#include "retouch/Palette.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "qtshared/WindowFit.h"

TPaletteForm::TPaletteForm(QWidget* owner) : QDialog(owner, Qt::Tool | Qt::WindowStaysOnTopHint), Colors(this) {
    setWindowTitle(QStringLiteral("Palette"));
    auto* group = new QGroupBox(QStringLiteral("Color option"));
    Colors.ColorShape->setFixedSize(28, 56);
    auto* channels = new QGridLayout;
    channels->setHorizontalSpacing(4);
    const char* names[] = {"R:", "G:", "B:"};
    QScrollBar* bars[] = {Colors.RScrollBar, Colors.GScrollBar, Colors.BScrollBar};
    QLabel* values[] = {Colors.RLabel, Colors.GLabel, Colors.BLabel};
    for (int i = 0; i < 3; ++i) {
        channels->addWidget(new QLabel(QString::fromLatin1(names[i])), i, 0);
        bars[i]->setMinimumWidth(80);
        channels->addWidget(bars[i], i, 1);
        channels->addWidget(values[i], i, 2);
    }
    // All 16 cells in full, four by four.
    Colors.ColorGrid->setFixedSize(64, 64);
    auto* colours = new QHBoxLayout(group);
    colours->setContentsMargins(8, 4, 6, 6);
    colours->addWidget(Colors.ColorShape);
    colours->addLayout(channels, 1);
    colours->addWidget(Colors.ColorGrid);

    OKButton = new QPushButton(QStringLiteral("&OK"));
    OKButton->setToolTip(QStringLiteral("OK"));
    CancelButton = new QPushButton(QStringLiteral("&Cancel"));
    CancelButton->setToolTip(QStringLiteral("Cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {OKButton, CancelButton}) {
        button->setMinimumSize(75, 25);
        buttons->addWidget(button);
    }
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 5);
    layout->setSpacing(4);
    layout->addWidget(group);
    layout->addLayout(buttons);
    // 242 x 128 while everything fits in it, larger with a larger font.
    setFixedSize(FittedSize({242, 128}, *this));
    PlaceOnFirstShow(*this, Opening::ScreenCentre);

    connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
}

void TPaletteForm::OKButtonClick() {
    hide();
    if (OnOk) OnOk(Colors.CurrentColor());
}

void TPaletteForm::CancelButtonClick() { hide(); }
