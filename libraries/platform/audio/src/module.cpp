// The module's exports are the BASS_* functions of platform_audio_impl (linked whole).
#include <platform/audio.h>
