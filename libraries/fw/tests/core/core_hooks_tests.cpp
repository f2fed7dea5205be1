// The framework's development hooks without a display: the debug-camera operations, the
// paused keyboard timeline, the sync-editor hooks, camera-key deletion, render targets on
// the software device, scene reload and the sync-track lookups.
#include "core_support.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "fw_Camera.h"
#include "fw_Curve.h"
#include "fw_DebugCamera.h"
#include "fw_Framework.h"
#include "fw_LibraryLoader.h"
#include "fw_Log.h"
#include "fw_Music.h"
#include "fw_Release.h"
#include "fw_SyncTimer.h"
#include "fw_Texture.h"
#include "fw_Timer.h"
#include "fw_Transform.h"
#include "platform/d3d10.h"
#include "platform/win32.h"

using core_test::FakeSyncDevice;

namespace {

constexpr double kRows = 17.066667556762695;

// Everything the scenes and the alert box are asked to do, in order.
std::vector<std::string> gEvents;
std::vector<std::string> gBoxTexts;

int RecordingBox(HWND, const char* text, const char*, UINT) {
    gEvents.push_back("alert");
    gBoxTexts.push_back(text);
    return IDOK;
}

// A scene that records its dump and resource calls; it may move the free camera inside
// the dump brackets, as a production does to dump a pose other than the one it shows.
class HookScene : public fw_Scene {
public:
    explicit HookScene(const std::string& name) : fw_Scene(name) {}
    void OnBeginCameraDump() override {
        gEvents.push_back("begin");
        if (compiledPoseWhileDumping)
            GetDebugCamera()->LoadCompiledPose();
    }
    void OnEndCameraDump() override {
        gEvents.push_back("end");
        if (compiledPoseWhileDumping)
            GetDebugCamera()->SetPosition(D3DXVECTOR3(7, 7, 7));
    }
    void LoadResources() override { gEvents.push_back("load"); }
    void ReleaseResources() override { gEvents.push_back("release"); }
    bool compiledPoseWhileDumping = false;
};

// A sync timer that counts its own pauses: pausing through it would stop the music too.
class CountingSyncTimer : public fw_SyncTimer {
public:
    void Pause() override {
        ++pauses;
        fw_SyncTimer::Pause();
    }
    int pauses = 0;
};

// One constant key "0 v 0 0" per channel (translation, rotation, scale).
std::string Trans(const std::string& name, D3DXVECTOR3 t, D3DXVECTOR3 r, const std::string& translateX = "") {
    auto key = [](float v) {
        std::ostringstream out;
        out << "0 " << v << " 0 0";
        return out.str();
    };
    return "<trans name=\"" + name + "\" translateX=\"" + (translateX.empty() ? key(t.x) : translateX) +
           "\" translateY=\"" + key(t.y) + "\" translateZ=\"" + key(t.z) + "\" rotateX=\"" + key(r.x) +
           "\" rotateY=\"" + key(r.y) + "\" rotateZ=\"" + key(r.z) +
           "\" scaleX=\"0 1 0 0\" scaleY=\"0 1 0 0\" scaleZ=\"0 1 0 0\"/>";
}

class Hooks : public testing::Test {
protected:
    void SetUp() override {
        core_test::ResetFramework();
        gEvents.clear();
        gBoxTexts.clear();
        framework = std::make_unique<fw_Framework>(fw_Framework::NoStartup{}, "core_tests");
        syncTimer = new CountingSyncTimer();
        fw_Framework::mSyncTimer = syncTimer;
        fw_Framework::mSyncDevice = &device;
        fw_Framework::mDemoTimer = new fw_Timer();  // paused at 0
        fw_Log::SetAlertMode(1);
        fw_GetAlertPlatform().messageBox = RecordingBox;
        dir.MakeDir("data");
    }
    void TearDown() override {
        core_test::SetKeyDown(VK_CONTROL, false);
        fw_GetAlertPlatform() = fw_DefaultAlertPlatform();
        fw_Log::SetAlertMode(0);
        SimulationTime = 0.0f;
        framework.reset();
        core_test::ResetFramework();
    }
    // The current scene: camera "cam" on a transform at translation t, rotation r; the
    // free camera is disabled so that nothing moves the camera behind the test's back.
    void LoadCameraScene(D3DXVECTOR3 t, D3DXVECTOR3 r, const std::string& translateX = "", bool activate = true) {
        std::ofstream("data/hooks.xml") << "<scene><transforms>" << Trans("cam", t, r, translateX)
                                        << "</transforms><cameras><camera name=\"cam\" vFOV=\"1\"/></cameras></scene>";
        scene = std::make_unique<HookScene>("hooks.xml");
        scene->LoadXml();
        ASSERT_NE(nullptr, scene->GetDebugCamera());
        debugCamera = scene->GetDebugCamera();
        debugCamera->SetEnabled(false);
        if (activate) {
            debugCamera->SetActiveCamera("cam");
            ASSERT_NE(nullptr, debugCamera->GetActiveCamera());
            transform = debugCamera->GetActiveCamera()->mTransform;
        }
        fw_Framework::AddScene(scene.get());
    }
    fw_Curve* Channel(int index) const { return transform->GetChannelCurve(index); }
    std::vector<float> Times(int index) const {
        std::vector<float> times;
        for (const fw_CurveKey& key : Channel(index)->GetKeys())
            times.push_back(key.time);
        return times;
    }
    void SetSeconds(double seconds) { fw_Framework::mDemoTimer->seconds = seconds; }

