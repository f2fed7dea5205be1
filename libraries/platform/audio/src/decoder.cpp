#include "audio_internal.h"

#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <sys/types.h>

namespace platform::audio {
namespace {

struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

ssize_t ReadMemory(void* handle, void* buffer, size_t bytes) {
    auto* r = static_cast<MemoryReader*>(handle);
    size_t n = r->size - r->pos;
    if (n > bytes) {
        n = bytes;
    }
    std::memcpy(buffer, r->data + r->pos, n);
    r->pos += n;
    return static_cast<ssize_t>(n);
}

off_t SeekMemory(void* handle, off_t offset, int whence) {
    auto* r = static_cast<MemoryReader*>(handle);
    off_t base = 0;
    if (whence == SEEK_CUR) {
        base = static_cast<off_t>(r->pos);
    } else if (whence == SEEK_END) {
        base = static_cast<off_t>(r->size);
    } else if (whence != SEEK_SET) {
        return -1;
    }
    const off_t target = base + offset;
    if (target < 0 || static_cast<size_t>(target) > r->size) {
        return -1;
    }
    r->pos = static_cast<size_t>(target);
    return target;
}

struct HandleCloser {
    void operator()(mpg123_handle* h) const {
        mpg123_close(h);
        mpg123_delete(h);
    }
};

using Handle = std::unique_ptr<mpg123_handle, HandleCloser>;

// A decoder over the data, giving signed 16-bit output at the stream's own rate and channel
// count; null when it cannot open.
Handle Open(MemoryReader& reader) {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int err = MPG123_OK;
    Handle mh(mpg123_new(nullptr, &err));
    if (!mh) {
        return nullptr;
    }
    // Tags are skipped unparsed: their text would be held, as large as the file allows.
    mpg123_param(mh.get(), MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_SKIP_ID3V2, 0.0);
    mpg123_format_none(mh.get());
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i) {
        mpg123_format(mh.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
    if (mpg123_replace_reader_handle(mh.get(), ReadMemory, SeekMemory, nullptr) != MPG123_OK ||
        mpg123_open_handle(mh.get(), &reader) != MPG123_OK) {
        return nullptr;
    }
    return mh;
}

// Sample frames of the stream counted from its frame headers, without decoding; -1 when the
// scan fails. A decoder of its own: a scanned decoder trims a cut stream differently.
int64_t ScannedFrames(const uint8_t* data, size_t size) {
    MemoryReader reader{data, size, 0};
    const Handle mh = Open(reader);
    if (!mh || mpg123_scan(mh.get()) != MPG123_OK) {
        return -1;
    }
    return mpg123_length(mh.get());
}

}  // namespace

Decoded DecodeMpeg(const uint8_t* data, size_t size, Pcm& out, uint64_t maxFrames) {
    out = Pcm{};
    if (data == nullptr || size == 0) {
        return Decoded::NoSound;
    }
    MemoryReader reader{data, size, 0};
    const Handle mh = Open(reader);
    if (!mh) {
        return Decoded::NoSound;
    }

    auto tooLong = [&out] {
        out = Pcm{};
        return Decoded::TooLong;
    };
    // A stream whose headers alone say it is longer than the limit is refused before its
    // sound is held.
    if (const int64_t scanned = ScannedFrames(data, size); scanned > 0 && uint64_t(scanned) > maxFrames) {
        return tooLong();
    }
    try {
        std::vector<unsigned char> chunk(1 << 16);
        bool inFormat = false;  // the output is in the stream's first format
        for (;;) {
            size_t done = 0;
            const int r = mpg123_read(mh.get(), chunk.data(), chunk.size(), &done);
            // Samples returned with a change of format are still in the format before it.
            if (done > 0 && inFormat) {
                const size_t count = done / sizeof(int16_t);
                const size_t old = out.samples.size();
                if ((old + count) / static_cast<size_t>(out.channels) > maxFrames) {
                    return tooLong();
                }
                out.samples.resize(old + count);
                std::memcpy(out.samples.data() + old, chunk.data(), count * sizeof(int16_t));
            }
            if (r == MPG123_NEW_FORMAT) {
                long rate = 0;
                int channels = 0;
                int encoding = 0;
                mpg123_getformat(mh.get(), &rate, &channels, &encoding);
                if (out.rate == 0) {
                    out.rate = static_cast<int>(rate);
                    out.channels = channels;
                    // From the info frame, or estimated: believed only as far as the data can
                    // hold (1152 samples in the smallest frame of 48 bytes) and the limit allows.
                    const off_t expected = mpg123_length(mh.get());
                    const uint64_t most = std::min<uint64_t>(uint64_t(size) * 24, maxFrames);
                    if (expected > 0 && uint64_t(expected) <= most) {
                        out.samples.reserve(static_cast<size_t>(expected + 4608) * static_cast<size_t>(channels));
                    }
                }
                // Frames in another format are damage that passed for headers: skipped.
                inFormat = out.rate == rate && out.channels == channels;
            }
            if (r != MPG123_OK && r != MPG123_NEW_FORMAT) {
                break;  // end of data, or a fault: keep what decoded
            }
        }
        // Whole frames only. The capacity beyond them is not shrunk: never written, it holds
        // no memory, and a copy would hold the sound twice.
        if (out.channels > 0) {
            out.samples.resize(out.Frames() * static_cast<size_t>(out.channels));
        }
    } catch (const std::bad_alloc&) {
        return tooLong();
    }
    if (out.rate > 0 && out.Frames() > 0) {
        return Decoded::Sound;
    }
    out = Pcm{};
    return Decoded::NoSound;
}

}  // namespace platform::audio
