// morvel_ax_helper as a client sees it, against the sample contacts application
// on the virtual desktop.

#include "accessibility/AXNames.h"
#include "support/AppSuite.h"

#include <csignal>
#include <thread>
#include <vector>

namespace morvel::testing {
namespace {

// The helper's own time-out for an application that does not answer.
constexpr auto helperTimeout = 2000ms;

class HelperOnFixture : public OnSampleApp {
 protected:
  HelperProcess helper_;
};

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
  expectHas(reply, {{"found", true}, {"role", ax::AXTextField}, {"value", "Ada Lovelace"}, {"frame", frameJson(entry)}});
  EXPECT_FALSE(reply->contains("enabled"));
}

// One request of every command, pointed at the fixture window.
std::vector<Json> everyCommand(const ScreenRect& button, const ScreenRect& window) {
  const ScreenRect region = {window.x, window.y, window.width, window.height / 4};
  const Json addButton = {{"path", {{{"role", ax::AXButton}, {"title", "Add"}}}}};
  return {{{"cmd", "ping"}},
          atCentreOf("element-at", button),
          {{"cmd", "focused"}},
          regionRequest("ocr-region", region),
          regionRequest("fingerprint", region),
          {{"cmd", "structure"}},
          {{"cmd", "fields"}},
          atCentreOf("selector-at", button),
          {{"cmd", "find"}, {"selector", addButton}, {"timeoutMs", 500}}};
}

bool readsTheApplication(const Json& request) {
  const std::string cmd = request["cmd"];
  return cmd != "ping" && cmd != "ocr-region" && cmd != "fingerprint";
}

// Each request is answered while the application is still stopped: the helper gave
// up on it rather than waiting for it to come back.
TEST_F(HelperOnFixture, AFrozenApplicationHoldsNoRequestBeyondTheHelpersTimeOut) {
  const auto window = clientWindowOf(fixture_->pid());
  ASSERT_TRUE(window);
  const std::vector<Json> requests = everyCommand(fixture_->frameOf("add"), *window);
  // Recognition loads its model on first use: that is work of its own, done before the clock runs.
  ASSERT_TRUE(helper_.ask(requests[3]));

  ASSERT_EQ(::kill(fixture_->pid(), SIGSTOP), 0);
  for (const Json& request : requests) {
    auto reply = helper_.ask(request, replyTimeout);
    ASSERT_TRUE(reply) << request.dump();
    EXPECT_EQ((*reply)["ok"], true) << reply->dump();
    if (readsTheApplication(request)) {
      EXPECT_NE(reply->value("found", false), true) << reply->dump();
    }
  }
  ASSERT_EQ(::kill(fixture_->pid(), SIGCONT), 0);
  // Once it answers again, so does the helper: the hung mark lasts one request.
  std::optional<Json> reply;
  EXPECT_TRUE(eventually(
      [&] {
        reply = helper_.ask(requests[1]);
        return reply && (*reply)["found"] == true;
      },
      replyTimeout))
      << (reply ? reply->dump() : "no reply");
}

// An application of its own, killed while the helper waits on it in the middle of
// a request: the request still gets its answer, and so does every later one.
TEST(HelperOnVanishingApplication, AnApplicationKilledDuringARequestEndsItWithLessNotWithACrash) {
  for (const char* cmd : {"structure", "fields", "fingerprint", "focused"}) {
    FixtureApplication fixture;
    ASSERT_TRUE(fixture.started());
    ASSERT_TRUE(eventually([&] { return activeWindowPid() == fixture.pid(); }, startupTimeout));
    HelperProcess helper;
    // Stopped, it cannot answer: the helper's first read on it waits.
    ASSERT_EQ(::kill(fixture.pid(), SIGSTOP), 0);
    const auto started = std::chrono::steady_clock::now();
    helper.process().writeLine(Json{{"id", cmd}, {"cmd", cmd}}.dump());
    std::this_thread::sleep_for(helperTimeout / 4);
    ASSERT_EQ(::kill(fixture.pid(), SIGKILL), 0);
    auto line = helper.process().readLine(replyTimeout);
    const auto took = std::chrono::steady_clock::now() - started;
    ASSERT_TRUE(line) << cmd;
    const Json reply = Json::parse(*line, nullptr, false);
    EXPECT_EQ(reply["id"], cmd);
    EXPECT_EQ(reply["ok"], true) << *line;
    EXPECT_NE(reply.value("found", false), true) << *line;
    // It was still waiting when the application went.
    EXPECT_GE(took, helperTimeout / 4) << cmd;
    EXPECT_EQ(helper.ask({{"cmd", "ping"}}), (Json{{"id", 0}, {"ok", true}, {"pong", true}}));
    EXPECT_EQ(helper.process().closeAndWait(replyTimeout), 0);
    EXPECT_EQ(helper.process().standardError(), "");
  }
}

// Neither the session bus nor the accessibility bus can be reached (whether the
// helper would look for the latter in the environment or on the X root window),
// nor the display, nor either: every command answers, with nothing to reach.
TEST(HelperWithoutDesktop, EveryCommandAnswersWithoutABusOrADisplay) {
  using Environment = std::map<std::string, std::optional<std::string>>;
  const Environment noBus = {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/morvel-bus"},
                             {"AT_SPI_BUS_ADDRESS", "unix:path=/nonexistent/morvel-a11y-bus"}};
  Environment nothing = noBus;
  nothing["DISPLAY"] = std::nullopt;
  for (const Environment& environment : {nothing, Environment{{"DISPLAY", std::nullopt}}, noBus}) {
    HelperProcess helper(environment);
    const ScreenRect somewhere{100, 100, 200, 120};
    int id = 0;
    for (Json request : everyCommand(somewhere, somewhere)) {
      request["id"] = ++id;
      auto reply = helper.ask(request);
      ASSERT_TRUE(reply) << request.dump();
      EXPECT_EQ((*reply)["id"], id);
      EXPECT_EQ((*reply)["ok"], true) << reply->dump();
      if (request["cmd"] == "ping") {
        EXPECT_EQ((*reply)["pong"], true);
      } else if (request["cmd"] == "focused" || request["cmd"] == "element-at") {
        EXPECT_EQ(*reply, (Json{{"id", id}, {"ok", true}, {"found", false}}));
      } else if (readsTheApplication(request)) {
        EXPECT_NE(reply->value("found", false), true) << reply->dump();
      }
    }
    EXPECT_EQ(helper.process().closeAndWait(replyTimeout), 0);
    EXPECT_EQ(helper.process().standardError(), "");
  }
}

}  // namespace
}  // namespace morvel::testing
