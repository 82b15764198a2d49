// The request protocol, driven through the pipes of a morvel_ax_sim process.

#include "support/ChildProcess.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace morvel {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::lines;
using testing::ProcessResult;
using testing::runProcess;
using ::testing::HasSubstr;

const std::string exampleScene = MORVEL_EXAMPLES_DIR "/contacts.json";

// Serves `input` with these options before the scene.
ProcessResult serve(const std::string& input, std::vector<std::string> argv = {}) {
  argv.insert(argv.begin(), MORVEL_AX_SIM_PATH);
  argv.push_back(exampleScene);
  ProcessResult result = runProcess(argv, input);
  EXPECT_EQ(result.err, "") << "nothing is written to standard error while serving";
  EXPECT_EQ(result.exitStatus, 0);
  return result;
}

std::vector<json> replies(const std::string& input, const std::vector<std::string>& options = {}) {
  std::vector<json> parsed;
  for (const auto& line : lines(serve(input, options).out)) parsed.push_back(json::parse(line));
  return parsed;
}

TEST(RequestProtocol, AnswersInOrderOneLinePerRequestEchoingIdsOfEveryJsonTypeBadJsonWithIdZeroAndNoneForBlankLines) {
  const std::vector<std::string> ids = {"7", "-2.5", "\"abc\"", "true", "null", "[1,2]", "{\"a\":{\"b\":[]}}"};
  std::string input;
  // Blanks around a request are trimmed; blank lines get no reply.
  for (const auto& id : ids) input += " \t" R"({"cmd":"ping","id":)" + id + "} \r\n   \n\t\r\n\xC2\xA0\n";
  // Anything but one JSON object is bad json with id 0, numbers beyond double precision too.
  const std::vector<std::string> bad = {"[1,2]", "42", "\"text\"", "{\"id\": 5, \"cmd\":", "{\"id\":5} {}",
                                        "{\"id\":5}x", "nul", "{\"id\":\"\\ud800\"}", std::string("{\"id\":5}\0", 9),
                                        "{\"id\":1e400,\"cmd\":\"ping\"}"};
  for (const auto& line : bad) input += line + "\n";
  // No id, an unknown command, a command of the desktop, broken UTF-8 (repaired
  // before parsing), and a last line without line feed.
  input += R"({"cmd":"ping"})" "\n" R"({"id":2,"cmd":"nope"})" "\n" R"({"id":3,"cmd":"focused"})" "\n"
           "{\"id\":\"a\xFF\xC3(b\",\"cmd\":\"ping\"}\n" R"({"id":4,"cmd":"ping"})";
  auto answered = replies(input);
  ASSERT_EQ(answered.size(), ids.size() + bad.size() + 5);
  for (std::size_t i = 0; i < ids.size(); ++i) {
    EXPECT_EQ(answered[i], (json{{"id", json::parse(ids[i])}, {"ok", true}, {"pong", true}}));
  }
  for (std::size_t i = 0; i < bad.size(); ++i) {
    EXPECT_EQ(answered[ids.size() + i], json::parse(R"({"id": 0, "ok": false, "error": "bad json"})")) << bad[i];
  }
  const std::size_t rest = ids.size() + bad.size();
  EXPECT_EQ(answered[rest]["id"], 0);
  EXPECT_EQ(answered[rest + 1], json::parse(R"({"id": 2, "ok": false, "error": "unknown cmd: nope"})"));
  EXPECT_EQ(answered[rest + 2]["id"], 3);
  EXPECT_EQ(answered[rest + 2]["found"], true);
  EXPECT_EQ(answered[rest + 3], json({{"id", "a\uFFFD\uFFFD(b"}, {"ok", true}, {"pong", true}}));
  EXPECT_EQ(answered[rest + 4], json::parse(R"({"id": 4, "ok": true, "pong": true})"));
}

