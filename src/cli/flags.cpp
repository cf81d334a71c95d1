#include "cli/flags.h"

#include <array>
#include <optional>
#include <utility>

namespace nimbro {
namespace {

// The words a boolean option accepts after "=".
std::optional<bool> parseBoolWord(std::string_view word) {
  static constexpr std::array<std::string_view, 6> trueWords = {"1", "t", "T", "TRUE", "true", "True"};
  static constexpr std::array<std::string_view, 6> falseWords = {"0", "f", "F", "FALSE", "false", "False"};
  for (std::string_view w : trueWords) {
    if (word == w) return true;
  }
  for (std::string_view w : falseWords) {
    if (word == w) return false;
  }
  return std::nullopt;
}

}  // namespace

bool isHelpWord(std::string_view word) { return word == "help" || word == "-h" || word == "--help"; }

std::string& FlagSet::stringOption(std::string name, std::string defaultValue, std::string help) {
  Option& opt = options_[std::move(name)];
  opt = Option{.isBool = false, .text = std::move(defaultValue), .flag = false, .help = std::move(help)};
  return opt.text;
}

bool& FlagSet::boolOption(std::string name, bool defaultValue, std::string help) {
  Option& opt = options_[std::move(name)];
  opt = Option{.isBool = true, .text = {}, .flag = defaultValue, .help = std::move(help)};
  return opt.flag;
}

Parsed<std::vector<std::string>> FlagSet::parse(const std::vector<std::string>& words) {
  size_t next = 0;
  auto fail = [](std::string text) { return Error::plain(std::move(text)); };

  while (next < words.size()) {
    std::string_view word = words[next];
    if (word.size() < 2 || word[0] != '-') break;
    size_t dashes = 1;
    if (word[1] == '-') {
      if (word.size() == 2) {
        ++next;
        break;
      }
      dashes = 2;
    }
    std::string_view name = word.substr(dashes);
    if (name.empty() || name[0] == '-' || name[0] == '=') {
      return fail(format("bad flag syntax: %s", word));
    }
    ++next;

    // The name cannot begin with "=", so the first "=" from index 1 on
    // separates an attached value, which may be empty.
    std::optional<std::string_view> attached;
    if (size_t eq = name.find('=', 1); eq != std::string_view::npos) {
      attached = name.substr(eq + 1);
      name = name.substr(0, eq);
    }

    auto found = options_.find(name);
    if (found == options_.end()) {
      if (name == "h" || name == "help") return std::optional<std::vector<std::string>>();
      return fail(format("flag provided but not defined: -%s", name));
    }
    Option& opt = found->second;

    if (opt.isBool) {
      if (!attached) {
        opt.flag = true;
        continue;
      }
      std::optional<bool> value = parseBoolWord(*attached);
      if (!value) {
        return fail(format("invalid boolean value %q for -%s: %v", *attached, name, "parse error"));
      }
      opt.flag = *value;
      continue;
    }

    if (attached) {
      opt.text = std::string(*attached);
    } else if (next < words.size()) {
      opt.text = words[next++];
    } else {
      return fail(format("flag needs an argument: -%s", name));
    }
  }

  return std::optional<std::vector<std::string>>(
      std::in_place, words.begin() + static_cast<std::ptrdiff_t>(next), words.end());
}

FlagSet newFlagSet(std::string name) { return FlagSet(std::move(name)); }

}  // namespace nimbro
