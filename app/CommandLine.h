#pragma once

#include "app/LineReader.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace morvel {

// What one of the executables is, for its --help and --version.
struct ProgramInfo {
  std::string_view name;
  std::string_view operandsUsage;  // "" or "SCENE.json"
  std::string_view summary;
  std::size_t operandCount = 0;
};

struct CommandLine {
  bool mcp = false;
  std::size_t maxLineBytes = LineReader::defaultMaxLineBytes;
  std::vector<std::string> operands;
};

// The parsed options, or the exit status of a run that ends here: 0 after --help
// or --version (written to stdout), 2 after a usage error (written to stderr).
std::variant<CommandLine, int> parseCommandLine(int argc, const char* const* argv, const ProgramInfo& program);

}  // namespace morvel
