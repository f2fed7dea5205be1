#include "fw_Music.h"

#include <cstring>

#include "fw_Framework.h"
#include "fw_LibraryLoader.h"
#include "fw_Log.h"
#include "platform/regular_file.h"

namespace {

// One process-wide address per audio-library function, filled on first use.
#define FW_BASS_CACHE(name) PFN_##name g_##name = nullptr;
FW_BASS_CACHE(BASS_SetConfig)
FW_BASS_CACHE(BASS_Init)
FW_BASS_CACHE(BASS_Free)
FW_BASS_CACHE(BASS_GetInfo)
FW_BASS_CACHE(BASS_StreamCreateFile)
FW_BASS_CACHE(BASS_StreamFree)
FW_BASS_CACHE(BASS_MusicFree)
FW_BASS_CACHE(BASS_ChannelPlay)
FW_BASS_CACHE(BASS_ChannelPause)
FW_BASS_CACHE(BASS_ChannelStop)
FW_BASS_CACHE(BASS_ChannelSeconds2Bytes)
FW_BASS_CACHE(BASS_ChannelBytes2Seconds)
FW_BASS_CACHE(BASS_ChannelSetPosition)
FW_BASS_CACHE(BASS_ChannelGetPosition)
FW_BASS_CACHE(BASS_ChannelSetAttribute)
FW_BASS_CACHE(BASS_ChannelGetData)
#undef FW_BASS_CACHE

// Calls the function through its cache; a function the library lacks answers 0.
template <typename Proc, typename... Args>
auto CallBass(Proc& cache, const char* name, Args... args) -> decltype(cache(args...)) {
    Proc proc = GetBassProc(cache, name);
    if (!proc)
        return {};
    return proc(args...);
}

#define BASS(name, ...) CallBass(g_##name, #name __VA_OPT__(, ) __VA_ARGS__)

}  // namespace

fw_Music::fw_Music(const std::string& path) {
    HWND window = fw_Framework::mWindow;
    std::memset(&info, 0, sizeof info);

    BASS(BASS_SetConfig, DWORD{BASS_CONFIG_GVOL_MUSIC}, DWORD{5000});
    BASS(BASS_SetConfig, DWORD{BASS_CONFIG_GVOL_SAMPLE}, DWORD{5000});
    BASS(BASS_SetConfig, DWORD{BASS_CONFIG_GVOL_STREAM}, DWORD{5000});

    const GUID* noGuid = nullptr;
    if (!BASS(BASS_Init, -1, DWORD{44100}, DWORD{BASS_DEVICE_LATENCY}, window, noGuid))
        BASS(BASS_Init, 0, DWORD{44100}, DWORD{BASS_DEVICE_LATENCY}, window, noGuid);

    // The whole file, when it is a regular file no larger than a stream the library decodes.
    std::string error;
    const RegularFileRead read = ReadRegularFile(path, platform::audio::kMaxStreamBytes, fileData, &error);
    if (read != RegularFileRead::Ok && read != RegularFileRead::NotFound)
        fw_Log::Write(fw_Log::kWarning, "The music is not played: %s.", error.c_str());
    fileLength = fileData.size();
    if (fileLength > 0) {
        const void* bytes = fileData.data();
        stream =
            BASS(BASS_StreamCreateFile, BOOL{TRUE}, bytes, QWORD{0}, QWORD{fileLength}, DWORD{BASS_STREAM_PRESCAN});
        decodeStream = BASS(BASS_StreamCreateFile, BOOL{TRUE}, bytes, QWORD{0}, QWORD{fileLength},
                            DWORD{BASS_STREAM_PRESCAN | BASS_STREAM_DECODE});
    }

    BASS(BASS_GetInfo, &info);
}

fw_Music::~fw_Music() {
    if (stream != 0) {
        BASS(BASS_ChannelStop, DWORD{stream});
        BASS(BASS_StreamFree, HSTREAM{stream});
    } else if (music != 0) {
        BASS(BASS_ChannelStop, DWORD{music});
        BASS(BASS_MusicFree, HMUSIC{music});
    }
    if (decodeStream != 0)
        BASS(BASS_StreamFree, HSTREAM{decodeStream});
    BASS(BASS_Free);
    // The library and the cached addresses stay valid until the process ends.
}

void fw_Music::Play(float t) {
    if (t != 0.0f)
        SetPosition(t);
    BASS(BASS_ChannelPlay, Channel(), BOOL{t == 0.0f ? TRUE : FALSE});
}

void fw_Music::Pause() {
    BASS(BASS_ChannelPause, Channel());
}

void fw_Music::SetPosition(float t) {
    const DWORD channel = Channel();
    const QWORD bytes = BASS(BASS_ChannelSeconds2Bytes, channel, static_cast<double>(t));
    BASS(BASS_ChannelSetPosition, channel, bytes, DWORD{BASS_POS_BYTE});
}

float fw_Music::GetPosition() {
    const DWORD channel = Channel();
    const QWORD bytes = BASS(BASS_ChannelGetPosition, channel, DWORD{BASS_POS_BYTE});
    return static_cast<float>(BASS(BASS_ChannelBytes2Seconds, channel, bytes));
}

BOOL fw_Music::SetVolume(float volume) {
    return BASS(BASS_ChannelSetAttribute, Channel(), DWORD{BASS_ATTRIB_VOL}, volume);
}

void fw_Music::GetFFT(float t) {
    fft.resize(256, 0.0f);
    if (decodeStream == 0)
        return;
    const QWORD bytes = BASS(BASS_ChannelSeconds2Bytes, DWORD{decodeStream}, static_cast<double>(t));
    BASS(BASS_ChannelSetPosition, DWORD{decodeStream}, bytes, DWORD{BASS_POS_BYTE});
    BASS(BASS_ChannelGetData, DWORD{decodeStream}, static_cast<void*>(fft.data()), DWORD{BASS_DATA_FFT256});
}
