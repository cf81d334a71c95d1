// The test binary doubles as the fake engine and fake docker of the
// end-to-end tests: started with NIMBRO_FAKE_RECORD set, it records how it
// was started and then behaves as its FAKE_* variables say, instead of
// running the tests.
#pragma once

#include <string>
#include <vector>

namespace nimbro::testing {

// Runs the fake child role and returns its exit status when the environment
// asks for it; returns -1 otherwise.
int runFakeChildIfAsked(int argc, char** argv);

// What a fake child recorded about itself.
struct ChildRecord {
  std::vector<std::string> argv;
  std::vector<std::string> env;          // in order
  std::vector<std::string> descriptors;  // "N -> target" for each open descriptor
  std::string sigBlocked, sigIgnored;    // hex masks from /proc/self/status
  std::string fd3Content;                // what descriptor 3 held, if open
  std::string fd0Access;                 // "read-only", "write-only" or "read-write"
  int pid = 0;
  bool present = false;                  // the child ran and wrote a record
};

ChildRecord readChildRecord(const std::string& path);

}  // namespace nimbro::testing
