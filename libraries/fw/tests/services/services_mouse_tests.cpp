#include <gtest/gtest.h>

#include "fw_Mouse.h"

namespace {

class MouseTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMouseButtons(false, false, false);
        SetMousePosition(0, 0);
        mouse = new fw_Mouse;
    }
    void TearDown() override { delete mouse; }
    fw_Mouse* mouse = nullptr;
};

}  // namespace

TEST_F(MouseTest, PressedThenHeldThenReleased) {
    fw_MouseState& state = GetMouseState();
    state.left.down = true;  // as the window procedure stores it
    UpdateMouseState();
    EXPECT_TRUE(state.left.pressed);
    EXPECT_FALSE(state.left.held);
    EXPECT_FALSE(state.left.released);

    UpdateMouseState();  // still down, no new message
    EXPECT_FALSE(state.left.pressed);
    EXPECT_TRUE(state.left.held);
    EXPECT_TRUE(IsLeftButtonHeld());
    EXPECT_FALSE(state.left.released);

    state.left.down = false;
    UpdateMouseState();
    EXPECT_FALSE(state.left.pressed);
    EXPECT_FALSE(state.left.held);
    EXPECT_TRUE(state.left.released);

    UpdateMouseState();
    EXPECT_FALSE(state.left.released);
}

TEST_F(MouseTest, ButtonsAreIndependent) {
    SetMouseButtons(false, true, false);
    UpdateMouseState();
    UpdateMouseState();
    SetMouseButtons(false, true, true);
    UpdateMouseState();
    const fw_MouseState& state = GetMouseState();
    EXPECT_FALSE(IsLeftButtonHeld());
    EXPECT_TRUE(IsMiddleButtonHeld());
    EXPECT_FALSE(IsRightButtonHeld());
    EXPECT_TRUE(state.right.pressed);
    EXPECT_FALSE(state.middle.pressed);
    EXPECT_FALSE(state.left.released);
}

TEST_F(MouseTest, DeltasDescribeTheChangeBetweenUpdates) {
    SetMousePosition(100, 50);
    UpdateMouseState();  // previous position starts at 0
    EXPECT_EQ(GetMouseDeltaX(), 100);
    EXPECT_EQ(GetMouseDeltaY(), 50);

    SetMousePosition(90, 60);
    SetMousePosition(95, 70);  // several messages between two frames
    UpdateMouseState();
    EXPECT_EQ(GetMouseDeltaX(), -5);
    EXPECT_EQ(GetMouseDeltaY(), 20);

    UpdateMouseState();  // no messages
    EXPECT_EQ(GetMouseDeltaX(), 0);
    EXPECT_EQ(GetMouseDeltaY(), 0);
}

TEST_F(MouseTest, NearnessUsesThePixelCentreOfTheLastUpdate) {
    SetMousePosition(10, 20);
    UpdateMouseState();
    SetMousePosition(500, 500);  // not yet seen by an update
    const float centre[2] = {10.5f, 20.5f};
    const float away[2] = {13.5f, 24.5f};  // 5 pixels from the centre
    EXPECT_TRUE(IsMouseNear(centre, 0.0f));
    EXPECT_TRUE(IsMouseNear(away, 5.0f));
    EXPECT_FALSE(IsMouseNear(away, 4.9f));
}

TEST_F(MouseTest, CreatingTheObjectClearsTheDerivedState) {
    SetMousePosition(30, 40);
    SetMouseButtons(true, false, false);
    UpdateMouseState();
    UpdateMouseState();
    ASSERT_TRUE(IsLeftButtonHeld());
    delete mouse;
    EXPECT_EQ(GetMouseObject(), nullptr);
    mouse = new fw_Mouse;
    EXPECT_EQ(GetMouseObject(), mouse);
    const fw_MouseState& state = GetMouseState();
    EXPECT_FALSE(state.left.held);
    EXPECT_FALSE(state.left.previousDown);
    EXPECT_TRUE(state.left.down);  // raw state is left alone
    EXPECT_EQ(state.deltaX, 0);
    EXPECT_EQ(state.previousX, 0);
    EXPECT_EQ(state.x, 30);
    UpdateMouseState();  // the whole position is the first delta, the button counts as pressed
    EXPECT_EQ(GetMouseDeltaX(), 30);
    EXPECT_TRUE(state.left.pressed);
}

TEST_F(MouseTest, ASecondMouseObjectEndsTheProcessWithMinusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT({ fw_Mouse second; }, ::testing::ExitedWithCode(255), "");
    // The first one is still the registered one.
    EXPECT_EQ(GetMouseObject(), mouse);
}
