// The audio library over SDL2 audio: streams are decoded whole when they are created, a
// mixer in the device callback plays them, and positions are tracked per mixed buffer so
// that a playing channel reports the sample being heard.
#include <platform/audio.h>

#include "audio_internal.h"

#include <SDL2/SDL.h>

#include <unistd.h>

#include "platform/regular_file.h"

#include <algorithm>
#include <cerrno>
#include <array>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform::audio {
namespace {

constexpr int kBufferFrames = 1024;   // frames per mixed buffer
constexpr DWORD kFullVolume = 10000;  // scale of the global volumes
constexpr DWORD kStreamFlags = BASS_STREAM_PRESCAN | BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT;
constexpr QWORD kNoPosition = static_cast<QWORD>(-1);
constexpr DWORD kNoData = static_cast<DWORD>(-1);

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

thread_local int lastError = BASS_OK;

template <class T>
T Fail(int code, T value) {
    lastError = code;
    return value;
}
BOOL Fail(int code) {
    return Fail<BOOL>(code, FALSE);
}
template <class T>
T Ok(T value) {
    lastError = BASS_OK;
    return value;
}
BOOL Ok() {
    return Ok<BOOL>(TRUE);
}

// One mixed buffer of a channel: source frames [start, end) are heard from heardStart on,
// at framesPerSecond.
struct HeardChunk {
    double heardStart = 0.0;
    double start = 0.0;
    double end = 0.0;
    double framesPerSecond = 0.0;
};

enum class State { Stopped, Playing, Paused };

struct Channel {
    Pcm pcm;
    bool decode = false;
    bool floatSamples = false;
    State state = State::Stopped;
    double pos = 0.0;  // next source frame to mix or to decode
    float volume = 1.0f;
    // Position reported while nothing mixed since the last start or seek is heard yet.
    double heardFrom = 0.0;
    double restartedAt = 0.0;  // when that start or seek happened
    // The last mixed buffers, newest at chunks[(chunkHead + chunkCount - 1) % size].
    std::array<HeardChunk, 64> chunks{};
    size_t chunkHead = 0;
    size_t chunkCount = 0;

    DWORD BlockAlign() const { return static_cast<DWORD>(pcm.channels) * (floatSamples ? 4u : 2u); }

    void PushChunk(const HeardChunk& c) {
        if (chunkCount == chunks.size()) {
            chunkHead = (chunkHead + 1) % chunks.size();
            --chunkCount;
        }
        chunks[(chunkHead + chunkCount) % chunks.size()] = c;
        ++chunkCount;
    }

    // Forget what was mixed: the channel is heard from 'from' once it plays again.
    void Restart(double from) {
        pos = from;
        heardFrom = from;
        restartedAt = Now();
        chunkHead = 0;
        chunkCount = 0;
    }

    // When a buffer mixed at 'now' starts to be heard: after the latency, never before the
    // channel was started, and not before the previous buffer has been heard to its end.
    double HeardStart(double now, double latency) const {
        double start = std::max(now, restartedAt) + latency;
        if (chunkCount > 0) {
            const HeardChunk& last = chunks[(chunkHead + chunkCount - 1) % chunks.size()];
            start = std::max(start, last.heardStart + (last.end - last.start) / last.framesPerSecond);
        }
        return start;
    }

    // The source frame being heard at 'now'.
    double Heard(double now) const {
        for (size_t i = chunkCount; i-- > 0;) {
            const HeardChunk& c = chunks[(chunkHead + i) % chunks.size()];
            if (c.heardStart <= now) {
                return std::min(c.start + (now - c.heardStart) * c.framesPerSecond, c.end);
            }
        }
        return heardFrom;
    }

