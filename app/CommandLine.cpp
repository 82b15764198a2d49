#include "app/CommandLine.h"

#include "app/Version.h"

#include <charconv>
#include <cstdio>
#include <optional>
#include <string>

namespace morvel {
namespace {

constexpr int usageErrorStatus = 2;
constexpr std::string_view maxLineOption = "--max-line-bytes";

std::string usageLine(const ProgramInfo& program) {
  std::string usage = "usage: " + std::string(program.name) + " [--mcp] [--max-line-bytes N]";
  if (!program.operandsUsage.empty()) usage += " " + std::string(program.operandsUsage);
  return usage;
}

void printHelp(const ProgramInfo& program) {
  std::printf(
      "%s\n\n%s\n\n"
      "Reads one JSON request per line on standard input and writes one JSON reply\n"
      "per line on standard output, for example\n"
      "  {\"id\": 1, \"cmd\": \"element-at\", \"x\": 805, \"y\": 390}\n"
      "Commands: ping, element-at, focused, selector-at, find, structure, fields,\n"
      "ocr-region, fingerprint. Coordinates are global screen points.\n\n"
      "Options:\n"
      "  --mcp                 speak the Model Context Protocol (JSON-RPC 2.0 over\n"
      "                        stdio) instead: one tool per command, and \"screenshot\"\n"
      "  --max-line-bytes N    refuse request lines longer than N bytes (default %zu)\n"
      "  --help                show this text\n"
      "  --version             show the version\n\n"
      "The protocol reference is docs/protocol.md (installed under\n"
      "/usr/share/doc/morvel-ax-helper/); see also %s(1).\n",
      usageLine(program).c_str(), std::string(program.summary).c_str(), LineReader::defaultMaxLineBytes,
      std::string(program.name).c_str());
}

int usageError(const ProgramInfo& program, const std::string& problem) {
  std::fprintf(stderr, "%s: %s\n%s\nTry '%s --help'.\n", std::string(program.name).c_str(), problem.c_str(),
               usageLine(program).c_str(), std::string(program.name).c_str());
  return usageErrorStatus;
}

std::optional<std::size_t> positiveSize(std::string_view text) {
  std::size_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value == 0) return std::nullopt;
  return value;
}

}  // namespace

std::variant<CommandLine, int> parseCommandLine(int argc, const char* const* argv, const ProgramInfo& program) {
  CommandLine options;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      options.operands.emplace_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      printHelp(program);
      return 0;
    } else if (arg == "--version") {
      std::printf("%s %s\n", std::string(program.name).c_str(), projectVersion);
      return 0;
    } else if (arg == "--mcp") {
      options.mcp = true;
    } else if (arg == maxLineOption || arg.starts_with(std::string(maxLineOption) + "=")) {
      std::string_view value;
      if (arg == maxLineOption) {
        if (i + 1 == argc) return usageError(program, "option '--max-line-bytes' needs a value");
        value = argv[++i];
      } else {
        value = arg.substr(maxLineOption.size() + 1);
      }
      auto bytes = positiveSize(value);
      if (!bytes) return usageError(program, "'" + std::string(value) + "' is not a positive number of bytes");
      options.maxLineBytes = *bytes;
    } else {
      return usageError(program, "unknown option '" + std::string(arg) + "'");
    }
  }
  if (options.operands.size() != program.operandCount) {
    return usageError(program, options.operands.size() > program.operandCount ? "too many arguments"
                                                                                 : "missing " + std::string(program.operandsUsage));
  }
  return options;
}

}  // namespace morvel
