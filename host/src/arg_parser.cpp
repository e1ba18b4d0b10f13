#include "arg_parser.hpp"

#include <algorithm>
#include <charconv>
#include <limits>

#include "errors.hpp"

namespace kplhost {

std::optional<std::string> ParsedArgs::value(std::string_view name) const {
  const auto it = options_.find(std::string(name));
  if (it == options_.end()) return std::nullopt;
  return it->second.back();
}

std::vector<std::string> ParsedArgs::values(std::string_view name) const {
  const auto it = options_.find(std::string(name));
  return it == options_.end() ? std::vector<std::string>{} : it->second;
}

ParsedArgs ParseArgs(std::string_view command, std::span<const std::string> args,
                     std::span<const OptionSpec> specs) {
  // Messages read "effect: unknown option --x (see kplhost effect --help)".
  const std::string prefix = std::string(command) + ": ";
  const std::string helpHint = " (see kplhost " + std::string(command) + " --help)";
  ParsedArgs parsed;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      parsed.positionals.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      parsed.help = true;
      continue;
    }
    if (!arg.starts_with("--")) throw UsageError(prefix + "unknown option " + arg + helpHint);
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(2, equals == std::string::npos ? equals : equals - 2);
    const auto spec = std::find_if(specs.begin(), specs.end(),
                                   [&](const OptionSpec& s) { return s.name == name; });
    if (spec == specs.end()) throw UsageError(prefix + "unknown option --" + name + helpHint);
    std::string value;
    if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      throw UsageError(prefix + "option --" + name + " needs a value");
    }
    auto& slot = parsed.options_[name];
    if (!slot.empty() && !spec->repeatable)
      throw UsageError(prefix + "option --" + name + " given more than once");
    slot.push_back(std::move(value));
  }
  return parsed;
}

namespace {

template <class Number>
std::optional<Number> parseWhole(std::string_view text, int base) {
  Number number{};
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number, base);
  if (text.empty() || error != std::errc{} || stop != end) return std::nullopt;
  return number;
}

}  // namespace

int32_t ParseCount(std::string_view text, std::string_view what, int32_t minimum) {
  const auto number = parseWhole<int32_t>(text, 10);
  if (!number || *number < minimum)
    throw UsageError(std::string(what) + " must be a whole number of at least " +
                     std::to_string(minimum) + ", not '" + std::string(text) + "'");
  return *number;
}

uint32_t ParseFlagWord(std::string_view text, std::string_view what) {
  const bool hex = text.starts_with("0x") || text.starts_with("0X");
  const auto number =
      hex ? parseWhole<uint32_t>(text.substr(2), 16) : parseWhole<uint32_t>(text, 10);
  if (!number)
    throw UsageError(std::string(what) + " must be a 32-bit number (0x1400 or 5120), not '" +
                     std::string(text) + "'");
  return *number;
}

}  // namespace kplhost