    // Play position in frames: what is heard while playing or draining, else the read position.
    double Position(double now) const {
        if (!decode && (state == State::Playing || chunkCount > 0)) {
            return Heard(now);
        }
        return pos;
    }
};

struct Engine {
    std::mutex lifecycle;  // serialises BASS_Init and BASS_Free
    std::mutex mutex;      // guards everything below; the mixer holds it while mixing
    bool initialized = false;
    int device = 0;
    DWORD freq = 0;
    DWORD flags = 0;
    SDL_AudioDeviceID sdlDevice = 0;
    int bufferFrames = kBufferFrames;
    double latency = 0.0;  // seconds from mixing a buffer to hearing it
    std::thread silent;    // the clock of the "no sound" device
    std::condition_variable wake;
    bool stopSilent = false;
    std::map<DWORD, std::unique_ptr<Channel>> channels;
    DWORD lastHandle = 0;
    DWORD gvolSample = kFullVolume;
    DWORD gvolStream = kFullVolume;
    DWORD gvolMusic = kFullVolume;
    std::vector<float> silentBuffer;
};

// Made when the library is loaded and destroyed when it is unloaded, after the device
// is closed (see ShutDownOnUnload): never while a device thread may run.
Engine* engine = nullptr;

Engine& E() {
    if (engine == nullptr) {
        engine = new Engine;
    }
    return *engine;
}

__attribute__((constructor)) void MakeEngine() {
    E();
}

Channel* Find(Engine& e, DWORD handle) {
    auto it = e.channels.find(handle);
    return it == e.channels.end() ? nullptr : it->second.get();
}

// Runs 'op' on the channel with the engine locked; an unknown handle fails with 'invalid'.
template <class T, class Op>
T OnChannel(DWORD handle, T invalid, Op op) {
    Engine& e = E();
    std::lock_guard lock(e.mutex);
    Channel* c = Find(e, handle);
    if (c == nullptr) {
        return Fail(BASS_ERROR_HANDLE, invalid);
    }
    return op(*c);
}

// Mixes every playing channel into 'out' (stereo float), called with the mutex held.
void Mix(Engine& e, float* out, int frames, double now) {
    std::fill(out, out + static_cast<size_t>(frames) * 2, 0.0f);
    if (!e.initialized) {
        return;
    }
    const float global = static_cast<float>(e.gvolStream) / kFullVolume;
    for (auto& entry : e.channels) {
        Channel& c = *entry.second;
        if (c.decode || c.state != State::Playing) {
            continue;
        }
        const int ch = c.pcm.channels;
        const int16_t* s = c.pcm.samples.data();
        const size_t length = c.pcm.Frames();
        const float gain = c.volume * global / 32768.0f;
        const double step = static_cast<double>(c.pcm.rate) / e.freq;
        HeardChunk chunk{c.HeardStart(now, e.latency), c.pos, c.pos, static_cast<double>(c.pcm.rate)};
        if (c.pcm.rate == static_cast<int>(e.freq)) {
            const size_t p = static_cast<size_t>(c.pos);
            const size_t n = p < length ? std::min(static_cast<size_t>(frames), length - p) : 0;
            for (size_t i = 0; i < n; ++i) {
                const int16_t* f = s + (p + i) * ch;
                out[2 * i] += f[0] * gain;
                out[2 * i + 1] += f[ch > 1 ? 1 : 0] * gain;
            }
            c.pos = static_cast<double>(p + n);
        } else {
            for (int i = 0; i < frames && c.pos < static_cast<double>(length); ++i) {
                const size_t f = static_cast<size_t>(c.pos);
                const size_t g = std::min(f + 1, length - 1);
                const float w = static_cast<float>(c.pos - static_cast<double>(f));
                for (int k = 0; k < 2; ++k) {
                    const int src = ch > 1 ? k : 0;
                    const float a = s[f * ch + src];
                    const float b = s[g * ch + src];
                    out[2 * i + k] += (a + (b - a) * w) * gain;
                }
                c.pos += step;
            }
            c.pos = std::min(c.pos, static_cast<double>(length));
        }
        chunk.end = c.pos;
        c.PushChunk(chunk);
        if (c.pos >= static_cast<double>(length)) {
            c.state = State::Stopped;  // ended; the chunks still tell what is heard
        }
    }
    for (int i = 0; i < frames * 2; ++i) {
        out[i] = std::clamp(out[i], -1.0f, 1.0f);
    }
}

void SDLCALL DeviceCallback(void* userdata, Uint8* stream, int len) {
    Engine& e = *static_cast<Engine*>(userdata);
    const double now = Now();
    std::lock_guard lock(e.mutex);
    Mix(e, reinterpret_cast<float*>(stream), len / static_cast<int>(2 * sizeof(float)), now);
}

// The "no sound" device: mixes in real time into a buffer nobody hears. Each buffer is
// "heard" from its scheduled time, also when a stalled thread catches up on several.
void SilentLoop(Engine& e) {
    using namespace std::chrono;
    const duration<double> period(double(e.bufferFrames) / e.freq);
    const double start = Now();
    std::unique_lock lock(e.mutex);
    for (uint64_t n = 0; !e.stopSilent; ++n) {
        const double due = start + period.count() * static_cast<double>(n);
        Mix(e, e.silentBuffer.data(), e.bufferFrames, due);
        const auto next = steady_clock::time_point(duration_cast<steady_clock::duration>(
            duration<double>(start + period.count() * static_cast<double>(n + 1))));
        e.wake.wait_until(lock, next, [&] { return e.stopSilent; });
    }
}

BOOL OpenDevice(Engine& e, int device, DWORD freq) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return Fail(BASS_ERROR_DRIVER);
    }
    const char* name = nullptr;
    if (device > 0) {
        if (device > SDL_GetNumAudioDevices(0) || (name = SDL_GetAudioDeviceName(device - 1, 0)) == nullptr) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return Fail(BASS_ERROR_DEVICE);
        }
    }
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(freq);
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kBufferFrames;
    want.callback = DeviceCallback;
    want.userdata = &e;
    SDL_AudioSpec have{};
    const SDL_AudioDeviceID id = SDL_OpenAudioDevice(name, 0, &want, &have, 0);
    if (id == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return Fail(BASS_ERROR_DRIVER);
    }
    std::lock_guard lock(e.mutex);
    e.sdlDevice = id;
    e.bufferFrames = have.samples > 0 ? have.samples : kBufferFrames;
    e.latency = static_cast<double>(e.bufferFrames) / freq;
    return TRUE;
}