TEST(RequestProtocol, ALineLongerThanTheLimitIsBadJsonAndTheNextLineIsServed) {
  const std::string ping = R"({"cmd":"ping"})";
  const std::string limit = "64";
  const std::string atLimit = ping + std::string(64 - ping.size(), ' ');
  const json pong = json::parse(R"({"id": 0, "ok": true, "pong": true})");
  const json badJson = json::parse(R"({"id": 0, "ok": false, "error": "bad json"})");
  const struct {
    std::string input;
    std::vector<json> expected;
  } cases[] = {
      {atLimit + "\n", {pong}},
      {atLimit + " \n" + ping + "\n", {badJson, pong}},
      {std::string(300000, 'x') + ping + "\n" + ping, {badJson, pong}},
      {std::string(300000, '{') + "\n", {badJson}},
      {ping + "\n" + std::string(300000, ' '), {pong, badJson}},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(replies(input, {"--max-line-bytes", limit}), expected) << input.substr(0, 80);
}

long peakResidentKilobytes(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmHWM:")) return std::stol(line.substr(6));
  }
  return -1;
}

TEST(RequestProtocol, AnswersAnOverlongLineBeforeItEndsAndDoesNotKeepIt) {
  ChildProcess sim({MORVEL_AX_SIM_PATH, exampleScene});
  sim.writeLine(R"({"cmd":"ping"})");
  ASSERT_TRUE(sim.readLine(30s));
  const long peakBefore = peakResidentKilobytes(sim.pid());

  // The default limit is 16 MiB; the line goes on for ten times that.
  const std::string block(1 << 20, 'x');
  for (int i = 0; i <= 16; ++i) ASSERT_TRUE(sim.write(block));
  auto early = sim.readLine(60s);
  ASSERT_TRUE(early) << "answered while the line is still open";
  EXPECT_EQ(json::parse(*early)["error"], "bad json");
  for (int i = 0; i < 143; ++i) ASSERT_TRUE(sim.write(block));
  sim.writeLine(R"(x"}{"id":1,"cmd":"ping"})");
  sim.writeLine(R"({"id":2,"cmd":"ping"})");
  auto next = sim.readLine(60s);
  ASSERT_TRUE(next);
  EXPECT_EQ(json::parse(*next), json::parse(R"({"id": 2, "ok": true, "pong": true})"));
  // What the line cost is a few times the limit (buffer growth, a sanitizer's
  // quarantine), never its length.
  constexpr long limitKilobytes = 16 << 10;
  EXPECT_LT(peakResidentKilobytes(sim.pid()) - peakBefore, 4 * limitKilobytes);
  EXPECT_EQ(sim.closeAndWait(30s), 0);
}

TEST(CommandLine, VersionHelpAndRefusedOptionsOrScenesBeforeAnyRequestIsRead) {
  ProcessResult version = runProcess({MORVEL_AX_SIM_PATH, "--version"}, "");
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(version.out, "morvel_ax_sim " MORVEL_VERSION "\n");
  ProcessResult help = runProcess({MORVEL_AX_SIM_PATH, "--help"}, "");
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_THAT(help.out, HasSubstr("--mcp"));
  EXPECT_THAT(help.out, HasSubstr("protocol.md"));
  EXPECT_EQ(help.err, "");
  const std::string usage = "usage: morvel_ax_sim";
  for (const auto& [refused, complaint] :
       {std::pair{std::vector<std::string>{MORVEL_AX_SIM_PATH, "--bogus", exampleScene}, usage},
        {{MORVEL_AX_SIM_PATH, "--max-line-bytes", "0", exampleScene}, usage},
        {{MORVEL_AX_SIM_PATH, "--max-line-bytes=12k", exampleScene}, usage},
        {{MORVEL_AX_SIM_PATH, exampleScene, "--max-line-bytes"}, usage},
        {{MORVEL_AX_SIM_PATH, exampleScene, exampleScene}, usage},
        {{MORVEL_AX_SIM_PATH}, usage},
        {{MORVEL_AX_SIM_PATH, "/nonexistent.json"}, std::string("/nonexistent.json")}}) {
    ProcessResult result = runProcess(refused, "{\"cmd\":\"ping\"}\n");
    EXPECT_EQ(result.exitStatus, 2) << refused.back();
    EXPECT_EQ(result.out, "");
    EXPECT_THAT(result.err, HasSubstr(complaint));
  }
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

}  // namespace
}  // namespace morvel
