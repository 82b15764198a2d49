// The request protocol, driven through the pipes of a morvel_ax_sim process.

#include "support/ChildProcess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <random>

namespace morvel {
namespace {

using nlohmann::json;
using testing::lines;
using testing::ProcessResult;
using testing::runProcess;
using ::testing::HasSubstr;

const std::string exampleScene = MORVEL_EXAMPLES_DIR "/contacts.json";

ProcessResult serve(const std::string& input) {
  ProcessResult result = runProcess({MORVEL_AX_SIM_PATH, exampleScene}, input);
  EXPECT_EQ(result.err, "") << "nothing is written to standard error while serving";
  EXPECT_EQ(result.exitStatus, 0);
  return result;
}

std::vector<json> replies(const std::string& input) {
  std::vector<json> parsed;
  for (const auto& line : lines(serve(input).out)) parsed.push_back(json::parse(line));
  return parsed;
}

TEST(RequestProtocol, BlankLinesGetNoReplyAndBlanksAroundARequestAreTrimmed) {
  EXPECT_EQ(serve("\n   \n\t\r\n\xC2\xA0\n").out, "");
  auto answered = replies(" \t{\"id\":1,\"cmd\":\"ping\"} \r\n");
  ASSERT_EQ(answered.size(), 1u);
  EXPECT_EQ(answered[0], json::parse(R"({"id": 1, "ok": true, "pong": true})"));
}

TEST(RequestProtocol, EchoesIdsOfEveryJsonType) {
  const std::vector<std::string> ids = {"7", "-2.5", "\"abc\"", "true", "null", "[1,2]", "{\"a\":{\"b\":[]}}"};
  std::string input;
  for (const auto& id : ids) input += R"({"cmd":"ping","id":)" + id + "}\n";
  input += R"({"cmd":"ping"})" "\n";
  auto answered = replies(input);
  ASSERT_EQ(answered.size(), ids.size() + 1);
  for (std::size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(answered[i]["id"], json::parse(ids[i]));
  EXPECT_EQ(answered.back()["id"], 0);
}

TEST(RequestProtocol, AnswersInOrderOneLinePerRequest) {
  auto answered = replies("{\"id\":1,\"cmd\":\"ping\"}\n{\"id\":2,\"cmd\":\"nope\"}\n{\"id\":3,\"cmd\":\"focused\"}\n");
  ASSERT_EQ(answered.size(), 3u);
  EXPECT_EQ(answered[0]["id"], 1);
  EXPECT_EQ(answered[1], json::parse(R"({"id": 2, "ok": false, "error": "unknown cmd: nope"})"));
  EXPECT_EQ(answered[2]["id"], 3);
  EXPECT_EQ(answered[2]["found"], true);
}

TEST(RequestProtocol, AnswersALastLineWithoutLineFeed) {
  auto answered = replies("{\"id\":1,\"cmd\":\"ping\"}\n{\"id\":2,\"cmd\":\"ping\"}");
  ASSERT_EQ(answered.size(), 2u);
  EXPECT_EQ(answered[1]["id"], 2);
}

TEST(RequestProtocol, AnythingButOneJsonObjectIsBadJsonWithIdZero) {
  const std::vector<std::string> bad = {"[1,2]", "42", "\"text\"", "{\"id\": 5, \"cmd\":", "{\"id\":5} {}",
                                        "{\"id\":5}x", "nul", "{\"id\":\"\\ud800\"}", std::string("{\"id\":5}\0", 9)};
  std::string input;
  for (const auto& line : bad) input += line + "\n";
  auto answered = replies(input);
  ASSERT_EQ(answered.size(), bad.size());
  for (const auto& reply : answered) EXPECT_EQ(reply, json::parse(R"({"id": 0, "ok": false, "error": "bad json"})"));
}

TEST(RequestProtocol, RepairsBrokenUtf8BeforeParsing) {
  ProcessResult result = serve("{\"id\":\"a\xFF\xC3(b\",\"cmd\":\"ping\"}\n");
  EXPECT_EQ(json::parse(result.out)["id"], "a\uFFFD\uFFFD(b");
}

TEST(RequestProtocol, NumbersBeyondDoublePrecisionAreBadJson) {
  auto answered = replies("{\"id\":1e400,\"cmd\":\"ping\"}\n{\"id\":2,\"cmd\":\"ping\"}\n");
  ASSERT_EQ(answered.size(), 2u);
  EXPECT_EQ(answered[0]["error"], "bad json");
  EXPECT_EQ(answered[1]["id"], 2);
}

TEST(RequestProtocol, RefusesNestingTooDeepToAnswer) {
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  auto answered = replies("{\"id\":" + deep + ",\"cmd\":\"ping\"}\n{\"id\":[[[1]]],\"cmd\":\"ping\"}\n");
  ASSERT_EQ(answered.size(), 2u);
  EXPECT_EQ(answered[0]["error"], "bad json");
  EXPECT_EQ(answered[1]["pong"], true);
}

TEST(SimulatorFrontEnd, RefusesAMissingOrBrokenSceneBeforeReadingRequests) {
  ProcessResult usage = runProcess({MORVEL_AX_SIM_PATH}, "{\"cmd\":\"ping\"}\n");
  EXPECT_EQ(usage.exitStatus, 2);
  EXPECT_THAT(usage.err, HasSubstr("usage"));
  EXPECT_EQ(usage.out, "");

  ProcessResult missing = runProcess({MORVEL_AX_SIM_PATH, "/nonexistent.json"}, "{\"cmd\":\"ping\"}\n");
  EXPECT_EQ(missing.exitStatus, 2);
  EXPECT_THAT(missing.err, HasSubstr("/nonexistent.json"));
  EXPECT_EQ(missing.out, "");
}

TEST(SimulatorFrontEnd, SimStatsCountsTheCallsSinceTheLastAsk) {
  auto answered = replies(R"({"cmd":"element-at","x":805,"y":390})" "\n" R"({"cmd":"sim-stats"})" "\n"
                          R"({"cmd":"sim-stats"})" "\n");
  ASSERT_EQ(answered.size(), 3u);
  EXPECT_EQ(answered[1]["hitTests"], 1);
  EXPECT_GT(answered[1]["reads"], 0);
  EXPECT_EQ(answered[2], json::parse(R"({"id": 0, "ok": true, "reads": 0, "hitTests": 0, "captures": 0,
                                         "recognitions": 0, "sleeps": 0})"));
}

// Random and mutated lines: every line with a visible character gets exactly one
// reply, and every reply is one JSON object with "id" and "ok".
TEST(RequestProtocol, SurvivesRandomAndMutatedLines) {
  const std::vector<std::string> seeds = {
      R"({"id":1,"cmd":"ping"})", R"({"id":"x","cmd":"element-at","x":805,"y":390})", R"({"cmd":"focused"})",
      R"({"cmd":"element-at","x":true,"y":null})", R"({"id":[{"a":1e308}],"cmd":"nope"})", R"({})"};
  std::mt19937 random(20261206);
  auto randomByte = [&] { return static_cast<char>(random() % 256); };
  std::string input;
  std::size_t expectedReplies = 0;
  for (int i = 0; i < 3000; ++i) {
    std::string line;
    switch (i % 4) {
      case 0:  // random bytes
        for (std::size_t n = random() % 60; n > 0; --n) line += randomByte();
        break;
      case 1:  // a real request with a few bytes changed
      case 2:
        line = seeds[random() % seeds.size()];
        for (int flips = 1 + static_cast<int>(random() % 3); flips > 0; --flips) line[random() % line.size()] = randomByte();
        break;
      default:  // blank
        line = std::string(random() % 4, ' ') + (random() % 2 ? "\t" : "") + (random() % 2 ? "\r" : "");
    }
    std::erase(line, '\n');
    if (i % 4 != 3) line += '#';  // a visible character: never blank
    input += line + "\n";
    if (i % 4 != 3) ++expectedReplies;
  }
  ProcessResult result = serve(input);
  auto replyLines = lines(result.out);
  ASSERT_EQ(replyLines.size(), expectedReplies);
  for (const auto& line : replyLines) {
    json reply = json::parse(line, nullptr, false);
    ASSERT_TRUE(reply.is_object()) << line;
    EXPECT_TRUE(reply.contains("id") && reply["ok"].is_boolean()) << line;
  }
}

}  // namespace
}  // namespace morvel
