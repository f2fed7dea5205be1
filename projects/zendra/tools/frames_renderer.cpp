#include "frames_renderer.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "Caleidoscope.h"
#include "FucrrEffect.h"
#include "Show.h"
#include "d3d10_read_back.h"
#include "fw_Framework.h"
#include "fw_Log.h"
#include "fw_Release.h"
#include "fw_SyncTimer.h"
#include "fw_Texture.h"
#include "platform/d3d10.h"
#include "platform/d3dx10effect.h"
#include "platform/d3dx10tex.h"
#include "platform/image_codec.h"

namespace zendra_frames {

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

bool Exists(const char* path) {
    struct stat info;
    return ::stat(path, &info) == 0;
}

fw_Texture* Target(const char* name) {
    return gFramework ? gFramework->FindTexture(name) : nullptr;
}

// The pass hook's state: the renderer that times, its frame and the last mark.
struct PassTiming {
    const ShowRenderer* renderer = nullptr;
    FrameTimes* times = nullptr;
    Clock::time_point mark;
};
PassTiming gTiming;

}  // namespace

double RowRate() {
    return fw_SyncTimer::kRowRate;
}

double MeanBrightness(const Picture& picture) {
    const size_t pixels = size_t(picture.width) * picture.height;
    if (pixels == 0)
        return 0.0;
    double sum = 0.0;
    for (size_t i = 0; i < pixels; ++i)
        sum += picture.rgba[i * 4] + picture.rgba[i * 4 + 1] + picture.rgba[i * 4 + 2];
    return sum / (3.0 * 255.0 * double(pixels));
}

double LitShare(const Picture& picture, int level) {
    const size_t pixels = size_t(picture.width) * picture.height;
    if (pixels == 0)
        return 0.0;
    size_t lit = 0;
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* p = &picture.rgba[i * 4];
        lit += std::max({p[0], p[1], p[2]}) > level;
    }
    return double(lit) / double(pixels);
}

namespace {

// Gives fn the absolute differences of the three colour channels of every pixel and
// returns the share of the pixels (0 to 1) that fn counts; 1 for pictures of other sizes.
template <typename Fn>
double PixelDifferences(const Picture& a, const Picture& b, Fn fn) {
    if (a.width != b.width || a.height != b.height || a.rgba.size() != b.rgba.size())
        return 1.0;
    const size_t pixels = size_t(a.width) * a.height;
    if (pixels == 0)
        return 0.0;
    double counted = 0.0;
    for (size_t i = 0; i < pixels; ++i) {
        int d[3];
        for (int c = 0; c < 3; ++c)
            d[c] = std::abs(int(a.rgba[i * 4 + c]) - int(b.rgba[i * 4 + c]));
        counted += fn(d);
    }
    return counted / double(pixels);
}

}  // namespace

double MeanDifference(const Picture& a, const Picture& b) {
    return PixelDifferences(a, b, [](const int* d) { return (d[0] + d[1] + d[2]) / (3.0 * 255.0); });
}

double ChangedShare(const Picture& a, const Picture& b, int level) {
    return PixelDifferences(a, b, [level](const int* d) { return std::max({d[0], d[1], d[2]}) > level ? 1.0 : 0.0; });
}

bool ReadPng(const std::string& path, Picture& picture) {
    picture = Picture{};
    image_codec::Image image;
    if (!image_codec::LoadImageFile(path, image) || image.dxgiFormat != image_codec::kR8G8B8A8_UNORM ||
        image.IsVolume() || image.cube)
        return false;
    picture.width = image.width;
    picture.height = image.height;
    picture.rgba.assign(image.data.begin(), image.data.begin() + size_t(image.width) * image.height * 4);
    return true;
}

bool WritePng(const Picture& picture, const std::string& path) {
    if (picture.width == 0 || picture.height == 0 || !fw_Framework::mDevice)
        return false;
    std::vector<uint32_t> texels(size_t(picture.width) * picture.height);
    for (size_t i = 0; i < texels.size(); ++i) {
        const uint8_t* p = &picture.rgba[i * 4];
        texels[i] = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | 0xFF000000u;
    }
    fw_Texture image(D3D10_BIND_SHADER_RESOURCE, DXGI_FORMAT_R8G8B8A8_UNORM, picture.width, picture.height, 1,
                     texels.data());
    const bool ok =
        image.mTexture2D && D3DX10SaveTextureToFileA(image.mTexture2D, D3DX10_IFF_PNG, path.c_str()) == S_OK;
    image.Release();
    return ok;
}

