#pragma once
// Command-line options of the subcommands: "--name value", "--name=value", repeatable options,
// "--help" and "--" to end the options. Anything it cannot place is a UsageError.
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kplhost {

struct OptionSpec {
  std::string_view name;  // without the leading "--"
  bool repeatable = false;
};

class ParsedArgs {
 public:
  std::vector<std::string> positionals;
  bool help = false;

  // The value of a single option, if given.
  std::optional<std::string> value(std::string_view name) const;
  // Every value of a repeatable option, in command-line order.
  std::vector<std::string> values(std::string_view name) const;
  bool has(std::string_view name) const { return options_.contains(std::string(name)); }

 private:
  friend ParsedArgs ParseArgs(std::string_view command, std::span<const std::string> args,
                              std::span<const OptionSpec> specs);
  std::map<std::string, std::vector<std::string>> options_;
};

// Every option takes a value; `command` names the subcommand in error messages.
ParsedArgs ParseArgs(std::string_view command, std::span<const std::string> args,
                     std::span<const OptionSpec> specs);

// A whole number from `minimum` up to INT32_MAX; `what` names it in the error.
int32_t ParseCount(std::string_view text, std::string_view what, int32_t minimum = 1);
// A 32-bit flag word: hexadecimal after 0x, else decimal.
uint32_t ParseFlagWord(std::string_view text, std::string_view what);

}  // namespace kplhost
