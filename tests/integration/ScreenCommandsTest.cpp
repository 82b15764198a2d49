// "ocr-region", "fingerprint" and "fields" of morvel_ax_helper as a client sees
// them, against the sample contacts application on the virtual desktop.

#include "support/AppSuite.h"

#include <fstream>

namespace morvel::testing {
namespace {

Json request(const std::string& command, const Json& arguments = Json::object()) {
  Json line = arguments;
  line["cmd"] = command;
  return line;
}

const Json* lineWith(const Json& reply, const std::string& text) {
  for (const Json& line : reply["lines"]) {
    if (line["text"].get<std::string>().find(text) != std::string::npos) return &line;
  }
  return nullptr;
}

// The line's frame lies inside `rect`, both in pixels of the captured region.
void expectInside(const Json& frame, const ScreenRect& rect) { EXPECT_TRUE(within(frame, frameJson(rect), 0)) << frame; }

ScreenRect relativeTo(const ScreenRect& rect, const ScreenRect& region) {
  return {rect.x - region.x, rect.y - region.y, rect.width, rect.height};
}

// The helper's thread count, from the kernel's view of the process.
int threadsOf(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("Threads:")) return std::stoi(line.substr(8));
  }
  return -1;
}

class ScreenCommandsOnFixture : public OnSampleApp {
 protected:
  // The tests read the window's pixels: an active window is drawn anew, out of
  // its backdrop look, some time after the window manager made it active.
  void SetUp() override {
    OnSampleApp::SetUp();
    ASSERT_EQ(fixture_->command("painted"), "painted");
  }

  HelperProcess helper_;
};

TEST_F(ScreenCommandsOnFixture, OcrRegionReadsLabelsAndCellsWithFramesInTheRegionsPixelsEvenPartlyOffScreen) {
  const ScreenRect window = fixture_->frameOf("window");
  // Starts inside the window, so that frames measured from the screen's
  // corner or the window's would show.
  constexpr int inset = 6;
  const ScreenRect region{window.x + inset, window.y + inset, window.width - inset, window.height - inset};
  auto reply = helper_.ask(regionRequest("ocr-region", region), untilReplied);
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)["ok"], true);

  std::string joined;
  for (const Json& line : (*reply)["lines"]) {
    if (!joined.empty()) joined += '\n';
    joined += line["text"].get<std::string>();
    expectInside(line["frame"], {0, 0, region.width, region.height});
    EXPECT_GE(line["confidence"].get<double>(), 0.0);
    EXPECT_LE(line["confidence"].get<double>(), 1.0);
  }
  EXPECT_EQ((*reply)["text"], joined);
  SCOPED_TRACE("read:\n" + reply->dump());
  for (const char* text : {"Email", "Password", "Group", "Subscribe to news", "Search contacts", "Ada Lovelace",
                           "alan@example.org", "Grace Hopper"}) {
    EXPECT_NE(lineWith(*reply, text), nullptr) << text;
  }
  const Json* add = lineWith(*reply, "Add");
  ASSERT_NE(add, nullptr);
  expectInside((*add)["frame"], relativeTo(fixture_->frameOf("add"), region));
  const Json* cell = lineWith(*reply, "Grace Hopper");
  ASSERT_NE(cell, nullptr);
  expectInside((*cell)["frame"], relativeTo(fixture_->frameOf("table"), region));

  // A region that starts above the screen keeps its size: lines stay where they are in it.
  constexpr int aboveTheScreen = 200;
  const ScreenRect tall{window.x, -aboveTheScreen, window.width, window.y + window.height + aboveTheScreen};
  reply = helper_.ask(regionRequest("ocr-region", tall), untilReplied);
  ASSERT_TRUE(reply);
  SCOPED_TRACE("read from above the screen:\n" + reply->dump());
  add = lineWith(*reply, "Add");
  ASSERT_NE(add, nullptr);
  expectInside((*add)["frame"], relativeTo(fixture_->frameOf("add"), tall));
}

TEST_F(ScreenCommandsOnFixture, RectanglesOffScreenNegativeOrEmptyGiveEmptyResults) {
  const Json empty = {{"id", 0}, {"ok", true}, {"text", ""}, {"lines", Json::array()}};
  for (const Json& rect : {Json{{"x", -5000}, {"y", -5000}, {"w", 300}, {"h", 200}},
                           Json{{"x", 5000}, {"y", 100}, {"w", 300}, {"h", 200}},
                           Json{{"x", 100}, {"y", 5000}, {"w", 300}, {"h", 200}},
                           Json{{"x", 400}, {"y", 300}, {"w", -300}, {"h", 200}},
                           Json{{"x", 400}, {"y", 300}, {"w", 300}, {"h", -200}},
                           Json{{"x", 100}, {"y", 100}, {"w", 0}, {"h", 200}},
                           Json{{"x", 100}, {"y", 100}, {"w", 300}, {"h", 0}},
                           Json{{"x", 1e300}, {"y", 100}, {"w", 1e300}, {"h", 200}},
                           Json{{"x", -1e300}, {"y", -1e300}, {"w", 1e300}, {"h", 1e300}}}) {
    EXPECT_EQ(helper_.ask(request("ocr-region", rect)), empty) << rect;
    auto fingerprint = helper_.ask(request("fingerprint", rect));
    ASSERT_TRUE(fingerprint) << rect;
    // The digest of no text at all.
    EXPECT_EQ((*fingerprint)["ocrDigest"], "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855") << rect;
  }
  EXPECT_EQ(helper_.ask({{"id", 9}, {"cmd", "ping"}}), (Json{{"id", 9}, {"ok", true}, {"pong", true}}));
  EXPECT_EQ(helper_.process().closeAndWait(replyTimeout), 0);
  EXPECT_EQ(helper_.process().standardError(), "");
}