std::vector<Section> ReadSections(const std::string& timelinePath) {
    std::vector<Section> sections;
    std::ifstream file(timelinePath);
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream words(line);
        std::string keyword;
        Section section;
        if (words >> keyword && keyword == "section" && words >> section.name >> section.firstBar >> section.bars)
            sections.push_back(section);
    }
    return sections;
}

ShowRenderer::ShowRenderer() = default;

ShowRenderer::~ShowRenderer() {
    if (!mOpen)
        return;
    Caleidoscope::sPassHook = nullptr;
    // As the program ends: the run, the scenes, the framework.
    fw_Framework::EndRun();
    fw_Framework::DeleteScenes();
    delete gFramework;
}

bool ShowRenderer::Open(int width, int height, std::string& error) {
    if (mOpen || gFramework) {
        error = "one renderer per process";
        return false;
    }
    if (width < 1 || height < 1) {
        error = "the size must be at least 1 x 1";
        return false;
    }
    if (!Exists("src/shaders") || !Exists("data/sync")) {
        error = "the working directory holds no src/shaders and data/sync";
        return false;
    }
    if (Exists("zendra.scons")) {
        error = "the working directory is a source folder (zendra.scons), not a shipped one";
        return false;
    }
    // Failures go to the console; the music player opens no sound device.
    fw_Log::SetAlertMode(fw_Log::kAlertsToConsole);
    fw_Log::SetAssertAlertMode(fw_Log::kAlertsToConsole);
    setenv("SDL_AUDIODRIVER", "dummy", 0);

    ID3D10Device* device = nullptr;
    static int softwareModule;
    if (FAILED(D3D10CreateDevice(nullptr, D3D10_DRIVER_TYPE_SOFTWARE, reinterpret_cast<HMODULE>(&softwareModule), 0,
                                 D3D10_SDK_VERSION, &device)) ||
        !device) {
        error = "no software device";
        return false;
    }

    // The program's start-up and the run's start, without dialog, window and swap chain.
    const ShowSettings& show = kShowSettings;
    fw_Framework::ResetState();
    new fw_Framework(fw_Framework::NoStartup{}, show.applicationName);
    fw_Framework::InitWithoutWindow(device, width, height, show.scale, show.aspect, show.musicPath);
    mScene = SetUpShow(*gFramework);
    gFramework->BeginRun();
    if (!Target("backbuffer")) {
        error = "the framework's render targets could not be made";
        return false;
    }
    mOpen = true;
    mSeconds = 0.0;
    // The run's first frames, which render nothing, then its first frame that does.
    for (uint32_t frame = 0; frame <= fw_Framework::kFramesWithoutRender; ++frame)
        Step(0.0, false, nullptr, false);
    return true;
}

float ShowRenderer::Row() const {
    return static_cast<float>(mSeconds * fw_SyncTimer::kRowRate);
}

void ShowRenderer::Step(double seconds, bool draw, FrameTimes* times, bool passes) {
    // The framework's frame on clocks set to `seconds`, without input, "GotoRow", "Scene" and
    // presenting.
    const Clock::time_point start = Clock::now();
    Clock::time_point renderStart;
    bool rendered = false;
    fw_Framework::FrameStep step;
    step.seconds = seconds;
    step.readInput = false;
    step.present = false;
    step.beforeRender = [&] {
        if (!draw) {
            // The simulation steps on every frame of the show, drawn or not.
            if (mScene->mFucrr)
                mScene->mFucrr->Update();
            return false;
        }
        if (times) {
            WaitForDevice();
            times->update = Milliseconds(start, Clock::now());
            gTiming = {this, times, Clock::now()};
            if (passes) {
                Caleidoscope::sPassHook = [](const char* pass) {
                    gTiming.renderer->WaitForDevice();
                    const Clock::time_point now = Clock::now();
                    gTiming.times->passes.emplace_back(pass, Milliseconds(gTiming.mark, now));
                    gTiming.mark = now;
                };
            }
        }
        rendered = true;
        renderStart = Clock::now();
        return true;
    };
    gFramework->StepFrame(step);
    if (rendered && times) {
        WaitForDevice();
        times->render = Milliseconds(renderStart, Clock::now());
        Caleidoscope::sPassHook = nullptr;
        gTiming = {};
    }
}

