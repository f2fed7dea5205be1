// A stand-in audio module that records every call as one line in the file named by
// FAKE_BASS_LOG, for tests of the calls the music player makes. BASS_Init with the
// default device fails when FAKE_BASS_INIT_FAIL is set.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/audio.h"

namespace {

constexpr double kBytesPerSecond = 44100.0 * 4.0;
QWORD gPosition[4] = {};

void Record(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Record(const char* format, ...) {
    const char* path = std::getenv("FAKE_BASS_LOG");
    if (!path)
        return;
    FILE* file = std::fopen(path, "ab");
    if (!file)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(file, format, args);
    va_end(args);
    std::fputc('\n', file);
    std::fclose(file);
}

}  // namespace

BASS_API BOOL WINAPI BASS_SetConfig(DWORD option, DWORD value) {
    Record("SetConfig(%u, %u)", option, value);
    return TRUE;
}

BASS_API int WINAPI BASS_ErrorGetCode(void) {
    return 0;
}

BASS_API BOOL WINAPI BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const GUID* dsguid) {
    Record("Init(%d, %u, 0x%x, %s, %s)", device, freq, flags, win ? "window" : "null", dsguid ? "guid" : "null");
    return device == -1 && std::getenv("FAKE_BASS_INIT_FAIL") ? FALSE : TRUE;
}

BASS_API BOOL WINAPI BASS_Free(void) {
    Record("Free()");
    return TRUE;
}

BASS_API BOOL WINAPI BASS_GetInfo(BASS_INFO* info) {
    Record("GetInfo()");
    std::memset(info, 0, sizeof *info);
    info->latency = 42;
    return TRUE;
}

BASS_API HSTREAM WINAPI BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags) {
    // The bytes must be the file's: the test writes files that begin with "ID3".
    const bool id3 = mem && file && length >= 3 && std::memcmp(file, "ID3", 3) == 0;
    Record("StreamCreateFile(%d, %s, %llu, %llu, 0x%x)", mem, id3 ? "data" : "other",
           static_cast<unsigned long long>(offset), static_cast<unsigned long long>(length), flags);
    if (!id3)
        return 0;
    return (flags & BASS_STREAM_DECODE) ? 2 : 1;
}

BASS_API BOOL WINAPI BASS_StreamFree(HSTREAM handle) {
    Record("StreamFree(%u)", handle);
    return TRUE;
}

BASS_API HMUSIC WINAPI BASS_MusicLoad(BOOL, const void*, QWORD, DWORD, DWORD, DWORD) {
    Record("MusicLoad()");
    return 0;
}

BASS_API BOOL WINAPI BASS_MusicFree(HMUSIC handle) {
    Record("MusicFree(%u)", handle);
    return TRUE;
}

BASS_API BOOL WINAPI BASS_ChannelPlay(DWORD handle, BOOL restart) {
    Record("ChannelPlay(%u, %d)", handle, restart);
    if (restart && handle < 4)
        gPosition[handle] = 0;
    return handle != 0;
}

BASS_API BOOL WINAPI BASS_ChannelPause(DWORD handle) {
    Record("ChannelPause(%u)", handle);
    return handle != 0;
}

BASS_API BOOL WINAPI BASS_ChannelStop(DWORD handle) {
    Record("ChannelStop(%u)", handle);
    return handle != 0;
}

BASS_API QWORD WINAPI BASS_ChannelSeconds2Bytes(DWORD handle, double pos) {
    Record("ChannelSeconds2Bytes(%u, %.4f)", handle, pos);
    return static_cast<QWORD>(pos * kBytesPerSecond);
}

BASS_API double WINAPI BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
    Record("ChannelBytes2Seconds(%u, %llu)", handle, static_cast<unsigned long long>(pos));
    return static_cast<double>(pos) / kBytesPerSecond;
}

BASS_API BOOL WINAPI BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode) {
    Record("ChannelSetPosition(%u, %llu, %u)", handle, static_cast<unsigned long long>(pos), mode);
    if (handle < 4)
        gPosition[handle] = pos;
    return handle != 0;
}

BASS_API QWORD WINAPI BASS_ChannelGetPosition(DWORD handle, DWORD mode) {
    Record("ChannelGetPosition(%u, %u)", handle, mode);
    return handle < 4 ? gPosition[handle] : 0;
}

BASS_API BOOL WINAPI BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
    Record("ChannelSetAttribute(%u, %u, %.2f)", handle, attrib, value);
    return handle != 0;
}

BASS_API DWORD WINAPI BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length) {
    Record("ChannelGetData(%u, 0x%x)", handle, length);
    if (handle == 0 || length != BASS_DATA_FFT256)
        return static_cast<DWORD>(-1);
    // 128 magnitudes that depend on the position only.
    float* out = static_cast<float*>(buffer);
    for (int i = 0; i < 128; ++i)
        out[i] = static_cast<float>(gPosition[handle] % 1000) / 1000.0f + static_cast<float>(i);
    return 128 * sizeof(float);
}
