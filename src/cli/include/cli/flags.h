// The option grammar every command shares: one or two dashes, a value after
// "=" or as the next word, options only before the first positional word or
// "--", and -h/-help as a help request. An option set writes nothing; the
// command decides what the user sees.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"

namespace nimbro {

// What every parser of the tool's words gives: what the words ask for, an
// empty optional when they ask for help instead, or the failure.
template <typename T>
using Parsed = Expected<std::optional<T>>;

// Whether word asks for help where a command or a subcommand is expected:
// "help", "-h" or "--help".
bool isHelpWord(std::string_view word);

class FlagSet {
 public:
  explicit FlagSet(std::string name) : name_(std::move(name)) {}

  // Registers an option. The returned reference holds the option's value
  // and stays valid for the life of the set.
  std::string& stringOption(std::string name, std::string defaultValue, std::string help);
  bool& boolOption(std::string name, bool defaultValue, std::string help);

  // Parses the words after the command word into the words left from the
  // first positional word on. A failure reads as Go's flag package writes
  // it: "flag needs an argument: -id".
  Parsed<std::vector<std::string>> parse(const std::vector<std::string>& words);
  const std::string& name() const { return name_; }

 private:
  struct Option {
    bool isBool = false;
    std::string text;
    bool flag = false;
    std::string help;
  };

  std::string name_;
  std::map<std::string, Option, std::less<>> options_;
};

// A new, empty option set labelled name.
FlagSet newFlagSet(std::string name);
}  // namespace nimbro
