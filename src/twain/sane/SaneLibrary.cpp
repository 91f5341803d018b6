#include "twain/sane/SaneLibrary.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <cstdlib>
#include <thread>

namespace sanedsm {
namespace {
std::mutex SaneMutex;
int Users = 0;  // guarded by SaneMutex

// The listing thread, joined before the next starts and when the library goes at exit.
struct TListingThread {
    std::mutex Mutex;
    std::thread Thread;
    ~TListingThread() {
        if (Thread.joinable()) Thread.join();
    }
};
TListingThread Listing;
}  // namespace

std::unique_lock<std::mutex> LockSane() { return std::unique_lock<std::mutex>(SaneMutex); }

void UseSystemSaneConfiguration() {
    // Without SANE_CONFIG_DIR libsane looks in the current folder before the system's, so a
    // dll.conf where the program was started could choose the back ends it loads. A value the
    // user set is kept.
    ::setenv("SANE_CONFIG_DIR", "/etc/sane.d", 0);
}

TSaneUse::TSaneUse() {
    const auto lock = LockSane();
    status_ = SANE_STATUS_GOOD;
    if (Users == 0) {
        UseSystemSaneConfiguration();
        SANE_Int version = 0;
        status_ = sane_init(&version, nullptr);
        // A library of another major version speaks another protocol.
        if (status_ == SANE_STATUS_GOOD && SANE_VERSION_MAJOR(version) != SANE_CURRENT_MAJOR) {
            sane_exit();
            status_ = SANE_STATUS_UNSUPPORTED;
        }
    }
    if (status_ == SANE_STATUS_GOOD) ++Users;
}

TSaneUse::~TSaneUse() {
    if (status_ != SANE_STATUS_GOOD) return;
    const auto lock = LockSane();
    if (--Users == 0) sane_exit();
}

SANE_Status ListDevices(const std::shared_ptr<TSaneUse>& use, std::vector<TDeviceInfo>& devices) {
    devices.clear();
    if (!use || !use->Ready()) return use ? use->Status() : SANE_STATUS_INVAL;
    const auto lock = LockSane();
    const SANE_Device** list = nullptr;
    const SANE_Status status = sane_get_devices(&list, SANE_FALSE);
    if (status != SANE_STATUS_GOOD || !list) return status;
    auto text = [](const char* s) { return std::string(s ? s : ""); };
    for (; *list; ++list)
        if ((*list)->name && *(*list)->name)
            devices.push_back({text((*list)->name), text((*list)->vendor), text((*list)->model), text((*list)->type)});
    return SANE_STATUS_GOOD;
}

void ListDevicesInBackground(std::shared_ptr<TSaneUse> use, TListingDone done) {
    const std::lock_guard<std::mutex> guard(Listing.Mutex);
    if (Listing.Thread.joinable()) Listing.Thread.join();
    Listing.Thread = std::thread([use = std::move(use), done = std::move(done)]() mutable {
        auto devices = std::make_shared<std::vector<TDeviceInfo>>();
        const SANE_Status status = ListDevices(use, *devices);
        use.reset();  // SANE may close here, on this thread, if the manager already has
        if (QCoreApplication* application = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                application, [done = std::move(done), status, devices] { done(status, std::move(*devices)); },
                Qt::QueuedConnection);
    });
}

}  // namespace sanedsm
