#include "display_test_support.h"
#include "platform/win32.h"
#include "start_dialog_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class StartDialogKeys : public StartDialog {
protected:
    void SetUp() override {
        StartDialog::SetUp();
        if (!IsSkipped() && !HaveXdotool())
            GTEST_SKIP() << "no xdotool";
    }
    INT_PTR ShowWithKeys(const std::string& keys) {
        HANDLE typist = StartTyping("Cobalt", keys);
        INT_PTR result = Show();
        EXPECT_EQ(0u, FinishTyping(typist));
        return result;
    }
};

TEST_F(StartDialogKeys, EnterRuns) {
    EXPECT_EQ(1, ShowWithKeys("Return"));
    EXPECT_TRUE(choices.fullscreen && choices.loop && choices.sound);
}

TEST_F(StartDialogKeys, EscapeExits) {
    EXPECT_EQ(2, ShowWithKeys("Escape"));
}

TEST_F(StartDialogKeys, TabMovesAndSpaceToggles) {
    // Focus starts on Fullscreen; Tab reaches Loop, then Sound.
    EXPECT_EQ(1, ShowWithKeys("Tab space Tab space Return"));
    EXPECT_TRUE(choices.fullscreen);
    EXPECT_FALSE(choices.loop);
    EXPECT_FALSE(choices.sound);
}

TEST_F(StartDialogKeys, SpaceOnFullscreenGoesThroughTheProcedure) {
    EXPECT_EQ(1, ShowWithKeys("space Return"));
    EXPECT_FALSE(choices.fullscreen);
    EXPECT_TRUE(choices.loop);
}

TEST_F(StartDialogKeys, EnterOnExitButtonExits) {
    // Fullscreen, Loop, Sound, Run, Exit in template order.
    EXPECT_EQ(2, ShowWithKeys("Tab Tab Tab Tab Return"));
}

class MessageBoxKeys : public testing::Test {
protected:
    void SetUp() override {
        if (!HaveDisplay())
            GTEST_SKIP() << "no display";
        if (!HaveXdotool())
            GTEST_SKIP() << "no xdotool";
    }
};

TEST_F(MessageBoxKeys, EnterAnswersOkAndEscapeCancels) {
    HANDLE typist = StartTyping("Box one", "Return");
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, "text", "Box one", MB_ICONINFORMATION));
    EXPECT_EQ(0u, FinishTyping(typist));
    typist = StartTyping("Box two", "Escape");
    EXPECT_EQ(IDCANCEL, MessageBoxA(nullptr, "text", "Box two", MB_OKCANCEL | MB_ICONQUESTION));
    EXPECT_EQ(0u, FinishTyping(typist));
}

}  // namespace
