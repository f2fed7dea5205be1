// PNG through libpng, JPEG through libjpeg-turbo. Both report errors by longjmp: the
// functions holding the jump buffer own no objects with destructors, and everything they
// fill lives in a state object of their caller.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>
#include <png.h>

#include "image_internal.h"

namespace image_codec {

namespace {

bool Fail(std::string* error, const std::string& text) {
    if (error)
        *error = text;
    return false;
}

// --- PNG ------------------------------------------------------------------------------

// The largest chunk kept in memory: a palette and its transparency take 1 KiB.
constexpr size_t kMaxPngChunkBytes = 64 * 1024;
// The file goes to the library this much at a time, and no further once the rows are
// complete: the compressed data that follows them is never inflated.
constexpr size_t kPngFeedBytes = 64 * 1024;

struct PngState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::string message;
    Image image;
    std::vector<uint8_t> indices;  // a palette image's, one byte each, expanded at the end
    int lastPass = 0;
    bool complete = false;  // every row of every pass read
};

PngState& StateOf(png_structp png) {
    return *static_cast<PngState*>(png_get_error_ptr(png));
}

// Ends the decoding with `text` as its error. The jump skips the destructors of the frames
// it leaves, so the text goes straight into the state: no string of a caller is built.
[[noreturn]] void PngFail(png_structp png, const char* text) {
    StateOf(png).message = text;
    png_longjmp(png, 1);
}

[[noreturn]] void PngError(png_structp png, png_const_charp message) {
    PngFail(png, message);
}

void PngWarning(png_structp, png_const_charp) {}

// The header is read: the transformations to four channels (palette images keep their
// indices) and the image they fill.
void PngInfo(png_structp png, png_infop info) {
    PngState& s = StateOf(png);
    const int depth = png_get_bit_depth(png, info), type = png_get_color_type(png, info);
    const bool indexed = type == PNG_COLOR_TYPE_PALETTE;
    if (indexed) {
        png_set_packing(png);
    } else {
        if (type == PNG_COLOR_TYPE_GRAY && depth < 8)
            png_set_expand_gray_1_2_4_to_8(png);
        if (png_get_valid(png, info, PNG_INFO_tRNS))
            png_set_tRNS_to_alpha(png);
        if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA)
            png_set_gray_to_rgb(png);
        png_set_add_alpha(png, depth == 16 ? 0xFFFF : 0xFF, PNG_FILLER_AFTER);
        if (depth == 16)
            png_set_swap(png);
    }
    s.lastPass = png_set_interlace_handling(png) - 1;
    png_read_update_info(png, info);

    const uint32_t format = depth == 16 ? kR16G16B16A16_UNORM : kR8G8B8A8_UNORM;
    if (!s.image.Allocate(format, png_get_image_width(png, info), png_get_image_height(png, info), 1, 1, 1, false,
                          &s.message))
        png_longjmp(png, 1);
    if (png_get_rowbytes(png, info) != (indexed ? s.image.width : s.image.RowPitch(0)))
        PngFail(png, "unexpected row size");
    if (indexed)
        s.indices.resize(size_t(s.image.width) * s.image.height);
}

void PngRow(png_structp png, png_bytep row, png_uint_32 number, int pass) {
    PngState& s = StateOf(png);
    if (number >= s.image.height)
        return;
    uint8_t* target = s.indices.empty() ? s.image.data.data() + number * s.image.RowPitch(0)
                                        : s.indices.data() + size_t(number) * s.image.width;
    png_progressive_combine_row(png, target, row);
    if (pass == s.lastPass && number + 1 == s.image.height)
        s.complete = true;
}

// A palette image's indices through its palette and transparency; an index past the
// palette is refused.
bool PngExpandPalette(PngState& s) {
    png_colorp palette = nullptr;
    int entries = 0, alphas = 0;
    png_bytep alpha = nullptr;
    png_get_PLTE(s.png, s.info, &palette, &entries);
    if (png_get_valid(s.png, s.info, PNG_INFO_tRNS))
        png_get_tRNS(s.png, s.info, &alpha, &alphas, nullptr);
    uint8_t* o = s.image.data.data();
    for (const uint8_t index : s.indices) {
        if (index >= entries) {
            s.message =
                "pixel index " + std::to_string(index) + " past its palette of " + std::to_string(entries) + " colours";
            return false;
        }
        o[0] = palette[index].red, o[1] = palette[index].green, o[2] = palette[index].blue;
        o[3] = index < alphas ? alpha[index] : 255;
        o += 4;
    }
    std::vector<uint8_t>().swap(s.indices);
    return true;
}

