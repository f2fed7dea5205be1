#include <cstring>
#include <fstream>
#include <string>

#include <boost/filesystem.hpp>

#include "fw_Camera.h"
#include "fw_DebugCamera.h"
#include "fw_Log.h"
#include "fw_ReadReport.h"
#include "fw_Scene.h"
#include "fw_Transform.h"
#include "scenes_test_support.h"

namespace fs = boost::filesystem;

namespace {

std::string Channels(const std::string& tx = "0 0 0 0") {
    return " translateX=\"" + tx +
           "\" translateY=\"0 0 0 0\" translateZ=\"0 0 0 0\" rotateX=\"0 0 0 0\" rotateY=\"0 0 0 0\""
           " rotateZ=\"0 0 0 0\" scaleX=\"0 1 0 0\" scaleY=\"0 1 0 0\" scaleZ=\"0 1 0 0\"";
}

class LoaderTest : public SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        old = fs::current_path();
        dir = fs::temp_directory_path() / fs::unique_path("sceneload-%%%%%%");
        fs::create_directories(dir / "data");
        fs::current_path(dir);
        fw_Log::SetAlertMode(2);  // warnings are counted, not shown
    }
    void TearDown() override {
        fs::current_path(old);
        fs::remove_all(dir);
        SceneTest::TearDown();
    }
    std::unique_ptr<fw_Scene> Load(const std::string& xml) {
        std::ofstream(dir / "data" / "test.xml") << xml;
        auto scene = std::make_unique<fw_Scene>("test.xml");
        scene->LoadXml();
        return scene;
    }
    fw_Curve* Curve(fw_Scene& s, const std::string& key) {
        auto it = s.GetTracks()->find(key);
        return it == s.GetTracks()->end() ? nullptr : it->second;
    }

    fs::path old, dir;
};

}  // namespace

TEST_F(LoaderTest, NothingExistsBeforeLoading) {
    fw_Scene s("test.xml");
    EXPECT_EQ(s.GetName(), "test.xml");
    EXPECT_EQ(s.GetTransforms(), nullptr);
    EXPECT_EQ(s.GetTracks(), nullptr);
    EXPECT_EQ(s.GetDebugCamera(), nullptr);
    s.UpdateAnimation(1.0f);  // does nothing, does not crash
    EXPECT_EQ(s.GetProjectionScale(), 1.0f);
}

TEST_F(LoaderTest, EmptySceneLoadsEmpty) {
    auto s = Load("<scene/>");
    ASSERT_NE(s->GetDebugCamera(), nullptr);
    EXPECT_TRUE(s->GetTransforms()->empty());
    EXPECT_TRUE(s->GetTracks()->empty());
    EXPECT_TRUE(s->GetDebugCamera()->GetCameras().empty());
    EXPECT_EQ(s->GetDebugCamera()->GetPosition(), D3DXVECTOR3(0, 0, 10));
}

TEST_F(LoaderTest, TransformsWithCurvesUnderCombinedKeys) {
    auto s =
        Load("<scene><transforms><trans name=\"camera1\"" + Channels("0 1 0 0 2 3 0 0") + "/></transforms></scene>");
    ASSERT_EQ(s->GetTransforms()->size(), 1u);
    EXPECT_EQ(s->GetTracks()->size(), 9u);
    fw_Curve* tx = Curve(*s, "camera1translateX");
    ASSERT_NE(tx, nullptr);
    ASSERT_EQ(tx->GetKeyCount(), 2);
    EXPECT_EQ(tx->GetKeys()[1].value, 3.0f);
    EXPECT_EQ(tx->GetValue(), 1.0f);  // evaluated at 0
    fw_Transform* t = s->GetTransforms()->at("camera1");
    EXPECT_EQ(t->GetChannelCurve(0), tx);
    EXPECT_EQ(t->GetTranslation().x, 1.0f);  // pose at time 0
    EXPECT_EQ(t->GetScale(), D3DXVECTOR3(1, 1, 1));
    s->UpdateAnimation(2.0f);
    EXPECT_EQ(t->GetTranslation().x, 3.0f);
}

