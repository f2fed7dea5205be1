// Helpers of the framework's main-road tests: a temporary working directory, a sync
// device whose tracks the test sets, a scene that counts its calls, a swap chain that
// counts presents, and a reset of the framework's process-wide state.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "fw_Framework.h"
#include "fw_Scene.h"
#include "platform/dxgi.h"
#include "sync/device.h"
#include "sync/track.h"

namespace core_test {

// Deletes the clocks and the sync timer, then puts every process-wide member of
// fw_Framework back to its default (the scene list is emptied, not deleted).
void ResetFramework();

// A fresh directory, made the working directory for the test's lifetime.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const boost::filesystem::path& Path() const { return mPath; }
    void Touch(const std::string& relative) const;
    void MakeDir(const std::string& relative) const;

private:
    boost::filesystem::path mPath;
    boost::filesystem::path mPrevious;
};

class FakeSyncDevice : public sync::Device {
public:
    FakeSyncDevice() : sync::Device("fake") {}
    sync::Track* GetTrack(const std::string& name) override;
    bool Update(float row) override {
        updates.push_back(row);
        return true;
    }
    void OnPauseToggled() override { ++pauseToggles; }
    float GetJumpTime(int code) override {
        jumpCodes.push_back(code);
        return jumpAnswer;
    }
    void NotifyRow(int value, float row) override { notifiedRows.emplace_back(value, row); }
    // A track holding value at every row.
    void SetConstant(const std::string& name, float value);
    std::map<std::string, std::unique_ptr<sync::Track>> tracks;
    std::vector<float> updates;
    int pauseToggles = 0;
    float jumpAnswer = -1.0f;  // what GetJumpTime answers
    std::vector<int> jumpCodes;
    std::vector<std::pair<int, float>> notifiedRows;
};

// Sets the calling thread's key state (GetKeyState) of a virtual key, as a key message
// taken from the thread's queue does; needs no window or display.
void SetKeyDown(int virtualKey, bool down);

class CountingScene : public fw_Scene {
public:
    explicit CountingScene(const std::string& name = "counting.xml") : fw_Scene(name) {}
    void UpdateAnimation(float t) override {
        ++animations;
        lastAnimationTime = t;
    }
    void Update() override { ++updates; }
    void Render() override { ++renders; }
    void OnActivate() override { ++activations; }
    void OnKeyDown(uint32_t key, bool shift, bool control) override {
        keys.push_back(key);
        lastShift = shift;
        lastControl = control;
    }
    void OnLeftButtonDown() override { ++leftDowns; }
    void OnLeftButtonUp() override { ++leftUps; }
    void OnMouseMove(int x, int y) override {
        lastX = x;
        lastY = y;
    }
    float GetProjectionScale() override { return projectionScale; }

    int animations = 0, updates = 0, renders = 0, activations = 0, leftDowns = 0, leftUps = 0;
    float lastAnimationTime = -1.0f;
    std::vector<uint32_t> keys;
    bool lastShift = true, lastControl = true;
    int lastX = 0, lastY = 0;
    float projectionScale = 1.0f;
};

// Counts presents; reports windowed, and refuses fullscreen `refusals` times.
class CountingSwapChain : public IDXGISwapChain {
public:
    HRESULT QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++references; }
    ULONG Release() override { return --references; }
    HRESULT GetParent(REFIID, void** parent) override {
        *parent = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetDevice(REFIID, void** device) override {
        *device = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT Present(UINT interval, UINT) override {
        ++presents;
        lastInterval = interval;
        return S_OK;
    }
    HRESULT GetBuffer(UINT, REFIID, void** surface) override {
        *surface = nullptr;
        return E_FAIL;
    }
    HRESULT SetFullscreenState(BOOL state, IDXGIOutput*) override {
        ++fullscreenCalls;
        if (state && refusals > 0) {
            --refusals;
            return DXGI_ERROR_NOT_CURRENTLY_AVAILABLE;
        }
        fullscreen = state;
        return S_OK;
    }
    HRESULT GetFullscreenState(BOOL* state, IDXGIOutput** target) override {
        if (state)
            *state = fullscreen;
        if (target)
            *target = nullptr;
        return S_OK;
    }
    HRESULT GetDesc(DXGI_SWAP_CHAIN_DESC*) override { return E_NOTIMPL; }
    HRESULT ResizeBuffers(UINT, UINT, UINT, DXGI_FORMAT, UINT) override { return E_NOTIMPL; }

    ULONG references = 1;
    int presents = 0;
    UINT lastInterval = 99;
    int fullscreenCalls = 0;
    int refusals = 0;
    BOOL fullscreen = FALSE;
};

// The source folder of the framework (for its shader files): ZENDRA_FW_SOURCE_ROOT, else
// the folder the build names; neither gives "" and a test failure.
std::string FrameworkSourceRoot();

// The run loop's clocks for a frame-step test: a new sync timer on device, new demo and
// real clocks started now, and chain as the swap chain (when given).
void StartFrameClocks(sync::Device* device, IDXGISwapChain* chain = nullptr);

// The recording audio module built beside this test program (services_fake_bass);
// empty when the program's own path cannot be read.
boost::filesystem::path RecordingAudioModule();

// One software device (llvmpipe) for the whole process; null when none can be made.
ID3D10Device* SharedSoftwareDevice();

}  // namespace core_test
