#include "twain/sane/SourceDialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>
#include <cmath>

namespace sanedsm {
namespace {
const char* KindName(TPixelKind kind) {
    switch (kind) {
        case TPixelKind::Colour: return "Colour";
        case TPixelKind::Grey: return "Grey";
        default: return "Line art";
    }
}
}  // namespace

TSourceDialog::TSourceDialog(QWidget* over, const QString& title, const TDeviceOptions& options,
                             const TScanSettings& initial)
    : QDialog(nullptr), options_(options) {
    setObjectName("SaneSourceDialog");
    setWindowTitle(title);
    auto* form = new QFormLayout;

    mode_ = new QComboBox(this);
    mode_->setObjectName("ModeCombo");
    for (TPixelKind kind : {TPixelKind::Colour, TPixelKind::Grey, TPixelKind::LineArt})
        if (options.Modes.count(kind)) mode_->addItem(KindName(kind), int(kind));
    mode_->setCurrentIndex(std::max(0, mode_->findData(int(initial.Kind))));
    if (mode_->count() > 0) form->addRow("&Mode:", mode_);
    mode_->setVisible(mode_->count() > 0);

    resolution_ = new QComboBox(this);
    resolution_->setObjectName("ResolutionCombo");
    if (options.HasResolution) {
        const int current = initial.Resolution > 0 ? initial.Resolution : options.Resolution;
        for (int dpi : ResolutionChoices(options.Resolutions, current))
            resolution_->addItem(QString("%1 dpi").arg(dpi), dpi);
        resolution_->setCurrentIndex(std::max(0, resolution_->findData(current)));
        form->addRow("&Resolution:", resolution_);
    }
    resolution_->setVisible(options.HasResolution);

    source_ = new QComboBox(this);
    source_->setObjectName("SourceCombo");
    for (const std::string& s : options.Sources) source_->addItem(QString::fromStdString(s));
    source_->setCurrentText(QString::fromStdString(initial.Source.empty() ? options.Source : initial.Source));
    if (options.Sources.size() > 1) form->addRow("&Paper source:", source_);
    source_->setVisible(options.Sources.size() > 1);

    const char* names[4] = {"LeftSpin", "TopSpin", "WidthSpin", "HeightSpin"};
    const char* labels[4] = {"&Left:", "&Top:", "&Width:", "&Height:"};
    const TArea& area = initial.HasArea ? initial.Area : options.Area;
    const TArea& limits = options.Limits;
    const double values[4] = {area.Left, area.Top, area.Right - area.Left, area.Bottom - area.Top};
    const double maxima[4] = {limits.Right, limits.Bottom, limits.Right - limits.Left, limits.Bottom - limits.Top};
    const double minima[4] = {limits.Left, limits.Top, 0, 0};
    for (int i = 0; i < 4; ++i) {
        area_[i] = new QDoubleSpinBox(this);
        area_[i]->setObjectName(names[i]);
        area_[i]->setDecimals(options.AreaUnit == "px" ? 0 : 1);
        area_[i]->setSuffix(QString::fromStdString(" " + options.AreaUnit));
        area_[i]->setRange(minima[i], std::max(minima[i], maxima[i]));
        area_[i]->setValue(values[i]);
        if (options.HasArea) form->addRow(labels[i], area_[i]);
        area_[i]->setVisible(options.HasArea);
    }

    progress_ = new QProgressBar(this);
    progress_->setObjectName("ProgressBar");
    progress_->setVisible(false);
    message_ = new QLabel(this);
    message_->setObjectName("MessageLabel");
    message_->setWordWrap(true);
    message_->setMinimumWidth(320);

    scan_ = new QPushButton("&Scan", this);
    scan_->setObjectName("ScanButton");
    scan_->setDefault(true);
    cancel_ = new QPushButton("&Cancel", this);
    cancel_->setObjectName("CancelButton");
    cancel_->setEnabled(false);
    close_ = new QPushButton("Cl&ose", this);
    close_->setObjectName("CloseButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(scan_);
    buttons->addWidget(cancel_);
    buttons->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(progress_);
    layout->addWidget(message_);
    layout->addLayout(buttons);

    connect(scan_, &QPushButton::clicked, this, [this] {
        if (OnScan) OnScan();
    });
    connect(cancel_, &QPushButton::clicked, this, [this] {
        if (OnCancel) OnCancel();
    });
    connect(close_, &QPushButton::clicked, this, [this] {
        if (OnClose) OnClose();
    });

    if (over) {
        adjustSize();
        const QRect frame = over->window()->frameGeometry();
        move(frame.center() - rect().center());
        winId();  // makes the native window, so that it can stay above the program's
        if (QWindow* parentWindow = over->window()->windowHandle()) windowHandle()->setTransientParent(parentWindow);
    }
}

TScanSettings TSourceDialog::Settings() const {
    TScanSettings settings;
    settings.Kind = mode_->count() ? TPixelKind(mode_->currentData().toInt()) : options_.Kind;
    settings.Resolution = options_.HasResolution ? resolution_->currentData().toInt() : 0;
    settings.Source = options_.Sources.size() > 1 ? source_->currentText().toStdString() : std::string();
    settings.HasArea = options_.HasArea;
    if (settings.HasArea) {
        const double left = area_[0]->value(), top = area_[1]->value();
        settings.Area = {left, top, std::min(options_.Limits.Right, left + area_[2]->value()),
                         std::min(options_.Limits.Bottom, top + area_[3]->value())};
    }
    return settings;
}

void TSourceDialog::SetScanning(bool scanning) {
    scanning_ = scanning;
    for (QWidget* w : std::initializer_list<QWidget*>{mode_, resolution_, source_, area_[0], area_[1], area_[2],
                                                      area_[3], scan_, close_})
        w->setEnabled(!scanning);
    cancel_->setEnabled(scanning);
    progress_->setVisible(scanning);
    if (scanning) {
        progress_->setRange(0, 0);  // busy until the size is known
        message_->setText("Scanning...");
    }
}

void TSourceDialog::SetProgress(long long done, long long expected) {
    if (expected <= 0) return;
    progress_->setRange(0, 1000);
    progress_->setValue(int(std::min<long long>(1000, done * 1000 / expected)));
}

void TSourceDialog::ShowMessage(const QString& text) { message_->setText(text); }

void TSourceDialog::SetClosing() {
    for (QWidget* w : std::initializer_list<QWidget*>{scan_, cancel_, close_}) w->setEnabled(false);
}

// The window's close button and Escape act as Close, or as Cancel while a scan runs; the
// window itself goes when the program disables the source.
void TSourceDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    reject();
}

void TSourceDialog::reject() {
    if (scanning_) {
        if (OnCancel) OnCancel();
    } else if (close_->isEnabled() && OnClose) {
        OnClose();
    }
}

}  // namespace sanedsm
