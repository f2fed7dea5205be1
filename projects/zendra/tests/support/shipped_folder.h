#pragma once
// A temporary folder laid out like the shipped one, for programs that render the show.
#include <boost/filesystem.hpp>

namespace zendratest {

// The effect files (the production's and the framework's) and the show's data, linked;
// the spectrum cache is copied, so that writing it never reaches the source folder.
boost::filesystem::path MakeShippedFolder(const char* prefix);

}  // namespace zendratest
