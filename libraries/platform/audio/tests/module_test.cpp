// The run-time loaded module: found beside the executable, exporting the BASS_* functions
// and nothing else, and working through the addresses looked up by name.
#include <platform/audio.h>

#include "test_signals.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

using namespace audio_test;

namespace {

const std::set<std::string> kExports = {"BASS_SetConfig",
                                        "BASS_ErrorGetCode",
                                        "BASS_Init",
                                        "BASS_Free",
                                        "BASS_GetInfo",
                                        "BASS_StreamCreateFile",
                                        "BASS_StreamFree",
                                        "BASS_MusicLoad",
                                        "BASS_MusicFree",
                                        "BASS_ChannelPlay",
                                        "BASS_ChannelPause",
                                        "BASS_ChannelStop",
                                        "BASS_ChannelSeconds2Bytes",
                                        "BASS_ChannelBytes2Seconds",
                                        "BASS_ChannelSetPosition",
                                        "BASS_ChannelGetPosition",
                                        "BASS_ChannelSetAttribute",
                                        "BASS_ChannelGetData"};

std::string ModulePath() {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "bass.so").string();
}

template <class T>
T Lookup(void* module, const char* name) {
    return reinterpret_cast<T>(dlsym(module, name));
}

}  // namespace

TEST(Module, ExportsExactlyTheLibraryFunctions) {
    const std::string command = "nm -D --defined-only '" + ModulePath() + "'";
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> exported;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        char address[64], type[8], name[512];
        if (std::sscanf(line, "%63s %7s %511s", address, type, name) == 3 && std::string(type) != "A") {
            exported.insert(name);
        }
    }
    ASSERT_EQ(pclose(pipe), 0) << command;
    EXPECT_EQ(exported, kExports);
}

TEST(Module, PlaysThroughLookedUpFunctions) {
    void* module = dlopen(ModulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    for (const std::string& name : kExports) {
        EXPECT_NE(dlsym(module, name.c_str()), nullptr) << name;
    }
    EXPECT_EQ(dlsym(module, "_ZN8platform5audio10DecodeMpegEPKhmRNS0_3PcmEm"), nullptr);

    auto init = Lookup<PFN_BASS_Init>(module, "BASS_Init");
    auto create = Lookup<PFN_BASS_StreamCreateFile>(module, "BASS_StreamCreateFile");
    auto seconds2Bytes = Lookup<PFN_BASS_ChannelSeconds2Bytes>(module, "BASS_ChannelSeconds2Bytes");
    auto setPosition = Lookup<PFN_BASS_ChannelSetPosition>(module, "BASS_ChannelSetPosition");
    auto getData = Lookup<PFN_BASS_ChannelGetData>(module, "BASS_ChannelGetData");
    auto play = Lookup<PFN_BASS_ChannelPlay>(module, "BASS_ChannelPlay");
    auto errorCode = Lookup<PFN_BASS_ErrorGetCode>(module, "BASS_ErrorGetCode");
    auto freeAll = Lookup<PFN_BASS_Free>(module, "BASS_Free");
    ASSERT_TRUE(init && create && seconds2Bytes && setPosition && getData && play && errorCode && freeAll);

    // The module keeps its own state: the statically linked copy is not initialised.
    ASSERT_TRUE(init(0, 44100, BASS_DEVICE_LATENCY, nullptr, nullptr));
    EXPECT_FALSE(BASS_Free());

    const std::vector<uint8_t> mp3 = EncodeMp3(Sine(27 * 44100.0 / 256.0, 0.5, 1.0));
    const HSTREAM stream = create(TRUE, mp3.data(), 0, mp3.size(), BASS_STREAM_PRESCAN);
    const HSTREAM decode = create(TRUE, mp3.data(), 0, mp3.size(), BASS_STREAM_PRESCAN | BASS_STREAM_DECODE);
    ASSERT_NE(stream, 0u);
    ASSERT_NE(decode, 0u);
    EXPECT_TRUE(play(stream, TRUE));
    ASSERT_TRUE(setPosition(decode, seconds2Bytes(decode, 0.5), BASS_POS_BYTE));
    std::vector<float> fft(256, 0.0f);
    ASSERT_EQ(getData(decode, fft.data(), BASS_DATA_FFT256), 1024u);
    EXPECT_EQ(std::max_element(fft.begin(), fft.end()) - fft.begin(), 27);
    EXPECT_FALSE(play(0, FALSE));
    EXPECT_EQ(errorCode(), BASS_ERROR_HANDLE);
    // Unloading with the device still open is safe: the module stops it first.
    EXPECT_EQ(dlclose(module), 0);
}