    core_test::TempDir dir;
    FakeSyncDevice device;
    CountingSyncTimer* syncTimer = nullptr;
    std::unique_ptr<fw_Framework> framework;
    std::unique_ptr<HookScene> scene;
    fw_DebugCamera* debugCamera = nullptr;
    fw_Transform* transform = nullptr;
};

void ExpectNear(const D3DXVECTOR3& expected, const D3DXVECTOR3& actual, float tolerance) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

// --- taking over the active camera --------------------------------------------------------

TEST_F(Hooks, ToggleTakesOverTheCameraPoseAndStopsOnlyTheClock) {
    const float pitch = 0.4f, yaw = 0.3f;
    LoadCameraScene(D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(pitch, yaw, 0));
    fw_Framework::mDemoTimer->Resume();

    fw_Framework::ToggleDebugCamera();

    EXPECT_TRUE(fw_Framework::mDemoTimer->IsPaused());
    EXPECT_EQ(0, syncTimer->pauses) << "the music must keep playing";
    EXPECT_TRUE(debugCamera->IsEnabled());
    EXPECT_EQ(D3DXVECTOR3(1, 2, 3), debugCamera->GetPosition());
    // The third row of Rx(pitch) * Ry(yaw) is (cos p sin y, -sin p, cos p cos y); the
    // look-at point lies 0.01 ahead, against it.
    const float cp = std::cos(pitch), sp = std::sin(pitch), cy = std::cos(yaw), sy = std::sin(yaw);
    ExpectNear(D3DXVECTOR3(1 - 0.01f * cp * sy, 2 + 0.01f * sp, 3 - 0.01f * cp * cy), debugCamera->GetLookAt(), 1e-6f);
    // The free camera's angles describe the camera's own orientation again.
    ExpectNear(D3DXVECTOR3(pitch, yaw, 0), debugCamera->GetAngles(), 1e-3f);
}

TEST_F(Hooks, ToggleTwiceRestoresTheFlagAndKeepsAPausedClockPaused) {
    LoadCameraScene(D3DXVECTOR3(4, 0, -2), D3DXVECTOR3(0, 0, 0));
    fw_Framework::ToggleDebugCamera();
    fw_Framework::ToggleDebugCamera();
    EXPECT_FALSE(debugCamera->IsEnabled());
    EXPECT_TRUE(fw_Framework::mDemoTimer->IsPaused());
    debugCamera->SetEnabled(true);
    fw_Framework::ToggleDebugCamera();
    EXPECT_FALSE(debugCamera->IsEnabled());
    fw_Framework::ToggleDebugCamera();
    EXPECT_TRUE(debugCamera->IsEnabled());
    EXPECT_EQ(D3DXVECTOR3(4, 0, -2), debugCamera->GetPosition());
    ExpectNear(D3DXVECTOR3(4, 0, -2.01f), debugCamera->GetLookAt(), 1e-6f);
}

TEST_F(Hooks, ToggleAndStoreNeedACurrentSceneAndAnActiveCameraWithATransform) {
    LoadCameraScene(D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(0, 1, 0), "", false);
    fw_Framework::mDemoTimer->Resume();
    const D3DXVECTOR3 position = debugCamera->GetPosition();
    auto expectUntouched = [&](const char* where) {
        SCOPED_TRACE(where);
        EXPECT_FALSE(debugCamera->IsEnabled());
        EXPECT_FALSE(fw_Framework::mDemoTimer->IsPaused());
        EXPECT_EQ(position, debugCamera->GetPosition());
        for (const auto& track : *scene->GetTracks())
            EXPECT_EQ(1, track.second->GetKeyCount()) << track.first;
    };
    fw_Framework::ToggleDebugCamera();  // no active camera
    fw_Framework::StoreCameraKeys();
    expectUntouched("no active camera");

    debugCamera->SetActiveCamera("cam");
    fw_Framework::mCurrentScene = 1;  // outside the list
    fw_Framework::ToggleDebugCamera();
    fw_Framework::StoreCameraKeys();
    expectUntouched("no current scene");

    fw_Framework::mCurrentScene = 0;
    fw_Camera* camera = debugCamera->GetActiveCamera();
    fw_Transform* kept = camera->mTransform;
    camera->mTransform = nullptr;
    fw_Framework::ToggleDebugCamera();
    fw_Framework::StoreCameraKeys();
    camera->mTransform = kept;
    expectUntouched("no transform");
}

// --- keying the free camera -----------------------------------------------------------------

TEST_F(Hooks, StoreKeysThePoseAtSceneTimeReadableBack) {
    LoadCameraScene(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0));
    SetSeconds(5.25);
    fw_Framework::mSceneStartTime = 1.0f;
    debugCamera->SetPosition(D3DXVECTOR3(4, 5, 6));
    debugCamera->SetLookAt(D3DXVECTOR3(1, 9, 2));
    const D3DXVECTOR3 p = debugCamera->GetPosition(), a = debugCamera->GetAngles();
    ASSERT_NE(0.0f, a.x);
    ASSERT_NE(0.0f, a.y);