void ShowRenderer::WaitForDevice() const {
    // Reading a texel of the bound target back waits for the draws into it; the device
    // finishes its work in order, so everything queued before them is done too.
    ID3D10Device* device = fw_Framework::mDevice;
    ID3D10RenderTargetView* view = nullptr;
    ID3D10DepthStencilView* depth = nullptr;
    if (device)
        device->OMGetRenderTargets(1, &view, &depth);
    ID3D10Resource* resource = nullptr;
    if (view)
        view->GetResource(&resource);
    else if (depth)
        depth->GetResource(&resource);
    ID3D10Texture2D* texture = nullptr;
    if (resource && FAILED(resource->QueryInterface(IID_ID3D10Texture2D, reinterpret_cast<void**>(&texture))))
        texture = nullptr;
    if (!texture && Target("backbuffer"))
        (texture = Target("backbuffer")->mTexture2D)->AddRef();
    d3d10test::TextureCopy texel;  // reading one texel waits for the device
    if (texture)
        d3d10test::ReadTexture(texture, texel, true);
    SafeRelease(texture);
    SafeRelease(resource);
    SafeRelease(view);
    SafeRelease(depth);
}

static double SecondsOfRow(float row) {
    // As a seek: the first clock value whose row is not below the wanted one.
    float t = static_cast<float>(double(row) / fw_SyncTimer::kRowRate);
    while (std::isfinite(t) && static_cast<float>(double(t) * fw_SyncTimer::kRowRate) < row)
        t = std::nextafter(t, INFINITY);
    return t;
}

void ShowRenderer::RenderAt(float row) {
    (void)RenderTimedAt(row);
}

FrameTimes ShowRenderer::RenderTimedAt(float row, bool passes) {
    FrameTimes times;
    if (!mOpen)
        return times;
    const double target = SecondsOfRow(std::max(row, 0.0f));
    // Whole frames from the last one up to the row, as the show would run through them.
    double next = (std::floor(mSeconds / kFrameSeconds + 1e-9) + 1.0) * kFrameSeconds;
    for (; next < target - 1e-9; next += kFrameSeconds)
        Step(next, false, nullptr, false);
    mSeconds = target;
    Step(target, true, &times, passes);
    return times;
}

Picture ShowRenderer::ReadPicture() const {
    Picture picture;
    fw_Texture* target = Target("backbuffer");
    if (!target)
        return picture;
    d3d10test::TextureCopy copy;
    if (!d3d10test::ReadTexture(target->mTexture2D, copy))
        return picture;
    const D3D10_TEXTURE2D_DESC& desc = copy.desc;
    picture.width = desc.Width;
    picture.height = desc.Height;
    picture.rgba.resize(size_t(desc.Width) * desc.Height * 4);
    const bool bgra = desc.Format == DXGI_FORMAT_B8G8R8A8_UNORM;
    for (uint32_t y = 0; y < desc.Height; ++y) {
        uint8_t* out = &picture.rgba[size_t(y) * desc.Width * 4];
        std::memcpy(out, copy.Row(y), size_t(desc.Width) * 4);
        if (bgra)
            for (uint32_t x = 0; x < desc.Width; ++x)
                std::swap(out[x * 4], out[x * 4 + 2]);
    }
    return picture;
}

size_t ShowRenderer::CountNonFinite() const {
    size_t count = 0;
    for (const char* name : {"r16g16b16a16f_1", "r16g16b16a16f_2"}) {
        fw_Texture* target = Target(name);
        if (!target)
            continue;
        d3d10test::TextureCopy copy;
        d3d10test::ReadTexture(target->mTexture2D, copy);
        for (uint32_t y = 0; y < copy.desc.Height; ++y) {
            for (uint32_t x = 0; x < copy.desc.Width; ++x) {
                uint16_t h[4];
                std::memcpy(h, copy.Row(y) + x * 8, 8);
                bool finite = true;
                for (uint16_t channel : h)
                    finite = finite && std::isfinite(image_codec::HalfToFloat(channel));
                count += !finite;
            }
        }
    }
    return count;
}

}  // namespace zendra_frames
