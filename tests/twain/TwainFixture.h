#pragma once
// The session layer's tests against the fake manager: the boxes recorded, and after each test
// the session back in state 1 with every handle freed.
#include <QApplication>
#include <QTimer>

#include "FakeManager.h"

class TwainTest : public ::testing::Test {
protected:
    void SetUp() override { TWAIN_SetUserInterface(&boxes); }
    void TearDown() override {
        TWAIN_FreeImages();
        fake.OnEvent(nullptr, nullptr);
        EXPECT_EQ(TWAIN_SessionState(), PreSession);
        EXPECT_EQ(fake.Number("live"), 0) << "handles never freed";
        EXPECT_EQ(fake.Number("faults"), 0) << "handles freed twice or while locked";
        EXPECT_EQ(fake.Number("stalled"), 0) << "the loop outlived the script";
        TWAIN_SetUserInterface(nullptr);
    }

    // Runs `script`, then acquires inside the program's own loop, as a menu command does, and asks
    // the application to quit at the source's second event. Returns what the acquisition gave;
    // the loop must have ended with code 0 after exactly two events.
    TW_HANDLE AcquireAndQuitAtTheSecondEvent(const char* script) {
        int events = 0;
        fake.OnEvent(
            [](void* context) {
                if (++*static_cast<int*>(context) == 2) QCoreApplication::quit();
            },
            &events);
        fake.Run(script);
        TW_HANDLE result = nullptr;
        QTimer::singleShot(0, [&] { result = TWAIN_AcquireImages(0); });
        QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });  // a guard, never reached
        EXPECT_EQ(QApplication::exec(), 0);
        EXPECT_EQ(events, 2);
        return result;
    }

    TRecordedBoxes boxes;
    static inline TFakeManager fake{FAKE_DSM_PATH};
};
