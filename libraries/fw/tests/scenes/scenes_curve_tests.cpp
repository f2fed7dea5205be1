#include "fw_Curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

fw_Curve Keys123() {
    fw_Curve c;
    c.InsertKey(1, 10, 0, 0);
    c.InsertKey(2, 20, 0, 0);
    c.InsertKey(3, 30, 0, 0);
    return c;
}

uint32_t Bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

}  // namespace

TEST(CurveKeySearch, AtOrBeforeAndAfter) {
    fw_Curve c = Keys123();
    EXPECT_EQ(c.FindKeyAtOrBefore(0.5f), -1);
    EXPECT_EQ(c.FindKeyAtOrBefore(2.0f), 1);
    EXPECT_EQ(c.FindKeyAtOrBefore(7.0f), 2);
    EXPECT_EQ(c.FindKeyBefore(2.0f), 0);
    EXPECT_EQ(c.FindKeyAfter(2.0f), 2);
    EXPECT_EQ(c.FindKeyAtOrAfter(3.5f), -1);
    EXPECT_EQ(c.FindKeyAtOrAfter(0.0f), 0);
    EXPECT_EQ(c.FindKeyAtOrAfter(2.0f), 1);
    EXPECT_EQ(fw_Curve().FindKeyAtOrBefore(1.0f), -1);
    EXPECT_EQ(fw_Curve().FindKeyAtOrAfter(1.0f), -1);
}

TEST(CurveKeySearch, CachedIndexFollowsTheWalk) {
    fw_Curve c = Keys123();
    EXPECT_EQ(c.FindKeyAtOrBefore(7.0f), 2);
    EXPECT_EQ(c.GetCachedIndex(), 2);
    // Walking back from the cache: the cache rests one above the result.
    EXPECT_EQ(c.FindKeyAtOrBefore(1.5f), 0);
    EXPECT_EQ(c.GetCachedIndex(), 1);
    EXPECT_EQ(c.FindKeyAtOrBefore(0.0f), -1);
    EXPECT_EQ(c.GetCachedIndex(), 0);
    // The same answers from any cached position.
    for (float t : {0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.0f, 9.0f}) {
        fw_Curve fresh = Keys123();
        int expect = fresh.FindKeyAtOrAfter(t);
        fw_Curve moved = Keys123();
        moved.FindKeyAtOrBefore(9.0f);
        EXPECT_EQ(moved.FindKeyAtOrAfter(t), expect) << t;
    }
    EXPECT_EQ(c.FindKeyAtOrAfter(3.5f), -1);
    EXPECT_EQ(c.GetCachedIndex(), 2);
}

TEST(CurveKeySearch, NextFloatSteps) {
    EXPECT_EQ(Bits(NextFloatUp(0.0f)), 0x00800000u);
    EXPECT_EQ(Bits(NextFloatUp(-0.0f)), 0x00800000u);
    EXPECT_EQ(Bits(NextFloatDown(0.0f)), 0x80800000u);
    EXPECT_EQ(NextFloatUp(1.0f), std::nextafter(1.0f, 2.0f));
    EXPECT_EQ(NextFloatUp(-1.0f), std::nextafter(-1.0f, 0.0f));
    EXPECT_EQ(NextFloatDown(1.0f), std::nextafter(1.0f, 0.0f));
    EXPECT_EQ(NextFloatDown(-1.0f), std::nextafter(-1.0f, -2.0f));
}

TEST(CurveKeys, InsertSortsAndReplacesEqualTimes) {
    fw_Curve c;
    EXPECT_EQ(c.InsertKey(1, 5, 0, 0), 0);
    EXPECT_EQ(c.InsertKey(0, 2, 0, 0), 0);
    EXPECT_EQ(c.InsertKey(0, 7, 1, 2), 0);
    ASSERT_EQ(c.GetKeyCount(), 2);
    EXPECT_EQ(c.GetKeys()[0].value, 7.0f);
    EXPECT_EQ(c.GetKeys()[0].outTangent, 2.0f);
    EXPECT_EQ(c.GetKeys()[1].time, 1.0f);
}

