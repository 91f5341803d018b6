#include "twain/sane/SaneSource.h"

#include <QApplication>
#include <QEventLoop>
#include <QWidget>
#include <cstdlib>
#include <cstring>

#include "twain/sane/SaneFailure.h"
#include "twain/sane/SourceDialog.h"

namespace sanedsm {
namespace {
// A window of the running program, found without dereferencing the handle.
QWidget* LiveWidget(TW_HANDLE handle) {
    if (!handle) return nullptr;
    for (QWidget* widget : QApplication::allWidgets())
        if (widget == handle) return widget;
    return nullptr;
}

std::vector<TPixelKind> KindsOf(const TDeviceOptions& options) {
    std::vector<TPixelKind> kinds;
    for (const auto& [kind, choice] : options.Modes) kinds.push_back(kind);
    if (kinds.empty()) kinds.push_back(options.Kind);
    return kinds;
}
}  // namespace

TSaneSource::TSaneSource(std::unique_ptr<TSaneDevice> device, const TW_IDENTITY& identity, std::string title)
    : device_(std::move(device)), identity_(identity), title_(std::move(title)) {
    options_ = device_->ReadOptions();
    caps_.Kinds = KindsOf(options_);
    // Colour where the device has it: a photo program's first wish.
    const bool colour = options_.Modes.count(TPixelKind::Colour) != 0;
    caps_.DefaultKind = caps_.Kind = colour ? TPixelKind::Colour : options_.Kind;
    caps_.DefaultResolution = caps_.Resolution = options_.Resolution;
    caps_.Resolutions = options_.Resolutions;
    settings_.Kind = caps_.Kind;
    settings_.Resolution = options_.Resolution;
    settings_.Area = options_.Area;
    settings_.HasArea = options_.HasArea;
    settings_.Source = options_.Source;
    progressTimer_.setInterval(100);
    QObject::connect(&progressTimer_, &QTimer::timeout, &receiver_, [this] {
        if (dialog_) dialog_->SetProgress(progress_.Done, progress_.Expected);
    });
}

TSaneSource::~TSaneSource() {
    StopScan();
    dialog_.reset();
    EndBatch();
}

TW_UINT16 TSaneSource::Fail(TW_UINT16 condition) {
    condition_ = condition;
    return TWRC_FAILURE;
}

TW_UINT16 TSaneSource::Triplet(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    if (!data) return Fail(TWCC_BADVALUE);
    if (dg == DG_IMAGE) {
        if (dat == DAT_IMAGENATIVEXFER && msg == MSG_GET) return NativeTransfer(static_cast<TW_HANDLE*>(data));
        return Fail(TWCC_BADPROTOCOL);
    }
    if (dg != DG_CONTROL) return Fail(TWCC_BADPROTOCOL);
    switch (dat) {
        case DAT_STATUS:
            if (msg != MSG_GET) return Fail(TWCC_BADPROTOCOL);
            return ReportCondition(*static_cast<TW_STATUS*>(data), condition_);
        case DAT_USERINTERFACE:
            if (msg == MSG_ENABLEDS) return Enable(static_cast<TW_USERINTERFACE*>(data));
            if (msg == MSG_DISABLEDS) return Disable();
            return Fail(TWCC_BADPROTOCOL);
        case DAT_EVENT:
            if (msg != MSG_PROCESSEVENT) return Fail(TWCC_BADPROTOCOL);
            return ProcessEvent(static_cast<TW_EVENT*>(data));
        case DAT_PENDINGXFERS:
            if (msg == MSG_ENDXFER) return EndTransfer(static_cast<TW_PENDINGXFERS*>(data));
            if (msg == MSG_RESET) return ResetTransfers(static_cast<TW_PENDINGXFERS*>(data));
            if (msg == MSG_GET) {
                static_cast<TW_PENDINGXFERS*>(data)->Count = state_ >= 6 ? 1 : 0;
                return TWRC_SUCCESS;
            }
            return Fail(TWCC_BADPROTOCOL);
        case DAT_CAPABILITY: {
            const TW_UINT16 rc = CapabilityTriplet(caps_, msg, static_cast<TW_CAPABILITY*>(data), state_, condition_);
            settings_.Kind = caps_.Kind;
            settings_.Resolution = int(caps_.Resolution);
            return rc;
        }
        default: return Fail(TWCC_BADPROTOCOL);
    }
}

TW_UINT16 TSaneSource::Enable(TW_USERINTERFACE* ui) {
    if (state_ != 4) return Fail(TWCC_SEQERROR);
    // Without a dialog the user could neither start nor stop a scan: the source shows it
    // anyway and says so.
    const TW_UINT16 answer = ui->ShowUI ? TWRC_SUCCESS : TWRC_CHECKSTATUS;
    ui->ShowUI = TW_TRUE;
    dialog_ =
        std::make_unique<TSourceDialog>(LiveWidget(ui->hParent), QString::fromStdString(title_), options_, settings_);
    dialog_->OnScan = [this] { ScanPressed(); };
    dialog_->OnCancel = [this] { CancelPressed(); };
    dialog_->OnClose = [this] { ClosePressed(); };
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
    queued_.clear();
    delivered_ = 0;
    state_ = 5;
    return answer;
}

TW_UINT16 TSaneSource::Disable() {
    if (state_ != 5) return Fail(TWCC_SEQERROR);
    StopScan();
    EndBatch();
    dialog_.reset();
    queued_.clear();
    state_ = 4;
    return TWRC_SUCCESS;
}

TW_UINT16 TSaneSource::ProcessEvent(TW_EVENT* event) {
    if (state_ < 5) return Fail(TWCC_SEQERROR);
    event->TWMessage = MSG_NULL;
    while (!queued_.empty()) {
        const TW_UINT16 message = queued_.front();
        // A transfer is announced only while the source is merely enabled.
        if (message == MSG_XFERREADY && state_ != 5) break;
        queued_.pop_front();
        if (message == MSG_XFERREADY) {
            if (ready_.empty()) continue;  // the image went with a reset
            state_ = 6;
        }
        event->TWMessage = message;
        return TWRC_DSEVENT;
    }
    return TWRC_NOTDSEVENT;
}

TW_UINT16 TSaneSource::NativeTransfer(TW_HANDLE* handle) {
    if (state_ != 6) return Fail(TWCC_SEQERROR);
    if (ready_.empty()) return Fail(TWCC_BUMMER);
    void* block = std::malloc(ready_.size());
    if (!block) return Fail(TWCC_LOWMEMORY);  // the image stays for another try
    std::memcpy(block, ready_.data(), ready_.size());
    *handle = block;
    std::vector<std::uint8_t>().swap(ready_);
    ++delivered_;
    state_ = 7;
    return TWRC_XFERDONE;
}

TW_UINT16 TSaneSource::EndTransfer(TW_PENDINGXFERS* pending) {
    if (state_ != 6 && state_ != 7) return Fail(TWCC_SEQERROR);
    std::vector<std::uint8_t>().swap(ready_);  // in state 6: the program passed this image over
    const bool more = FeederBatch() && (caps_.TransferCount < 0 || delivered_ < caps_.TransferCount);
    if (more && ScanNextPage()) {
        pending->Count = caps_.TransferCount < 0 ? TWPENDING_UNKNOWN : TW_UINT16(caps_.TransferCount - delivered_);
        state_ = 6;
    } else {
        EndBatch();
        pending->Count = 0;
        state_ = 5;
    }
    pending->EOJ = 0;
    return TWRC_SUCCESS;
}

TW_UINT16 TSaneSource::ResetTransfers(TW_PENDINGXFERS* pending) {
    if (state_ != 6) return Fail(TWCC_SEQERROR);
    std::vector<std::uint8_t>().swap(ready_);
    EndBatch();
    pending->Count = 0;
    pending->EOJ = 0;
    state_ = 5;
    return TWRC_SUCCESS;
}

void TSaneSource::ScanPressed() {
    if (scanning_ || state_ != 5 || !ready_.empty()) return;
    settings_ = dialog_->Settings();
    caps_.Kind = settings_.Kind;
    if (settings_.Resolution > 0) caps_.Resolution = settings_.Resolution;
    if (const SANE_Status status = device_->Apply(settings_); status != SANE_STATUS_GOOD) {
        const TFailure failure = DescribeStatus(status);
        condition_ = failure.Condition;
        dialog_->ShowMessage(QString::fromStdString(failure.Message));
        return;
    }
    batchIsFeeder_ = IsFeeder(settings_.Source.empty() ? options_.Source : settings_.Source);
    delivered_ = 0;
    StartScan();
}

void TSaneSource::CancelPressed() {
    if (!scanning_) return;
    cancelled_ = true;
    device_->Cancel();  // SANE allows this from any thread; the read returns at once
}

void TSaneSource::ClosePressed() {
    if (scanning_ || state_ < 5) return;
    queued_.push_back(MSG_CLOSEDSREQ);
    dialog_->SetClosing();
}

void TSaneSource::StartScan() {
    const int scan = ++scan_;
    scanning_ = true;
    cancelled_ = false;
    dialog_->SetScanning(true);
    progressTimer_.start();
    const bool feeder = batchIsFeeder_;
    worker_ = std::thread([this, scan, feeder] {
        auto result = std::make_shared<TScanResult>();
        {
            const auto lock = LockSane();
            *result = device_->Scan(cancelled_, progress_, feeder);
        }
        // Queued to the GUI thread; it also wakes the program's acquisition loop at once.
        QMetaObject::invokeMethod(
            &receiver_, [this, scan, result] { ScanFinished(scan, result); }, Qt::QueuedConnection);
    });
}

void TSaneSource::ScanFinished(int scan, std::shared_ptr<TScanResult> result) {
    if (scan != scan_ || !scanning_) return;  // stopped meanwhile
    EndScanning();
    QString message;
    if (result->Status == SANE_STATUS_GOOD) {
        ready_ = std::move(result->Dib);
        message = QString("Scanned %1 x %2 pixels.").arg(result->Width).arg(result->Height);
        if (!pageWait_) queued_.push_back(MSG_XFERREADY);
    } else if (pageWait_ && result->Status == SANE_STATUS_NO_DOCS) {
        message = QString("Scanned %1 pages.").arg(delivered_);  // the feeder is empty: the batch is done
    } else {
        const TFailure failure = DescribeStatus(result->Status);
        message = QString::fromStdString(result->Problem.empty() ? failure.Message : result->Problem);
        if (result->Status != SANE_STATUS_CANCELLED)
            condition_ = result->Problem.empty() ? failure.Condition : TWCC_BUMMER;
    }
    if (dialog_) dialog_->ShowMessage(message);
    if (pageWait_) pageWait_->quit();
}

void TSaneSource::StopScan() {
    if (!scanning_) return;
    cancelled_ = true;
    device_->Cancel();
    EndScanning();
}

void TSaneSource::EndScanning() {
    if (worker_.joinable()) worker_.join();
    scanning_ = false;
    progressTimer_.stop();
    if (dialog_) dialog_->SetScanning(false);
}

bool TSaneSource::ScanNextPage() {
    if (!dialog_) return false;
    StartScan();
    QEventLoop wait;
    pageWait_ = &wait;
    wait.exec();
    pageWait_ = nullptr;
    // A quit request ends every loop, this one too, before the page is in.
    StopScan();
    return !ready_.empty();
}

bool TSaneSource::FeederBatch() const { return batchIsFeeder_; }

void TSaneSource::EndBatch() {
    if (batchIsFeeder_) device_->EndBatch();
    batchIsFeeder_ = false;
}

}  // namespace sanedsm
