#pragma once
// The subcommands. Each takes the arguments after its name, answers --help itself, and throws
// UsageError or Failure for main to report.
#include <span>
#include <string>

namespace kplhost {

int RunInfoCommand(std::span<const std::string> args);
int RunEffectCommand(std::span<const std::string> args);
int RunDemoCommand(std::span<const std::string> args);
int RunRegistryCommand(std::span<const std::string> args);
int RunConvertCommand(std::span<const std::string> args);

}  // namespace kplhost
