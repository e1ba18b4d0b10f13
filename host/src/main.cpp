// kplhost: the command-line host that loads plug-in modules and drives them.
#include <exception>
#include <iostream>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "commands.hpp"
#include "errors.hpp"
#include "module_loader.hpp"

namespace kplhost {
namespace {

struct Subcommand {
  std::string_view name;
  std::string_view summary;
  int (*run)(std::span<const std::string> args);
};

constexpr Subcommand kSubcommands[] = {
    {"info", "list the types of a module: names, flags, icons", RunInfoCommand},
    {"effect", "run an effect type over pictures or sound", RunEffectCommand},
    {"demo", "run the typical job on built-in material", RunDemoCommand},
    {"registry", "list, read and set what modules remember", RunRegistryCommand},
    {"convert", "convert a picture between file formats by file pattern", RunConvertCommand},
};

void printUsage() {
  std::cout << "Usage: kplhost SUBCOMMAND [options]\n\n"
               "Loads plug-in modules (NAME.kpl) and drives them as a host does.\n\n"
               "Subcommands:\n";
  for (const Subcommand& sub : kSubcommands)
    std::cout << "  " << sub.name << std::string(10 - sub.name.size(), ' ') << sub.summary << "\n";
  std::cout << "\n'kplhost SUBCOMMAND --help' describes each one.\n"
               "Exit status: 0 done, 1 the work failed, 2 the command line is wrong.\n";
}

int dispatch(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError("name a subcommand (see kplhost --help)");
  const std::string& name = args.front();
  if (name == "--help" || name == "-h" || name == "help") {
    printUsage();
    return 0;
  }
  for (const Subcommand& sub : kSubcommands)
    if (sub.name == name) return sub.run(std::span(args).subspan(1));
  throw UsageError("unknown subcommand '" + name + "' (see kplhost --help)");
}

}  // namespace
}  // namespace kplhost

int main(int argc, char** argv) {
  using namespace kplhost;
  try {
    return dispatch(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& error) {
    std::cerr << "kplhost: " << error.what() << "\n";
    return kExitUsage;
  } catch (const std::bad_alloc&) {
    std::cerr << "kplhost: out of memory\n";
  } catch (const std::exception& error) {  // Failure, LoadError and the library's own
    std::cerr << "kplhost: " << error.what() << "\n";
  }
  return kExitFailure;
}
