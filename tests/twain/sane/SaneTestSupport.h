#pragma once
// What the tests against SANE's "test" backend share: a configuration folder selected with
// SANE_CONFIG_DIR, a driver that works the manager's dialogs from a timer while the code
// under test sits in its own loops, and a scan read straight from SANE to compare with.
#include <gtest/gtest.h>
#include <sane/sane.h>

#include <QWidget>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sanetest {

// The override that replaces the whole dll.conf ("" for no backend at all) instead of an
// option of test.conf.
inline const std::string BackendsKey = "dll.conf";

// Writes a dll.conf naming only "test" and a copy of the system's test.conf with
// `overrides` (option -> value) in place of its lines, into the folder SANE_CONFIG_DIR names
// (one for the process: libsane reads the variable once). Points XDG_CONFIG_HOME at a
// folder under `folder`, so the manager's default source starts unset. False when the test
// backend's configuration is not installed.
bool MakeTestBackendConfig(const std::filesystem::path& folder,
                           const std::map<std::string, std::string>& overrides = {});

// The visible top-level window of that object name, or null.
QWidget* VisibleWindow(const char* objectName);
template <typename T>
T* Child(QWidget* window, const char* objectName) {
    return window ? window->findChild<T*>(objectName) : nullptr;
}

// Steps run one after another from a 10 ms timer, each retried until it answers true. When
// the steps take longer than the time allowed, the driver closes whatever dialog is up so
// that the test fails instead of hanging.
class TDialogDriver {
public:
    using TStep = std::function<bool()>;
    explicit TDialogDriver(std::vector<TStep> steps, int timeoutMilliseconds = 60000);
    ~TDialogDriver();
    bool Finished() const { return next_ == steps_.size(); }
    std::size_t StepsDone() const { return next_; }

private:
    void Tick();
    std::vector<TStep> steps_;
    std::size_t next_ = 0;
    int ticksLeft_;
    QObject* timer_;
};

// Steps for the usual dialog work.
// Picks `device` in the selection dialog once the search has ended and presses OK; the
// devices listed go to `listed`.
TDialogDriver::TStep ChooseDevice(const std::string& device, std::vector<std::string>* listed = nullptr);
// Sets mode ("Colour", "Grey", "Line art") and resolution in the source dialog, presses Scan.
TDialogDriver::TStep PressScan(const QString& mode, int dpi);
// Waits until the source dialog is idle again with a message, stores it, presses Close.
TDialogDriver::TStep CloseAfterMessage(std::string* message);

// A scan read straight from SANE: the device's parameters and bytes, for the same settings.
struct TDirectScan {
    SANE_Parameters Parameters{};
    std::vector<SANE_Byte> Data;
};
TDirectScan ScanDirectly(const std::string& device, const std::string& mode, int depth, int dpi);

}  // namespace sanetest
