#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "sync/track.h"

using sync::Track;
using sync::TrackKey;

namespace {

Track MakeTrack(std::initializer_list<std::tuple<uint32_t, float, int>> keys) {
    Track track("t");
    for (auto [row, value, type] : keys)
        track.SetKey(row, TrackKey{value, type});
    return track;
}

}  // namespace

TEST(TrackEvaluation, NoKeysGivesZero) {
    Track track("empty");
    EXPECT_FALSE(track.HasKeys());
    EXPECT_EQ(track.GetValue(0.0f), 0.0f);
    EXPECT_EQ(track.GetValue(-3.0f), 0.0f);
}

TEST(TrackEvaluation, OneKeyHoldsEverywhere) {
    Track track = MakeTrack({{7, 2.5f, sync::Linear}});
    for (float row : {-100.0f, -0.5f, 0.0f, 6.99f, 7.0f, 7.5f, 1e6f})
        EXPECT_EQ(track.GetValue(row), 2.5f) << row;
}

TEST(TrackEvaluation, LinearStretchAndOutsideRows) {
    Track track = MakeTrack({{0, 0.0f, sync::Linear}, {10, 1.0f, sync::Step}});
    EXPECT_FLOAT_EQ(track.GetValue(5.0f), 0.5f);
    EXPECT_NEAR(track.GetValue(9.99f), 0.999f, 1e-5);
    EXPECT_EQ(track.GetValue(10.0f), 1.0f);
    EXPECT_EQ(track.GetValue(1000.0f), 1.0f);
    // Negative rows compare as huge unsigned rows: after every key.
    EXPECT_EQ(track.GetValue(-0.5f), 1.0f);
    EXPECT_EQ(track.GetValue(-1e9f), 1.0f);
}

TEST(TrackEvaluation, RowsBeforeFirstKeyGiveFirstValue) {
    Track track = MakeTrack({{4, 3.0f, sync::Linear}, {8, 5.0f, sync::Linear}});
    EXPECT_EQ(track.GetValue(0.0f), 3.0f);
    EXPECT_EQ(track.GetValue(3.999f), 3.0f);
    EXPECT_EQ(track.GetValue(4.0f), 3.0f);
    EXPECT_FLOAT_EQ(track.GetValue(6.0f), 4.0f);
}

TEST(TrackEvaluation, ShapesAtMidpoint) {
    struct Case {
        int type;
        float expected;
    };
    // Keys at 4 (value 2) and 8 (value 6); row 6 is t = 0.5.
    for (Case c : {Case{sync::Step, 2.0f}, Case{sync::Linear, 4.0f}, Case{sync::Smooth, 4.0f}, Case{sync::Ramp, 3.0f},
                   Case{7, 2.0f}, Case{5, 2.0f}, Case{-1, 2.0f}}) {
        Track track = MakeTrack({{4, 2.0f, c.type}, {8, 6.0f, sync::Step}});
        EXPECT_FLOAT_EQ(track.GetValue(6.0f), c.expected) << "type " << c.type;
    }
}

TEST(TrackEvaluation, ShapesOffMidpoint) {
    // Keys 0 -> 0 and 4 -> 1 at row 1: t = 0.25.
    Track smooth = MakeTrack({{0, 0.0f, sync::Smooth}, {4, 1.0f, sync::Step}});
    EXPECT_FLOAT_EQ(smooth.GetValue(1.0f), 0.25f * 0.25f * (3.0f - 0.5f));
    Track ramp = MakeTrack({{0, 0.0f, sync::Ramp}, {4, 1.0f, sync::Step}});
    EXPECT_FLOAT_EQ(ramp.GetValue(1.0f), 0.0625f);
    // The fractional row, not its floor, enters t.
    Track linear = MakeTrack({{0, 0.0f, sync::Linear}, {4, 1.0f, sync::Step}});
    EXPECT_FLOAT_EQ(linear.GetValue(1.5f), 0.375f);
}

TEST(TrackEvaluation, KeyRowsGiveKeyValuesForEveryShape) {
    for (int type = 0; type <= 5; ++type) {
        Track track = MakeTrack({{0, 1.0f, type}, {3, -2.0f, type}, {9, 4.0f, type}, {12, 8.0f, type}});
        EXPECT_EQ(track.GetValue(0.0f), 1.0f) << type;
        EXPECT_EQ(track.GetValue(3.0f), -2.0f) << type;
        EXPECT_EQ(track.GetValue(9.0f), 4.0f) << type;
        EXPECT_EQ(track.GetValue(12.0f), 8.0f) << type;
    }
}

