#pragma once
// One TWAIN source over an open SANE device, in TWAIN states 4 (open) to 7 (transferring).
// Its dialog scans on a worker thread; a finished image is announced with MSG_XFERREADY at
// the program's next MSG_PROCESSEVENT, and a feeder goes on page by page while the program
// ends each transfer, until SANE reports no more documents.
#include <QObject>
#include <QTimer>
#include <atomic>
#include <deque>
#include <memory>
#include <thread>

#include "twain/sane/Capabilities.h"
#include "twain/sane/SaneDevice.h"
#include "twain/sane/TwainSourceTypes.h"

class QEventLoop;
class QWidget;

namespace sanedsm {

class TSourceDialog;

class TSaneSource {
public:
    // `title` names the device in its dialog, whole where the identity's name is cut.
    TSaneSource(std::unique_ptr<TSaneDevice> device, const TW_IDENTITY& identity, std::string title);
    ~TSaneSource();
    TSaneSource(const TSaneSource&) = delete;
    TSaneSource& operator=(const TSaneSource&) = delete;

    const TW_IDENTITY& Identity() const { return identity_; }
    int State() const { return state_; }
    // A triplet addressed to the source; the manager has checked the destination.
    TW_UINT16 Triplet(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);

private:
    TW_UINT16 Fail(TW_UINT16 condition);
    TW_UINT16 Enable(TW_USERINTERFACE* ui);
    TW_UINT16 Disable();
    TW_UINT16 ProcessEvent(TW_EVENT* event);
    TW_UINT16 NativeTransfer(TW_HANDLE* handle);
    TW_UINT16 EndTransfer(TW_PENDINGXFERS* pending);
    TW_UINT16 ResetTransfers(TW_PENDINGXFERS* pending);

    // Dialog actions.
    void ScanPressed();
    void CancelPressed();
    void ClosePressed();

    void StartScan();
    void ScanFinished(int scan, std::shared_ptr<TScanResult> result);
    // Stops a running scan and waits for its thread.
    void StopScan();
    // After a scan ends or is stopped: its thread joined, the dialog no longer scanning.
    void EndScanning();
    // The next page of a feeder batch, waited for while the program stays live.
    bool ScanNextPage();
    bool FeederBatch() const;
    void EndBatch();

    std::unique_ptr<TSaneDevice> device_;
    TW_IDENTITY identity_;
    std::string title_;
    TDeviceOptions options_;
    TScanSettings settings_;
    TCapabilities caps_;
    int state_ = 4;
    TW_UINT16 condition_ = TWCC_SUCCESS;
    std::deque<TW_UINT16> queued_;     // messages for the next MSG_PROCESSEVENT
    std::vector<std::uint8_t> ready_;  // the scanned DIB waiting for MSG_GET
    int delivered_ = 0;                // images transferred in this batch
    bool batchIsFeeder_ = false;

    std::unique_ptr<TSourceDialog> dialog_;
    QObject receiver_;  // where the worker's answer is queued, on the GUI thread
    QTimer progressTimer_;
    std::thread worker_;
    bool scanning_ = false;
    int scan_ = 0;  // numbers the scans, so that a stopped scan's late answer is dropped
    std::atomic<bool> cancelled_{false};
    TProgress progress_;
    QEventLoop* pageWait_ = nullptr;
};

}  // namespace sanedsm
