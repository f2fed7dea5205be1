// Writes a short MP3 (a chord, 44.1 kHz stereo) for the end-to-end test's data folder.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <lame/lame.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s out.mp3 seconds\n", argv[0]);
        return 2;
    }
    const int rate = 44100;
    const int frames = static_cast<int>(std::atof(argv[2]) * rate);
    std::vector<short> left(frames), right(frames);
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        const double v = 0.3 * std::sin(2 * M_PI * 220 * t) + 0.2 * std::sin(2 * M_PI * 330 * t);
        left[i] = right[i] = static_cast<short>(v * 32767);
    }
    lame_t lame = lame_init();
    lame_set_in_samplerate(lame, rate);
    lame_set_num_channels(lame, 2);
    lame_set_brate(lame, 128);
    if (lame_init_params(lame) < 0)
        return 1;
    std::vector<unsigned char> mp3(static_cast<size_t>(1.25 * frames + 7200));
    int bytes = lame_encode_buffer(lame, left.data(), right.data(), frames, mp3.data(), int(mp3.size()));
    bytes += lame_encode_flush(lame, mp3.data() + bytes, int(mp3.size()) - bytes);
    lame_close(lame);
    FILE* file = std::fopen(argv[1], "wb");
    if (!file || bytes <= 0)
        return 1;
    std::fwrite(mp3.data(), 1, size_t(bytes), file);
    std::fclose(file);
    return 0;
}
