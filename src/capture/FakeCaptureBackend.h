#pragma once
// A capture backend for tests: up to ten scripted drivers whose streams deliver synthetic
// colour bars, one frame each time the test pumps. It records every call the capture library
// receives.
#include <array>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "capture/CaptureBackend.h"

class FakeCaptureBackend : public CaptureBackend {
public:
    struct Driver {
        std::string Name, Version;
        int Width = 640, Height = 480;
    };
    std::array<std::optional<Driver>, 10> Drivers;
    std::set<int> FailingConnects;  // driver indices whose connection fails
    bool RefuseWindows = false;
    bool FailGrab = false;

    std::vector<std::string> Calls;  // what the library received, in order
    int Connections = 0;             // successful connections so far

    ~FakeCaptureBackend() override;

    std::optional<TDriverDescription> Describe(int index) override;
    std::unique_ptr<CaptureStream> Connect(int index) override;
    std::string LastError() const override { return lastError_; }
    bool WindowsAvailable() override { return !RefuseWindows; }
    void Observe(const TCaptureCall& call) override { Calls.push_back(call.Text); }

    // Delivers `count` new frames to the connected driver; false when none is connected.
    bool Pump(int count = 1);
    // Makes the connected driver fail as an unplugged camera does: after the frames waiting,
    // every call fails with `why`. False when none is connected.
    bool FailStream(const std::string& why);
    // The connected driver's index, -1 when none.
    int ConnectedIndex() const;
    // The frames made so far (the next frame's number).
    unsigned FramesMade() const { return framesMade_; }

private:
    friend class FakeStream;
    class FakeStream* live_ = nullptr;
    unsigned framesMade_ = 0;
    std::string lastError_;
};

// Eight vertical colour bars (white, yellow, cyan, green, magenta, red, blue, black); the first
// pixel holds the frame number, blue its lowest byte, green the next, red the third.
Bitmap FakeFrame(int width, int height, unsigned number);
unsigned FakeFrameNumber(const Bitmap& frame);
