#pragma once

#include "app/LineReader.h"

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace morvel {

// One option an executable accepts: a flag when it takes no value.
struct OptionSpec {
  std::string_view name;       // "--out"
  std::string_view valueName;  // "FILE", or "" for a flag
  std::string_view help;
};

// What one of the executables is, for its usage, --help and --version.
struct ProgramInfo {
  std::string_view name;
  std::string_view operandsUsage;  // "" or "SCENE.json"
  std::string_view summary;
  std::size_t operandCount = 0;
  std::span<const OptionSpec> options;
  std::string_view details;  // the paragraphs of --help after the summary
};

// The options as given, before each executable gives them meaning.
struct ParsedOptions {
  std::set<std::string, std::less<>> flags;
  std::map<std::string, std::string, std::less<>> values;
  std::vector<std::string> operands;

  bool has(std::string_view flag) const { return flags.contains(flag); }
  std::optional<std::string> value(std::string_view option) const;
};

// The parsed options, or the exit status of a run that ends here: 0 after --help
// or --version (written to stdout), 2 after a usage error (written to stderr).
std::variant<ParsedOptions, int> parseOptions(int argc, const char* const* argv, const ProgramInfo& program);
// Reports a usage error found after parsing; returns the exit status for it.
int usageError(const ProgramInfo& program, const std::string& problem);

// The options of the programs that serve requests (the helper and the simulator).
struct CommandLine {
  bool mcp = false;
  std::size_t maxLineBytes = LineReader::defaultMaxLineBytes;
  std::vector<std::string> operands;
};

extern const std::span<const OptionSpec> serverOptions;
extern const std::string_view serverDetails;

std::variant<CommandLine, int> parseCommandLine(int argc, const char* const* argv, const ProgramInfo& program);

}  // namespace morvel
