#include "geometry/Resize.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "qtshared/WindowFit.h"

namespace {
constexpr int MinimumSide = 10, MaximumSide = 2500;

QScrollBar* SizeBar(QWidget* parent, const char* name) {
    auto* bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setFocusPolicy(Qt::StrongFocus);  // the arrow keys and Page Up/Down set it
    bar->setAccessibleName(QString::fromLatin1(name));
    bar->setRange(MinimumSide, MaximumSide);
    bar->setPageStep(100);
    bar->setValue(MinimumSide);
    return bar;
}

const struct {
    const char* caption;
    int width, height;
} StandardSizes[6] = {{"&320 X 240", 320, 240},   {"&640 X 480", 640, 480},   {"&800 X 600", 800, 600},
                      {"&1024 X 768", 1024, 768}, {"11&52 X 864", 1152, 864}, {"1&280 X 1024", 1280, 1024}};
}  // namespace

TResizeForm::TResizeForm(QWidget* owner) : QDialog(owner, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Resize"));

    auto* properties = new QGroupBox(QStringLiteral("Properties"), this);
    WidthLabel = new QLabel(QStringLiteral("0"));
    HeightLabel = new QLabel(QStringLiteral("0"));
    RatioCheckBox = new QCheckBox(QStringLiteral("&Preserve aspect ratio"));
    InterpolationCheckBox = new QCheckBox(QStringLiteral("&Use pseudo interpolation when upsizing"));
    InterpolationCheckBox->setChecked(true);
    WidthScrollBar = SizeBar(this, "New width");
    HeightScrollBar = SizeBar(this, "New height");
    NewWidthLabel = new QLabel(QString::number(MinimumSide));
    NewHeightLabel = new QLabel(QString::number(MinimumSide));
    NewWidthLabel->setMinimumWidth(32);

    auto* grid = new QGridLayout(properties);
    grid->addWidget(new QLabel(QStringLiteral("Width:")), 0, 0);
    grid->addWidget(WidthLabel, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Height:")), 0, 2);
    grid->addWidget(HeightLabel, 0, 3);
    grid->addWidget(RatioCheckBox, 1, 0, 1, 4);
    grid->addWidget(InterpolationCheckBox, 2, 0, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("New width:")), 3, 0);
    grid->addWidget(WidthScrollBar, 3, 1, 1, 2);
    grid->addWidget(NewWidthLabel, 3, 3);
    grid->addWidget(new QLabel(QStringLiteral("New height:")), 4, 0);
    grid->addWidget(HeightScrollBar, 4, 1, 1, 2);
    grid->addWidget(NewHeightLabel, 4, 3);
    grid->addWidget(new QLabel(QStringLiteral("Standard sizes")), 5, 0, 1, 4);
    auto* sizes = new QGridLayout;
    for (int i = 0; i < 6; ++i) {
        StandardButtons[i] = new QPushButton(QString::fromLatin1(StandardSizes[i].caption));
        sizes->addWidget(StandardButtons[i], i / 3, i % 3);
        const int w = StandardSizes[i].width, h = StandardSizes[i].height;
        connect(StandardButtons[i], &QPushButton::clicked, this, [this, w, h] { StandardSizeClick(w, h); });
    }
    grid->addLayout(sizes, 6, 0, 1, 4);

    OKButton = new QPushButton(QStringLiteral("&OK"));
    OKButton->setToolTip(QStringLiteral("OK"));
    CancelButton = new QPushButton(QStringLiteral("&Cancel"));
    CancelButton->setToolTip(QStringLiteral("Cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(properties);
    layout->addLayout(buttons);
    // 362 x 253 while everything fits in it at its natural size, larger with a larger font.
    setFixedSize(FittedSize({362, 253}, *this));
    PlaceOnFirstShow(*this, Opening::ScreenCentre);

    // valueChanged fires only when the position really changes, as the handlers expect.
    connect(WidthScrollBar, &QScrollBar::valueChanged, this, [this] { WidthScrollBarChange(); });
    connect(HeightScrollBar, &QScrollBar::valueChanged, this, [this] { HeightScrollBarChange(); });
    connect(RatioCheckBox, &QCheckBox::clicked, this, [this] { RatioCheckBoxClick(); });
    connect(InterpolationCheckBox, &QCheckBox::clicked, this, [this] { RatioCheckBoxClick(); });
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
}

void TResizeForm::Fill(int width, int height) {
    pictureWidth_ = width;
    WidthLabel->setText(QString::number(width));
    WidthScrollBar->setValue(width);
    pictureHeight_ = height;
    HeightLabel->setText(QString::number(height));
    HeightScrollBar->setValue(height);
    // Showing an open window again brings no show event, but the height maximum must follow
    // the picture just filled in (a turn may have swapped its sides).
    const bool wasOpen = isVisible();
    show();
    raise();
    activateWindow();
    if (wasOpen) FormActivate();
}

void TResizeForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormActivate();
}

void TResizeForm::FormActivate() {
    if (pictureWidth_ <= 0) return;
    // With the ratio kept, the widest proposal gives the highest height.
    const std::int64_t maximum = std::int64_t(pictureHeight_) * WidthScrollBar->maximum() / pictureWidth_;
    if (maximum < HeightScrollBar->minimum()) {
        if (Inform)
            Inform(
                "This picture is too wide to keep its aspect ratio within the size limits: the new height "
                "could be at most " +
                std::to_string(maximum) + " pixels, and the least is " + std::to_string(HeightScrollBar->minimum()) +
                ".");
        return;  // the height bar keeps its previous maximum
    }
    HeightScrollBar->setMaximum(int(std::min<std::int64_t>(maximum, INT32_MAX)));
}

void TResizeForm::WidthScrollBarChange() {
    NewWidthLabel->setText(QString::number(WidthScrollBar->value()));
    if (RatioCheckBox->isChecked() && pictureWidth_ > 0)
        HeightScrollBar->setValue(int(std::int64_t(pictureHeight_) * WidthScrollBar->value() / pictureWidth_));
}

void TResizeForm::HeightScrollBarChange() { NewHeightLabel->setText(QString::number(HeightScrollBar->value())); }

void TResizeForm::RatioCheckBoxClick() {
    if (RatioCheckBox->isChecked()) {
        HeightScrollBar->hide();
        if (pictureWidth_ > 0)
            HeightScrollBar->setValue(int(std::int64_t(pictureHeight_) * WidthScrollBar->value() / pictureWidth_));
    } else {
        HeightScrollBar->show();
    }
}

void TResizeForm::StandardSizeClick(int width, int height) {
    RatioCheckBox->setChecked(false);
    RatioCheckBoxClick();
    WidthScrollBar->setValue(width);
    HeightScrollBar->setValue(height);
}

void TResizeForm::OKButtonClick() {
    const int width = WidthScrollBar->value(), height = HeightScrollBar->value();
    hide();
    if (OnResize) OnResize(width, height, InterpolationCheckBox->isChecked(), pictureWidth_, pictureHeight_);
}

void TResizeForm::CancelButtonClick() { hide(); }
