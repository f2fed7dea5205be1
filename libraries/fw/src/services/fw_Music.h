#pragma once
// The show's music on the audio library, and spectra of any moment of it.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio.h"

class fw_Music {
public:
    // Loads the file into memory and creates a play stream and a decode-only stream
    // over it. A missing, unreadable, empty or non-regular file, or one larger than
    // platform::audio::kMaxStreamBytes, gives no data and stream 0 (with a warning unless it
    // is missing): the later calls then act on channel 0 and the show goes on without sound.
    explicit fw_Music(const std::string& path);
    ~fw_Music();
    fw_Music(const fw_Music&) = delete;
    fw_Music& operator=(const fw_Music&) = delete;

    // t == 0 restarts from the beginning; any other t seeks there and plays on.
    void Play(float t);
    void Pause();
    void SetPosition(float t);
    float GetPosition();
    BOOL SetVolume(float volume);
    // 256 entries in fft afterwards: the spectrum of the decode stream at t seconds.
    void GetFFT(float t);
    int GetLatency() const { return static_cast<int>(info.latency); }

    std::vector<float> fft;
    std::vector<uint8_t> fileData;
    uint64_t fileLength = 0;
    HSTREAM stream = 0;
    HSTREAM decodeStream = 0;
    HMUSIC music = 0;
    BASS_INFO info;

private:
    // The channel of every playback operation.
    DWORD Channel() const { return stream ? stream : music; }
};
