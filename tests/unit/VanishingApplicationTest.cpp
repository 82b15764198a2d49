// An application that quits while a command walks its tree: the command answers
// with less ("found": false, fewer rows, fields or path entries, another digest),
// never with an error or a crash.

#include "accessibility/AXNames.h"
#include "app/Dispatcher.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

namespace morvel {
namespace {

using nlohmann::json;
using testing::SimDesktopFixture;

constexpr int rowCount = 60;
constexpr int fieldCount = 30;

json rect(double x, double y, double w, double h) { return {{"rect", {x, y, w, h}}}; }

// A contacts window of a slow application (every read takes a millisecond) that
// quits `quitsAtMs` after the request began, if given.
json contactsQuittingAt(std::optional<double> quitsAtMs) {
  json rows = json::array();
  for (int i = 0; i < rowCount; ++i) {
    const double y = 40 + 20 * i;
    rows.push_back({{"attrs", {{ax::AXRole, ax::AXRow}, {ax::AXFrame, rect(0, y, 400, 20)}}},
                    {"children",
                     {{{"attrs", {{ax::AXRole, ax::AXCell}, {ax::AXValue, "name " + std::to_string(i)}, {ax::AXFrame, rect(0, y, 200, 20)}}}},
                      {{"attrs", {{ax::AXRole, ax::AXCell}, {ax::AXValue, "mail " + std::to_string(i)}, {ax::AXFrame, rect(200, y, 200, 20)}}}}}}});
  }
  json form = json::array();
  for (int i = 0; i < fieldCount; ++i) {
    const double y = 40 + 30 * i;
    form.push_back({{"attrs", {{ax::AXRole, ax::AXStaticText}, {ax::AXValue, "Label " + std::to_string(i)}, {ax::AXFrame, rect(420, y, 80, 20)}}}});
    form.push_back({{"id", "field-" + std::to_string(i)},
                    {"attrs", {{ax::AXRole, ax::AXTextField}, {ax::AXValue, std::to_string(i)}, {ax::AXFrame, rect(510, y, 200, 20)}}}});
  }
  json window = {{"id", "window"},
                 {"attrs", {{ax::AXRole, ax::AXWindow}, {ax::AXTitle, "People"}, {ax::AXFrame, rect(0, 0, 800, 1300)}}},
                 {"children",
                  {{{"attrs", {{ax::AXRole, ax::AXButton}, {ax::AXTitle, "Add"}, {ax::AXFrame, rect(10, 10, 60, 20)}}}},
                   {{"attrs", {{ax::AXRole, ax::AXTable}, {ax::AXFrame, rect(0, 40, 400, 1260)}}}, {"children", rows}},
                   {{"attrs", {{ax::AXRole, ax::AXGroup}, {ax::AXFrame, rect(410, 40, 390, 1260)}}}, {"children", form}}}}};
  json scene = {{"frontmost", {{"pid", 3}, {"bundleId", "com.example.people"}}},
                {"systemWide", {{"attrs", {{ax::AXFocusedUIElement, {{"ref", "field-" + std::to_string(fieldCount - 1)}}}}}}},
                {"applications",
                 {{{"pid", 3}, {"id", "app"}, {"responseDelayMs", 1}, {"attrs", {{ax::AXTitle, "People"}}}, {"windows", {window}}}}}};
  if (quitsAtMs) scene["timeline"] = {{{"atMs", *quitsAtMs}, {"remove", "app"}}};
  return scene;
}

struct Answer {
  json reply;
  double tookMs;
};

Answer ask(const json& request, std::optional<double> quitsAtMs) {
  SimDesktopFixture desktop(contactsQuittingAt(quitsAtMs));
  json reply = handle(request, desktop.platform());
  return {reply, desktop.elapsedMs()};
}

std::size_t sizeOf(const json& reply, const char* key) {
  auto found = reply.find(key);
  return found != reply.end() && found->is_array() ? found->size() : 0;
}

// The same request on a desktop whose application stays, and on one whose
// application quits halfway through the walk the first one took.
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

// Rows and fields collected before the application went keep their places, with
// nothing read from them afterwards.
std::size_t countWith(const json& records, const std::function<bool(const json&)>& readable) {
  return static_cast<std::size_t>(std::count_if(records.begin(), records.end(), readable));
}

TEST(VanishingApplication, StructureKeepsTheRowsReadBeforeTheApplicationQuit) {
  const auto [stays, quits] = quittingHalfway({{"cmd", "structure"}});
  ASSERT_EQ(stays.reply["rowCount"], rowCount);
  ASSERT_EQ(quits.reply["found"], true) << quits.reply.dump();
  auto hasText = [](const json& row) { return row["cells"][0].contains("value"); };
  const std::size_t readRows = countWith(quits.reply["rows"], hasText);
  EXPECT_GT(readRows, 0u);
  EXPECT_LT(readRows, static_cast<std::size_t>(rowCount));
  // The last of them may have been cut in the middle.
  for (std::size_t i = 0; i + 1 < readRows; ++i) EXPECT_EQ(quits.reply["rows"][i], stays.reply["rows"][i]);
}

TEST(VanishingApplication, FieldsKeepTheFieldsReadBeforeTheApplicationQuit) {
  const auto [stays, quits] = quittingHalfway({{"cmd", "fields"}});
  ASSERT_EQ(stays.reply["fieldCount"], fieldCount);
  auto hasRole = [](const json& field) { return field.contains("role"); };
  const std::size_t readFields = countWith(quits.reply.value("fields", json::array()), hasRole);
  EXPECT_LT(readFields, static_cast<std::size_t>(fieldCount)) << quits.reply.dump();
  EXPECT_LE(sizeOf(quits.reply, "fields"), static_cast<std::size_t>(fieldCount));
}

TEST(VanishingApplication, FingerprintDigestsWhatItCouldRead) {
  const auto [stays, quits] = quittingHalfway({{"cmd", "fingerprint"}});
  ASSERT_TRUE(quits.reply.contains("axDigest"));
  EXPECT_NE(quits.reply["axDigest"], stays.reply["axDigest"]);
}

TEST(VanishingApplication, FindGivesUpOnAnElementThatWentWithItsApplication) {
  const json selector = {{"path", {{{"role", ax::AXTextField}, {"value", "29"}, {"index", 29}}}}, {"windowTitle", "People"}};
  const auto [stays, quits] = quittingHalfway({{"cmd", "find"}, {"selector", selector}, {"timeoutMs", 1000}});
  EXPECT_EQ(stays.reply["found"], true);
  EXPECT_EQ(quits.reply, (json{{"ok", true}, {"found", false}}));
}

TEST(VanishingApplication, SelectorAtElementAtAndFocusedDescribeLessOrNothing) {
  for (const json& request : {json{{"cmd", "selector-at"}, {"x", 600}, {"y", 1200}},
                              json{{"cmd", "element-at"}, {"x", 600}, {"y", 1200}}, json{{"cmd", "focused"}}}) {
    const auto [stays, quits] = quittingHalfway(request);
    EXPECT_EQ(stays.reply["found"], true) << request;
    if (request["cmd"] == "focused") {
      EXPECT_EQ(stays.reply["value"], std::to_string(fieldCount - 1));
    }
    EXPECT_LT(quits.reply.size(), stays.reply.size()) << request << ": " << quits.reply.dump();
  }
}

}  // namespace
}  // namespace morvel