    fw_Framework::StoreCameraKeys();

    const float t = 4.25f;
    const float expected[9] = {p.x, p.y, p.z, a.x, a.y, a.z, 1, 1, 1};
    for (int c = 0; c < 9; ++c) {
        SCOPED_TRACE(fw_Transform::ChannelName(c));
        fw_Curve* curve = Channel(c);
        if (c < 6)
            EXPECT_EQ((std::vector<float>{0.0f, t}), Times(c));
        else
            EXPECT_EQ(1, curve->GetKeyCount()) << "scale is not keyed";
        curve->Evaluate(t);
        EXPECT_FLOAT_EQ(expected[c], curve->GetValue());
        curve->Evaluate(0.0f);
        EXPECT_FLOAT_EQ(c < 6 ? 0.0f : 1.0f, curve->GetValue()) << "the earlier key stays";
    }

    // Storing again at the same time overwrites the key.
    debugCamera->SetPosition(D3DXVECTOR3(-1, 5, 6));
    fw_Framework::StoreCameraKeys();
    EXPECT_EQ(2, Channel(0)->GetKeyCount());
    Channel(0)->Evaluate(t);
    EXPECT_FLOAT_EQ(-1.0f, Channel(0)->GetValue());
}

TEST_F(Hooks, StoreSkipsChannelsWithoutACurve) {
    LoadCameraScene(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0));
    SetSeconds(2.0);
    fw_Curve* translateY = Channel(1);
    fw_Curve* rotateY = Channel(4);
    transform->SetChannelCurve(1, nullptr);
    transform->SetChannelCurve(4, nullptr);
    fw_Framework::StoreCameraKeys();
    EXPECT_EQ(1, translateY->GetKeyCount());
    EXPECT_EQ(1, rotateY->GetKeyCount());
    EXPECT_EQ(nullptr, Channel(1));
    for (int c : {0, 2, 3, 5})
        EXPECT_EQ((std::vector<float>{0.0f, 2.0f}), Times(c)) << fw_Transform::ChannelName(c);
}

