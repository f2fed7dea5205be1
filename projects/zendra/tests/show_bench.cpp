// The show's frame time on the software device, one row in the middle of every section,
// with the time of each pass of the scene's render step, printed as a table per size: the
// first frame drawn in each section (where effects meet the device for the first time),
// then medians after a warm-up, their average over the sections and the frames a second.
// Frames are timed as the show draws them; the passes in frames of their own, between
// them, which wait for the device after each pass (so that each pass is charged its own
// work, and which keep the device from overlapping one pass with the next).
//   zendra_show_bench [--root DIR] [--sizes 640x400,1280x800] [--frames N] [--sections A,B]
// --root: a folder laid out like the shipped one (default: a private one made from the
// source tree's effect files and data); --sections: only these sections. Each size runs in
// a process of its own.
// Under CTest (--benchmark_min_time) it draws one small size and three frames only.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>

#include "frames_renderer.h"
#include "support/shipped_folder.h"

namespace fs = boost::filesystem;

namespace {

double Median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

// One size in this process: a table row a section, medians over `frames` frames.
int RunSize(int width, int height, int frames, size_t sectionLimit, const std::string& only) {
    auto sections = zendra_frames::ReadSections(std::string(ZENDRA_PROJECT_DIR) + "/content/demo.timeline");
    if (!only.empty())
        sections.erase(std::remove_if(sections.begin(), sections.end(),
                                      [&](const zendra_frames::Section& s) {
                                          return ("," + only + ",").find("," + s.name + ",") == std::string::npos;
                                      }),
                       sections.end());
    if (sections.size() > sectionLimit)
        sections.resize(sectionLimit);
    zendra_frames::ShowRenderer renderer;
    std::string error;
    if (!renderer.Open(width, height, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    constexpr int kWarmUp = 2;
    const double frameRows = zendra_frames::kFrameSeconds * zendra_frames::RowRate();
    std::vector<std::string> passNames;
    std::vector<std::vector<double>> rows;  // first frame, frame, update, passes...
    for (const auto& section : sections) {
        const zendra_frames::FrameTimes first = renderer.RenderTimedAt(float(section.firstBar * 32));
        for (int i = 0; i < kWarmUp; ++i)
            renderer.RenderAt(section.MiddleRow() + float((i - kWarmUp) * frameRows));
        std::vector<double> frame, update;
        std::map<std::string, std::vector<double>> passes;
        for (int i = 0; i < frames; ++i) {
            const zendra_frames::FrameTimes times =
                renderer.RenderTimedAt(section.MiddleRow() + float(2 * i * frameRows));
            frame.push_back(times.update + times.render);
            update.push_back(times.update);
            const zendra_frames::FrameTimes timed =
                renderer.RenderTimedAt(section.MiddleRow() + float((2 * i + 1) * frameRows), true);
            for (const auto& [name, ms] : timed.passes) {
                if (std::find(passNames.begin(), passNames.end(), name) == passNames.end())
                    passNames.push_back(name);
                passes[name].push_back(ms);
            }
        }
        std::vector<double> cells = {first.update + first.render, Median(frame), Median(update)};
        for (const std::string& name : passNames)
            cells.push_back(passes.count(name) ? Median(passes[name]) : 0.0);
        rows.push_back(cells);
    }
    std::printf(
        "\n%d x %d, llvmpipe, median of %d frames after %d, milliseconds (first: the section's first frame; "
        "update: framework and scene outside GL; passes: from frames that wait after each)\n",
        width, height, frames, kWarmUp);
    std::printf("%-10s %6s %8s %8s %7s", "section", "row", "first", "frame", "update");
    for (const std::string& name : passNames)
        std::printf(" %*s", std::max<int>(7, int(name.size())), name.c_str());
    std::printf("\n");
    double sum = 0.0, slowest = 0.0;
    for (size_t s = 0; s < sections.size(); ++s) {
        std::printf("%-10s %6.0f %8.2f %8.2f %7.2f", sections[s].name.c_str(), sections[s].MiddleRow(), rows[s][0],
                    rows[s][1], rows[s][2]);
        for (size_t p = 0; p < passNames.size(); ++p)
            std::printf(" %*.2f", std::max<int>(7, int(passNames[p].size())),
                        p + 3 < rows[s].size() ? rows[s][p + 3] : 0.0);
        std::printf("\n");
        sum += rows[s][1];
        slowest = std::max(slowest, rows[s][1]);
    }
    if (!sections.empty()) {
        const double average = sum / double(sections.size());
        std::printf("average %.2f ms (%.1f frames a second), slowest section %.2f ms\n", average,
                    average > 0.0 ? 1000.0 / average : 0.0, slowest);
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root, sizes = "640x400,1280x800";
    int frames = 5;
    size_t sectionLimit = 1000;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--root" && i + 1 < argc) {
            root = argv[++i];
        } else if (arg == "--sizes" && i + 1 < argc) {
            sizes = argv[++i];
        } else if (arg == "--sections" && i + 1 < argc) {
            only = argv[++i];
        } else if (arg == "--frames" && i + 1 < argc) {
            frames = std::max(1, std::atoi(argv[++i]));
        } else if (arg.rfind("--benchmark_min_time", 0) == 0) {
            sizes = "160x100";
            frames = 3;
            sectionLimit = 2;
        } else {
            std::fprintf(stderr, "usage: %s [--root DIR] [--sizes WxH,...] [--frames N] [--sections A,B]\n", argv[0]);
            return 2;
        }
    }
    fs::path scratch;
    if (root.empty())
        root = (scratch = zendratest::MakeShippedFolder("zendra-show-bench")).string();
    if (::chdir(root.c_str()) != 0) {
        std::fprintf(stderr, "cannot enter %s\n", root.c_str());
        return 1;
    }

    int result = 0;
    std::stringstream list(sizes);
    std::string size;
    while (std::getline(list, size, ',')) {
        int width = 0, height = 0;
        if (std::sscanf(size.c_str(), "%dx%d", &width, &height) != 2 || width < 1 || height < 1) {
            std::fprintf(stderr, "bad size %s\n", size.c_str());
            result = 2;
            break;
        }
        // The framework's state is process-wide: every size starts a fresh process.
        const pid_t child = fork();
        if (child == 0)
            _exit(RunSize(width, height, frames, sectionLimit, only));
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            result = 1;
    }
    boost::system::error_code ec;
    if (!scratch.empty())
        fs::remove_all(scratch, ec);
    return result;
}