TEST(CurveKeys, NaNTimesAreRefused) {
    fw_Curve c = Keys123();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(c.InsertKey(nan, 1, 0, 0), -1);
    EXPECT_EQ(c.SetKey(nan, 1), -1);
    EXPECT_EQ(c.GetKeyCount(), 3);
    for (const fw_CurveKey& k : c.GetKeys())
        EXPECT_FALSE(std::isnan(k.time));
}

TEST(CurveKeys, RemoveRange) {
    fw_Curve c = Keys123();
    c.RemoveKeys(2.5f, 2.7f);
    EXPECT_EQ(c.GetKeyCount(), 3);
    c.RemoveKeys(1.5f, 2.5f);
    ASSERT_EQ(c.GetKeyCount(), 2);
    EXPECT_EQ(c.GetKeys()[0].time, 1.0f);
    EXPECT_EQ(c.GetKeys()[1].time, 3.0f);
    EXPECT_EQ(c.GetCachedIndex(), 0);
    c.RemoveKeys(0, 10);
    EXPECT_EQ(c.GetKeyCount(), 0);
}

TEST(CurveEvaluation, HermiteSegment) {
    fw_Curve c;
    c.InsertKey(0, 0, 0, 0);
    c.InsertKey(1, 1, 0, 0);
    c.Evaluate(0.5f);
    EXPECT_FLOAT_EQ(c.GetValue(), 0.5f);
    EXPECT_FLOAT_EQ(c.GetSlope(), 1.5f);
    c.Evaluate(0.25f);
    EXPECT_FLOAT_EQ(c.GetValue(), 0.15625f);
}

TEST(CurveEvaluation, MatchingTangentsGiveAStraightLine) {
    fw_Curve c;
    c.InsertKey(0, 0, 0, 1);
    c.InsertKey(1, 1, 1, 0);
    for (float t : {0.1f, 0.3f, 0.77f}) {
        c.Evaluate(t);
        EXPECT_NEAR(c.GetValue(), t, 1e-6f);
        EXPECT_NEAR(c.GetSlope(), 1.0f, 1e-6f);
    }
}

TEST(CurveEvaluation, HeldOutsideTheKeys) {
    fw_Curve c = Keys123();
    c.Evaluate(-5);
    EXPECT_EQ(c.GetValue(), 10.0f);
    EXPECT_EQ(c.GetSlope(), 0.0f);
    c.Evaluate(3);
    EXPECT_EQ(c.GetValue(), 30.0f);
    EXPECT_EQ(c.GetSlope(), 0.0f);
    c.Evaluate(100);
    EXPECT_EQ(c.GetValue(), 30.0f);
    fw_Curve one;
    one.InsertKey(4, 9, 3, 3);
    for (float t : {0.0f, 4.0f, 8.0f}) {
        one.Evaluate(t);
        EXPECT_EQ(one.GetValue(), 9.0f);
        EXPECT_EQ(one.GetSlope(), 0.0f);
    }
}

TEST(CurveEvaluation, EmptyCurveGivesZero) {
    fw_Curve c;
    c.Evaluate(1.0f);
    EXPECT_EQ(c.GetValue(), 0.0f);
    EXPECT_EQ(c.GetSlope(), 0.0f);
    EXPECT_EQ(c.AutoTangent(0), 0.0f);
}

