// The audio library ("bass.dll"): types, constants and functions with their original
// values. The program never links these functions: it loads the module by name and looks
// each one up with GetProcAddress, so every function also has a pointer type PFN_<name>.
#pragma once

#include <platform/win32_types.h>

#include <cstdint>

typedef uint64_t QWORD;

// Limits of this implementation, not of the original library: a stream decodes at most
// kMaxStreamBytes of MPEG data (from a file or from memory) into at most kMaxStreamFrames
// sample frames (30 minutes at 48 kHz); a larger one is refused with BASS_ERROR_MEM.
namespace platform::audio {
constexpr uint64_t kMaxStreamBytes = uint64_t{256} << 20;
constexpr uint64_t kMaxStreamFrames = uint64_t{48000} * 60 * 30;
}  // namespace platform::audio
typedef DWORD HMUSIC;    // tracker-module music
typedef DWORD HSAMPLE;   // sample
typedef DWORD HCHANNEL;  // playing sample
typedef DWORD HSTREAM;   // sample stream

#if defined(PLATFORM_AUDIO_EXPORTS)
#define BASS_API extern "C" __attribute__((visibility("default")))
#else
#define BASS_API extern "C"
#endif

// Error codes (BASS_ErrorGetCode)
#define BASS_OK 0
#define BASS_ERROR_MEM 1
#define BASS_ERROR_FILEOPEN 2
#define BASS_ERROR_DRIVER 3
#define BASS_ERROR_BUFLOST 4
#define BASS_ERROR_HANDLE 5
#define BASS_ERROR_FORMAT 6
#define BASS_ERROR_POSITION 7
#define BASS_ERROR_INIT 8
#define BASS_ERROR_START 9
#define BASS_ERROR_ALREADY 14
#define BASS_ERROR_NOCHAN 18
#define BASS_ERROR_ILLTYPE 19
#define BASS_ERROR_ILLPARAM 20
#define BASS_ERROR_DEVICE 23
#define BASS_ERROR_NOPLAY 24
#define BASS_ERROR_FREQ 25
#define BASS_ERROR_NOTFILE 27
#define BASS_ERROR_EMPTY 31
#define BASS_ERROR_CREATE 33
#define BASS_ERROR_NOTAVAIL 37
#define BASS_ERROR_DECODE 38
#define BASS_ERROR_FILEFORM 41
#define BASS_ERROR_ENDED 45
#define BASS_ERROR_UNKNOWN -1

// BASS_SetConfig options; the global volumes run from 0 (silent) to 10000 (full)
#define BASS_CONFIG_GVOL_SAMPLE 4
#define BASS_CONFIG_GVOL_STREAM 5
#define BASS_CONFIG_GVOL_MUSIC 6

// BASS_Init flags
#define BASS_DEVICE_8BITS 1
#define BASS_DEVICE_MONO 2
#define BASS_DEVICE_3D 4
#define BASS_DEVICE_LATENCY 0x100

// Sample and stream flags
#define BASS_SAMPLE_8BITS 1
#define BASS_SAMPLE_MONO 2
#define BASS_SAMPLE_LOOP 4
#define BASS_SAMPLE_FLOAT 256
#define BASS_STREAM_PRESCAN 0x20000
#define BASS_STREAM_AUTOFREE 0x40000
#define BASS_STREAM_DECODE 0x200000

// BASS_ChannelGetPosition / BASS_ChannelSetPosition modes
#define BASS_POS_BYTE 0

// BASS_ChannelSetAttribute attributes
#define BASS_ATTRIB_FREQ 1
#define BASS_ATTRIB_VOL 2
#define BASS_ATTRIB_PAN 3

// BASS_ChannelGetData flags: a plain length reads sample data; FFT256 gives 128 floats
#define BASS_DATA_AVAILABLE 0
#define BASS_DATA_FLOAT 0x40000000
#define BASS_DATA_FFT256 0x80000000

