// morvel_ax_helper as a client sees it, against the fixture application on the
// virtual desktop.

#include "support/Desktop.h"

#include <gtest/gtest.h>

#include <csignal>

namespace morvel::testing {
namespace {

// The helper's own time-out for an application that does not answer.
constexpr auto helperTimeout = 2000ms;
// What a reply may take beyond one time-out on a loaded two-core machine.
constexpr auto replySlack = 1500ms;

Json frameJson(const ScreenRect& rect) {
  return {{"x", static_cast<double>(rect.x)},
          {"y", static_cast<double>(rect.y)},
          {"w", static_cast<double>(rect.width)},
          {"h", static_cast<double>(rect.height)}};
}

class HelperOnFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { fixture_ = std::make_unique<FixtureApplication>(); }
  static void TearDownTestSuite() { fixture_.reset(); }
  void SetUp() override {
    ASSERT_TRUE(fixture_->started()) << "the fixture window did not come up";
    ASSERT_TRUE(eventually([] { return activeWindowPid() == fixture_->pid(); }, startupTimeout))
        << "the fixture never became the active window";
  }

  static Json centreOf(const ScreenRect& rect) {
    return {{"x", rect.x + rect.width / 2.0}, {"y", rect.y + rect.height / 2.0}};
  }

  static std::unique_ptr<FixtureApplication> fixture_;
  HelperProcess helper_;
};

std::unique_ptr<FixtureApplication> HelperOnFixture::fixture_;

TEST_F(HelperOnFixture, AnswersPingAndEndsWithStatusZeroAtEndOfInput) {
  auto reply = helper_.ask({{"id", 1}, {"cmd", "ping"}});
  ASSERT_TRUE(reply);
  EXPECT_EQ(*reply, (Json{{"id", 1}, {"ok", true}, {"pong", true}}));
  EXPECT_EQ(helper_.process().closeAndWait(replyTimeout), 0);
  EXPECT_EQ(helper_.process().standardError(), "");
}

TEST_F(HelperOnFixture, ElementAtOnTheAddButtonDescribesItWhereXPlacesIt) {
  const ScreenRect button = fixture_->frameOf("add");
  Json request = centreOf(button);
  request["cmd"] = "element-at";
  auto reply = helper_.ask(request);
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)["found"], true);
  EXPECT_EQ((*reply)["role"], "AXButton");
  EXPECT_EQ((*reply)["title"], "Add");
  EXPECT_EQ((*reply)["enabled"], true);
  EXPECT_EQ((*reply)["frame"], frameJson(button));
}

TEST_F(HelperOnFixture, ElementAtOutsideEveryWindowFindsNothing) {
  const auto window = clientWindowOf(fixture_->pid());
  ASSERT_TRUE(window);
  // The screen is larger than the fixture window; its far corner is bare root window.
  auto reply = helper_.ask({{"cmd", "element-at"}, {"x", 1919}, {"y", 1079}});
  ASSERT_TRUE(reply);
  EXPECT_EQ(*reply, (Json{{"id", 0}, {"ok", true}, {"found", false}}));
}

TEST_F(HelperOnFixture, FocusedIsTheNameEntryWithItsSelection) {
  ASSERT_EQ(fixture_->command("select-name 4 12"), "ok");
  const ScreenRect entry = fixture_->frameOf("name");
  std::optional<Json> reply;
  ASSERT_TRUE(eventually(
      [&] {
        reply = helper_.ask({{"cmd", "focused"}});
        return reply && (*reply).value("selectedText", "") == "Lovelace";
      },
      replyTimeout))
      << (reply ? reply->dump() : "no reply");
  EXPECT_EQ((*reply)["found"], true);
  EXPECT_EQ((*reply)["role"], "AXTextField");
  EXPECT_EQ((*reply)["value"], "Ada Lovelace");
  EXPECT_EQ((*reply)["frame"], frameJson(entry));
  EXPECT_FALSE(reply->contains("enabled"));
}

TEST_F(HelperOnFixture, AFrozenApplicationHoldsNoRequestMuchLongerThanOneTimeOut) {
  const ScreenRect button = fixture_->frameOf("add");
  Json elementAt = centreOf(button);
  elementAt["cmd"] = "element-at";
  ASSERT_EQ(::kill(fixture_->pid(), SIGSTOP), 0);
  for (const Json& request : {elementAt, Json{{"cmd", "focused"}}, elementAt}) {
    const auto started = std::chrono::steady_clock::now();
    auto reply = helper_.ask(request, helperTimeout * 4);
    const auto took = std::chrono::steady_clock::now() - started;
    ASSERT_TRUE(reply) << request.dump();
    EXPECT_EQ((*reply)["found"], false) << reply->dump();
    EXPECT_LT(took, helperTimeout + replySlack) << request.dump();
  }
  ASSERT_EQ(::kill(fixture_->pid(), SIGCONT), 0);
  // Once it answers again, so does the helper: the hung mark lasts one request.
  std::optional<Json> reply;
  EXPECT_TRUE(eventually(
      [&] {
        reply = helper_.ask(elementAt);
        return reply && (*reply)["found"] == true;
      },
      replyTimeout))
      << (reply ? reply->dump() : "no reply");
}

TEST(HelperWithoutDesktop, AnswersWithoutABusOrADisplay) {
  const std::map<std::string, std::optional<std::string>> nothingReachable = {
      {"DISPLAY", std::nullopt},
      {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/morvel-bus"},
      {"AT_SPI_BUS_ADDRESS", std::nullopt}};
  HelperProcess helper(nothingReachable);
  EXPECT_EQ(helper.ask({{"id", "a"}, {"cmd", "ping"}}), (Json{{"id", "a"}, {"ok", true}, {"pong", true}}));
  EXPECT_EQ(helper.ask({{"id", 2}, {"cmd", "focused"}}), (Json{{"id", 2}, {"ok", true}, {"found", false}}));
  EXPECT_EQ(helper.ask({{"id", 3}, {"cmd", "element-at"}, {"x", 10}, {"y", 10}}),
            (Json{{"id", 3}, {"ok", true}, {"found", false}}));
  EXPECT_EQ(helper.process().closeAndWait(replyTimeout), 0);
  EXPECT_EQ(helper.process().standardError(), "");
}

TEST(HelperWithoutDesktop, AnswersWithABusButNoDisplay) {
  HelperProcess helper({{"DISPLAY", std::nullopt}});
  EXPECT_EQ(helper.ask({{"cmd", "ping"}}), (Json{{"id", 0}, {"ok", true}, {"pong", true}}));
  auto reply = helper.ask({{"cmd", "element-at"}, {"x", 10}, {"y", 10}});
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)["ok"], true);
  EXPECT_EQ(helper.process().closeAndWait(replyTimeout), 0);
  EXPECT_EQ(helper.process().standardError(), "");
}

}  // namespace
}  // namespace morvel::testing
