// The sync namespace must coexist with <unistd.h>, which most system and Boost
// headers pull in and which declares a global function sync().
#include <iostream>
#include <thread>
#include <unistd.h>

#include <boost/filesystem.hpp>
#include <boost/property_tree/ptree.hpp>

#include <gtest/gtest.h>

#include "sync/sync.h"

TEST(UnistdClash, SyncNamespaceAndSystemHeadersCompileTogether) {
    sync::Track track("clash");
    track.SetKey(0, sync::TrackKey{4.0f, sync::Step});
    EXPECT_EQ(track.GetValue(1.0f), 4.0f);
    EXPECT_GT(::getpid(), 0);
}
