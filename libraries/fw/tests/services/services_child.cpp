#include "services_child.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <boost/filesystem.hpp>

namespace fs = boost::filesystem;

std::string ChildScenario() {
    const char* scenario = std::getenv("FW_SERVICES_CHILD");
    return scenario ? scenario : "";
}

std::string ChildFolder() {
    return fs::read_symlink("/proc/self/exe").parent_path().string();
}

ChildRun RunChildScenario(const std::string& scenario, const std::string& moduleFile,
                          const std::vector<std::string>& environment) {
    ChildRun run;
    const fs::path folder = fs::temp_directory_path() / fs::unique_path("fw-child-%%%%-%%%%");
    fs::create_directories(folder);
    run.folder = folder.string();
    const fs::path program = folder / "services_child";
    fs::copy_file(fs::read_symlink("/proc/self/exe"), program);
    fs::permissions(program, fs::owner_all);
    if (!moduleFile.empty())
        fs::copy_file(moduleFile, folder / "bass.so");
    {
        // Looks like an MP3 file to the fake module: it begins with an ID3 tag.
        std::ofstream song((folder / "song.mp3").string(), std::ios::binary);
        song << "ID3" << std::string(997, '\x5a');
    }
    const fs::path calls = folder / "calls.log";

    std::string command = "FW_SERVICES_CHILD='" + scenario + "' FAKE_BASS_LOG='" + calls.string() + "'";
    for (const std::string& variable : environment)
        command += " " + variable;
    command += " '" + program.string() + "' --gtest_filter=MusicChild.Scenario 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.output.append(buffer, count);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;

    std::ifstream lines(calls.string());
    std::string line;
    while (std::getline(lines, line))
        run.calls.push_back(line);
    fs::remove_all(folder);
    return run;
}
