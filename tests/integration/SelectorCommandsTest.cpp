// "element-at", "selector-at" and "find" of morvel_ax_helper as a client uses them
// against the sample contacts application: a point names the control X shows
// there, and a selector taken from it and sent back whole finds the same
// control, after the window's title changed too, waits for a control that comes
// back or becomes enabled, and gives up on one that is gone.

#include "accessibility/AXNames.h"
#include "support/AppSuite.h"

namespace morvel::testing {
namespace {

Json findRequest(const Json& selector, std::chrono::milliseconds timeout) {
  return {{"cmd", "find"}, {"selector", selector}, {"timeoutMs", timeout.count()}};
}

class SelectorsOnFixture : public OnSampleApp {
 protected:
  // The selector of the Add button, taken from its centre.
  Json addButtonSelector() {
    auto selector = helper_.ask(atCentreOf("selector-at", fixture_->frameOf("add")));
    if (!selector || (*selector)["found"] != true) return Json::object();
    return *selector;
  }

  HelperProcess helper_;
};

// Puts the fixture back as the other tests expect it, however a test ends.
struct FixtureRestorer {
  FixtureApplication& fixture;
  std::vector<std::string> commands;
  ~FixtureRestorer() {
    for (const std::string& command : commands) fixture.command(command);
  }
};

TEST_F(SelectorsOnFixture, APointNamesTheControlThereAndItsSelectorSentBackWholeFindsIt) {
  struct Control {
    const char* widget;
    const char* role;
    const char* title;
  };
  for (const Control& control : {Control{"add", ax::AXButton, "Add"}, Control{"name", ax::AXTextField, ""}}) {
    SCOPED_TRACE(control.widget);
    const ScreenRect rect = fixture_->frameOf(control.widget);
    expectHas(helper_.ask(atCentreOf("element-at", rect)),
              {{"found", true}, {"role", control.role}, {"enabled", true}, {"frame", frameJson(rect)}});
    auto selector = helper_.ask(atCentreOf("selector-at", rect));
    ASSERT_TRUE(selector);
    ASSERT_EQ((*selector)["found"], true) << *selector;
    EXPECT_EQ((*selector)["windowTitle"], "Contacts");
    EXPECT_EQ((*selector)["appName"], "Contacts");
    const Json& path = (*selector)["path"];
    ASSERT_FALSE(path.empty());
    EXPECT_LE(path.size(), 12u);
    EXPECT_EQ(path.front()["role"], control.role);
    EXPECT_EQ(path.front().value("title", ""), control.title);
    EXPECT_EQ(path.back()["role"], ax::AXWindow) << path;
    for (std::size_t index = 1; index < path.size(); ++index) EXPECT_FALSE(path[index].contains("value")) << index;

    // The whole reply goes back, "id", "ok" and "found" included.
    auto found = helper_.ask(findRequest(*selector, 0ms));
    ASSERT_TRUE(found);
    EXPECT_EQ((*found)["found"], true) << *found;
    EXPECT_EQ((*found)["role"], control.role);
    EXPECT_EQ((*found)["frame"], frameJson(rect));
    EXPECT_EQ((*found)["enabled"], true);
  }
  auto entry = helper_.ask(atCentreOf("selector-at", fixture_->frameOf("name")));
  ASSERT_TRUE(entry);
  EXPECT_EQ((*entry)["path"][0]["value"], "Ada Lovelace");
  // The screen is larger than the window; its far corner is bare root window.
  EXPECT_EQ(helper_.ask({{"cmd", "element-at"}, {"x", 1919}, {"y", 1079}}), (Json{{"id", 0}, {"ok", true}, {"found", false}}));
}

TEST_F(SelectorsOnFixture, AfterTheTitleChangesFindStillResolvesInTheFrontWindow) {
  const Json selector = addButtonSelector();
  ASSERT_EQ(selector.value("windowTitle", ""), "Contacts");
  FixtureRestorer restore{*fixture_, {"title Contacts"}};
  ASSERT_EQ(fixture_->command("title Address book"), "ok");
  // The very next request sees the new title: nothing read before it is served.
  auto fingerprint = helper_.ask({{"cmd", "fingerprint"}});
  ASSERT_TRUE(fingerprint);
  EXPECT_EQ((*fingerprint)["windowTitle"], "Address book");

  auto found = helper_.ask(findRequest(selector, 0ms)).value_or(Json::object());
  EXPECT_EQ(found["found"], true) << found;
  EXPECT_EQ(found["frame"], frameJson(fixture_->frameOf("add")));
}

// Gone or disabled to the end: nothing or the disabled match, at the time-out; back
// or enabled while "find" waits: the enabled control, as soon as a try sees it.
TEST_F(SelectorsOnFixture, FindWaitsForAGoneOrDisabledControlUntilItsTimeOut) {
  const Json selector = addButtonSelector();
  ASSERT_TRUE(selector.contains("path"));
  for (const auto& [change, undo] :
       {std::pair{"remove add", "restore add"}, std::pair{"sensitive add 0", "sensitive add 1"}}) {
    SCOPED_TRACE(change);
    FixtureRestorer restore{*fixture_, {undo}};
    ASSERT_EQ(fixture_->command(change), "ok");
    constexpr auto timeout = 500ms;
    const auto started = std::chrono::steady_clock::now();
    const Json atTimeOut = helper_.ask(findRequest(selector, timeout)).value_or(Json::object());
    // Only a lower bound: a loaded machine makes the wait longer, never shorter.
    EXPECT_GE(std::chrono::steady_clock::now() - started, timeout);
    if (std::string(change) == "remove add") {
      EXPECT_EQ(atTimeOut, (Json{{"id", 0}, {"ok", true}, {"found", false}}));
    } else {
      EXPECT_EQ(atTimeOut["found"], true) << atTimeOut;
      EXPECT_EQ(atTimeOut["enabled"], false);
    }

    constexpr auto undoneAfter = 500ms;
    ASSERT_EQ(fixture_->command("later " + std::to_string(undoneAfter.count()) + " " + undo), "ok");
    // A "find" that waited out its time-out would still be waiting when the reply is given up on.
    const Json back = helper_.ask(findRequest(selector, 3 * replyTimeout)).value_or(Json::object());
    EXPECT_EQ(back["found"], true) << back;
    EXPECT_EQ(back["enabled"], true);
    EXPECT_EQ(back["frame"], frameJson(fixture_->frameOf("add")));
  }
}

}  // namespace
}  // namespace morvel::testing