// --- the dump -----------------------------------------------------------------------------

TEST_F(Hooks, DumpShowsPoseAndCameraBuiltBetweenBeginAndEnd) {
    LoadCameraScene(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0.25f), "0 1 0 0 2 3 0.5 0.5");
    for (int c : {1, 2, 3, 4, 6, 7, 8})
        transform->SetChannelCurve(c, nullptr);
    scene->compiledPoseWhileDumping = true;

    fw_Framework::ShowCameraDump();

    EXPECT_EQ((std::vector<std::string>{"begin", "end", "alert"}), gEvents);
    ASSERT_EQ(1u, gBoxTexts.size());
    EXPECT_EQ(
        "static unsigned int gDebugCamData[] = {\n"
        "    0x3faa9af4, 0xbf684178, 0xbe678e4a,\n"
        "    0x41907a9d, 0xc0ad3bad, 0xc095fa93,\n"
        "    0x3e8261ed, 0x4237413c, 0x00000000,\n"
        "};\n"
        "\n"
        "<trans name=\"cam\"\n"
        "    translateX=\"\n"
        "        0 1 0 0\n"
        "        2 3 0.5 0.5\"\n"
        "    rotateZ=\"\n"
        "        0 0.25 0 0\"/>",
        gBoxTexts[0]);
}

TEST_F(Hooks, DumpNeedsNoActiveCameraButACurrentScene) {
    LoadCameraScene(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), "", false);
    fw_Framework::ShowCameraDump();
    EXPECT_EQ((std::vector<std::string>{"begin", "end", "alert"}), gEvents);
    ASSERT_EQ(1u, gBoxTexts.size());
    EXPECT_EQ(
        "static unsigned int gDebugCamData[] = {\n"
        "    0x00000000, 0x00000000, 0x00000000,\n"
        "    0x00000000, 0x00000000, 0x41200000,\n"
        "    0x00000000, 0x00000000, 0x00000000,\n"
        "};\n\nNo active camera",
        gBoxTexts[0]);

    gEvents.clear();
    fw_Framework::mCurrentScene = 1;
    fw_Framework::ShowCameraDump();
    EXPECT_TRUE(gEvents.empty());
}

// --- deleting camera keys -------------------------------------------------------------------

TEST_F(Hooks, DeleteRemovesTheKeysAtSceneTimeFromTheSixCurvesOnly) {
    LoadCameraScene(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0));
    SetSeconds(5.0);
    fw_Framework::mSceneStartTime = 3.0f;  // scene time 2
    for (int c = 0; c < 9; ++c)
        for (float time : {1.99f, 2.0f, 2.01f, 5.0f})
            Channel(c)->InsertKey(time, 1, 0, 0);

    fw_Framework::DeleteCameraKeys();

    for (int c = 0; c < 9; ++c) {
        SCOPED_TRACE(fw_Transform::ChannelName(c));
        if (c < 6)
            EXPECT_EQ((std::vector<float>{0.0f, 1.99f, 2.01f, 5.0f}), Times(c));
        else
            EXPECT_EQ((std::vector<float>{0.0f, 1.99f, 2.0f, 2.01f, 5.0f}), Times(c));
    }
}

TEST_F(Hooks, DeleteAtSceneTimeZeroSpansTheSmallestNormalFloats) {
    LoadCameraScene(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0));
    SetSeconds(3.0);
    fw_Framework::mSceneStartTime = 3.0f;
    const float smallest = 1.1754944e-38f;
    for (float time : {-2 * smallest, -smallest, smallest, 2 * smallest})
        Channel(2)->InsertKey(time, 1, 0, 0);
    transform->SetChannelCurve(4, nullptr);  // an absent curve is skipped

    fw_Framework::DeleteCameraKeys();

    EXPECT_EQ((std::vector<float>{-2 * smallest, 2 * smallest}), Times(2));
    EXPECT_EQ(0, Channel(0)->GetKeyCount());
}

