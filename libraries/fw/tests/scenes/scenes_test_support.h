#pragma once
// Shared set-up for the scene tests: the framework state the scene side reads.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "fw_Framework.h"
#include "fw_Mouse.h"
#include "fw_SyncTimer.h"
#include "fw_Timer.h"
#include "platform/d3dx10math.h"
#include "sync/device.h"

// A sync device over tracks held in memory.
class MemorySyncDevice : public sync::Device {
public:
    MemorySyncDevice() : sync::Device("memory") {}
    sync::Track* GetTrack(const std::string& name) override {
        auto it = tracks.find(name);
        if (it == tracks.end())
            it = tracks.emplace(name, std::make_unique<sync::Track>(name)).first;
        return it->second.get();
    }
    bool Update(float) override { return true; }
    // A constant track: one key at row 0.
    void Set(const std::string& name, float value) {
        sync::TrackKey key;
        key.value = value;
        GetTrack(name)->SetKey(0, key);
    }
    std::map<std::string, std::unique_ptr<sync::Track>> tracks;
};

class SceneTest : public ::testing::Test {
protected:
    void SetUp() override {
        fw_Framework::ResetState();
        fw_Framework::mRenderWidth = 1600;
        fw_Framework::mRenderHeight = 900;
        timer = std::make_unique<fw_Timer>();
        fw_Framework::mDemoTimer = timer.get();
        syncTimer = std::make_unique<fw_SyncTimer>();
        fw_Framework::mSyncTimer = syncTimer.get();
        fw_Framework::mSyncDevice = &device;
        GetMouseState() = fw_MouseState();
    }
    void TearDown() override {
        fw_Framework::ResetState();
        GetMouseState() = fw_MouseState();
    }

    std::unique_ptr<fw_Timer> timer;
    std::unique_ptr<fw_SyncTimer> syncTimer;
    MemorySyncDevice device;
};

inline D3DXVECTOR3 TransformPoint(const D3DXVECTOR3& p, const D3DXMATRIX& m) {
    D3DXVECTOR4 r;
    D3DXVec3Transform(&r, &p, &m);
    return D3DXVECTOR3(r.x, r.y, r.z);
}

inline void ExpectVecNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float eps = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

inline void ExpectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float eps = 1e-5f) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(a.m[r][c], b.m[r][c], eps) << r << "," << c;
}