TEST_F(ScreenCommandsOnFixture, FingerprintDigestsFollowTheTextAndTheTitle) {
  const Json fingerprint = regionRequest("fingerprint", fixture_->frameOf("table"));
  auto first = helper_.ask(fingerprint, untilReplied);
  auto second = helper_.ask(fingerprint, untilReplied);
  ASSERT_TRUE(first && second);
  EXPECT_EQ((*first)["windowTitle"], "Contacts");
  EXPECT_EQ((*second)["ocrDigest"], (*first)["ocrDigest"]);
  EXPECT_EQ((*second)["axDigest"], (*first)["axDigest"]);
  EXPECT_EQ((*first)["ocrDigest"].get<std::string>().size(), 64u);

  // A new row changes the table's text; the rows lie below the tree dump's depth.
  ASSERT_EQ(fixture_->command("add-row Katherine Johnson\tkatherine@example.org"), "ok");
  std::optional<Json> afterRow;
  EXPECT_TRUE(eventually(
      [&] {
        afterRow = helper_.ask(fingerprint);
        return afterRow && (*afterRow)["ocrDigest"] != (*first)["ocrDigest"];
      },
      replyTimeout));
  ASSERT_TRUE(afterRow);
  EXPECT_EQ((*afterRow)["axDigest"], (*first)["axDigest"]);

  // A new title changes the tree digest, not the table's text.
  ASSERT_EQ(fixture_->command("title Contacts (edited)"), "ok");
  std::optional<Json> afterTitle;
  EXPECT_TRUE(eventually(
      [&] {
        afterTitle = helper_.ask(fingerprint);
        return afterTitle && (*afterTitle)["axDigest"] != (*first)["axDigest"];
      },
      replyTimeout));
  ASSERT_TRUE(afterTitle);
  EXPECT_EQ((*afterTitle)["windowTitle"], "Contacts (edited)");
  EXPECT_EQ((*afterTitle)["ocrDigest"], (*afterRow)["ocrDigest"]);

  // Back as it was, for the tests after this one.
  ASSERT_EQ(fixture_->command("title Contacts"), "ok");
  ASSERT_EQ(fixture_->command("clear-rows"), "ok");
  for (const char* row : {"Ada Lovelace\tada@example.org", "Alan Turing\talan@example.org",
                          "Grace Hopper\tgrace@example.org"}) {
    ASSERT_EQ(fixture_->command(std::string("add-row ") + row), "ok");
  }
}

TEST_F(ScreenCommandsOnFixture, FieldsCarryTheLabelsAPersonReads) {
  auto reply = helper_.ask(request("fields"));
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)["found"], true);
  EXPECT_EQ((*reply)["windowTitle"], "Contacts");
  std::map<std::string, Json> byLabel;
  for (const Json& field : (*reply)["fields"]) byLabel[field.value("label", "(none)")] = field;

  // Label, its source, role and whether the field is secure.
  for (const Json& expected : Json::parse(R"([["Name", "titleElement", "AXTextField", false],
      ["Email", "titleElement", "AXTextField", false], ["Password", "titleElement", "AXTextField", true],
      ["Search contacts", "placeholder", "AXTextField", false], ["Subscribe to news", "title", "AXCheckBox", false],
      ["Group", "titleElement", "AXPopUpButton", false]])")) {
    const std::string label = expected[0];
    ASSERT_TRUE(byLabel.contains(label)) << label << " in " << *reply;
    expectHas(byLabel[label], {{"labelSource", expected[1]}, {"role", expected[2]}, {"secure", expected[3]}});
    EXPECT_EQ(byLabel[label]["path"].size(), 1u) << label;
  }
  EXPECT_EQ(byLabel["Name"]["value"], "Ada Lovelace");
  EXPECT_EQ(byLabel["Group"]["value"], "Friends");
  EXPECT_EQ(byLabel["Subscribe to news"]["value"], "0");
  EXPECT_EQ((*reply)["fieldCount"], 6);
}

TEST_F(ScreenCommandsOnFixture, RecognitionLeavesNoThreadsBehind) {
  ASSERT_TRUE(helper_.ask(request("focused")));
  const int before = threadsOf(helper_.process().pid());
  ASSERT_GT(before, 0);
  ASSERT_TRUE(helper_.ask(regionRequest("ocr-region", fixture_->frameOf("window")), untilReplied));
  // Recognition threads (OpenMP's, or the engines' own) are gone once it is done.
  EXPECT_EQ(threadsOf(helper_.process().pid()), before);
}

}  // namespace
}  // namespace morvel::testing
