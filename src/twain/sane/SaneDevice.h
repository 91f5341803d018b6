#pragma once
// One open SANE device: the options the source's dialog offers, applying the dialog's
// choices, and scanning one image with all of its frames. Everything but Cancel runs under
// the SANE lock; Scan runs on the source's worker thread.
#include <sane/sane.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "twain/sane/SaneLibrary.h"
#include "twain/sane/ScanSettings.h"

namespace sanedsm {

// What the device offers, read from its options.
struct TDeviceOptions {
    std::map<TPixelKind, TModeChoice> Modes;  // empty: the device has no mode option
    TPixelKind Kind = TPixelKind::Grey;       // the one its current mode makes
    bool HasResolution = false;
    TNumberConstraint Resolutions;
    int Resolution = 0;
    bool HasArea = false;
    TArea Area;            // current
    TArea Limits;          // the smallest left and top, the largest right and bottom
    std::string AreaUnit;  // "mm" or "px"
    std::vector<std::string> Sources;
    std::string Source;
};

// How far a scan has come, read by the dialog's progress bar.
struct TProgress {
    std::atomic<long long> Done{0};
    std::atomic<long long> Expected{0};  // 0: not known
};

struct TScanResult {
    SANE_Status Status = SANE_STATUS_GOOD;
    std::string Problem;  // set when the data could not be made into a picture
    std::vector<std::uint8_t> Dib;
    int Width = 0, Height = 0;
};

class TSaneDevice {
public:
    // Opens the device named `name`.
    static SANE_Status Open(std::shared_ptr<TSaneUse> use, const std::string& name,
                            std::unique_ptr<TSaneDevice>& device);
    ~TSaneDevice();
    TSaneDevice(const TSaneDevice&) = delete;
    TSaneDevice& operator=(const TSaneDevice&) = delete;

    TDeviceOptions ReadOptions();
    // Sets source, mode, depth, resolution and area, each where the device has it.
    SANE_Status Apply(const TScanSettings& settings);

    // One image: every frame of it from sane_start to the last frame's end. The caller
    // holds the SANE lock. A flatbed scan is ended at once; a feeder batch stays open for
    // the next page until EndBatch.
    TScanResult Scan(const std::atomic<bool>& cancelled, TProgress& progress, bool feeder);
    // Ends a scan or a feeder batch. Cancel may come from any thread while Scan runs.
    void Cancel();
    void EndBatch();

private:
    TSaneDevice(std::shared_ptr<TSaneUse> use, SANE_Handle handle) : use_(std::move(use)), handle_(handle) {}
    std::shared_ptr<TSaneUse> use_;
    SANE_Handle handle_;
    bool batchOpen_ = false;
};

}  // namespace sanedsm