// The bytes [offset, offset + length) of a regular file (length 0: up to its end), at most
// kMaxStreamBytes of them; BASS_OK or the error to report.
int ReadFilePart(const char* path, QWORD offset, QWORD length, std::vector<uint8_t>& bytes) {
    RegularFileRead status;
    uint64_t size = 0;
    const int fd = OpenRegularFile(path, status, nullptr, &size);
    if (fd < 0) {
        return BASS_ERROR_FILEOPEN;
    }
    QWORD n = offset <= size ? size - offset : 0;
    if (length != 0 && length < n) {
        n = length;
    }
    int result = offset > size ? BASS_ERROR_FILEFORM : n > kMaxStreamBytes ? BASS_ERROR_MEM : BASS_OK;
    if (result == BASS_OK) {
        bytes.resize(static_cast<size_t>(n));
        size_t filled = 0;
        while (filled < bytes.size()) {
            const ssize_t got =
                ::pread(fd, bytes.data() + filled, bytes.size() - filled, static_cast<off_t>(offset + filled));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            filled += static_cast<size_t>(got);
        }
        bytes.resize(filled);  // a file that shrank meanwhile: what is there
    }
    ::close(fd);
    return result;
}

}  // namespace
}  // namespace platform::audio

using namespace platform::audio;

BOOL WINAPI BASS_SetConfig(DWORD option, DWORD value) {
    Engine& e = E();
    std::lock_guard lock(e.mutex);
    DWORD* target = nullptr;
    switch (option) {
        case BASS_CONFIG_GVOL_SAMPLE:
            target = &e.gvolSample;
            break;
        case BASS_CONFIG_GVOL_STREAM:
            target = &e.gvolStream;
            break;
        case BASS_CONFIG_GVOL_MUSIC:
            target = &e.gvolMusic;
            break;
        default:
            return Fail(BASS_ERROR_ILLTYPE);
    }
    if (value > kFullVolume) {
        return Fail(BASS_ERROR_ILLPARAM);
    }
    *target = value;
    return Ok();
}

int WINAPI BASS_ErrorGetCode(void) {
    return lastError;
}

