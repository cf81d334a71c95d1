// Test doubles for the App's surroundings: in-memory streams and runners that
// record what they were asked to run, each offering only the capabilities a
// case needs.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "process/file.h"
#include "process/runner.h"

namespace nimbro::testing {

class StringWriter final : public Writer {
 public:
  Error write(std::string_view data) override {
    text += data;
    return {};
  }
  std::string text;
};

class StringReader final : public Reader {
 public:
  explicit StringReader(std::string data = {}) : data_(std::move(data)) {}
  Expected<size_t> read(std::span<char> buf) override {
    size_t n = std::min(buf.size(), data_.size() - pos_);
    data_.copy(buf.data(), n, pos_);
    pos_ += n;
    return n;
  }

 private:
  std::string data_;
  size_t pos_ = 0;
};

// A stream whose every write fails, as a closed standard output does.
class FailingWriter final : public Writer {
 public:
  Error write(std::string_view) override {
    return Error::plain("write /dev/stdout: bad file descriptor");
  }
};

struct RecordedCall {
  std::string method;  // "Run", "RunWithExtraFiles" or "RunWithUnsetEnv"
  std::string name;
  std::vector<std::string> args;
  Reader* in = nullptr;
  Writer* out = nullptr;
  Writer* err = nullptr;
  std::vector<int> extraFiles;
  std::vector<std::string> unsetEnv;
};

// Records every call and answers each with result.
class Recorder {
 public:
  std::vector<RecordedCall> calls;
  Error result;

 protected:
  Error record(RecordedCall call) {
    calls.push_back(std::move(call));
    return result;
  }
};

// Offers only Run.
class PlainRunner : public Runner, public Recorder {
 public:
  Error Run(const Context&, const std::string& name, const std::vector<std::string>& args,
            Reader& in, Writer& out, Writer& err) override {
    return record({"Run", name, args, &in, &out, &err, {}, {}});
  }
};

// Offers Run and RunWithExtraFiles.
class ExtraFilesFakeRunner final : public PlainRunner, public ExtraFileRunner {
 public:
  Error RunWithExtraFiles(const Context&, const std::string& name,
                          const std::vector<std::string>& args, Reader& in, Writer& out,
                          Writer& err, std::span<const int> extraFiles) override {
    return record({"RunWithExtraFiles", name, args, &in, &out, &err,
                   {extraFiles.begin(), extraFiles.end()}, {}});
  }
};

// Offers Run and RunWithUnsetEnv.
class EnvFakeRunner final : public PlainRunner, public EnvironmentRunner {
 public:
  Error RunWithUnsetEnv(const Context&, const std::string& name,
                        const std::vector<std::string>& args, Reader& in, Writer& out,
                        Writer& err, std::span<const std::string_view> unsetEnv) override {
    return record({"RunWithUnsetEnv", name, args, &in, &out, &err, {},
                   {unsetEnv.begin(), unsetEnv.end()}});
  }
};

}  // namespace nimbro::testing
