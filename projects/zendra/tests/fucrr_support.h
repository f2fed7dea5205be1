#pragma once
// Set-up shared by the tetra simulation's tests and benchmark: the software device and
// framework object, a project tree whose shaders are the production's and whose data
// folder holds the tetra mesh, the light probe and scenario 2, the working directory in
// it, a demo clock, settable tracks and the shared effect pool.

#include <memory>
#include <string>
#include <vector>

#include "FucrrEffect.h"
#include "fw_Timer.h"
#include "resources_support.h"

namespace fucrrtest {

// The spectrum table of the production's music, computed once per process through the
// audio module (empty when the module is not built).
const std::vector<FftRecord>& MusicTable();
// Creates the music player on data/demo.mp3 of the production; false without the module.
bool StartMusic();
void StopMusic();
// Writes records as a cache file.
void WriteCache(const std::string& path, const std::vector<FftRecord>& records);
std::vector<FftRecord> ReadCache(const std::string& path);

class FucrrTest : public restest::ResourceTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Links a file of the production's data folder into the tree's data folder.
    void LinkData(const std::string& name) const;
    // Sets the demo clock and runs Update.
    void UpdateAt(FucrrEffect& effect, float seconds);
    void SetKey(const std::string& track, uint32_t row, float value);
    // The 32400 corner sets of the newest state: [n][corner] as x, y, z.
    std::vector<float> ReadState(const FucrrEffect& effect, int set) const;

    fw_Timer clock;
    restest::TestSyncDevice tracks;
    std::string previousDirectory;
};

}  // namespace fucrrtest
