// The fuzzers' committed corpora replayed through the same checks, so that every
// build runs them; and the hostile inputs at sizes the fuzzers do not reach.

#include "accessibility/AXNames.h"
#include "fuzz/RequestPathCheck.h"
#include "fuzz/SceneLoadCheck.h"
#include "support/Scenes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace morvel {
namespace {

using nlohmann::json;
using namespace std::string_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// A minimised corpus is small, but not this small.
constexpr std::size_t fewestCorpusInputs = 20;

std::vector<std::filesystem::path> corpus(const std::string& name) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(MORVEL_FUZZ_DIR "/corpus/" + name)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Request inputs get one well-formed reply per line; scene inputs load and answer, or are refused.
TEST(FuzzCorpusReplay, EveryInputPassesItsFuzzersCheck) {
  for (const auto& [name, check] : {std::pair{"request", &fuzz::checkRequestPath}, {"scene", &fuzz::checkSceneLoad}}) {
    const auto files = corpus(name);
    ASSERT_GE(files.size(), fewestCorpusInputs) << name;
    for (const auto& file : files) EXPECT_THAT(check(testing::fileText(file)), IsEmpty()) << file;
  }
}

TEST(RequestPathCheck, FlagsMissingRepliesWrongIdsMisjudgedLinesAndLongWaits) {
  using std::chrono::seconds;
  const std::string input = "{\"id\":1,\"cmd\":\"ping\"}\n \t\n[1]\n{\"id\":2,\"cmd\":\"focused\"}";
  const std::string ping = "{\"id\":1,\"ok\":true,\"pong\":true}\n";
  const std::string badJson = "{\"id\":0,\"ok\":false,\"error\":\"bad json\"}\n";
  const std::vector<fuzz::Microseconds> quick(3, seconds(1));

  EXPECT_THAT(fuzz::requestPathProblems(input, {ping + badJson + "{\"id\":2,\"ok\":true}\n", quick}), IsEmpty());
  const std::pair<std::string, const char*> faults[] = {
      {ping + badJson, "3 non-blank lines got 2 replies"},
      {ping + badJson + "{\"id\":3,\"ok\":true}\n", "echoes the id 3, not 2"},
      {ping + badJson + badJson, "bad json for a JSON object"},
      {ping + ping + "{\"id\":2,\"ok\":true}\n", "should be the bad json reply"},
      {ping + badJson + "{\"id\":2}\n", "no boolean \"ok\""},
  };
  for (const auto& [output, problem] : faults) {
    EXPECT_THAT(fuzz::requestPathProblems(input, {output, quick}), ElementsAre(HasSubstr(problem))) << output;
  }
  EXPECT_THAT(fuzz::requestPathProblems(input, {ping + badJson + "{\"id\":2,\"ok\":true}", quick}),
              ElementsAre(HasSubstr("does not end with a line feed"), HasSubstr("got 2 replies")));
  EXPECT_THAT(fuzz::requestPathProblems(input, {ping + badJson + "{\"id\":2,\"ok\":true}\n",
                                                {seconds(1), seconds(1), seconds(61)}}),
              ElementsAre(HasSubstr("took 61000 ms of virtual time")));
}

// The hostile inputs of the seed corpus, at full size: deeper, longer and larger
// than what the fuzzers' length limit lets them try.
TEST(RequestPathCheck, HostileInputsAtFullSize) {
  const std::string deepArrays(100000, '[');
  // Refused as too deep, and the next line, nested a little, is served.
  const std::string deepId = "{\"id\":" + std::string(20000, '[') + std::string(20000, ']') +
                             ",\"cmd\":\"ping\"}\n{\"id\":[[[1]]],\"cmd\":\"ping\"}\n";
  const std::string longLine = "{\"id\":\"" + std::string(3 << 20, 'x') + "\",\"cmd\":\"focused\"}\n";
  const std::string manyLines = [] {
    std::string lines;
    for (int i = 0; i < 2000; ++i) lines += "{\"id\":" + std::to_string(i) + ",\"cmd\":\"element-at\",\"x\":1,\"y\":1}\n\n";
    return lines;
  }();
  const std::string brokenUtf8 = "{\"id\":\"\xed\xa0\x80\xf4\x90\x80\x80\xc0\xaf\xff\",\"cmd\":\"ping\"}\n\xe2\x82\n\x80"s;
  const std::string nulBytes = "{\"cmd\":\"ping\"}\0\n\0\n{\"id\":\"\\u0000\",\"cmd\":\"fields\"}\n"s;
  for (const std::string& input : {deepArrays, deepId, longLine, manyLines, brokenUtf8, nulBytes}) {
    EXPECT_THAT(fuzz::checkRequestPath(input), IsEmpty()) << input.substr(0, 80);
  }
}

TEST(SceneLoadCheck, HostileScenesAtFullSize) {
  std::string deepChildren = "{\"elements\":[";
  for (int i = 0; i < 50000; ++i) deepChildren += "{\"children\":[";
  for (int i = 0; i < 50000; ++i) deepChildren += "]}";
  deepChildren += "]}";
  const std::string deepValue = "{\"elements\":[{\"attrs\":{\"AXValue\":" + std::string(100000, '[') +
                                std::string(100000, ']') + "}}]}";
  json wide = {{"frontmost", {{"pid", 1}}}, {"applications", {{{"pid", 1}, {"windows", json::array()}}}}};
  json window = {{"attrs", {{ax::AXRole, ax::AXWindow}, {ax::AXFrame, {{"rect", {0, 0, 500, 500}}}}}}, {"children", json::array()}};
  for (int i = 0; i < 20000; ++i) {
    window["children"].push_back({{"attrs", {{ax::AXRole, i % 2 ? ax::AXTextField : ax::AXStaticText}, {ax::AXValue, std::to_string(i)}}}});
  }
  wide["applications"][0]["windows"].push_back(window);
  for (const std::string& scene : {deepChildren, deepValue, wide.dump()}) {
    EXPECT_THAT(fuzz::checkSceneLoad(scene), IsEmpty()) << scene.substr(0, 80);
  }
}

}  // namespace
}  // namespace morvel