struct BASS_INFO {
    DWORD flags;      // device capabilities
    DWORD hwsize;     // total device hardware memory
    DWORD hwfree;     // free device hardware memory
    DWORD freesam;    // free sample slots in the hardware
    DWORD free3d;     // free 3D sample slots in the hardware
    DWORD minrate;    // lowest sample rate supported by the hardware
    DWORD maxrate;    // highest sample rate supported by the hardware
    BOOL eax;         // EAX support
    DWORD minbuf;     // recommended minimum buffer length in ms (with BASS_DEVICE_LATENCY)
    DWORD dsver;      // DirectSound version
    DWORD latency;    // delay in ms before playback starts (with BASS_DEVICE_LATENCY)
    DWORD initflags;  // the flags given to BASS_Init
    DWORD speakers;   // number of speakers
    DWORD freq;       // current output rate
};

BASS_API BOOL WINAPI BASS_SetConfig(DWORD option, DWORD value);
BASS_API int WINAPI BASS_ErrorGetCode(void);
BASS_API BOOL WINAPI BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const GUID* dsguid);
BASS_API BOOL WINAPI BASS_Free(void);
BASS_API BOOL WINAPI BASS_GetInfo(BASS_INFO* info);

BASS_API HSTREAM WINAPI BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);
BASS_API BOOL WINAPI BASS_StreamFree(HSTREAM handle);
BASS_API HMUSIC WINAPI BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD freq);
BASS_API BOOL WINAPI BASS_MusicFree(HMUSIC handle);

BASS_API BOOL WINAPI BASS_ChannelPlay(DWORD handle, BOOL restart);
BASS_API BOOL WINAPI BASS_ChannelPause(DWORD handle);
BASS_API BOOL WINAPI BASS_ChannelStop(DWORD handle);
BASS_API QWORD WINAPI BASS_ChannelSeconds2Bytes(DWORD handle, double pos);
BASS_API double WINAPI BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos);
BASS_API BOOL WINAPI BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode);
BASS_API QWORD WINAPI BASS_ChannelGetPosition(DWORD handle, DWORD mode);
BASS_API BOOL WINAPI BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value);
BASS_API DWORD WINAPI BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length);

typedef BOOL(WINAPI* PFN_BASS_SetConfig)(DWORD option, DWORD value);
typedef int(WINAPI* PFN_BASS_ErrorGetCode)(void);
typedef BOOL(WINAPI* PFN_BASS_Init)(int device, DWORD freq, DWORD flags, HWND win, const GUID* dsguid);
typedef BOOL(WINAPI* PFN_BASS_Free)(void);
typedef BOOL(WINAPI* PFN_BASS_GetInfo)(BASS_INFO* info);
typedef HSTREAM(WINAPI* PFN_BASS_StreamCreateFile)(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);
typedef BOOL(WINAPI* PFN_BASS_StreamFree)(HSTREAM handle);
typedef HMUSIC(WINAPI* PFN_BASS_MusicLoad)(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags,
                                           DWORD freq);
typedef BOOL(WINAPI* PFN_BASS_MusicFree)(HMUSIC handle);
typedef BOOL(WINAPI* PFN_BASS_ChannelPlay)(DWORD handle, BOOL restart);
typedef BOOL(WINAPI* PFN_BASS_ChannelPause)(DWORD handle);
typedef BOOL(WINAPI* PFN_BASS_ChannelStop)(DWORD handle);
typedef QWORD(WINAPI* PFN_BASS_ChannelSeconds2Bytes)(DWORD handle, double pos);
typedef double(WINAPI* PFN_BASS_ChannelBytes2Seconds)(DWORD handle, QWORD pos);
typedef BOOL(WINAPI* PFN_BASS_ChannelSetPosition)(DWORD handle, QWORD pos, DWORD mode);
typedef QWORD(WINAPI* PFN_BASS_ChannelGetPosition)(DWORD handle, DWORD mode);
typedef BOOL(WINAPI* PFN_BASS_ChannelSetAttribute)(DWORD handle, DWORD attrib, float value);
typedef DWORD(WINAPI* PFN_BASS_ChannelGetData)(DWORD handle, void* buffer, DWORD length);
