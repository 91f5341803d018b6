#include "retouch/ColorControls.h"

#include <QLabel>
#include <QScrollBar>

namespace {
QScrollBar* ChannelBar(QWidget* parent, const char* hint) {
    auto* bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setFocusPolicy(Qt::StrongFocus);  // the arrow keys and Page Up/Down set it
    bar->setAccessibleName(QString::fromLatin1(hint));
    bar->setRange(0, 255);
    bar->setPageStep(10);
    bar->setToolTip(QString::fromLatin1(hint));
    return bar;
}
}  // namespace

TColorControls::TColorControls(QWidget* parent)
    : RScrollBar(ChannelBar(parent, "Red channel")), GScrollBar(ChannelBar(parent, "Green channel")),
      BScrollBar(ChannelBar(parent, "Blue channel")), RLabel(new QLabel(QStringLiteral("0"), parent)),
      GLabel(new QLabel(QStringLiteral("0"), parent)), BLabel(new QLabel(QStringLiteral("0"), parent)),
      ColorShape(new QFrame(parent)), ColorGrid(new TColorGrid(parent)) {
    ColorShape->setToolTip(QStringLiteral("Current color"));
    ColorShape->setMinimumSize(32, 32);
    ColorShape->setFrameShape(QFrame::Box);
    ColorShape->setAutoFillBackground(true);
    SetSwatch(0);
    for (QLabel* label : {RLabel, GLabel, BLabel}) label->setMinimumWidth(24);
    const std::pair<QScrollBar*, QLabel*> pairs[] = {{RScrollBar, RLabel}, {GScrollBar, GLabel}, {BScrollBar, BLabel}};
    for (auto [bar, label] : pairs)
        QObject::connect(bar, &QScrollBar::valueChanged, bar,
                         [this, bar = bar, label = label] { ScrollBarChange(bar, label); });
    ColorGrid->OnChange = [this] { ColorGridChange(); };
}

PackedColor TColorControls::CurrentColor() const {
    return PackColor(std::uint8_t(RScrollBar->value()), std::uint8_t(GScrollBar->value()),
                     std::uint8_t(BScrollBar->value()));
}

void TColorControls::SetColor(PackedColor color) {
    RScrollBar->setValue(RedOf(color));
    GScrollBar->setValue(GreenOf(color));
    BScrollBar->setValue(BlueOf(color));
}

void TColorControls::ScrollBarChange(QScrollBar* bar, QLabel* label) {
    SetSwatch(CurrentColor());
    label->setText(QString::number(bar->value()));
}

void TColorControls::SetSwatch(PackedColor c) {
    QPalette palette = ColorShape->palette();
    palette.setColor(QPalette::Window, QColor(RedOf(c), GreenOf(c), BlueOf(c)));
    ColorShape->setPalette(palette);
}

PackedColor TColorControls::SwatchColor() const {
    const QColor c = ColorShape->palette().color(QPalette::Window);
    return PackColor(std::uint8_t(c.red()), std::uint8_t(c.green()), std::uint8_t(c.blue()));
}

void TColorControls::ColorGridChange() { SetColor(ColorGrid->ForegroundColor()); }