TEST_F(Hooks, DeleteWithoutAnActiveCameraKeepsEverything) {
    LoadCameraScene(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), "", false);
    fw_Framework::DeleteCameraKeys();
    for (const auto& track : *scene->GetTracks())
        EXPECT_EQ(1, track.second->GetKeyCount()) << track.first;
}

// --- the paused keyboard timeline -----------------------------------------------------------

TEST_F(Hooks, KeysStepWholeRowsAndStayPaused) {
    SetSeconds(10.5 / kRows);
    fw_Framework::KeyNext();
    ASSERT_FALSE(device.updates.empty());
    EXPECT_EQ(11.0f, device.updates.back());
    EXPECT_TRUE(fw_Framework::mDemoTimer->IsPaused());
    EXPECT_EQ(11.0f, std::floor(syncTimer->GetRow()));

    fw_Framework::KeyPrevious();
    EXPECT_EQ(10.0f, device.updates.back());
    EXPECT_TRUE(fw_Framework::mDemoTimer->IsPaused());
    SetSeconds(10.5 / kRows);
    fw_Framework::KeyPrevious();
    EXPECT_EQ(9.0f, device.updates.back());
}

TEST_F(Hooks, NextRowFromJustBelowAWholeRowIsThatRow) {
    // A row just below 2 (2 - 2^-23): row + 1 rounded to a float would be 3, but the next
    // whole row is 2.
    const float row = std::nextafter(2.0f, 0.0f);
    float seconds = static_cast<float>(row / kRows);
    for (int i = 0; i < 64 && syncTimer->GetRow() != row; ++i) {
        SetSeconds(seconds);
        seconds = std::nextafter(seconds, syncTimer->GetRow() < row ? 1.0f : 0.0f);
    }
    ASSERT_EQ(row, syncTimer->GetRow());
    fw_Framework::KeyNext();
    ASSERT_FALSE(device.updates.empty());
    EXPECT_EQ(2.0f, device.updates.back());
}

TEST_F(Hooks, KeysDoNothingWhileTheShowPlays) {
    LoadCameraScene(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), "0 0 0 0 1 1 0 0");
    fw_Framework::mDemoTimer->Resume();
    SetSeconds(0.5);
    fw_Framework::KeyNext();
    fw_Framework::KeyPrevious();
    core_test::SetKeyDown(VK_CONTROL, true);
    fw_Framework::KeyNext();
    fw_Framework::KeyPrevious();
    EXPECT_TRUE(device.updates.empty());
    EXPECT_EQ(0.5, fw_Framework::mDemoTimer->GetSeconds());
    EXPECT_FALSE(fw_Framework::mDemoTimer->IsPaused());
}

TEST_F(Hooks, ControlStepsToTheNeighbouringKeysOfTheCamerasFirstCurve) {
    LoadCameraScene(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), "0.5 0 0 0 1.5 1 0 0 4 2 0 0");
    core_test::SetKeyDown(VK_CONTROL, true);
    ASSERT_TRUE(fw_Framework::IsControlDown());
    fw_Curve* curve = Channel(0);

    SetSeconds(1.5);  // strictly after: the key at 4
    curve->FindKeyAtOrBefore(10.0f);
    ASSERT_EQ(2, curve->GetCachedIndex());
    fw_Framework::KeyNext();
    ASSERT_EQ(1u, device.updates.size());
    EXPECT_EQ(static_cast<float>(4.0 * kRows), device.updates.back());
    EXPECT_EQ(0, curve->GetCachedIndex());
    EXPECT_TRUE(fw_Framework::mDemoTimer->IsPaused());
    EXPECT_NEAR(4.0, fw_Framework::mDemoTimer->GetSeconds(), 1e-5);

    SetSeconds(1.5);  // strictly before: the key at 0.5
    fw_Framework::KeyPrevious();
    ASSERT_EQ(2u, device.updates.size());
    EXPECT_EQ(static_cast<float>(0.5 * kRows), device.updates.back());

    SetSeconds(4.0);  // no key after the last one, none before the first
    fw_Framework::KeyNext();
    SetSeconds(0.5);
    fw_Framework::KeyPrevious();
    EXPECT_EQ(2u, device.updates.size());

    fw_Framework::mCurrentScene = 1;  // no camera: nothing, not a row step
    fw_Framework::KeyNext();
    EXPECT_EQ(2u, device.updates.size());
}

