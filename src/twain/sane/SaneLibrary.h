#pragma once
// libsane for the manager: kept initialised while anyone uses it, every call but sane_cancel
// made under one lock (SANE backends are not thread-safe), and the device list read on a
// worker thread, since network backends can take seconds to answer.
#include <sane/sane.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "twain/sane/SourceNames.h"

namespace sanedsm {

// Held around every SANE call except sane_cancel.
std::unique_lock<std::mutex> LockSane();

// Sets SANE_CONFIG_DIR to the system folder (/etc/sane.d) when it is unset, so that libsane
// reads no configuration from the current folder. Called before sane_init.
void UseSystemSaneConfiguration();

// SANE is initialised while at least one of these lives; the last one out calls sane_exit.
class TSaneUse {
public:
    TSaneUse();
    ~TSaneUse();
    TSaneUse(const TSaneUse&) = delete;
    TSaneUse& operator=(const TSaneUse&) = delete;
    // False when sane_init failed.
    bool Ready() const { return status_ == SANE_STATUS_GOOD; }
    SANE_Status Status() const { return status_; }

private:
    SANE_Status status_;
};

// The devices SANE finds now. Takes the lock; `use` keeps SANE initialised meanwhile.
SANE_Status ListDevices(const std::shared_ptr<TSaneUse>& use, std::vector<TDeviceInfo>& devices);

// The same on a worker thread; `done` runs later on the GUI thread, from its event loop.
// One listing runs at a time; a new one waits for the last to end. The listing holds its own
// use of SANE, so the manager may close meanwhile.
using TListingDone = std::function<void(SANE_Status, std::vector<TDeviceInfo>)>;
void ListDevicesInBackground(std::shared_ptr<TSaneUse> use, TListingDone done);

}  // namespace sanedsm