TEST_F(LoaderTest, KeyGroupsSortReplaceAndDropIncompleteGroups) {
    auto s = Load(
        "<scene><transforms>"
        "<trans name=\"a\"" +
        Channels("1 5 0 0 0 2 0 0") +
        "/>"
        "<trans name=\"b\"" +
        Channels("0 1 0 0 0 7 0 0") +
        "/>"
        "<trans name=\"c\"" +
        Channels("0 1 0 0 5 2") +
        "/>"
        "<trans name=\"d\"" +
        Channels("\n 0 1 0 0\n 1 2 0 0 word 2 9 0 0") +
        "/>"
        "</transforms></scene>");
    fw_Curve* a = Curve(*s, "atranslateX");
    ASSERT_EQ(a->GetKeyCount(), 2);
    EXPECT_EQ(a->GetKeys()[0].value, 2.0f);
    EXPECT_EQ(a->GetKeys()[1].value, 5.0f);
    fw_Curve* b = Curve(*s, "btranslateX");
    ASSERT_EQ(b->GetKeyCount(), 1);
    EXPECT_EQ(b->GetKeys()[0].value, 7.0f);
    EXPECT_EQ(Curve(*s, "ctranslateX")->GetKeyCount(), 1);
    EXPECT_EQ(Curve(*s, "dtranslateX")->GetKeyCount(), 2);  // stops at the word
}

TEST_F(LoaderTest, OtherElementsAndAttributelessTransAreSkipped) {
    auto s = Load("<scene><transforms><!-- note --><other name=\"x\"" + Channels() + "/><trans/><trans name=\"ok\"" +
                  Channels() + "/></transforms></scene>");
    EXPECT_EQ(s->GetTransforms()->size(), 1u);
    EXPECT_EQ(s->GetTransforms()->count("ok"), 1u);
}

TEST_F(LoaderTest, DuplicateTransReplacesItsCurves) {
    auto s = Load("<scene><transforms><trans name=\"t\"" + Channels("0 1 0 0") + "/><trans name=\"t\"" +
                  Channels("0 4 0 0") + "/></transforms></scene>");
    EXPECT_EQ(s->GetTransforms()->size(), 1u);
    EXPECT_EQ(s->GetTracks()->size(), 9u);
    EXPECT_EQ(Curve(*s, "ttranslateX")->GetKeys()[0].value, 4.0f);
    EXPECT_EQ(s->GetTransforms()->at("t")->GetChannelCurve(0), Curve(*s, "ttranslateX"));
}

TEST_F(LoaderTest, EmptyChannelGivesAZeroCurve) {
    auto s = Load("<scene><transforms><trans name=\"t\"" + Channels("") + "/></transforms></scene>");
    fw_Curve* c = Curve(*s, "ttranslateX");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->GetKeyCount(), 0);
    EXPECT_EQ(c->GetValue(), 0.0f);
    s->UpdateAnimation(3.0f);
    EXPECT_EQ(s->GetTransforms()->at("t")->GetTranslation().x, 0.0f);
}

TEST_F(LoaderTest, FaultyDescriptionsWarnAndSkip) {
    const int before = fw_Log::GetWarningCount();
    auto missingRoot = Load("<other/>");
    EXPECT_TRUE(missingRoot->GetTransforms()->empty());
    EXPECT_EQ(fw_Log::GetWarningCount(), before + 1);

    auto s = Load(
        "<scene><transforms>"
        "<trans" +
        Channels() +
        "/>"                                             // no name
        "<trans name=\"half\" translateX=\"0 0 0 0\"/>"  // missing channels
        "<trans name=\"good\"" +
        Channels() +
        "/>"
        "</transforms><cameras>"
        "<camera name=\"ghost\" vFOV=\"1\"/>"  // no such transform
        "<camera vFOV=\"1\"/>"                 // no name
        "<camera name=\"good\" vFOV=\"1\"/>"
        "</cameras></scene>");
    EXPECT_EQ(s->GetTransforms()->size(), 1u);
    EXPECT_EQ(s->GetTracks()->size(), 9u);  // nothing half-made
    EXPECT_EQ(s->GetDebugCamera()->GetCameras().size(), 1u);
    EXPECT_EQ(s->GetDebugCamera()->GetCameras().count("good"), 1u);
    for (const auto& entry : s->GetDebugCamera()->GetCameras())
        EXPECT_NE(entry.second, nullptr);
    EXPECT_EQ(fw_Log::GetWarningCount(), before + 1 + 4);
}

