// One helper outliving the desktop's services: the accessibility bus, its
// registry and the X server are killed under it and started again. These run
// on a virtual desktop of their own (see CMakeLists.txt), in the order written,
// each leaving every service running again.

#include "support/AppSuite.h"
#include "support/DesktopServices.h"

#include <string>

namespace morvel::testing {
namespace {

constexpr const char* busGone = "the accessibility bus went away";
constexpr const char* busBack = "the accessibility bus is back";
constexpr const char* displayGone = "the X display went away";
constexpr const char* displayBack = "the X display is back";

class HelperOutlivingServices : public ::testing::Test {
 protected:
  // Asks until the helper finds the focused element of the application in front.
  bool findsTheFocus() {
    return eventually(
        [&] {
          auto reply = helper_.ask({{"cmd", "focused"}});
          return reply && reply->value("found", false);
        },
        startupTimeout);
  }

  // Each of `requests` is answered, and finds nothing in the tree; "structure"
  // may still read the front window's text off the screen, which the window
  // system alone makes known.
  void expectAnsweredEmpty(const std::vector<Json>& requests, std::chrono::milliseconds timeout = replyTimeout) {
    for (const Json& request : requests) {
      auto reply = helper_.ask(request, timeout);
      ASSERT_TRUE(reply) << request.dump();
      EXPECT_EQ((*reply)["ok"], true) << reply->dump();
      if (reply->value("containerRole", "") == "OCR") continue;
      EXPECT_NE(reply->value("found", false), true) << reply->dump();
    }
  }

  std::unique_ptr<FixtureApplication> startApplication() {
    auto application = std::make_unique<FixtureApplication>();
    EXPECT_TRUE(application->started());
    EXPECT_TRUE(eventually([&] { return activeWindowPid() == application->pid(); }, startupTimeout));
    return application;
  }

  std::string errors() { return helper_.process().standardError(); }

  std::unique_ptr<FixtureApplication> application_ = startApplication();
  HelperProcess helper_;
};

const std::vector<Json> treeCommands = {{{"cmd", "focused"}},
                                        {{"cmd", "element-at"}, {"x", 200}, {"y", 200}},
                                        {{"cmd", "structure"}},
                                        {{"cmd", "fields"}},
                                        {{"cmd", "selector-at"}, {"x", 200}, {"y", 200}}};

TEST_F(HelperOutlivingServices, AccessibilityBusRestartedThenApplicationRestarted) {
  ASSERT_TRUE(findsTheFocus());
  EXPECT_EQ(errors(), "");

  controlService("kill", "a11y-bus");
  // Asked again and again while the bus is away: answered, nothing found, and
  // told once.
  expectAnsweredEmpty(treeCommands);
  expectAnsweredEmpty(treeCommands);
  EXPECT_EQ(occurrences(errors(), busGone), 1) << errors();

  controlService("start", "a11y-bus");
  // The application was connected to the bus that went; started again, it
  // registers on the new one, where the same helper finds it.
  application_ = startApplication();
  EXPECT_TRUE(findsTheFocus()) << errors();
  EXPECT_EQ(occurrences(errors(), busGone), 1) << errors();
  EXPECT_EQ(occurrences(errors(), busBack), 1) << errors();
}

TEST_F(HelperOutlivingServices, RegistryRestartedAloneKeepsTheApplicationInReach) {
  ASSERT_TRUE(findsTheFocus());
  controlService("kill", "a11y-bus", "org.a11y.atspi.Registry");
  // The bus starts the registry again on the first call that needs it.
  EXPECT_TRUE(findsTheFocus()) << errors();
  EXPECT_EQ(errors(), "");
}

TEST_F(HelperOutlivingServices, DisplayRestartedOnTheSameNumber) {
  ASSERT_TRUE(findsTheFocus());

  // The application and the window manager end with the server; the
  // accessibility bus outlives it.
  controlService("kill", "xvfb");
  controlService("kill", "openbox");
  application_.reset();
  expectAnsweredEmpty(treeCommands);
  EXPECT_EQ(occurrences(errors(), displayGone), 1) << errors();

  controlService("start", "xvfb");
  controlService("start", "openbox");
  application_ = startApplication();
  EXPECT_TRUE(findsTheFocus()) << errors();
  // The screen is captured from the new server: the window's text is read.
  const auto window = clientWindowOf(application_->pid());
  ASSERT_TRUE(window);
  auto text = helper_.ask(regionRequest("ocr-region", *window));
  ASSERT_TRUE(text);
  EXPECT_NE(text->value("text", ""), "") << text->dump();
  EXPECT_EQ(occurrences(errors(), displayGone), 1) << errors();
  EXPECT_EQ(occurrences(errors(), displayBack), 1) << errors();
}

}  // namespace
}  // namespace morvel::testing
