#pragma once
// The fake capture backend installed for one test, with drivers at indices 0 and 2, and a
// temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "ScratchFolder.h"
#include "capture/CaptureLibrary.h"
#include "capture/FakeCaptureBackend.h"

class CaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        backend = std::make_shared<FakeCaptureBackend>();
        backend->Drivers[0] = FakeCaptureBackend::Driver{"Cam A", "fake 1.0.0", 640, 480};
        backend->Drivers[2] = FakeCaptureBackend::Driver{"Cam B", "uvcvideo 6.1.0", 160, 120};
        vfw::SetCaptureBackend(backend);
    }
    void TearDown() override { vfw::SetCaptureBackend(nullptr); }
    // The calls the library received since the last look.
    std::vector<std::string> Calls() { return std::exchange(backend->Calls, {}); }

    std::shared_ptr<FakeCaptureBackend> backend;
    TScratchFolder scratch{"corvalux-capture"};
    const std::filesystem::path& folder = scratch.Path();
};