// --- sync-editor hooks ----------------------------------------------------------------------

TEST_F(Hooks, TogglePauseFlipsTheClockAndTellsTheEditor) {
    fw_Framework::TogglePause();
    EXPECT_FALSE(fw_Framework::mDemoTimer->IsPaused());
    EXPECT_EQ(1, device.pauseToggles);
    fw_Framework::TogglePause();
    EXPECT_TRUE(fw_Framework::mDemoTimer->IsPaused());
    EXPECT_EQ(2, device.pauseToggles);
}

TEST_F(Hooks, JumpSeeksOnlyToAnAnswerOfZeroOrMore) {
    device.jumpAnswer = -1.0f;
    fw_Framework::HandleSyncJump(3);
    device.jumpAnswer = -0.25f;
    fw_Framework::HandleSyncJump(4);
    EXPECT_EQ((std::vector<int>{3, 4}), device.jumpCodes);
    EXPECT_TRUE(device.updates.empty());

    SetSeconds(2.0);
    device.jumpAnswer = 0.0f;
    fw_Framework::HandleSyncJump(5);
    ASSERT_EQ(1u, device.updates.size());
    EXPECT_EQ(0.0f, device.updates.back());
    EXPECT_EQ(0.0, fw_Framework::mDemoTimer->GetSeconds());

    fw_Framework::mDemoTimer->Resume();
    device.jumpAnswer = 12.5f;
    fw_Framework::HandleSyncJump(6);
    EXPECT_EQ(12.5f, device.updates.back());
    EXPECT_NEAR(12.5f, syncTimer->GetRow(), 1e-4f);
    EXPECT_FALSE(fw_Framework::mDemoTimer->IsPaused()) << "a playing show plays on";
}

TEST_F(Hooks, NotifyPassesTheValueAndTheCurrentRow) {
    SetSeconds(2.0);
    fw_Framework::NotifySyncRow(7);
    ASSERT_EQ(1u, device.notifiedRows.size());
    EXPECT_EQ(7, device.notifiedRows[0].first);
    EXPECT_EQ(static_cast<float>(2.0 * kRows), device.notifiedRows[0].second);
}

// --- sync lookups, music ---------------------------------------------------------------------

TEST_F(Hooks, SyncLookupsGiveTheDefaultForKeylessTracks) {
    device.GetTrack("empty");
    EXPECT_EQ(7.5f, fw_Framework::GetSyncValueNow("empty", 7.5f));
    EXPECT_EQ(-2.0f, fw_Framework::GetSyncValue("empty", -2.0f));

    sync::Track* track = device.GetTrack("steps");
    sync::TrackKey key;
    key.value = 1.0f;
    track->SetKey(0, key);
    key.value = 5.0f;
    track->SetKey(17, key);
    // GetSyncValueNow follows the sync timer's row, GetSyncValue the simulation's time.
    SimulationTime = 1.0f;  // row 17.07
    EXPECT_EQ(1.0f, fw_Framework::GetSyncValueNow("steps", 9.0f));
    EXPECT_EQ(5.0f, fw_Framework::GetSyncValue("steps", 9.0f));
    SetSeconds(1.0);
    SimulationTime = 0.99f;  // row 16.9
    EXPECT_EQ(5.0f, fw_Framework::GetSyncValueNow("steps", 9.0f));
    EXPECT_EQ(1.0f, fw_Framework::GetSyncValue("steps", 9.0f));

    fw_Framework::mSyncDevice = nullptr;
    EXPECT_EQ(9.0f, fw_Framework::GetSyncValueNow("steps", 9.0f));
}

TEST_F(Hooks, MusicVolumeAndSpectrumWithoutAPlayerAreIgnored) {
    ASSERT_EQ(nullptr, fw_Framework::mMusic);
    fw_Framework::SetMusicVolume(0.5f);  // would dereference the missing player
    EXPECT_EQ(nullptr, fw_Framework::GetMusicFft(1.0f));
}