TEST(TrackEvaluation, CatmullRomUsesNeighboursAndRepeatsEnds) {
    // values 0, 1, 4, 9 at rows 0, 10, 20, 30
    Track track = MakeTrack({{0, 0.0f, sync::CatmullRom},
                             {10, 1.0f, sync::CatmullRom},
                             {20, 4.0f, sync::CatmullRom},
                             {30, 9.0f, sync::CatmullRom}});
    auto cr = [](double p0, double p1, double p2, double p3, double t) {
        const double t2 = t * t, t3 = t2 * t;
        return 0.5 *
               ((3 * t3 - 5 * t2 + 2) * p1 + (2 * t2 - t3 - t) * p0 + (4 * t2 - 3 * t3 + t) * p2 + (t3 - t2) * p3);
    };
    // Inner stretch: all four distinct neighbours.
    EXPECT_FLOAT_EQ(track.GetValue(15.0f), static_cast<float>(cr(0, 1, 4, 9, 0.5)));
    // First stretch: p0 = p1.
    EXPECT_FLOAT_EQ(track.GetValue(5.0f), static_cast<float>(cr(0, 0, 1, 4, 0.5)));
    // Last stretch: p3 = p2.
    EXPECT_FLOAT_EQ(track.GetValue(25.0f), static_cast<float>(cr(1, 4, 9, 9, 0.5)));
    EXPECT_FLOAT_EQ(track.GetValue(27.5f), static_cast<float>(cr(1, 4, 9, 9, 0.75)));
}

TEST(TrackEvaluation, UndefinedFloorsAreDefined) {
    EXPECT_EQ(sync::FloorRow(3.0f), 3);
    EXPECT_EQ(sync::FloorRow(3.99f), 3);
    EXPECT_EQ(sync::FloorRow(-0.5f), -1);
    EXPECT_EQ(sync::FloorRow(std::numeric_limits<float>::quiet_NaN()), INT32_MIN);
    EXPECT_EQ(sync::FloorRow(std::numeric_limits<float>::infinity()), INT32_MIN);
    EXPECT_EQ(sync::FloorRow(-std::numeric_limits<float>::infinity()), INT32_MIN);
    EXPECT_EQ(sync::FloorRow(3e9f), INT32_MIN);
    EXPECT_EQ(sync::FloorRow(-2147483648.0f), INT32_MIN);

    Track track = MakeTrack({{0, 1.0f, sync::Linear}, {10, 2.0f, sync::Linear}});
    EXPECT_EQ(track.GetValue(std::numeric_limits<float>::quiet_NaN()), 2.0f);
    EXPECT_EQ(track.GetValue(std::numeric_limits<float>::infinity()), 2.0f);
    EXPECT_EQ(track.GetValue(5e9f), 2.0f);
}

TEST(TrackEvaluation, RowsAboveTwoToThe31AreUnsigned) {
    // A key beyond 0x80000000 is still ordered after the low keys.
    Track track = MakeTrack({{0, 1.0f, sync::Step}, {0x90000000u, 7.0f, sync::Step}});
    EXPECT_EQ(track.GetValue(100.0f), 1.0f);
    EXPECT_EQ(track.GetValue(-1.0f), 7.0f);
}

TEST(TrackEditing, FindSetDeleteClear) {
    Track track("edit");
    EXPECT_EQ(track.FindKey(3), nullptr);
    EXPECT_FALSE(track.IsKeyFrame(3));

    track.SetKey(3, TrackKey{1.0f, sync::Linear});
    track.SetKey(3, TrackKey{2.0f, sync::Ramp});
    EXPECT_EQ(track.KeyCount(), 1u);
    ASSERT_NE(track.FindKey(3), nullptr);
    EXPECT_EQ(track.FindKey(3)->value, 2.0f);
    EXPECT_EQ(track.FindKey(3)->type, sync::Ramp);
    EXPECT_TRUE(track.IsKeyFrame(3));

    EXPECT_EQ(track.DeleteKey(4), 0u);
    EXPECT_EQ(track.KeyCount(), 1u);
    EXPECT_EQ(track.DeleteKey(3), 1u);
    EXPECT_FALSE(track.HasKeys());

    // Keys set and deleted in any order stay ascending by row, compared unsigned.
    for (uint32_t row : {9u, 0x90000000u, 1u, 5u, 2u, 7u})
        track.SetKey(row, TrackKey{static_cast<float>(row), sync::Step});
    EXPECT_EQ(track.DeleteKey(5), 1u);
    std::vector<uint32_t> rows;
    for (const auto& [row, key] : track.keys) {
        rows.push_back(row);
        EXPECT_EQ(key.value, static_cast<float>(row));
    }
    EXPECT_EQ(rows, (std::vector<uint32_t>{1, 2, 7, 9, 0x90000000u}));
    track.Clear();
    EXPECT_EQ(track.KeyCount(), 0u);
}
