// The option grammar every command shares: one or two dashes, a value after
// "=" or as the next word, options only before the first positional word or
// "--", and -h/-help as a help request. An option set writes nothing; the
// command decides what the user sees.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"

namespace nimbro {

class FlagSet {
 public:
  enum class Outcome { Ok, Help, Failed };

  explicit FlagSet(std::string name) : name_(std::move(name)) {}

  // Registers an option. The returned reference holds the option's value
  // and stays valid for the life of the set.
  std::string& stringOption(std::string name, std::string defaultValue, std::string help);
  bool& boolOption(std::string name, bool defaultValue, std::string help);

  // Parses the words after the command word.
  Outcome parse(const std::vector<std::string>& words);
  // After Failed: the failure text, such as "flag needs an argument: -id".
  const std::string& failure() const { return failure_; }
  // After Ok: the words left from the first positional word on.
  const std::vector<std::string>& positional() const { return positional_; }
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
  std::string failure_;
  std::vector<std::string> positional_;
};

// A new, empty option set labelled name.
FlagSet newFlagSet(std::string name);
}  // namespace nimbro
