#include "capture/Webcam.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "common/Errors.h"
#include "qtshared/WindowFit.h"

namespace {
constexpr int DriverLines = 10;
}

TVideoForm::TVideoForm(QWidget* owner) : QDialog(owner, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Video"));
    setFixedSize(320, 293);
    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(11);  // 8 points on a 96 dpi screen
    setFont(font);

    VideoSource = new TVideo(this);
    VideoSource->setObjectName(QStringLiteral("VideoSource"));
    VideoSource->setGeometry(0, 0, 320, 240);

    DriversComboBox = new QComboBox(this);
    DriversComboBox->setEditable(true);
    DriversComboBox->setInsertPolicy(QComboBox::NoInsert);
    DriversComboBox->setAccessibleName(QStringLiteral("Capture driver"));
    DriversComboBox->setGeometry(8, 256, 145, DriversComboBox->sizeHint().height());
    SnapshotButton = new QPushButton(QStringLiteral("&Snapshot"), this);
    SnapshotButton->setToolTip(QStringLiteral("Snapshot"));
    SnapshotButton->setGeometry(160, 256, 75, 25);
    SnapshotButton->setEnabled(false);
    OkButton = new QPushButton(QStringLiteral("&Ok"), this);
    OkButton->setToolTip(QStringLiteral("OK"));
    OkButton->setGeometry(240, 256, 75, 25);
    setTabOrder(DriversComboBox, SnapshotButton);
    setTabOrder(SnapshotButton, OkButton);

    // Each value goes through the control's own setter, in this order.
    VideoSource->SetDriverOpen(false);
    VideoSource->SetDriverIndex(-1);
    VideoSource->SetVideoOverlay(false);
    VideoSource->SetVideoPreview(false);
    VideoSource->SetPreviewScaleToWindow(true);
    VideoSource->SetPreviewScaleProportional(true);
    VideoSource->SetPreviewRate(30);
    VideoSource->SetMicroSecPerFrame(66667);
    VideoSource->SetFrameRate(15);
    VideoSource->CapAudio = false;
    VideoSource->VideoFileName = "Video.avi";
    VideoSource->SingleImageFile = "Capture.bmp";
    VideoSource->CapTimeLimit = 0;
    VideoSource->SetCapIndexSize(0);
    VideoSource->CapToFile = true;

    // A camera that stops while connected (unplugged, its PipeWire node gone) is reported after
    // the capture window's own event has ended.
    VideoSource->SetOnStatusCallback([this](TVideo*, int id, const std::string& text) {
        if (id == vfw::CaptureStatusDeviceFailed) QTimer::singleShot(0, this, [this, text] { DriverFailed(text); });
    });

    SnapshotFolder = [] { return QCoreApplication::applicationDirPath().toStdString(); };
    Beep = [] { QApplication::beep(); };

    // A choice from the list, even of the line already chosen, and every edit of the text.
    connect(DriversComboBox, &QComboBox::activated, this, [this] {
        lineTyped_ = false;
        DriversComboBoxChange();
    });
    connect(DriversComboBox->lineEdit(), &QLineEdit::textEdited, this, [this] {
        lineTyped_ = true;
        DriversComboBoxChange();
    });
    connect(SnapshotButton, &QPushButton::clicked, this, [this] { SnapshotButtonClick(); });
    connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });

    FormCreate();
    PlaceOnFirstShow(*this, Opening::ScreenCentre);
}

TVideoForm::~TVideoForm() {
    // Nothing is told about the hiding that destruction does.
    OnVisibilityChanged = nullptr;
}

void TVideoForm::FormCreate() {
    const std::vector<std::string> drivers = ListCaptureDrivers();
    for (int i = 0; i < int(drivers.size()) && i < DriverLines; ++i)
        DriversComboBox->addItem(QString::fromStdString(drivers[std::size_t(i)]));
    // No line is chosen at the start; the edit shows the prompt.
    DriversComboBox->setCurrentIndex(-1);
    DriversComboBox->setEditText(QStringLiteral("Chose driver"));
}

int TVideoForm::SelectedLine() const { return lineTyped_ ? -1 : DriversComboBox->currentIndex(); }

void TVideoForm::Run(const std::function<void()>& work) {
    if (RunCommand) {
        RunCommand(work);
        return;
    }
    try {
        work();
    } catch (const std::exception& error) {
        qWarning("%s", error.what());
    }
}

void TVideoForm::DriversComboBoxChange() {
    Run([this] {
        VideoSource->SetDriverIndex(SelectedLine());
        VideoSource->SetVideoPreview(true);
        SnapshotButton->setEnabled(true);
    });
}

void TVideoForm::SnapshotButtonClick() {
    Run([this] {
        const std::string folder = SnapshotFolder ? SnapshotFolder() : std::string(".");
        const std::string path = (std::filesystem::path(folder) / "snapshot.bmp").string();
        VideoSource->SingleImageFile = path;
        if (VideoSource->SaveSingleImage() && Beep) Beep();
        // Loaded even when nothing was saved: then an earlier snapshot comes back, if there is one.
        if (OnSnapshot) OnSnapshot(path);
    });
}

void TVideoForm::DriverFailed(const std::string& why) {
    // A connection that failed to start was already reported by the error it threw.
    if (!VideoSource->DriverOpen()) return;
    // Let the driver go, so that choosing it again connects anew.
    VideoSource->DisconnectDriver();
    SnapshotButton->setEnabled(false);
    Run([why] { throw ECorvalux("The capture driver stopped: " + (why.empty() ? "it failed" : why)); });
}

// Closing only hides the window: the driver stays connected and the preview keeps running.
void TVideoForm::OkButtonClick() { close(); }

void TVideoForm::FormClose() {
    if (OnVisibilityChanged) OnVisibilityChanged();
}

void TVideoForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (OnVisibilityChanged) OnVisibilityChanged();
}

// Every way of closing ends here: the OK button, the title bar, Escape.
void TVideoForm::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    FormClose();
}