BOOL WINAPI BASS_Init(int device, DWORD freq, DWORD flags, HWND, const GUID*) {
    Engine& e = E();
    std::lock_guard life(e.lifecycle);
    {
        std::lock_guard lock(e.mutex);
        if (e.initialized) {
            return Fail(BASS_ERROR_ALREADY);
        }
    }
    if (device < -1) {
        return Fail(BASS_ERROR_DEVICE);
    }
    if (freq < 1000 || freq > 384000) {
        return Fail(BASS_ERROR_FORMAT);
    }
    if (device != 0) {
        if (!OpenDevice(e, device, freq)) {
            return FALSE;
        }
    }
    std::lock_guard lock(e.mutex);
    e.device = device;
    e.freq = freq;
    e.flags = flags;
    e.initialized = true;
    if (device == 0) {
        e.bufferFrames = kBufferFrames;
        e.latency = 0.0;
        e.silentBuffer.assign(static_cast<size_t>(e.bufferFrames) * 2, 0.0f);
        e.stopSilent = false;
        e.silent = std::thread(SilentLoop, std::ref(e));
    } else {
        SDL_PauseAudioDevice(e.sdlDevice, 0);
    }
    return Ok();
}

BOOL WINAPI BASS_Free(void) {
    Engine& e = E();
    std::lock_guard life(e.lifecycle);
    SDL_AudioDeviceID device = 0;
    std::thread silent;
    std::map<DWORD, std::unique_ptr<Channel>> channels;
    {
        std::lock_guard lock(e.mutex);
        if (!e.initialized) {
            return Fail(BASS_ERROR_INIT);
        }
        e.initialized = false;
        channels.swap(e.channels);
        device = e.sdlDevice;
        e.sdlDevice = 0;
        e.stopSilent = true;
        silent = std::move(e.silent);
    }
    e.wake.notify_all();
    if (silent.joinable()) {
        silent.join();
    }
    if (device != 0) {
        SDL_CloseAudioDevice(device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    return Ok();
}

BOOL WINAPI BASS_GetInfo(BASS_INFO* info) {
    Engine& e = E();
    std::lock_guard lock(e.mutex);
    if (!e.initialized) {
        return Fail(BASS_ERROR_INIT);
    }
    if (info == nullptr) {
        return Fail(BASS_ERROR_ILLPARAM);
    }
    *info = BASS_INFO{};
    info->minrate = e.freq;
    info->maxrate = e.freq;
    info->initflags = e.flags;
    info->speakers = 2;
    info->freq = e.freq;
    if (e.flags & BASS_DEVICE_LATENCY) {
        const DWORD ms = static_cast<DWORD>(std::lround(e.latency * 1000.0));
        info->latency = ms;
        info->minbuf = static_cast<DWORD>(std::lround(1000.0 * e.bufferFrames / e.freq));
    }
    return Ok();
}

HSTREAM WINAPI BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags) {
    Engine& e = E();
    {
        std::lock_guard lock(e.mutex);
        if (!e.initialized) {
            return Fail<HSTREAM>(BASS_ERROR_INIT, 0);
        }
    }
    if (file == nullptr || (flags & ~kStreamFlags) != 0) {
        return Fail<HSTREAM>(BASS_ERROR_ILLPARAM, 0);
    }
    auto channel = std::make_unique<Channel>();
    channel->decode = (flags & BASS_STREAM_DECODE) != 0;
    channel->floatSamples = (flags & BASS_SAMPLE_FLOAT) != 0;
    Decoded decoded = Decoded::NoSound;
    if (mem) {
        if (length == 0) {
            return Fail<HSTREAM>(BASS_ERROR_FILEFORM, 0);
        }
        if (length > kMaxStreamBytes) {
            return Fail<HSTREAM>(BASS_ERROR_MEM, 0);
        }
        decoded = DecodeMpeg(static_cast<const uint8_t*>(file) + offset, static_cast<size_t>(length), channel->pcm);
    } else {
        std::vector<uint8_t> bytes;
        const int error = ReadFilePart(static_cast<const char*>(file), offset, length, bytes);
        if (error != BASS_OK) {
            return Fail<HSTREAM>(error, 0);
        }
        decoded = DecodeMpeg(bytes.data(), bytes.size(), channel->pcm);
    }
    if (decoded != Decoded::Sound) {
        return Fail<HSTREAM>(decoded == Decoded::TooLong ? BASS_ERROR_MEM : BASS_ERROR_FILEFORM, 0);
    }
    std::lock_guard lock(e.mutex);
    if (!e.initialized) {
        return Fail<HSTREAM>(BASS_ERROR_INIT, 0);
    }
    do {
        ++e.lastHandle;
    } while (e.lastHandle == 0 || e.channels.count(e.lastHandle) != 0);
    e.channels.emplace(e.lastHandle, std::move(channel));
    return Ok<HSTREAM>(e.lastHandle);
}

BOOL WINAPI BASS_StreamFree(HSTREAM handle) {
    Engine& e = E();
    std::unique_ptr<Channel> freed;
    std::lock_guard lock(e.mutex);
    auto it = e.channels.find(handle);
    if (it == e.channels.end()) {
        return Fail(BASS_ERROR_HANDLE);
    }
    freed = std::move(it->second);
    e.channels.erase(it);
    return Ok();
}

// Tracker modules are not supported: nothing loads, nothing is freed.
HMUSIC WINAPI BASS_MusicLoad(BOOL, const void*, QWORD, DWORD, DWORD, DWORD) {
    Engine& e = E();
    std::lock_guard lock(e.mutex);
    return Fail<HMUSIC>(e.initialized ? BASS_ERROR_FILEFORM : BASS_ERROR_INIT, 0);
}

BOOL WINAPI BASS_MusicFree(HMUSIC) {
    return Fail(BASS_ERROR_HANDLE);
}

BOOL WINAPI BASS_ChannelPlay(DWORD handle, BOOL restart) {
    return OnChannel<BOOL>(handle, FALSE, [&](Channel& c) -> BOOL {
        if (c.decode) {
            return Fail(BASS_ERROR_DECODE);
        }
        if (restart) {
            c.Restart(0.0);
        } else if (c.state == State::Playing) {
            return Ok();
        } else {
            c.Restart(std::floor(c.Position(Now())));
        }
        c.state = State::Playing;
        return Ok();
    });
}

BOOL WINAPI BASS_ChannelPause(DWORD handle) {
    return OnChannel<BOOL>(handle, FALSE, [&](Channel& c) -> BOOL {
        if (c.state == State::Paused) {
            return Fail(BASS_ERROR_ALREADY);
        }
        if (c.state != State::Playing) {
            return Fail(BASS_ERROR_NOPLAY);
        }
        // Resume from what is heard now; the rest of the device buffer is played again.
        c.Restart(std::floor(c.Heard(Now())));
        c.state = State::Paused;
        return Ok();
    });
}

BOOL WINAPI BASS_ChannelStop(DWORD handle) {
    return OnChannel<BOOL>(handle, FALSE, [&](Channel& c) -> BOOL {
        c.Restart(std::floor(c.Position(Now())));
        c.state = State::Stopped;
        return Ok();
    });
}

QWORD WINAPI BASS_ChannelSeconds2Bytes(DWORD handle, double pos) {
    return OnChannel<QWORD>(handle, kNoPosition, [&](Channel& c) -> QWORD {
        const double frames = pos * c.pcm.rate;
        if (!(frames >= 0.0) || frames > 1e15) {
            return Fail(BASS_ERROR_ILLPARAM, kNoPosition);
        }
        // Whole frames; a time computed from a frame count maps back to that frame.
        double whole = std::floor(frames);
        if (frames - whole > 1.0 - 1e-6) {
            whole += 1.0;
        }
        return Ok(static_cast<QWORD>(whole) * c.BlockAlign());
    });
}

double WINAPI BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
    return OnChannel<double>(
        handle, -1.0, [&](Channel& c) -> double { return Ok(static_cast<double>(pos) / c.BlockAlign() / c.pcm.rate); });
}