TEST(CurveEvaluation, SearchStartsFromTheFirstKey) {
    fw_Curve c = Keys123();
    c.FindKeyAtOrBefore(9.0f);
    c.Evaluate(1.5f);
    EXPECT_FLOAT_EQ(c.GetValue(), 15.0f);
    c.Evaluate(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(c.GetValue(), 10.0f);  // no crash, held at the first key
}

TEST(CurveAutoTangents, EndsAndCentralDifference) {
    fw_Curve c;
    c.InsertKey(0, 0, 0, 0);
    c.InsertKey(1, 4, 0, 0);
    c.InsertKey(3, 6, 0, 0);
    EXPECT_FLOAT_EQ(c.AutoTangent(0), 4.0f);
    EXPECT_FLOAT_EQ(c.AutoTangent(1), 2.0f);
    EXPECT_FLOAT_EQ(c.AutoTangent(2), 1.0f);
    EXPECT_FALSE(c.HasAutoTangents(1));
    c.KeyAt(1).inTangent = 2.0f;
    EXPECT_FALSE(c.HasAutoTangents(1));
    c.KeyAt(1).outTangent = 2.0000001f;
    EXPECT_TRUE(c.HasAutoTangents(1));
    fw_Curve single;
    single.InsertKey(1, 1, 0, 0);
    EXPECT_EQ(single.AutoTangent(0), 0.0f);

    // The tolerance is the float 1e-6: a difference of exactly that float is too much.
    fw_Curve flat;
    flat.InsertKey(0, 0, 1e-6f, 1e-6f);
    flat.InsertKey(1, 0, 0, 0);
    EXPECT_FALSE(flat.HasAutoTangents(0));
    flat.KeyAt(0).inTangent = flat.KeyAt(0).outTangent = std::nextafter(1e-6f, 0.0f);
    EXPECT_TRUE(flat.HasAutoTangents(0));
}

TEST(CurveAutoTangents, SetKeyRefreshesAutomaticNeighbours) {
    fw_Curve empty;
    EXPECT_EQ(empty.SetKey(2, 3), 0);
    EXPECT_EQ(empty.GetKeys()[0].inTangent, 0.0f);
    EXPECT_EQ(empty.GetKeys()[0].outTangent, 0.0f);

    fw_Curve c;
    c.InsertKey(0, 0, 1, 1);
    c.InsertKey(2, 2, 1, 1);
    EXPECT_EQ(c.SetKey(1, 5), 1);
    ASSERT_EQ(c.GetKeyCount(), 3);
    EXPECT_FLOAT_EQ(c.GetKeys()[1].inTangent, 1.0f);
    EXPECT_FLOAT_EQ(c.GetKeys()[1].outTangent, 1.0f);
    EXPECT_FLOAT_EQ(c.GetKeys()[0].inTangent, 5.0f);
    EXPECT_FLOAT_EQ(c.GetKeys()[0].outTangent, 5.0f);
    EXPECT_FLOAT_EQ(c.GetKeys()[2].inTangent, -3.0f);
    EXPECT_FLOAT_EQ(c.GetKeys()[2].outTangent, -3.0f);
    EXPECT_EQ(c.GetCachedIndex(), 0);
}

TEST(CurveAutoTangents, HandSetNeighboursKeepTheirTangents) {
    fw_Curve c;
    c.InsertKey(0, 0, 7, 7);
    c.InsertKey(2, 2, 1, 1);
    c.SetKey(1, 5);
    EXPECT_EQ(c.GetKeys()[0].outTangent, 7.0f);
    EXPECT_FLOAT_EQ(c.GetKeys()[2].outTangent, -3.0f);
}

TEST(CurveText, KeysToString) {
    fw_Curve c;
    c.InsertKey(0, 1, 0, 0);
    c.InsertKey(2, 3, 0.5f, 0.5f);
    EXPECT_EQ(c.KeysToString(", "), "0 1 0 0, 2 3 0.5 0.5");
    EXPECT_EQ(fw_Curve().KeysToString(", "), "");
    EXPECT_EQ((fw_CurveKey{0, 1, 0.5f, 0.25f}).ToString(), "0 1 0.5 0.25");
    EXPECT_EQ((fw_CurveKey{1.0f / 3.0f, 1234567.0f, -2e-7f, 0}).ToString(), "0.333333 1.23457e+06 -2e-07 0");
}