TEST_F(Hooks, MusicVolumeSetsThePlayStreamAndTheSpectrumReadsTheDecodeStream) {
    // The recording audio module (built beside this program) stands in for the audio library.
    const boost::filesystem::path module = core_test::RecordingAudioModule();
    ASSERT_TRUE(boost::filesystem::exists(module)) << module << " is missing: build services_fake_bass";
    const std::string calls = (dir.Path() / "calls.txt").string();
    std::ofstream(dir.Path() / "demo.mp3", std::ios::binary) << "ID3 music";
    // Forked, so that the child writes where this test reads; the library stays in the child.
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            setenv("FAKE_BASS_LOG", calls.c_str(), 1);
            fw_LibraryCache::Instance()[kBassLibraryName] = LoadLibraryA(module.string().c_str());
            fw_Framework::mMusic = new fw_Music((dir.Path() / "demo.mp3").string());
            std::ofstream(calls, std::ios::app) << "volume\n";
            fw_Framework::SetMusicVolume(0.25f);
            std::ofstream(calls, std::ios::app) << "spectrum\n";
            const float* spectrum = fw_Framework::GetMusicFft(1.0f);
            // One second of the module's 44100 Hz stereo 16-bit stream: position 176400.
            const bool read = spectrum == fw_Framework::mMusic->fft.data() && spectrum[3] == 3.4f;
            std::_Exit(read ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    std::ifstream in(calls);
    const std::string recorded((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t volume = recorded.find("volume\n"), spectrum = recorded.find("spectrum\n");
    ASSERT_NE(std::string::npos, volume) << recorded;
    ASSERT_NE(std::string::npos, spectrum) << recorded;
    EXPECT_EQ("volume\nChannelSetAttribute(1, 2, 0.25)\nspectrum\n", recorded.substr(volume, spectrum + 9 - volume));
    EXPECT_NE(std::string::npos,
              recorded.find("ChannelSetPosition(2, 176400, 0)\nChannelGetData(2, 0x80000000)", spectrum))
        << recorded;
}

// --- reloading ------------------------------------------------------------------------------

TEST_F(Hooks, ReloadReleasesThenLoadsTheCurrentSceneOnly) {
    EXPECT_FALSE(fw_Framework::ReloadCurrentScene());
    HookScene first("first.xml"), second("second.xml");
    fw_Framework::AddScene(&first);
    fw_Framework::AddScene(&second);
    fw_Framework::mCurrentScene = 2;
    EXPECT_FALSE(fw_Framework::ReloadCurrentScene());
    EXPECT_TRUE(gEvents.empty());
    fw_Framework::mCurrentScene = 1;
    EXPECT_TRUE(fw_Framework::ReloadCurrentScene());
    EXPECT_EQ((std::vector<std::string>{"release", "load"}), gEvents);
    fw_Framework::mScenes.clear();
}

// --- render targets on the software device ---------------------------------------------------

class RenderTargets : public Hooks {
protected:
    void SetUp() override {
        Hooks::SetUp();
        fw_Framework::mDevice = core_test::SharedSoftwareDevice();
        ASSERT_NE(nullptr, fw_Framework::mDevice);
        for (auto*& target : targets) {
            target = NewRenderTexture(D3D10_BIND_RENDER_TARGET, DXGI_FORMAT_R8G8B8A8_UNORM, 64, 32);
            ASSERT_NE(nullptr, target->mRenderTargetView);
        }
        depth = NewRenderTexture(D3D10_BIND_DEPTH_STENCIL, DXGI_FORMAT_D32_FLOAT, 64, 32);
        ASSERT_NE(nullptr, depth->mDepthStencilView);
        // Distinct viewports, so that the packing shows in them too.
        targets[1]->mViewport.TopLeftX = 1;
        targets[2]->mViewport.TopLeftX = 2;
        targets[2]->mViewport.Height = 8;
    }
    void TearDown() override {
        if (fw_Framework::mDevice)
            fw_Framework::mDevice->OMSetRenderTargets(0, nullptr, nullptr);
        for (fw_Texture* texture : {targets[0], targets[1], targets[2], depth})
            ReleaseAndDelete(texture);
        Hooks::TearDown();
    }
    // The bound views (references given back) and viewports.
    void Bound(std::vector<ID3D10RenderTargetView*>& views, ID3D10DepthStencilView*& depthView,
               std::vector<D3D10_VIEWPORT>& viewports) {
        ID3D10RenderTargetView* all[3] = {};
        fw_Framework::mDevice->OMGetRenderTargets(3, all, &depthView);
        views.assign(all, all + 3);
        for (ID3D10RenderTargetView* view : all)
            if (view)
                view->Release();
        if (depthView)
            depthView->Release();
        UINT count = 0;
        fw_Framework::mDevice->RSGetViewports(&count, nullptr);
        viewports.resize(count);
        fw_Framework::mDevice->RSGetViewports(&count, viewports.data());
    }

    fw_Texture* targets[3] = {};
    fw_Texture* depth = nullptr;
};

TEST_F(RenderTargets, AbsentTargetsArePackedAndViewportsShrinkByTheOffset) {
    fw_Framework::SetRenderTargets(3, nullptr, targets[1], targets[2], depth);
    std::vector<ID3D10RenderTargetView*> views;
    ID3D10DepthStencilView* depthView = nullptr;
    std::vector<D3D10_VIEWPORT> viewports;
    Bound(views, depthView, viewports);
    EXPECT_EQ(targets[1]->mRenderTargetView, views[0]);
    EXPECT_EQ(targets[2]->mRenderTargetView, views[1]);
    EXPECT_EQ(nullptr, views[2]);
    EXPECT_EQ(depth->mDepthStencilView, depthView);
    ASSERT_EQ(2u, viewports.size());
    EXPECT_EQ(1, viewports[0].TopLeftX);
    EXPECT_EQ(3, viewports[0].TopLeftY);
    EXPECT_EQ(64u, viewports[0].Width);
    EXPECT_EQ(26u, viewports[0].Height);
    EXPECT_EQ(2, viewports[1].TopLeftX);
    EXPECT_EQ(3, viewports[1].TopLeftY);
    EXPECT_EQ(2u, viewports[1].Height);
    // The textures keep their own viewports.
    EXPECT_EQ(0, targets[1]->mViewport.TopLeftY);
    EXPECT_EQ(32u, targets[1]->mViewport.Height);
}

TEST_F(RenderTargets, OffsetZeroKeepsTheViewportsAndNoDepthBindsNone) {
    fw_Framework::SetRenderTargets(0, targets[0], nullptr, targets[2], nullptr);
    std::vector<ID3D10RenderTargetView*> views;
    ID3D10DepthStencilView* depthView = nullptr;
    std::vector<D3D10_VIEWPORT> viewports;
    Bound(views, depthView, viewports);
    EXPECT_EQ(targets[0]->mRenderTargetView, views[0]);
    EXPECT_EQ(targets[2]->mRenderTargetView, views[1]);
    EXPECT_EQ(nullptr, depthView);
    ASSERT_EQ(2u, viewports.size());
    EXPECT_EQ(0, viewports[0].TopLeftY);
    EXPECT_EQ(32u, viewports[0].Height);
    EXPECT_EQ(2, viewports[1].TopLeftX);
    EXPECT_EQ(8u, viewports[1].Height);

    // An offset larger than half a viewport leaves it empty rather than wrapping around.
    fw_Framework::SetRenderTargets(5, targets[2], nullptr, nullptr, nullptr);
    Bound(views, depthView, viewports);
    ASSERT_EQ(1u, viewports.size());
    EXPECT_EQ(5, viewports[0].TopLeftY);
    EXPECT_EQ(0u, viewports[0].Height);
}

TEST_F(RenderTargets, ANegativeOffsetGrowsTheViewportEvenlyAboveAndBelow) {
    fw_Framework::SetRenderTargets(-2, targets[0], nullptr, nullptr, nullptr);
    std::vector<ID3D10RenderTargetView*> views;
    ID3D10DepthStencilView* depthView = nullptr;
    std::vector<D3D10_VIEWPORT> viewports;
    Bound(views, depthView, viewports);
    ASSERT_EQ(1u, viewports.size());
    EXPECT_EQ(-2, viewports[0].TopLeftY);
    EXPECT_EQ(36u, viewports[0].Height);
}

}  // namespace
