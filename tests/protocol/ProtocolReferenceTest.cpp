// The examples of docs/protocol.md, run against the example scene: the reference
// may not drift from what the helper answers.

#include "support/ChildProcess.h"

#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace morvel {
namespace {

using nlohmann::json;
using testing::lines;
using testing::runProcess;

// One fenced example: requests, and the reply documented after each (exactly, or
// only the keys shown).
struct Example {
  bool mcp = false;
  int firstLine = 0;
  std::vector<std::string> requests;
  struct Expected {
    json reply;
    bool onlyKeysShown;
    std::string request;
  };
  std::vector<Expected> expected;
};

std::vector<Example> documentedExamples(const std::string& path) {
  std::ifstream file(path);
  std::vector<Example> examples;
  bool inside = false;
  int number = 0;
  for (std::string line; std::getline(file, line);) {
    ++number;
    if (!inside && (line == "```example" || line == "```mcp-example")) {
      inside = true;
      examples.push_back({line == "```mcp-example", number, {}, {}});
    } else if (inside && line == "```") {
      inside = false;
    } else if (inside && line.starts_with("> ")) {
      examples.back().requests.push_back(line.substr(2));
    } else if (inside && (line.starts_with("< ") || line.starts_with("<~ "))) {
      const bool partial = line.starts_with("<~ ");
      examples.back().expected.push_back(
          {json::parse(line.substr(partial ? 3 : 2)), partial, examples.back().requests.back()});
    } else if (inside) {
      ADD_FAILURE() << path << ":" << number << ": an example line starts with '> ', '< ' or '<~ '";
    }
  }
  return examples;
}

TEST(ProtocolReference, EveryDocumentedExampleIsAnsweredAsDocumented) {
  auto examples = documentedExamples(MORVEL_DOCS_DIR "/protocol.md");
  ASSERT_GE(examples.size(), 10u);
  for (const Example& example : examples) {
    std::vector<std::string> argv = {MORVEL_AX_SIM_PATH, MORVEL_EXAMPLES_DIR "/contacts.json"};
    if (example.mcp) argv.insert(argv.begin() + 1, "--mcp");
    std::string input;
    for (const auto& request : example.requests) input += request + "\n";
    auto replies = lines(runProcess(argv, input).out);
    ASSERT_EQ(replies.size(), example.expected.size()) << "protocol.md:" << example.firstLine;
    for (std::size_t i = 0; i < replies.size(); ++i) {
      const auto& [documented, onlyKeysShown, request] = example.expected[i];
      json actual = json::parse(replies[i]);
      if (onlyKeysShown) {
        for (const auto& [key, value] : documented.items()) EXPECT_EQ(actual[key], value) << request << " key " << key;
      } else {
        EXPECT_EQ(actual, documented) << request;
      }
    }
  }
}

}  // namespace
}  // namespace morvel
