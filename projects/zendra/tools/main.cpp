// zendra_datagen: turns the sources in content/ into the production's data folder.
//
//   zendra_datagen --content <dir> --out <dir> [--timeline <file>] [--music-seconds <s>]
//                  [--only tracks,music,scene,meshes,images,noise]

#include <cstdio>
#include <exception>
#include <functional>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "common.h"
#include "generator.h"
#include "music.h"
#include "timeline.h"

namespace fs = std::filesystem;
using namespace datagen;

namespace {

struct Options {
    fs::path content;
    fs::path out;
    std::string timeline = "demo.timeline";
    double musicSeconds = 0.0;  // 0: the whole score
    std::set<std::string> only;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: zendra_datagen --content <dir> --out <dir> [--timeline <file>] [--music-seconds <s>]\n"
                 "                      [--only tracks,music,scene,meshes,images,noise]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 >= argc)
            return Usage();
        std::string v = argv[++i];
        if (a == "--content")
            o.content = v;
        else if (a == "--out")
            o.out = v;
        else if (a == "--timeline")
            o.timeline = v;
        else if (a == "--music-seconds")
            o.musicSeconds = std::stod(v);
        else if (a == "--only") {
            std::stringstream list(v);
            std::string item;
            while (std::getline(list, item, ','))
                o.only.insert(item);
        } else
            return Usage();
    }
    if (o.content.empty() || o.out.empty())
        return Usage();
    auto wanted = [&](const char* stage) { return o.only.empty() || o.only.count(stage); };

    std::vector<std::pair<std::string, std::function<void()>>> stages;
    if (wanted("tracks"))
        stages.emplace_back("tracks", [&] {
            fs::path file = o.content / o.timeline;
            Timeline timeline = ParseTimeline(ReadTextFile(file), file.string());
            WriteTrackFiles(timeline, o.out);
        });
    if (wanted("music"))
        stages.emplace_back("music", [&] {
            fs::path file = o.content / "score.txt";
            Score score = ParseScore(ReadTextFile(file), file.string());
            // The program caches the music's spectrum in fft.dat and trusts it: new music
            // makes the old cache wrong, so it goes.
            if (WriteFile(o.out / "demo.mp3", EncodeMp3(RenderScore(score, o.musicSeconds))))
                fs::remove(o.out / "fft.dat");
        });
    if (wanted("scene"))
        stages.emplace_back(
            "scene", [&] { WriteFile(o.out / "caleidoscope.xml", ReadTextFile(o.content / "caleidoscope.xml")); });
    if (wanted("meshes"))
        stages.emplace_back("meshes", [&] { WriteMeshes(o.content / "meshes.txt", o.out); });
    if (wanted("images"))
        stages.emplace_back("images", [&] { WriteImages(o.content / "images.txt", o.out); });
    if (wanted("noise"))
        stages.emplace_back("noise", [&] {
            std::vector<uint8_t> noise = MakeNoiseVolume(128, 350);
            WriteFile(o.out / "noise.bin", noise.data(), noise.size());
        });

    std::mutex lock;
    std::vector<std::string> errors;
    std::vector<std::thread> workers;
    for (auto& [name, run] : stages)
        workers.emplace_back([&, name = name, run = run] {
            try {
                run();
            } catch (const std::exception& e) {
                std::lock_guard<std::mutex> guard(lock);
                errors.push_back(name + ": " + e.what());
            }
        });
    for (std::thread& w : workers)
        w.join();
    for (const std::string& e : errors)
        std::fprintf(stderr, "zendra_datagen: %s\n", e.c_str());
    return errors.empty() ? 0 : 1;
}
