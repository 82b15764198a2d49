#include "app/CommandLine.h"

#include "app/Version.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

namespace morvel {
namespace {

constexpr int usageErrorStatus = 2;
constexpr std::string_view mcpOption = "--mcp";
constexpr std::string_view maxLineOption = "--max-line-bytes";
constexpr std::size_t helpColumn = 22;

static_assert(LineReader::defaultMaxLineBytes == std::size_t{16} << 20, "the help of --max-line-bytes names it");
constexpr std::array<OptionSpec, 2> serverOptionTable = {{
    {mcpOption,
     "",
     "speak the Model Context Protocol (JSON-RPC 2.0 over\nstdio) instead: one tool per command, and \"screenshot\""},
    {maxLineOption, "N", "refuse request lines longer than N bytes (default 16 MiB)"},
}};

std::string optionWithValue(const OptionSpec& option) {
  std::string text(option.name);
  if (!option.valueName.empty()) text += " " + std::string(option.valueName);
  return text;
}

std::string usageLine(const ProgramInfo& program) {
  std::string usage = "usage: " + std::string(program.name);
  for (const OptionSpec& option : program.options) usage += " [" + optionWithValue(option) + "]";
  if (!program.operandsUsage.empty()) usage += " " + std::string(program.operandsUsage);
  return usage;
}

// One option per entry, its help aligned in a column; continuation lines of the
// help keep to that column.
std::string optionHelpLine(std::string_view name, std::string_view help) {
  std::string line = "  " + std::string(name);
  line.append(line.size() < helpColumn ? helpColumn - line.size() : 1, ' ');
  for (char c : help) {
    line += c;
    if (c == '\n') line.append(helpColumn, ' ');
  }
  return line + "\n";
}

void printHelp(const ProgramInfo& program) {
  std::string options;
  for (const OptionSpec& option : program.options) options += optionHelpLine(optionWithValue(option), option.help);
  options += optionHelpLine("--help", "show this text");
  options += optionHelpLine("--version", "show the version");
  std::printf("%s\n\n%s\n\n%s\nOptions:\n%s\nSee also %s(1).\n", usageLine(program).c_str(),
              std::string(program.summary).c_str(), std::string(program.details).c_str(), options.c_str(),
              std::string(program.name).c_str());
}

const OptionSpec* findOption(const ProgramInfo& program, std::string_view name) {
  auto found = std::ranges::find(program.options, name, &OptionSpec::name);
  return found == program.options.end() ? nullptr : &*found;
}

std::optional<std::size_t> positiveSize(std::string_view text) {
  std::size_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value == 0) return std::nullopt;
  return value;
}

}  // namespace

constinit const std::span<const OptionSpec> serverOptions = serverOptionTable;
constinit const std::string_view serverDetails =
    "Reads one JSON request per line on standard input and writes one JSON reply\n"
    "per line on standard output, for example\n"
    "  {\"id\": 1, \"cmd\": \"element-at\", \"x\": 805, \"y\": 390}\n"
    "Commands: ping, element-at, focused, selector-at, find, structure, fields,\n"
    "ocr-region, fingerprint. Coordinates are global screen points.\n"
    "The protocol reference is docs/protocol.md (installed under\n"
    "/usr/share/doc/morvel-ax-helper/).\n";

std::optional<std::string> ParsedOptions::value(std::string_view option) const {
  auto found = values.find(option);
  if (found == values.end()) return std::nullopt;
  return found->second;
}

int usageError(const ProgramInfo& program, const std::string& problem) {
  std::fprintf(stderr, "%s: %s\n%s\nTry '%s --help'.\n", std::string(program.name).c_str(), problem.c_str(),
               usageLine(program).c_str(), std::string(program.name).c_str());
  return usageErrorStatus;
}

std::variant<ParsedOptions, int> parseOptions(int argc, const char* const* argv, const ProgramInfo& program) {
  ParsedOptions parsed;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      parsed.operands.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      printHelp(program);
      return 0;
    }
    if (arg == "--version") {
      std::printf("%s %s\n", std::string(program.name).c_str(), projectVersion);
      return 0;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    const OptionSpec* option = findOption(program, name);
    if (!option) return usageError(program, "unknown option '" + std::string(arg) + "'");
    if (option->valueName.empty()) {
      if (equals != std::string_view::npos) return usageError(program, "option '" + std::string(name) + "' takes no value");
      parsed.flags.emplace(name);
    } else if (equals != std::string_view::npos) {
      parsed.values[std::string(name)] = arg.substr(equals + 1);
    } else if (i + 1 == argc) {
      return usageError(program, "option '" + std::string(name) + "' needs a value");
    } else {
      parsed.values[std::string(name)] = argv[++i];
    }
  }
  if (parsed.operands.size() != program.operandCount) {
    return usageError(program, parsed.operands.size() > program.operandCount
                                   ? "too many arguments"
                                   : "missing " + std::string(program.operandsUsage));
  }
  return parsed;
}

std::variant<CommandLine, int> parseCommandLine(int argc, const char* const* argv, const ProgramInfo& program) {
  auto parsed = parseOptions(argc, argv, program);
  if (const int* exitStatus = std::get_if<int>(&parsed)) return *exitStatus;
  auto& given = std::get<ParsedOptions>(parsed);
  CommandLine options{.mcp = given.has(mcpOption), .operands = std::move(given.operands)};
  if (auto bytes = given.value(maxLineOption)) {
    auto size = positiveSize(*bytes);
    if (!size) return usageError(program, "'" + *bytes + "' is not a positive number of bytes");
    options.maxLineBytes = *size;
  }
  return options;
}

}  // namespace morvel
