#pragma once
// The call-stack walker behind the assertion report: prints the frames of the current
// thread, or names the function that called a given one.

#include <string>
#include <vector>

typedef void (*fw_StackLineSink)(const char* line);

bool IsDebuggerAttached();
// Prints the current call stack (without this function's frame) through PrintStackLine.
void PrintCallStack();
void PrintStackLine(const char* line);
// The name of the first function above `target` on the current stack that is not one
// of the ";"-separated names to skip (a name ending in "*" skips every name with that
// beginning); empty when there is none.
std::string FindCallerName(const char* target, const char* namesToSkip);
void DiscardStackLine(const char* line);

// Sets a 16-byte record to zero.
void ZeroFill16(void* record);

// The functions at which a walk ends: the start-up of the C runtime and the threads.
const std::vector<std::string>& fw_StackStopList();
// Whether `name` is matched by one of the skip names.
bool fw_MatchesSkipName(const std::string& name, const std::vector<std::string>& skipNames);
