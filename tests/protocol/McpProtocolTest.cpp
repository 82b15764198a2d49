// The Model Context Protocol front end, driven through the pipes of a
// morvel_ax_sim --mcp process: JSON-RPC framing and errors, version negotiation,
// and the arguments of tool calls. The documented examples cover the results.

#include "support/ChildProcess.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace morvel {
namespace {

using nlohmann::json;
using testing::lines;
using testing::ProcessResult;
using testing::runProcess;

const std::string exampleScene = MORVEL_EXAMPLES_DIR "/contacts.json";

std::vector<json> serveMcp(const std::vector<std::string>& messages, const std::string& maxLineBytes = "4096") {
  std::string input;
  for (const auto& message : messages) input += message + "\n";
  ProcessResult result = runProcess({MORVEL_AX_SIM_PATH, "--mcp", "--max-line-bytes", maxLineBytes, exampleScene}, input);
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.err, "");
  std::vector<json> replies;
  for (const auto& line : lines(result.out)) replies.push_back(json::parse(line));
  return replies;
}

std::string call(int id, const std::string& tool, const std::string& arguments) {
  return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) + R"(,"method":"tools/call","params":{"name":")" + tool +
         R"(","arguments":)" + arguments + "}}";
}

TEST(McpProtocol, AnswersLineByLineWithTheIdAndResultOrErrorCode) {
  // Each line with the id and error code of its reply (no reply at all for code 1),
  // and what the reply holds at some places (null: nothing there).
  constexpr int noReply = 1;
  constexpr int success = 0;
  const std::string initialize = R"({"jsonrpc":"2.0","id":10,"method":"initialize","params":{"protocolVersion":")";
  const struct {
    std::string line;
    json id;
    int code;
    json holds = json::object();
  } cases[] = {
      {"not json", nullptr, -32700},
      {std::string(5000, '['), nullptr, -32700},
      {"[1,2]", nullptr, -32600},
      {R"({"jsonrpc":"2.0","method":"notifications/initialized"})", nullptr, noReply},
      {R"({"jsonrpc":"2.0","id":9,"result":{}})", nullptr, noReply},
      {R"({"jsonrpc":"2.0","id":"a","method":"ping"})", "a", success},
      {R"({"jsonrpc":"2.0","id":2,"method":"resources/list"})", 2, -32601},
      {R"({"jsonrpc":"1.0","id":3,"method":"ping"})", 3, -32600},
      {R"({"jsonrpc":2,"id":3,"method":"ping"})", 3, -32600},
      {R"({"jsonrpc":"2.0","id":null,"method":"ping"})", nullptr, -32600},
      {R"({"jsonrpc":"2.0","id":4,"method":"tools/call","params":[]})", 4, -32602},
      {call(5, "fields", "[]"), 5, -32602},
      {call(6, "sim-stats", "{}"), 6, -32602},
      {R"({"jsonrpc":"2.0","id":7,"method":"tools/call","params":{}})", 7, -32602},
      {R"({"jsonrpc":"2.0","id":8,"method":"tools/list"})", 8, success},
      // Tool arguments cannot name another command and are taken as the command takes them.
      {call(11, "element-at", R"({"x":150,"y":100,"cmd":"ping","id":5})"), 11, success,
       {{"/result/structuredContent/title", "Add Contact"}, {"/result/structuredContent/id", nullptr}}},
      {call(12, "screenshot", R"({"x":0,"y":0,"w":"10","h":10})"), 12, success, {{"/result/isError", true}}},
      {initialize + R"(2025-03-26","capabilities":{},"clientInfo":{"name":"t","version":"1"}}})", 10, success,
       {{"/result/protocolVersion", "2025-03-26"},
        {"/result/serverInfo", {{"name", "morvel_ax_sim"}, {"version", MORVEL_VERSION}}},
        {"/result/capabilities/tools", {{"listChanged", false}}}}},
      {initialize + R"(1999-01-01","capabilities":{}}})", 10, success, {{"/result/protocolVersion", "2025-06-18"}}},
  };
  std::vector<std::string> messages;
  for (const auto& testCase : cases) messages.push_back(testCase.line);
  auto replies = serveMcp(messages);
  std::size_t next = 0;
  for (const auto& [line, id, code, holds] : cases) {
    if (code == noReply) continue;
    ASSERT_LT(next, replies.size()) << line;
    const json& reply = replies[next++];
    EXPECT_EQ(reply["jsonrpc"], "2.0") << line;
    EXPECT_EQ(reply["id"], id) << line;
    if (code == success) {
      EXPECT_TRUE(reply.contains("result")) << line;
    } else {
      EXPECT_EQ(reply["error"]["code"], code) << line;
    }
    for (const auto& [place, value] : holds.items()) {
      EXPECT_EQ(reply.value(json::json_pointer(place), json()), value) << line << " at " << place;
    }
  }
  EXPECT_EQ(next, replies.size());
}

}  // namespace
}  // namespace morvel
