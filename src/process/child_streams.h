// The standard streams of a child. A stream backed by an open descriptor is
// handed over as that descriptor; any other is joined to the child through a
// pipe, and the tool copies between the two while the child runs.
#pragma once

#include <poll.h>

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/error.h"
#include "process/file.h"

namespace nimbro {

class ChildStreams {
 public:
  // Creates the pipes for the streams that have no descriptor.
  Error open(Reader& in, Writer& out, Writer& err);

  // The descriptors that become the child's 0, 1 and 2.
  std::array<int, 3> childFds() const { return childFds_; }
  // Drops the tool's copies of the child's pipe ends once the child holds
  // them, so that a pipe ends when the child (and whoever it shares it with)
  // lets go.
  void closeChildEnds();

  // Whether a pipe is still being copied.
  bool copying() const;
  // Appends one entry per pipe still being copied.
  void addPollFds(std::vector<pollfd>& fds) const;
  // Copies what the readiness in fds allows, without blocking on a pipe.
  void copyReady(std::span<const pollfd> fds);
  // Copies what the pipes from the child already hold, without waiting for
  // more, and closes the tool's end of every pipe.
  void stopCopying();
  // The first copying failure, if any.
  const Error& copyError() const { return copyError_; }

 private:
  struct InputCopy {
    File pipe;  // the tool's end, written to
    Reader* from;
    std::string pending;  // read from the stream, not yet in the pipe
    size_t sent = 0;
  };
  struct OutputCopy {
    File pipe;  // the tool's end, read from
    Writer* to;
  };

  // Child slot 1 or 2: the writer's own descriptor, or a pipe copied to it.
  Error openOutput(int slot, Writer& to);
  void copyInput(InputCopy& c);
  // Whether the read brought data; false once the pipe is empty or closed.
  bool copyOutput(OutputCopy& c);
  void fail(Error err);

  std::array<int, 3> childFds_{-1, -1, -1};
  std::vector<File> childEnds_;
  std::optional<InputCopy> input_;
  std::vector<OutputCopy> outputs_;
  Error copyError_;
};

}  // namespace nimbro
