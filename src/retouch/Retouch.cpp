#include "retouch/Retouch.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QPaintEvent>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "image/PictureFile.h"
#include "qtshared/QtPicture.h"
#include "qtshared/ScreenColours.h"
#include "retouch/ToolGlyphs.h"
#include "retouch/Tools.h"
#include "qtshared/WindowFit.h"

// The picture, one screen pixel per picture pixel, passing the mouse to the window.
class TRetouchImage : public QWidget {
public:
    TRetouchImage(TRetouchForm& form, QWidget* parent) : QWidget(parent), form_(form) {
        setCursor(Qt::CrossCursor);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    // Only the part asked for: on a large picture that is what the scroll area shows.
    void paintEvent(QPaintEvent* e) override {
        const QRect part = e->rect();
        const QRect shown = part & QRect(0, 0, form_.Picture().Width(), form_.Picture().Height());
        if (shown.isEmpty()) return;
        QPainter(this).drawImage(shown.topLeft(),
                                 ScreenImage(form_.Picture(), shown, form_.Screen ? &*form_.Screen : nullptr));
    }
    void mousePressEvent(QMouseEvent* e) override {
        const QPoint p = PixelUnder(e->position());
        form_.ImageMouseDown(e->button(), p.x(), p.y());
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        const QPoint p = PixelUnder(e->position());
        form_.ImageMouseMove(p.x(), p.y());
    }
    void mouseReleaseEvent(QMouseEvent* e) override { form_.ImageMouseUp(e->button()); }

private:
    TRetouchForm& form_;
};

namespace {
constexpr int ImageOffset = 8, ControlsWidth = 152, MinimumClientHeight = 453;

QScrollBar* ToolBar(QWidget* parent, const char* hint) {
    auto* bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setFocusPolicy(Qt::StrongFocus);  // the arrow keys and Page Up/Down set it
    bar->setAccessibleName(QString::fromLatin1(hint));
    bar->setRange(1, 20);
    bar->setPageStep(10);
    bar->setValue(10);
    bar->setToolTip(QString::fromLatin1(hint));
    return bar;
}

QRadioButton* ToolButton(const char* caption, const char* hint) {
    auto* button = new QRadioButton(QString::fromLatin1(caption));
    button->setToolTip(QString::fromLatin1(hint));
    return button;
}
}  // namespace

TRetouchForm::TRetouchForm()
    : QDialog(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      Colors(this) {
    setWindowTitle(QStringLiteral("Corvalux - retouch window"));

    // The picture part scrolls when the picture is larger than the screen allows; Reload stays
    // at its top-left corner, over the scrolled picture.
    pictureArea_ = new QScrollArea(this);
    pictureArea_->setFrameShape(QFrame::NoFrame);
    pictureArea_->setBackgroundRole(QPalette::Window);
    ImagePanel = new QWidget;
    Image = new TRetouchImage(*this, ImagePanel);
    Image->move(ImageOffset, ImageOffset);
    pictureArea_->setWidget(ImagePanel);
    ReloadButton = new QPushButton(QStringLiteral("&Reload"), pictureArea_);
    ReloadButton->setToolTip(QStringLiteral("Reload the original image"));
    ReloadButton->move(0, 0);
    ReloadButton->adjustSize();

    controls_ = new QWidget(this);
    auto* group = new QGroupBox(QStringLiteral("Retouch control"));
    auto* eyedropper = new QLabel(QStringLiteral("Right mouse button"));
    eyedropper->setToolTip(QStringLiteral("Eyedropper"));
    eyedropper->setWordWrap(true);
    AirBrushRadioButton = ToolButton("&Airbrush", "Airbrush tool");
    AirBrushRadioButton->setChecked(true);
    LightenRadioButton = ToolButton("&Lighten", "Lighten tool");
    DarkenRadioButton = ToolButton("&Darken", "Darken tool");
    SizeScrollBar = ToolBar(group, "Size of tool");
    OpacityScrollBar = ToolBar(group, "Opacity of airbrush");
    // Each tool with its picture beside it; the eyedropper's says which button picks a colour.
    auto* tools = new QGridLayout(group);
    const struct {
        QLabel*& Icon;
        ToolGlyph Glyph;
        const char* Hint;
        QWidget* Beside;
    } rows[] = {{Image4, ToolGlyph::Eyedropper, "Eyedropper", eyedropper},
                {Image1, ToolGlyph::Airbrush, "Airbrush", AirBrushRadioButton},
                {Image2, ToolGlyph::Lighten, "Lighten", LightenRadioButton},
                {Image3, ToolGlyph::Darken, "Darken", DarkenRadioButton}};
    int row = 0;
    for (const auto& tool : rows) {
        tool.Icon = new QLabel;
        tool.Icon->setPixmap(ToolPicture(tool.Glyph));
        tool.Icon->setToolTip(QString::fromLatin1(tool.Hint));
        tools->addWidget(tool.Icon, row, 0);
        tools->addWidget(tool.Beside, row++, 1);
    }
    tools->addWidget(new QLabel(QStringLiteral("Size")), row++, 0, 1, 2);
    tools->addWidget(SizeScrollBar, row++, 0, 1, 2);
    tools->addWidget(new QLabel(QStringLiteral("Opacity")), row++, 0, 1, 2);
    tools->addWidget(OpacityScrollBar, row, 0, 1, 2);

    PageControl = new QTabWidget;
    auto* rgbPage = new QWidget;
    auto* rgb = new QGridLayout(rgbPage);
    rgb->addWidget(Colors.ColorShape, 0, 0, 1, 3);
    const char* names[] = {"R:", "G:", "B:"};
    QScrollBar* bars[] = {Colors.RScrollBar, Colors.GScrollBar, Colors.BScrollBar};
    QLabel* values[] = {Colors.RLabel, Colors.GLabel, Colors.BLabel};
    for (int i = 0; i < 3; ++i) {
        rgb->addWidget(new QLabel(QString::fromLatin1(names[i])), i + 1, 0);
        rgb->addWidget(bars[i], i + 1, 1);
        rgb->addWidget(values[i], i + 1, 2);
    }
    PageControl->addTab(rgbPage, QStringLiteral("R&GB"));
    auto* palettePage = new QWidget;
    (new QVBoxLayout(palettePage))->addWidget(Colors.ColorGrid);
    PageControl->addTab(palettePage, QStringLiteral("&Pallette"));
    // A tall window gives its height to the space above OK, not to the swatch.
    PageControl->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    OKButton = new QPushButton(QStringLiteral("&OK"));
    OKButton->setToolTip(QStringLiteral("OK"));
    CancelButton = new QPushButton(QStringLiteral("&Cancel"));
    CancelButton->setToolTip(QStringLiteral("Cancel"));
    auto* side = new QVBoxLayout(controls_);
    side->setContentsMargins(0, ImageOffset, ImageOffset, ImageOffset);
    side->addWidget(group);
    side->addWidget(PageControl);
    side->addStretch();
    side->addWidget(OKButton);
    side->addWidget(CancelButton);

    connect(OKButton, &QPushButton::clicked, this, [this] {
        if (OnOk) OnOk();
    });
    connect(CancelButton, &QPushButton::clicked, this, [this] {
        if (OnCancel) OnCancel();
    });
    connect(ReloadButton, &QPushButton::clicked, this, [this] { ReloadButtonClick(); });
    setFixedSize(482, MinimumClientHeight);
    Layout();
}

void TRetouchForm::Load(const std::string& path) {
    Bitmap loaded = LoadPicture(path, FormatOfName(path));
    picture_ = std::move(loaded);
    path_ = path;
    Layout();
    Image->update();
}

void TRetouchForm::Layout() {
    const int w = picture_.Width(), h = picture_.Height();
    Image->setFixedSize(w, h);
    ImagePanel->setFixedSize(w + 2 * ImageOffset, h + 2 * ImageOffset);
    // The picture with its margin beside the controls, at least 453 high.
    QSize client(w + ImageOffset + ControlsWidth, h < 417 ? MinimumClientHeight : h + ImageOffset + 40);
    // Past the screen, the picture part scrolls. A scroll bar down takes width from it, which
    // is added back while there is room; the one across fits in the 32 pixels below the panel.
    const QSize room = ClientRoom(*this);
    if (client.height() > room.height())
        client.rwidth() += style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, pictureArea_);
    client = client.boundedTo(room).expandedTo(QSize(ControlsWidth, controls_->minimumSizeHint().height()));
    setFixedSize(client);
    const int controlsLeft = client.width() - ControlsWidth + ImageOffset;
    pictureArea_->setGeometry(0, 0, controlsLeft, client.height());
    controls_->setGeometry(controlsLeft, 0, ControlsWidth - ImageOffset, client.height());
    ReloadButton->raise();
}

void TRetouchForm::MoveWithinScreen(QPoint topLeft) { MoveOnScreen(*this, topLeft); }

void TRetouchForm::ReloadButtonClick() {
    try {
        Load(path_);
    } catch (const std::exception& error) {
        if (ShowError) ShowError(error.what());
    }
}

void TRetouchForm::ApplyTool(int x, int y) {
    const int size = SizeScrollBar->value(), p = OpacityScrollBar->value();
    if (AirBrushRadioButton->isChecked())
        AirbrushAt(picture_, x, y, size, p, OpacityScrollBar->maximum(), Colors.CurrentColor());
    else
        ShadeAt(picture_, x, y, size, LightenRadioButton->isChecked() ? p : -p);
    Image->update(QRect(x - size, y - size, 2 * size + 1, 2 * size + 1));
}

void TRetouchForm::PickAt(int x, int y) {
    if (const auto color = PickColor(picture_, x, y)) Colors.SetColor(*color);
}

void TRetouchForm::ImageMouseDown(Qt::MouseButton button, int x, int y) {
    if (button == Qt::LeftButton) {
        Painting = true;
        ApplyTool(x, y);
    } else {
        Picking = true;
        PickAt(x, y);
    }
}

void TRetouchForm::ImageMouseMove(int x, int y) {
    if (Painting) ApplyTool(x, y);
    if (Picking) PickAt(x, y);
}

void TRetouchForm::ImageMouseUp(Qt::MouseButton button) {
    if (button == Qt::LeftButton)
        Painting = false;
    else
        Picking = false;
}
