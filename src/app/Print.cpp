#include "Print.h"

#include <QFrame>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

namespace {
// A small outlined page standing beside its radio button.
void PageSymbol(QWidget* parent, int x, int y, int w, int h) {
    auto* shape = new QFrame(parent);
    shape->setGeometry(x, y, w, h);
    shape->setFrameShape(QFrame::Box);
    shape->setStyleSheet(QStringLiteral("background: white; border: 1px solid black;"));
}
}  // namespace

TPrintForm::TPrintForm(QWidget* owner) : QDialog(owner, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Print"));
    setFixedSize(177, 128);
    auto* group = new QGroupBox(QStringLiteral("Printer options"), this);
    group->setGeometry(8, 8, 161, 81);
    RadioButton2 = new QRadioButton(QStringLiteral("&Landscape"), group);
    RadioButton2->setGeometry(24, 24, 81, 17);
    RadioButton2->setChecked(true);
    PortraitRadioButton = new QRadioButton(QStringLiteral("&Portrait"), group);
    PortraitRadioButton->setGeometry(24, 56, 81, 17);
    PageSymbol(group, 112, 24, 25, 17);
    PageSymbol(group, 112, 48, 17, 25);
    Button1 = new QPushButton(QStringLiteral("&OK"), this);
    Button1->setGeometry(8, 96, 75, 25);
    Button1->setToolTip(QStringLiteral("OK"));
    Button2 = new QPushButton(QStringLiteral("&Cancel"), this);
    Button2->setGeometry(96, 96, 75, 25);
    Button2->setToolTip(QStringLiteral("Cancel"));
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

void TPrintForm::Button1Click() {
    const auto orientation = PortraitRadioButton->isChecked() ? QPageLayout::Portrait : QPageLayout::Landscape;
    if (!OnPrint || OnPrint(orientation)) hide();
}

void TPrintForm::Button2Click() { hide(); }
