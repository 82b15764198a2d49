// An application that misbehaves while a command reads it: hung (its replies
// slower than any time-out), every command answers after about one time-out plus
// its own work, measured exactly on virtual time; quitting halfway through a walk,
// the command answers with less ("found": false, fewer rows, fields or path
// entries, another digest). Never with an error or a crash.

#include "accessibility/AXNames.h"
#include "app/Dispatcher.h"
#include "support/ReplyChecks.h"
#include "support/Scenes.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

namespace morvel {
namespace {

using namespace testing;  // the scene builders

json cell(const std::string& text, double x, double y) {
  return element(ax::AXCell, {{ax::AXValue, text}, {ax::AXFrame, rectValue(x, y, 200, 20)}});
}

constexpr int rowCount = 60;
constexpr int fieldCount = 30;

// A contacts window of an application whose every read takes `responseDelayMs`,
// with its last field focused and two lines of text on screen.
json contacts(double responseDelayMs) {
  json rows = json::array();
  for (int i = 0; i < rowCount; ++i) {
    const double y = 40 + 20 * i;
    rows.push_back(withChildren(element(ax::AXRow, {{ax::AXFrame, rectValue(0, y, 400, 20)}}),
                                {cell("name " + std::to_string(i), 0, y), cell("mail " + std::to_string(i), 200, y)}));
  }
  json form = json::array();
  for (int i = 0; i < fieldCount; ++i) {
    const double y = 40 + 30 * i;
    form.push_back(staticText("Label " + std::to_string(i), rectValue(420, y, 80, 20)));
    form.push_back(withId(element(ax::AXTextField, {{ax::AXValue, std::to_string(i)}, {ax::AXFrame, rectValue(510, y, 200, 20)}}),
                          "field-" + std::to_string(i)));
  }
  json scene = windowScene({element(ax::AXButton, {{ax::AXTitle, "Add"}, {ax::AXFrame, rectValue(10, 10, 60, 20)}}),
                            withChildren(element(ax::AXTable, {{ax::AXFrame, rectValue(0, 40, 400, 1260)}}), rows),
                            withChildren(element(ax::AXGroup, {{ax::AXFrame, rectValue(410, 40, 390, 1260)}}), form)});
  scene["applications"][0]["windows"][0]["attrs"][ax::AXFrame] = rectValue(0, 0, 800, 1300);
  scene["applications"][0]["responseDelayMs"] = responseDelayMs;
  scene["systemWide"] = {{"attrs", {{ax::AXFocusedUIElement, {{"ref", "field-" + std::to_string(fieldCount - 1)}}}}}};
  scene["screen"] = {{"lines",
                      {{{"text", "Ada Lovelace    ada@example.org"}, {"rect", {10, 50, 300, 12}}},
                       {{"text", "Grace Hopper    grace@example.org"}, {"rect", {10, 70, 300, 12}}}}}};
  return scene;
}

// The time-out of reads on the simulated desktop unless a command sets one, and
// the one "selector-at" sets before its hit test.
constexpr double platformTimeoutMs = 6000;
constexpr double selectorAtTimeoutMs = 2000;

TEST(HungApplication, EveryCommandWaitsAtMostOneTimeOutAndAnswersEmpty) {
  const json notFound = {{"ok", true}, {"found", false}};
  const ScreenRect region{0, 0, 400, 100};
  // The front window is looked up before "find" sets its own time-outs, so the
  // first attempt waits the platform's; it outlasts a short deadline, and a
  // longer one is polled to its end: the hung application costs nothing more.
  const json selector = {{"path", {{{"role", ax::AXButton}, {"title", "Add"}}}}, {"windowTitle", "Form"}};
  struct Case {
    json request;
    json reply;  // null: checked below
    double tookMs;
  } cases[] = {
      {{{"cmd", "ping"}}, {{"ok", true}, {"pong", true}}, 0},
      {{{"cmd", "element-at"}, {"x", 20}, {"y", 20}}, notFound, platformTimeoutMs},
      // The system-wide element named it; none of its own attributes could be read.
      {{{"cmd", "focused"}}, {{"ok", true}, {"found", true}}, platformTimeoutMs},
      {regionRequest("ocr-region", region), nullptr, 0},  // needs no application
      {regionRequest("fingerprint", region), nullptr, platformTimeoutMs},
      {{{"cmd", "structure"}}, notFound, platformTimeoutMs},
      {{{"cmd", "fields"}}, notFound, platformTimeoutMs},
      {{{"cmd", "selector-at"}, {"x", 20}, {"y", 20}}, notFound, selectorAtTimeoutMs},
      {{{"cmd", "find"}, {"selector", selector}, {"timeoutMs", 500}}, notFound, platformTimeoutMs},
      {{{"cmd", "find"}, {"selector", selector}, {"timeoutMs", 9000}}, notFound, 9000},
  };
  for (const Case& c : cases) {
    SimDesktopFixture desktop(contacts(600000));
    const json reply = handle(c.request, desktop.platform());
    EXPECT_EQ(c.reply.is_null() ? reply["ok"] : reply, c.reply.is_null() ? json(true) : c.reply) << c.request;
    EXPECT_EQ(desktop.elapsedMs(), c.tookMs) << c.request;
    // The screen's text is read whatever the application does.
    EXPECT_EQ(reply.contains("ocrDigest"), c.request["cmd"] == "fingerprint") << reply;
  }
}

struct Answer {
  json reply;
  double tookMs;
};

Answer ask(const json& request, std::optional<double> quitsAtMs) {
  json scene = contacts(1);
  if (quitsAtMs) scene["timeline"] = {{{"atMs", *quitsAtMs}, {"remove", "app"}}};
  SimDesktopFixture desktop(scene);
  json reply = handle(request, desktop.platform());
  return {reply, desktop.elapsedMs()};
}

// The same request on a desktop whose application stays, and on one whose
// application quits halfway through the walk the first one took (the quitting
// application quits `quitsAtMs` after the request began).
struct Comparison {
  Answer stays;
  Answer quits;
};

Comparison quittingHalfway(const json& request) {
  Answer stays = ask(request, std::nullopt);
  EXPECT_GT(stays.tookMs, 2) << request.dump() << " reads too little to be cut short";
  Answer quits = ask(request, stays.tookMs / 2);
  EXPECT_EQ(quits.reply["ok"], true) << request.dump();
  return {stays, quits};
}

TEST(VanishingApplication, StructureAndFieldsKeepTheRecordsReadBeforeTheApplicationQuit) {
  // Rows and fields collected before the application went keep their places, with
  // nothing read from them afterwards; the last of them may have been cut in the middle.
  const struct {
    const char* command;
    const char* records;
    int count;
    json::json_pointer readablePart;
    std::size_t fewestRead;
  } cases[] = {{"structure", "rows", rowCount, json::json_pointer("/cells/0/value"), 1},
               {"fields", "fields", fieldCount, json::json_pointer("/role"), 0}};
  for (const auto& [command, recordsKey, count, readablePart, fewestRead] : cases) {
    const auto [stays, quits] = quittingHalfway({{"cmd", command}});
    ASSERT_EQ(stays.reply[recordsKey].size(), static_cast<std::size_t>(count)) << command;
    const json records = quits.reply.value(recordsKey, json::array());
    auto readable = [&](const json& record) { return record.contains(readablePart); };
    const auto read = static_cast<std::size_t>(std::count_if(records.begin(), records.end(), readable));
    EXPECT_GE(read, fewestRead) << quits.reply.dump();
    EXPECT_LT(read, static_cast<std::size_t>(count)) << quits.reply.dump();
    for (std::size_t i = 0; i + 1 < read; ++i) EXPECT_EQ(records[i], stays.reply[recordsKey][i]) << command;
  }
}

TEST(VanishingApplication, OtherCommandsDescribeLessOrNothing) {
  const json selector = {{"path", {{{"role", ax::AXTextField}, {"value", "29"}, {"index", 29}}}}, {"windowTitle", "Form"}};
  for (const json& request : {json{{"cmd", "fingerprint"}}, json{{"cmd", "find"}, {"selector", selector}, {"timeoutMs", 1000}},
                              json{{"cmd", "selector-at"}, {"x", 600}, {"y", 1200}},
                              json{{"cmd", "element-at"}, {"x", 600}, {"y", 1200}}, json{{"cmd", "focused"}}}) {
    const auto [stays, quits] = quittingHalfway(request);
    EXPECT_NE(quits.reply, stays.reply) << request;
    EXPECT_LE(quits.reply.size(), stays.reply.size()) << request << ": " << quits.reply.dump();
  }
}

}  // namespace
}  // namespace morvel