// Whether every row was read. What follows the rows in the file is not needed for them: an
// error there (a damaged chunk after the image data) does not undo them.
bool ReadPngRows(PngState& s, const uint8_t* bytes, size_t size) {
    if (setjmp(png_jmpbuf(s.png)))
        return s.complete;
    png_set_progressive_read_fn(s.png, &s, PngInfo, PngRow, nullptr);
    // The library refuses a larger header before allocating anything for it.
    png_set_user_limits(s.png, kMaxExtent, kMaxExtent);
    // Only the chunks the texels need are read: text, profiles, suggested palettes and the
    // rest are skipped unread (kept, hundreds of compressed text chunks take gigabytes), and
    // what is kept is small.
    png_set_keep_unknown_chunks(s.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_chunk_malloc_max(s.png, kMaxPngChunkBytes);
    for (size_t pos = 0; pos < size && !s.complete; pos += kPngFeedBytes)
        png_process_data(s.png, s.info, const_cast<png_bytep>(bytes + pos), std::min(kPngFeedBytes, size - pos));
    if (!s.complete)
        s.message = "file truncated";
    return s.complete;
}

// --- JPEG -----------------------------------------------------------------------------

// A progressive file can name thousands of scans, each a pass over every block.
constexpr int kMaxJpegScans = 500;

struct JpegState {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    jpeg_progress_mgr progress{};
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = "";
    std::string why;
    Image image;
};

[[noreturn]] void JpegExit(j_common_ptr c) {
    auto* s = static_cast<JpegState*>(c->client_data);
    c->err->format_message(c, s->message);
    std::longjmp(s->jump, 1);
}

// Warnings mean corrupt or missing data and end the decoding too, but for the two that
// only remark on a header's version or colour transform.
void JpegMessage(j_common_ptr c, int level) {
    if (level < 0 && c->err->msg_code != JWRN_JFIF_MAJOR && c->err->msg_code != JWRN_ADOBE_XFORM)
        JpegExit(c);
}

void JpegProgress(j_common_ptr c) {
    auto* d = reinterpret_cast<j_decompress_ptr>(c);
    if (d->input_scan_number > kMaxJpegScans) {
        auto* s = static_cast<JpegState*>(c->client_data);
        std::snprintf(s->message, sizeof(s->message), "more than %d scans", kMaxJpegScans);
        std::longjmp(s->jump, 1);
    }
}

bool DecodeJpeg(JpegState& s, const uint8_t* bytes, size_t size) {
    if (setjmp(s.jump))
        return false;
    jpeg_create_decompress(&s.cinfo);
    s.cinfo.progress = &s.progress;
    jpeg_mem_src(&s.cinfo, bytes, static_cast<unsigned long>(size));
    jpeg_read_header(&s.cinfo, TRUE);
    if (s.cinfo.image_width > kMaxExtent || s.cinfo.image_height > kMaxExtent) {
        s.why = ExtentTooLarge(s.cinfo.image_width, s.cinfo.image_height);
        return false;
    }
    const bool cmyk = s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK;
    s.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    jpeg_start_decompress(&s.cinfo);
    if (!s.image.Allocate(kR8G8B8A8_UNORM, s.cinfo.output_width, s.cinfo.output_height, 1, 1, 1, false, &s.why))
        return false;
    const size_t pitch = size_t(s.image.RowPitch(0));
    while (s.cinfo.output_scanline < s.cinfo.output_height) {
        JSAMPROW row = s.image.data.data() + s.cinfo.output_scanline * pitch;
        jpeg_read_scanlines(&s.cinfo, &row, 1);
    }
    // Adobe CMYK is stored inverted: each channel times black.
    if (cmyk)
        for (size_t i = 0; i < s.image.data.size(); i += 4) {
            uint8_t* p = &s.image.data[i];
            for (int c = 0; c < 3; ++c)
                p[c] = uint8_t((p[c] * p[3] + 127) / 255);
            p[3] = 255;
        }
    jpeg_finish_decompress(&s.cinfo);
    return true;
}

}  // namespace

bool LoadPNG(const uint8_t* bytes, size_t size, Image& out, std::string* error) {
    // The header chunk comes first: its extent, refused with a clear reason (the library's
    // own limit below is the backstop), and the least the file can take to hold its rows,
    // as deflate packs at most 1032 bytes into one.
    if (size >= 26 && std::memcmp(bytes + 12, "IHDR", 4) == 0) {
        auto be32 = [&](size_t at) {
            return uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 | uint32_t(bytes[at + 2]) << 8 |
                   bytes[at + 3];
        };
        const uint32_t width = be32(16), height = be32(20), depth = bytes[24], type = bytes[25];
        if (width > kMaxExtent || height > kMaxExtent)
            return Fail(error, ExtentTooLarge(width, height));
        const uint32_t channels = type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1;
        if (size < uint64_t(height) * ((uint64_t(width) * channels * depth + 7) / 8 + 1) / 1032)
            return Fail(error, "truncated PNG: the file is shorter than its rows take");
    }
    PngState s;
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s, PngError, PngWarning);
    if (!s.png || !(s.info = png_create_info_struct(s.png))) {
        png_destroy_read_struct(&s.png, nullptr, nullptr);
        return Fail(error, "out of memory");
    }
    const bool ok = ReadPngRows(s, bytes, size) && (s.indices.empty() || PngExpandPalette(s));
    png_destroy_read_struct(&s.png, &s.info, nullptr);
    if (!ok)
        return Fail(error, "PNG decoding failed: " + s.message);
    out = std::move(s.image);
    return true;
}

bool LoadJPG(const uint8_t* bytes, size_t size, Image& out, std::string* error) {
    JpegState s;
    s.cinfo.err = jpeg_std_error(&s.errors);
    s.errors.error_exit = JpegExit;
    s.errors.emit_message = JpegMessage;
    s.cinfo.client_data = &s;
    s.progress.progress_monitor = JpegProgress;
    const bool ok = DecodeJpeg(s, bytes, size);
    jpeg_destroy_decompress(&s.cinfo);
    if (!ok)
        return Fail(error, "JPEG decoding failed: " + (s.why.empty() ? std::string(s.message) : s.why));
    out = std::move(s.image);
    return true;
}

}  // namespace image_codec