TEST_F(LoaderTest, NamesInWarningsAreEscapedAndCutBetweenCharacters) {
    const bool echo = fw_Log::SetEcho(true);
    testing::internal::CaptureStdout();
    Load("<scene><cameras><camera name=\"a\x1b[2J\a\r" + std::string(57, 'b') + "\xc3\xa9\"/></cameras></scene>");
    const std::string out = testing::internal::GetCapturedStdout();
    fw_Log::SetEcho(echo);
    EXPECT_NE(out.find("camera \"a\\x1b[2J\\x07\\x0d" + std::string(57, 'b') + "...\" names no transform"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find_first_of("\x1b\a\r\xc3"), std::string::npos);
}

TEST_F(LoaderTest, UnreadableFileLeavesAnEmptyScene) {
    fw_Scene missing("does-not-exist.xml");
    missing.LoadXml();
    EXPECT_TRUE(missing.GetTransforms()->empty());
    auto broken = Load("<scene><transforms>");
    EXPECT_TRUE(broken->GetTransforms()->empty());
    EXPECT_NE(broken->GetDebugCamera(), nullptr);
    fs::create_directories(dir / "data" / "folder.xml");
    fw_Scene folder("folder.xml");
    folder.LoadXml();
    EXPECT_TRUE(folder.GetTransforms()->empty());
    EXPECT_TRUE(folder.GetDebugCamera()->GetCameras().empty());
}

TEST_F(LoaderTest, CamerasReadTheirAttributes) {
    auto s = Load("<scene><transforms><trans name=\"cam\"" + Channels("0 0 0 0") +
                  "/></transforms>"
                  "<cameras><camera name=\"cam\" nearz=\"0.5\" farz=\"250\" nearfocus=\"2\" farfocus=\"8\""
                  " vFOV=\"0.9\" aspect=\"1.6\" extra=\"zzz\"/>"
                  "<camera2 name=\"cam2\"/></cameras></scene>");
    const auto& cams = s->GetDebugCamera()->GetCameras();
    ASSERT_EQ(cams.size(), 1u);
    fw_Camera* c = cams.at("cam");
    EXPECT_EQ(c->mTransform, s->GetTransforms()->at("cam"));
    EXPECT_FLOAT_EQ(c->mNear, 0.5f);
    EXPECT_FLOAT_EQ(c->mFar, 250.0f);
    EXPECT_FLOAT_EQ(c->mNearFocus, 2.0f);
    EXPECT_FLOAT_EQ(c->mFarFocus, 8.0f);
    EXPECT_FLOAT_EQ(c->mFov, 0.9f);
    EXPECT_FLOAT_EQ(c->mAspect, 1.6f);
    D3DXMATRIX p;
    D3DXMatrixPerspectiveFovRH(&p, 0.9f, 1600.0f / 900.0f, 0.5f, 250.0f);
    EXPECT_EQ(c->mProjection, p);
}

TEST_F(LoaderTest, LaterCameraOfTheSameNameTakesTheEntryOver) {
    auto s = Load("<scene><transforms><trans name=\"cam\"" + Channels() + "/><trans name=\"other\"" + Channels() +
                  "/></transforms><cameras><c name=\"cam\" vFOV=\"0.5\"/><c name=\"cam\" vFOV=\"1.5\"/>"
                  "</cameras></scene>");
    const auto& cams = s->GetDebugCamera()->GetCameras();
    ASSERT_EQ(cams.size(), 1u);
    EXPECT_FLOAT_EQ(cams.at("cam")->mFov, 1.5f);
    EXPECT_EQ(cams.at("cam")->mTransform, s->GetTransforms()->at("cam"));
}

TEST_F(LoaderTest, MissingOrBadCameraNumbers) {
    auto s = Load("<scene><transforms><trans name=\"cam\"" + Channels() +
                  "/></transforms>"
                  "<cameras><c name=\"cam\" nearz=\"abc\" vFOV=\"1.2x\"/></cameras></scene>");
    fw_Camera* c = s->GetDebugCamera()->GetCameras().at("cam");
    EXPECT_EQ(c->mNear, 0.0f);  // not a number as a whole: 0
    EXPECT_EQ(c->mFov, 0.0f);
    EXPECT_FLOAT_EQ(c->mFar, 100.0f);  // absent: the camera's default
    EXPECT_FLOAT_EQ(c->mAspect, 1.7777778f);
}

TEST_F(LoaderTest, AnimationUpdatePlacesTheActiveCamera) {
    auto s = Load("<scene><transforms><trans name=\"b\"" + Channels("0 1 0 0 1 5 0 0") + "/><trans name=\"a\"" +
                  Channels("0 2 0 0") + "/></transforms><cameras><x name=\"b\"/><x name=\"a\"/></cameras></scene>");
    fw_DebugCamera* dc = s->GetDebugCamera();
    dc->SetEnabled(false);
    s->UpdateAnimation(0.0f);
    ASSERT_EQ(dc->GetActiveCamera(), dc->GetCameras().at("a"));
    dc->SetActiveCamera("b");
    timer->seconds = 1.0;
    s->UpdateAnimation(1.0f);
    EXPECT_EQ(s->GetTransforms()->at("b")->GetTranslation().x, 5.0f);
    ExpectVecNear(TransformPoint(D3DXVECTOR3(5, 0, 0), dc->GetActiveCamera()->mView), D3DXVECTOR3(0, 0, 0));
}

TEST_F(LoaderTest, ReloadStartsOver) {
    auto s = Load("<scene><transforms><trans name=\"t\"" + Channels() +
                  "/></transforms>"
                  "<cameras><c name=\"t\"/></cameras></scene>");
    s->GetDebugCamera()->SetPosition(D3DXVECTOR3(1, 2, 3));
    s->UpdateAnimation(0.0f);
    std::ofstream(dir / "data" / "test.xml") << "<scene/>";
    s->LoadXml();
    EXPECT_TRUE(s->GetTransforms()->empty());
    EXPECT_EQ(s->GetDebugCamera()->GetActiveCamera(), nullptr);
    EXPECT_EQ(s->GetDebugCamera()->GetPosition(), D3DXVECTOR3(0, 0, 10));
}

TEST_F(LoaderTest, PickDepthForwardsToTheFramework) {
    fw_Scene s("test.xml");
    fw_Framework::mPickRequest = true;
    s.PickDepth();  // no framework: nothing happens
    EXPECT_TRUE(fw_Framework::mPickRequest);
    {
        // Without a depth buffer the framework's pick only clears the request.
        fw_Framework fw(fw_Framework::NoStartup{}, "test");
        s.PickDepth();
        EXPECT_FALSE(fw_Framework::mPickRequest);
    }
    fw_Framework::mPickRequest = false;
}

TEST(CurveKeyText, ReadsTheCLocaleWhateverTheProcessLocale) {
    fw_Curve c;
    ReadCurveKeys("0 1.5 +2 -0.25 1e1 3 0 0", c);
    ASSERT_EQ(c.GetKeyCount(), 2);
    EXPECT_EQ(c.GetKeys()[0].value, 1.5f);
    EXPECT_EQ(c.GetKeys()[0].inTangent, 2.0f);
    EXPECT_EQ(c.GetKeys()[1].time, 10.0f);
    fw_Curve n;
    ReadCurveKeys("0 nan 0 0 1 2 0 0", n);
    EXPECT_EQ(n.GetKeyCount(), 0);
    fw_Curve comma;
    ReadCurveKeys("0 1,5 0 0", comma);
    EXPECT_EQ(comma.GetKeyCount(), 0);
}

TEST(CurveKeyText, GroupsInAnyOrderGiveWhatInsertingEachInTurnGives) {
    const float groups[][4] = {{3, 1, 0, 0}, {-0.0f, 2, 1, 1}, {1, 3, 0, 0}, {0, 4, 2, 2}, {3, 5, 0, 0}, {2, 6, 0, 0}};
    fw_Curve expected;
    std::string text;
    for (const auto& g : groups) {
        expected.InsertKey(g[0], g[1], g[2], g[3]);
        for (float v : g)
            text += std::to_string(v) + " ";
    }
    fw_Curve read;
    ReadCurveKeys(text, read);
    ASSERT_EQ(read.GetKeyCount(), expected.GetKeyCount());
    for (int k = 0; k < read.GetKeyCount(); ++k)
        EXPECT_EQ(std::memcmp(&read.GetKeys()[k], &expected.GetKeys()[k], sizeof(fw_CurveKey)), 0) << k;
}

TEST_F(LoaderTest, DeepOrCrowdedDescriptionsAreRefusedAndWarningsBounded) {
    auto nested = [](int depth) {
        std::string open, close;
        for (int d = 2; d < depth; ++d)
            open += "<x>", close = "</x>" + close;
        return "<scene><transforms><trans name=\"t\"" + Channels() + "/></transforms><cameras>" + open + close +
               "</cameras></scene>";
    };
    EXPECT_EQ(Load(nested(fw_Scene::kMaxDescriptionDepth))->GetTransforms()->size(), 1u);
    int before = fw_Log::GetWarningCount();
    EXPECT_TRUE(Load(nested(fw_Scene::kMaxDescriptionDepth + 1))->GetTransforms()->empty());
    EXPECT_TRUE(Load(nested(40000))->GetTransforms()->empty());  // overflowed the parser's stack
    EXPECT_EQ(fw_Log::GetWarningCount(), before + 2);

    std::string crowded = "<scene>";
    for (size_t n = 0; n < fw_Scene::kMaxDescriptionNodes / 2; ++n)
        crowded += "<a b=\"\"/>";
    before = fw_Log::GetWarningCount();
    EXPECT_TRUE(Load(crowded + "</scene>")->GetTransforms()->empty());
    EXPECT_EQ(fw_Log::GetWarningCount(), before + 1);

    std::string nameless = "<scene><transforms>";
    for (int n = 0; n < 150; ++n)
        nameless += "<trans" + Channels() + "/>";
    before = fw_Log::GetWarningCount();
    Load(nameless + "</transforms></scene>");
    EXPECT_EQ(fw_Log::GetWarningCount(), before + fw_ReadReport::kMaxWarnings + 1);  // and "50 more"
}
