// Listening tests of the generated music: length, format, level, beat and spectrum.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numeric>

#include "decode_mp3.h"

namespace {

constexpr double kBeat = 60.0 / 128.0;

const datagen_test::DecodedAudio& Music() {
    static const datagen_test::DecodedAudio audio = datagen_test::DecodeMp3(ZENDRA_DATA_DIR "/demo.mp3");
    return audio;
}

std::vector<float> Mono(const datagen_test::DecodedAudio& a, double from, double to) {
    size_t first = static_cast<size_t>(from * a.rate), last = std::min(a.Frames(), static_cast<size_t>(to * a.rate));
    std::vector<float> mono;
    for (size_t i = first; i < last; ++i)
        mono.push_back(0.5f * (a.samples[i * 2] + a.samples[i * 2 + 1]));
    return mono;
}

// Onset times (seconds from `from`) of the low band, where kick and bass live: the
// steepest rises of its energy envelope, at least a quarter second apart and within
// 30 dB of the loudest moment of the excerpt.
std::vector<double> LowOnsets(const datagen_test::DecodedAudio& a, double from, double to) {
    std::vector<float> x = Mono(a, from, to);
    const double c = std::exp(-2.0 * M_PI * 150.0 / a.rate);
    const double release = std::exp(-1.0 / (0.03 * a.rate));
    double y1 = 0, y2 = 0, follower = 0;
    const size_t hop = 64;
    std::vector<double> energy;  // peak envelope of the low band in dB, every hop
    for (size_t i = 0; i < x.size(); ++i) {
        y1 = (1 - c) * x[i] + c * y1;
        y2 = (1 - c) * y1 + c * y2;
        follower = std::max(std::fabs(y2), follower * release);
        if ((i + 1) % hop == 0)
            energy.push_back(20.0 * std::log10(follower + 1e-9));
    }
    const double frame = static_cast<double>(hop) / a.rate;
    const double loudest = energy.empty() ? 0.0 : *std::max_element(energy.begin(), energy.end());
    // The kick is the loudest thing in the low band: take each upward crossing of a
    // level 6 dB under the loudest moment (re-armed once the level has fallen 6 dB more),
    // traced back to the start of its rise.
    std::vector<double> onsets;
    bool armed = true;
    for (size_t i = 0; i < energy.size(); ++i) {
        if (armed && energy[i] > loudest - 6.0) {
            // Back to where the rise began: the onset itself, not the crossing.
            size_t start = i;
            while (start > 0 && energy[start - 1] < energy[start] - 0.5)
                --start;
            double t = start * frame;
            if (onsets.empty() || t - onsets.back() > 0.25)
                onsets.push_back(t);
            armed = false;
        } else if (energy[i] < loudest - 12.0) {
            armed = true;
        }
    }
    return onsets;
}

double BandEnergy(const std::vector<float>& x, size_t start, int bin) {
    // One bin of a 256-point DFT with a Hann window, as the spectrum table samples it.
    std::complex<double> sum = 0;
    for (int n = 0; n < 256; ++n) {
        double w = 0.5 - 0.5 * std::cos(2 * M_PI * n / 255.0);
        sum += w * x[start + n] * std::polar(1.0, -2 * M_PI * bin * n / 256.0);
    }
    return std::abs(sum);
}

TEST(Music, DecodesToAboutFourMinutesOfStereoAt44100) {
    const auto& a = Music();
    ASSERT_EQ(a.error, "");
    EXPECT_EQ(a.rate, 44100);
    EXPECT_EQ(a.channels, 2);
    double seconds = static_cast<double>(a.Frames()) / a.rate;
    EXPECT_GT(seconds, 235.0);
    EXPECT_LT(seconds, 250.0);
}

TEST(Music, PeaksStayAtOrBelowMinusOneDecibel) {
    const auto& a = Music();
    ASSERT_FALSE(a.samples.empty());
    float peak = 0;
    for (float s : a.samples)
        peak = std::max(peak, std::fabs(s));
    EXPECT_LE(20.0 * std::log10(peak), -1.0);
    EXPECT_GT(20.0 * std::log10(peak), -6.0) << "the master is far too quiet";
}

// Checks the kicks of bars [firstBar, lastBar): one onset a beat, on the beat grid.
void ExpectKickOnEveryBeat(int firstBar, int lastBar) {
    const auto& a = Music();
    ASSERT_FALSE(a.samples.empty());
    const double from = firstBar * 4 * kBeat, to = lastBar * 4 * kBeat;
    const size_t beats = static_cast<size_t>((lastBar - firstBar) * 4);
    std::vector<double> onsets = LowOnsets(a, from, to);
    ASSERT_GT(onsets.size(), beats * 85 / 100) << "one kick a beat";
    EXPECT_LT(onsets.size(), beats + beats / 16);
    std::vector<double> intervals;
    for (size_t i = 1; i < onsets.size(); ++i)
        intervals.push_back(onsets[i] - onsets[i - 1]);
    std::vector<double> sorted = intervals;
    std::sort(sorted.begin(), sorted.end());
    double median = sorted[sorted.size() / 2];
    EXPECT_NEAR(median, kBeat, 0.006);
    size_t onBeat =
        std::count_if(intervals.begin(), intervals.end(), [](double d) { return std::fabs(d - kBeat) < 0.012; });
    EXPECT_GT(onBeat, intervals.size() * 9 / 10);
    // And on the grid: every onset lies close to a whole beat from the section start
    // (within the rise time of the detector, well under the 117 ms of a sixteenth).
    size_t onGrid = 0;
    for (double t : onsets) {
        double phase = std::fmod(t, kBeat);
        if (std::min(phase, kBeat - phase) < 0.03)
            ++onGrid;
    }
    EXPECT_GT(onGrid, onsets.size() * 9 / 10);
}

TEST(Music, KickOnsetsFallOnEveryBeatOfTheFirstDrop) {
    ExpectKickOnEveryBeat(32, 64);
}

TEST(Music, KickOnsetsFallOnEveryBeatOfTheSecondDrop) {
    ExpectKickOnEveryBeat(88, 112);
}

TEST(Music, TheIntroHasNoKick) {
    const auto& a = Music();
    ASSERT_FALSE(a.samples.empty());
    // Measured against the drop's loudness: the pads' low notes are no kick.
    std::vector<double> withDrop = LowOnsets(a, 8 * 4 * kBeat, 48 * 4 * kBeat);
    size_t inIntro = std::count_if(withDrop.begin(), withDrop.end(), [](double t) { return t < 8 * 4 * kBeat; });
    EXPECT_LT(inIntro, 4u);
    EXPECT_GT(withDrop.size(), 100u);
}

TEST(Music, LowBinsAndTheTrebleBinCarryEnergyInTheDrop) {
    const auto& a = Music();
    ASSERT_FALSE(a.samples.empty());
    std::vector<float> drop = Mono(a, 32 * 4 * kBeat, 40 * 4 * kBeat);
    std::vector<float> intro = Mono(a, 2.0, 8 * 4 * kBeat);
    auto mean = [](const std::vector<float>& x, int bin) {
        double sum = 0;
        int n = 0;
        for (size_t s = 0; s + 256 < x.size(); s += 735, ++n)
            sum += BandEnergy(x, s, bin);
        return sum / n;
    };
    double low = mean(drop, 1), lowIntro = mean(intro, 1);
    double treble = mean(drop, 27), trebleIntro = mean(intro, 27);
    double mid = mean(drop, 60);
    EXPECT_GT(low, 3.0 * lowIntro) << "kick and bass fill bins 0 to 6 in the drop";
    EXPECT_GT(treble, 1.5 * trebleIntro) << "the hats fill the bin near 4.65 kHz";
    EXPECT_GT(treble, mid) << "the treble bin stands out above the bins around 10 kHz";
}

}  // namespace
