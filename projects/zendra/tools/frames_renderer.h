#pragma once
// The production drawn without window, dialog or sound: the scene on the software device,
// stepped through the timeline in frames as the show steps it, with the picture of chosen
// rows read back. Works in the current directory, which must be laid out like the shipped
// folder (src/shaders with the effect files, data). One renderer per process.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class Caleidoscope;

namespace zendra_frames {

// Rows per second of the show's clock.
double RowRate();
// Seconds of the frames the renderer steps in between the rows it draws.
constexpr double kFrameSeconds = 1.0 / 30.0;

// An RGBA picture, 8 bits a channel, rows from the top.
struct Picture {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgba;
};
// Mean of (r + g + b) / 3 over the picture, 0 to 1.
double MeanBrightness(const Picture& picture);
// Share of the pixels whose brightest channel is above `level` (0 to 255).
double LitShare(const Picture& picture, int level);
// Mean absolute difference of the colour channels, 0 to 1; 1 for pictures of other sizes.
double MeanDifference(const Picture& a, const Picture& b);
// Share of the pixels with a colour channel that differs by more than `level` (0 to 255);
// 1 for pictures of other sizes.
double ChangedShare(const Picture& a, const Picture& b, int level);
// Writes the picture as PNG (alpha opaque); false when it cannot.
bool WritePng(const Picture& picture, const std::string& path);
// Reads an 8-bit PNG file; false, with the picture empty, when it cannot.
bool ReadPng(const std::string& path, Picture& picture);

// A part of the timeline: "section <name> <first bar> <bars>" lines of a timeline file.
struct Section {
    std::string name;
    int firstBar = 0, bars = 0;
    // The row halfway through the section (32 rows a bar).
    float MiddleRow() const { return float(firstBar * 32 + bars * 16); }
};
std::vector<Section> ReadSections(const std::string& timelinePath);

// Times of one drawn frame, in milliseconds.
struct FrameTimes {
    double update = 0.0;  // clocks, sync tracks, animation, camera variables, scene update
    double render = 0.0;  // the scene's render step until its picture is finished
    std::vector<std::pair<std::string, double>> passes;  // each pass of the render step
};

class ShowRenderer {
public:
    ShowRenderer();
    ~ShowRenderer();
    ShowRenderer(const ShowRenderer&) = delete;
    ShowRenderer& operator=(const ShowRenderer&) = delete;

    // Device, framework, sync tracks, music (for the spectrum) and the scene at that
    // render size; false, with a reason, when the device or the folder is missing.
    bool Open(int width, int height, std::string& error);
    // Steps the show from the last row it reached up to `row` (update only, frames of
    // kFrameSeconds), then draws the frame at `row`. Rows before the last one restart
    // nothing: the clock jumps back as a seek would.
    void RenderAt(float row);
    // The same with the times of the drawn frame. With `passes` the device is waited for
    // after each pass and the passes are timed; without, the frame runs as in the show.
    FrameTimes RenderTimedAt(float row, bool passes = false);
    // The finished picture ("backbuffer") of the last frame.
    Picture ReadPicture() const;
    // Pixels with a NaN or infinite channel in the scene's float colour targets.
    size_t CountNonFinite() const;
    float Row() const;

private:
    void Step(double seconds, bool draw, FrameTimes* times, bool passes);
    void WaitForDevice() const;

    Caleidoscope* mScene = nullptr;  // in the framework's scene list
    double mSeconds = 0.0;
    bool mOpen = false;
};

}  // namespace zendra_frames
