#pragma once
// The session layer's tests against the fake manager: the boxes recorded, and after each test
// the session back in state 1 with every handle freed.
#include "FakeManager.h"

class TwainTest : public ::testing::Test {
protected:
    void SetUp() override { TWAIN_SetUserInterface(&boxes); }
    void TearDown() override {
        TWAIN_FreeImages();
        fake.OnEvent(nullptr, nullptr);
        EXPECT_EQ(TWAIN_SessionState(), 1);
        EXPECT_EQ(fake.Number("live"), 0) << "handles never freed";
        EXPECT_EQ(fake.Number("faults"), 0) << "handles freed twice or while locked";
        EXPECT_EQ(fake.Number("stalled"), 0) << "the loop outlived the script";
        TWAIN_SetUserInterface(nullptr);
    }

    TRecordedBoxes boxes;
    static inline TFakeManager fake{FAKE_DSM_PATH};
};
