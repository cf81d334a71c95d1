// The table that stands in for the system's signal texts where they differ
// from Linux's is checked against the C library's own descriptions here.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstring>

#include "process/syserr.h"

namespace nimbro {
namespace {

TEST(LinuxSignalDescription, MatchesTheCLibraryForEveryStandardSignal) {
  for (int sig = 1; sig < SIGRTMIN; ++sig) {
    SCOPED_TRACE(sig);
    const char* system = sigdescr_np(sig);
    if (system == nullptr) continue;  // numbers the C library keeps for itself
    const char* table = linuxSignalDescription(sig);
    ASSERT_NE(table, nullptr);
    EXPECT_STREQ(table, system);
  }
  EXPECT_EQ(linuxSignalDescription(SIGRTMIN), nullptr);
}

}  // namespace
}  // namespace nimbro
