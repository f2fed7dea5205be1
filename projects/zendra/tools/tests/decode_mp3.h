#pragma once
// Decodes an MP3 file whole through libmpg123, for the listening tests.

#include <mpg123.h>

#include <string>
#include <vector>

namespace datagen_test {

struct DecodedAudio {
    long rate = 0;
    int channels = 0;
    std::vector<float> samples;  // interleaved
    std::string error;
    size_t Frames() const { return channels ? samples.size() / channels : 0; }
};

inline DecodedAudio DecodeMp3(const std::string& path) {
    DecodedAudio out;
    mpg123_init();
    int err = 0;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    if (!h) {
        out.error = "mpg123_new failed";
        return out;
    }
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT | MPG123_GAPLESS, 0.0);
    if (mpg123_open(h, path.c_str()) != MPG123_OK) {
        out.error = "cannot open " + path;
        mpg123_delete(h);
        return out;
    }
    int encoding = 0;
    mpg123_getformat(h, &out.rate, &out.channels, &encoding);
    std::vector<unsigned char> buffer(1 << 16);
    while (true) {
        size_t done = 0;
        int r = mpg123_read(h, buffer.data(), buffer.size(), &done);
        const float* f = reinterpret_cast<const float*>(buffer.data());
        out.samples.insert(out.samples.end(), f, f + done / sizeof(float));
        if (r == MPG123_NEW_FORMAT) {
            mpg123_getformat(h, &out.rate, &out.channels, &encoding);
            continue;
        }
        if (r != MPG123_OK)
            break;
    }
    mpg123_close(h);
    mpg123_delete(h);
    return out;
}

}  // namespace datagen_test
