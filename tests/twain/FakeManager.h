#pragma once
// The test side of the fake Source Manager: loads it, points the layer at it through
// CORVALUX_TWAIN_DSM, and reads its reports. The layer and the test share one copy of the
// library, so what the layer did shows in the fake's log.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "twain/Twain.h"

class TFakeManager {
public:
    explicit TFakeManager(const std::string& path) : path_(path) {
        library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (!library_) {
            ADD_FAILURE() << dlerror();
            return;
        }
        run_ = reinterpret_cast<RunFunction>(dlsym(library_, "FakeDsm_Run"));
        report_ = reinterpret_cast<ReportFunction>(dlsym(library_, "FakeDsm_Report"));
        onEvent_ = reinterpret_cast<HookFunction>(dlsym(library_, "FakeDsm_OnEvent"));
    }
    ~TFakeManager() {
        if (onEvent_) onEvent_(nullptr, nullptr);
        if (library_) dlclose(library_);
    }
    TFakeManager(const TFakeManager&) = delete;
    TFakeManager& operator=(const TFakeManager&) = delete;

    // Makes this the manager the layer loads, with a fresh script.
    void Run(const std::string& script) {
        ::setenv("CORVALUX_TWAIN_DSM", path_.c_str(), 1);
        ASSERT_TRUE(run_);
        ASSERT_EQ(run_(script.c_str()), 0) << "script line not understood";
    }
    std::string Report(const char* what) const { return report_ ? report_(what) : ""; }
    std::vector<std::string> Lines(const char* what) const {
        std::vector<std::string> lines;
        std::istringstream in(Report(what));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    std::vector<std::string> Log() const { return Lines("log"); }
    long Number(const char* what) const { return std::stol(Report(what)); }
    // Every handle the fake's source handed out, in transfer order.
    std::vector<TW_HANDLE> Handles() const {
        std::vector<TW_HANDLE> handles;
        for (const std::string& line : Lines("handles"))
            handles.push_back(reinterpret_cast<TW_HANDLE>(std::stoull(line, nullptr, 16)));
        return handles;
    }
    // Called at every MSG_PROCESSEVENT, while the layer's loop runs.
    void OnEvent(void (*hook)(void*), void* context) {
        if (onEvent_) onEvent_(hook, context);
    }

private:
    using RunFunction = int (*)(const char*);
    using ReportFunction = const char* (*)(const char*);
    using HookFunction = void (*)(void (*)(void*), void*);
    std::string path_;
    void* library_ = nullptr;
    RunFunction run_ = nullptr;
    ReportFunction report_ = nullptr;
    HookFunction onEvent_ = nullptr;
};

// Records the layer's boxes as "caption: text", and the lists of sources it offered; picks
// `Pick` from each list (nothing: Cancel).
class TRecordedBoxes : public TTwainUserInterface {
public:
    struct TOffer {
        std::vector<TTwainSourceEntry> Sources;
        int Chosen;
    };
    std::vector<std::string> Shown;
    std::vector<TOffer> Offered;
    std::optional<int> Pick;
    void Warning(const std::string& caption, const std::string& text) override {
        Shown.push_back(caption + ": " + text);
    }
    std::optional<int> ChooseSource(const std::vector<TTwainSourceEntry>& sources, int chosen, void*) override {
        Offered.push_back({sources, chosen});
        return Pick;
    }
};
