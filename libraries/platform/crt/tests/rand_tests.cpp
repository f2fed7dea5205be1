#include "platform/crt.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

// Exits with 0 when the next three values are the first three of the sequence.
void ExitWithFirstValuesCheck() {
    int a = rand();
    int b = rand();
    int c = rand();
    std::exit(a == 41 && b == 18467 && c == 6334 ? 0 : 1);
}

// Fresh processes start at state 1, but tests share one process: srand(1) restores it.
TEST(Rand, FirstValuesOfTheOriginalSequence) {
    srand(1);
    EXPECT_EQ(41, rand());
    EXPECT_EQ(18467, rand());
    EXPECT_EQ(6334, rand());
    EXPECT_EQ(26500, rand());
    EXPECT_EQ(19169, rand());
}

TEST(Rand, UnseededProcessStartsAtStateOne) {
    // Run this test alone in a child process so no other test has drawn before.
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(ExitWithFirstValuesCheck(), testing::ExitedWithCode(0), "");
}

TEST(Rand, SeedingRepeatsTheSequenceAndValuesStayIn15Bits) {
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

TEST(Rand, StdRandAndTheDynamicSymbolAreOurs) {
    srand(1);
    EXPECT_EQ(41, std::rand());
    using RandFn = int (*)();
    auto symbol = reinterpret_cast<RandFn>(dlsym(RTLD_DEFAULT, "rand"));
    ASSERT_NE(nullptr, symbol);
    EXPECT_EQ(18467, symbol());
    EXPECT_EQ(0x7FFF, RAND_MAX);
}

// Draws the first three values on a new thread.
std::vector<int> FirstValuesOnANewThread() {
    std::vector<int> values;
    std::thread([&values] {
        for (int i = 0; i < 3; ++i)
            values.push_back(rand());
    }).join();
    return values;
}

TEST(RandThreads, EveryNewThreadStartsAtStateOne) {
    const std::vector<int> first{41, 18467, 6334};
    EXPECT_EQ(first, FirstValuesOnANewThread());
    // Draws and seeds here do not carry into the next thread.
    srand(394);
    rand();
    EXPECT_EQ(first, FirstValuesOnANewThread());
    EXPECT_EQ(first, FirstValuesOnANewThread());
}

TEST(RandThreads, DrawsOnAnotherThreadLeaveThisThreadsSequenceAlone) {
    srand(882);
    std::vector<int> expected(6);
    for (int& v : expected)
        v = rand();

    srand(882);
    std::vector<int> drawn;
    drawn.push_back(rand());
    drawn.push_back(rand());
    std::thread other([] {
        srand(7);
        for (int i = 0; i < 1000; ++i)
            rand();
    });
    other.join();
    for (int i = 0; i < 4; ++i)
        drawn.push_back(rand());
    EXPECT_EQ(expected, drawn);
}

TEST(RandThreads, ConcurrentThreadsEachDrawTheWholeSequence) {
    srand(1);
    std::vector<int> reference(500);
    for (int& v : reference)
        v = rand();
    std::vector<std::vector<int>> results(4);
    std::vector<std::thread> threads;
    for (auto& result : results)
        threads.emplace_back([&result] {
            for (int i = 0; i < 500; ++i)
                result.push_back(rand());
        });
    for (auto& t : threads)
        t.join();
    for (const auto& result : results)
        EXPECT_EQ(reference, result);
}

TEST(Rand, LoadedModulesShareTheSequence) {
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

}  // namespace
