// Two halves of a piece of work at once, or in turn when they must.
#include "core/base/parallel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace tabrino {
namespace {

TEST(InParallel, BothHalvesRunAndAFailureOfEitherReachesTheCaller) {
  for (const int failing : {0, 1, 2}) {
    bool ran[3] = {};  // each half writes its own
    auto half = [&](int which) {
      ran[which] = true;
      if (failing == which) throw std::runtime_error("half " + std::to_string(which));
    };
    try {
      inParallel([&] { half(1); }, [&] { half(2); });
      EXPECT_EQ(failing, 0);
      EXPECT_TRUE(ran[1] && ran[2]);
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(error.what(), "half " + std::to_string(failing));
    }
  }
}

// A kept second thread serves call after call, each call's pieces done when
// it returns, and a failure of either piece reaches the caller without
// spoiling the calls after it.
TEST(ThreadPair, ServesCallAfterCallAndPassesOnFailures) {
  ThreadPair threads;
  long long sums[2] = {};
  for (int call = 0; call < 1000; ++call) {
    const int failing = call % 100 == 1 ? 1 : call % 100 == 2 ? 2 : 0;
    auto piece = [&](int which) {
      if (failing == which) throw std::runtime_error("piece " + std::to_string(which));
      sums[which - 1] += call;
    };
    try {
      threads.both([&] { piece(1); }, [&] { piece(2); });
      EXPECT_EQ(failing, 0) << call;
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(error.what(), "piece " + std::to_string(failing)) << call;
    }
  }
  // Each sum lacks the calls its piece failed in (1, 101, ... or 2, 102, ...).
  const long long all = 999LL * 1000 / 2;
  EXPECT_EQ(sums[0], all - (1 + 101 + 201 + 301 + 401 + 501 + 601 + 701 + 801 + 901));
  EXPECT_EQ(sums[1], all - (2 + 102 + 202 + 302 + 402 + 502 + 602 + 702 + 802 + 902));
}

#if !defined(_WIN32) && !defined(__SANITIZE_THREAD__)
// The address space the process takes now, in bytes.
unsigned long long addressSpaceInUse() {
  unsigned long long pages = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%llu", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  return pages * static_cast<unsigned long long>(::sysconf(_SC_PAGESIZE));
}

TEST(InParallelDeathTest, RunsBothHalvesInTurnWhenNoSecondThreadCanStart) {
  // A fresh process, whose C library keeps no stack of an earlier thread.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        // A nearly full address space, as a 32-bit process may have: no room
        // for a second thread's stack.
        rlimit limit{};
        ::getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = addressSpaceInUse() + (std::size_t{1} << 20);
        ::setrlimit(RLIMIT_AS, &limit);
        bool threadStarted = true;
        try {
          std::thread([] {}).join();
        } catch (const std::system_error&) {
          threadStarted = false;
        }
        int ran = 0;
        inParallel([&] { ran |= 1; }, [&] { ran |= 2; });
        ThreadPair threads;
        threads.both([&] { ran |= 4; }, [&] { ran |= 8; });
        std::_Exit(threadStarted ? 2 : ran == 15 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace tabrino
