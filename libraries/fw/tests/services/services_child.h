#pragma once
// Runs a scenario of this test program in a child process, from a copy of the program
// in a folder of its own (with or without an audio module beside it).

#include <string>
#include <vector>

struct ChildRun {
    int exitCode = -1;
    std::string output;              // standard output and error
    std::vector<std::string> calls;  // the fake audio module's call lines
    std::string folder;
};

// moduleFile: copied as "bass.so" beside the program; empty: no module.
ChildRun RunChildScenario(const std::string& scenario, const std::string& moduleFile,
                          const std::vector<std::string>& environment = {});
// The scenario this process runs as a child, or empty.
std::string ChildScenario();
// The folder of the child (where its music file lies).
std::string ChildFolder();