BOOL WINAPI BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode) {
    return OnChannel<BOOL>(handle, FALSE, [&](Channel& c) -> BOOL {
        if (mode != BASS_POS_BYTE) {
            return Fail(BASS_ERROR_NOTAVAIL);
        }
        const QWORD frame = pos / c.BlockAlign();
        if (frame > c.pcm.Frames()) {
            return Fail(BASS_ERROR_POSITION);
        }
        c.Restart(static_cast<double>(frame));
        return Ok();
    });
}

QWORD WINAPI BASS_ChannelGetPosition(DWORD handle, DWORD mode) {
    return OnChannel<QWORD>(handle, kNoPosition, [&](Channel& c) -> QWORD {
        if (mode != BASS_POS_BYTE) {
            return Fail(BASS_ERROR_NOTAVAIL, kNoPosition);
        }
        return Ok(static_cast<QWORD>(std::floor(c.Position(Now()))) * c.BlockAlign());
    });
}

BOOL WINAPI BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
    return OnChannel<BOOL>(handle, FALSE, [&](Channel& c) -> BOOL {
        if (attrib != BASS_ATTRIB_VOL) {
            return Fail(BASS_ERROR_ILLTYPE);
        }
        if (!(value >= 0.0f) || std::isinf(value)) {
            return Fail(BASS_ERROR_ILLPARAM);
        }
        c.volume = value;
        return Ok();
    });
}

