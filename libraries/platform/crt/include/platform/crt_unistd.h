// Read <unistd.h> once with its global sync() renamed, so that it cannot clash with
// namespace sync. Force-included into every C++ translation unit by the build; later
// inclusions of <unistd.h> are no-ops thanks to its include guard.
#pragma once
#define sync platform_unistd_sync
#include <unistd.h>
#undef sync
