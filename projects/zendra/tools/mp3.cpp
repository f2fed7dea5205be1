// MP3 encoding through libmp3lame.

#include <lame/lame.h>

#include <memory>

#include "common.h"
#include "music.h"

namespace datagen {

std::string EncodeMp3(const StereoBuffer& audio) {
    std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> lame(lame_init(), lame_close);
    if (!lame)
        throw Error("lame_init failed");
    lame_set_num_channels(lame.get(), 2);
    lame_set_in_samplerate(lame.get(), kSampleRate);
    lame_set_out_samplerate(lame.get(), kSampleRate);
    lame_set_mode(lame.get(), JOINT_STEREO);
    lame_set_brate(lame.get(), 192);
    lame_set_quality(lame.get(), 5);
    lame_set_write_id3tag_automatic(lame.get(), 0);
    lame_set_bWriteVbrTag(lame.get(), 1);
    if (lame_init_params(lame.get()) < 0)
        throw Error("lame_init_params failed");

    std::string out;
    const size_t chunk = 8192;
    std::vector<unsigned char> buffer(chunk * 5 / 4 + 7200);
    for (size_t pos = 0; pos < audio.Frames(); pos += chunk) {
        int n = static_cast<int>(std::min(chunk, audio.Frames() - pos));
        int bytes = lame_encode_buffer_ieee_float(lame.get(), audio.left.data() + pos, audio.right.data() + pos, n,
                                                  buffer.data(), static_cast<int>(buffer.size()));
        if (bytes < 0)
            throw Error("MP3 encoding failed (" + std::to_string(bytes) + ")");
        out.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(bytes));
    }
    int bytes = lame_encode_flush(lame.get(), buffer.data(), static_cast<int>(buffer.size()));
    if (bytes < 0)
        throw Error("MP3 encoding failed at the end");
    out.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(bytes));

    // The first frame is a placeholder for the header that carries the stream length and
    // the encoder delay; fill it in now that both are known.
    std::vector<unsigned char> tag(4096);
    size_t tagSize = lame_get_lametag_frame(lame.get(), tag.data(), tag.size());
    if (tagSize > 0 && tagSize <= out.size())
        out.replace(0, tagSize, reinterpret_cast<const char*>(tag.data()), tagSize);
    return out;
}

}  // namespace datagen