DWORD WINAPI BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length) {
    return OnChannel<DWORD>(handle, kNoData, [&](Channel& c) -> DWORD {
        if (length == BASS_DATA_AVAILABLE) {
            return Ok<DWORD>(0);  // nothing is buffered ahead
        }
        if (buffer == nullptr) {
            return Fail(BASS_ERROR_ILLPARAM, kNoData);
        }
        const int ch = c.pcm.channels;
        const size_t frames = c.pcm.Frames();
        const int16_t* s = c.pcm.samples.data();
        if (length == BASS_DATA_FFT256) {
            // A playing channel is analysed where it is heard; a decoding channel where it
            // decodes, and the samples analysed are consumed.
            const size_t start = static_cast<size_t>(std::floor(c.Position(Now())));
            if (start >= frames) {
                return Fail(BASS_ERROR_ENDED, kNoData);
            }
            const size_t n = std::min<size_t>(kFftSize, frames - start);
            float mono[kFftSize] = {};
            for (size_t i = 0; i < n; ++i) {
                int sum = 0;
                for (int k = 0; k < ch; ++k) {
                    sum += s[(start + i) * ch + k];
                }
                mono[i] = static_cast<float>(sum) / (32768.0f * ch);
            }
            Spectrum256(mono, static_cast<float*>(buffer));
            if (c.decode) {
                c.pos = static_cast<double>(start + n);
            }
            return Ok(static_cast<DWORD>(n * c.BlockAlign()));
        }
        if ((length & 0xF0000000u) & ~static_cast<DWORD>(BASS_DATA_FLOAT)) {
            return Fail(BASS_ERROR_ILLPARAM, kNoData);  // spectra other than FFT256, or unknown flags
        }
        if (!c.decode) {
            return Fail(BASS_ERROR_NOTAVAIL, kNoData);
        }
        const bool asFloat = (length & BASS_DATA_FLOAT) != 0 || c.floatSamples;
        const size_t frameBytes = static_cast<size_t>(ch) * (asFloat ? sizeof(float) : sizeof(int16_t));
        const size_t wanted = (length & 0x0FFFFFFFu) / frameBytes;
        const size_t start = static_cast<size_t>(c.pos);
        if (wanted > 0 && start >= frames) {
            return Fail(BASS_ERROR_ENDED, kNoData);
        }
        const size_t n = std::min(wanted, frames - start);
        const int16_t* from = s + start * ch;
        if (asFloat) {
            float* out = static_cast<float*>(buffer);
            for (size_t i = 0; i < n * ch; ++i) {
                out[i] = from[i] / 32768.0f;
            }
        } else {
            std::copy(from, from + n * ch, static_cast<int16_t*>(buffer));
        }
        c.pos = static_cast<double>(start + n);
        return Ok(static_cast<DWORD>(n * frameBytes));
    });
}

// Unloading the library (or leaving the process) stops the device first: its thread runs
// code of this library.
__attribute__((destructor)) static void ShutDownOnUnload() {
    bool running = false;
    {
        std::lock_guard lock(E().mutex);
        running = E().initialized;
    }
    if (running) {
        BASS_Free();
    }
    delete engine;
    engine = nullptr;
}
