#include "Palette.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

TPaletteForm::TPaletteForm(QWidget* owner)
    : QDialog(owner, Qt::Tool | Qt::WindowStaysOnTopHint), Colors(this) {
    setWindowTitle(QStringLiteral("Palette"));
    setFixedSize(242, 128);
    auto* group = new QGroupBox(QStringLiteral("Color option"), this);
    group->setGeometry(4, 2, 234, 92);
    Colors.ColorShape->setParent(group);
    Colors.ColorShape->setGeometry(8, 22, 28, 56);
    const char* names[] = {"R:", "G:", "B:"};
    QScrollBar* bars[] = {Colors.RScrollBar, Colors.GScrollBar, Colors.BScrollBar};
    QLabel* values[] = {Colors.RLabel, Colors.GLabel, Colors.BLabel};
    for (int i = 0; i < 3; ++i) {
        const int y = 20 + i * 22;
        (new QLabel(QString::fromLatin1(names[i]), group))->setGeometry(42, y, 16, 16);
        bars[i]->setParent(group);
        bars[i]->setGeometry(58, y, 92, 16);
        values[i]->setParent(group);
        values[i]->setGeometry(154, y, 26, 16);
    }
    Colors.ColorGrid->setParent(group);
    Colors.ColorGrid->setGeometry(182, 18, 46, 66);
    OKButton = new QPushButton(QStringLiteral("&OK"), this);
    OKButton->setToolTip(QStringLiteral("OK"));
    OKButton->setGeometry(40, 98, 75, 25);
    CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
    CancelButton->setToolTip(QStringLiteral("Cancel"));
    CancelButton->setGeometry(127, 98, 75, 25);
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
}

void TPaletteForm::OKButtonClick() {
    hide();
    if (OnOk) OnOk(Colors.CurrentColor());
}

void TPaletteForm::CancelButtonClick() { hide(); }
