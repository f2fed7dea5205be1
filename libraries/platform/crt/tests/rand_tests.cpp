#include "platform/crt.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

namespace {

// Exits with 0 when the next three values are the first three of the sequence.
void ExitWithFirstValuesCheck()
{
    int a = rand();
    int b = rand();
    int c = rand();
    std::exit(a == 41 && b == 18467 && c == 6334 ? 0 : 1);
}

// Fresh processes start at state 1, but tests share one process: srand(1) restores it.
TEST(Rand, FirstValuesOfTheOriginalSequence)
{
    srand(1);
    EXPECT_EQ(41, rand());
    EXPECT_EQ(18467, rand());
    EXPECT_EQ(6334, rand());
    EXPECT_EQ(26500, rand());
    EXPECT_EQ(19169, rand());
}

TEST(Rand, UnseededProcessStartsAtStateOne)
{
    // Run this test alone in a child process so no other test has drawn before.
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(ExitWithFirstValuesCheck(), testing::ExitedWithCode(0), "");
}

TEST(Rand, SeedingRepeatsTheSequenceAndValuesStayIn15Bits)
{
    srand(394);
    int first[100];
    for (int& v : first) {
        v = rand();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }
    srand(394);
    for (int v : first)
        EXPECT_EQ(v, rand());
    uint32_t state = 394;
    srand(394);
    for (int i = 0; i < 1000; ++i) {
        state = state * 214013u + 2531011u;
        ASSERT_EQ(static_cast<int>((state >> 16) & 0x7FFF), rand()) << i;
    }
}

TEST(Rand, StdRandAndTheDynamicSymbolAreOurs)
{
    srand(1);
    EXPECT_EQ(41, std::rand());
    using RandFn = int (*)();
    auto symbol = reinterpret_cast<RandFn>(dlsym(RTLD_DEFAULT, "rand"));
    ASSERT_NE(nullptr, symbol);
    EXPECT_EQ(18467, symbol());
    EXPECT_EQ(0x7FFF, RAND_MAX);
}

TEST(Rand, LoadedModulesShareTheSequence)
{
    char exe[4096] = {};
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(n, 0);
    std::string folder(exe, static_cast<size_t>(n));
    folder = folder.substr(0, folder.rfind('/'));
    void* module = dlopen((folder + "/crt_rand_probe.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, module) << dlerror();
    auto probe = reinterpret_cast<int (*)()>(dlsym(module, "CrtProbeRand"));
    ASSERT_NE(nullptr, probe);
    srand(1);
    EXPECT_EQ(41, probe());
    EXPECT_EQ(18467, rand());
    EXPECT_EQ(6334, probe());
    dlclose(module);
}

} // namespace
