// The helper on applications nobody here wrote, one per toolkit: every command
// is tried on each, and what it does is recorded as "works" or how it degrades
// (scripts/compatibility.sh turns the records into docs/compatibility.md). Each
// application states what its toolkit allows; a command that does less fails.

#include "accessibility/AXNames.h"
#include "accessibility/Focus.h"
#include "accessibility/Readers.h"
#include "commands/WalkBounds.h"
#include "platform/linux/atspi/ElementNodes.h"
#include "platform/linux/atspi/LinuxAccessibility.h"
#include "platform/linux/x11/X11Workspace.h"
#include "support/Desktop.h"
#include "support/RecordedReplay.h"

#include <X11/keysym.h>
#include <atspi/atspi.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <type_traits>

namespace morvel::testing {
namespace {

using Outcomes = std::map<std::string, std::string>;
constexpr const char* works = "works";
constexpr const char* notFound = "found:false";

constexpr const char* screenText = "screen text (no table)";

// Every command works, but for the ones named with how they degrade.
Outcomes worksExcept(const Outcomes& degraded = {}) {
  Outcomes outcomes = {{"element-at", works}, {"selector-at then find", works}, {"focused", works},
                       {"fields", works},     {"structure", works},             {"fingerprint", works}};
  for (const auto& [command, outcome] : degraded) outcomes.at(command) = outcome;
  return outcomes;
}

// Points of a grid over the window, away from its edges.
constexpr int gridSteps = 8;

std::filesystem::path scratchDirectory() {
  static const auto path = std::filesystem::temp_directory_path() / ("morvel-apps-" + std::to_string(::getpid()));
  std::filesystem::create_directories(path);
  return path;
}

std::string writeScratchFile(const std::string& name, const std::string& content) {
  const auto path = scratchDirectory() / name;
  std::ofstream(path) << content;
  return path.string();
}

// What an application is, how it starts, and what each command does on it.
struct Application {
  std::string name;
  std::string toolkit;
  std::vector<std::string> argv;
  std::map<std::string, std::optional<std::string>> environment;
  // A part of its window's title.
  std::string titlePart;
  // Per command, what it does; "a|b" where the toolkit behaves either way from run to run.
  Outcomes expected;
  // The menus to open in turn: one of its menu bar, then items of the open
  // menu that open submenus; none when it has no menu bar.
  std::vector<std::string> menus;
  // Its answers are compared with a helper's that asks every read on its own
  // (toolkits without Collection, whose children are asked all at once).
  bool comparedWithSerialReads = false;
  // The role of what holds the keyboard focus when it starts, where checked:
  // found by a helper that saw no focus event.
  std::string focusedRole{};
  // What element-at names at the window's centre once the page the window
  // loads after it shows (a web view's) is laid out, where there is one.
  std::string loadedTitle{};
};

struct Featherpad {
  static constexpr const char* id = "featherpad";
  static Application describe() {
    return {"FeatherPad",
            "Qt 5",
            {"featherpad", "--standalone", writeScratchFile("notes.txt", "Notes from Qt\nsecond line\n")},
            {{"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"}, {"QT_QPA_PLATFORM", "xcb"}},
            "notes.txt",
            worksExcept({{"structure", screenText}}),
            {"Options", "Encoding"},
            true,
            ax::AXTextArea};
  }
};

struct Qt6ConfigurationTool {
  static constexpr const char* id = "qt6ct";
  static Application describe() {
    // A dialog of tabbed pages whose hidden pages' controls still report
    // themselves showing, beside a preview of widgets in nested frames.
    return {"qt6ct",
            "Qt 6",
            {"qt6ct"},
            {{"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"}, {"QT_QPA_PLATFORM", "xcb"}},
            "Qt6 Configuration Tool",
            worksExcept({{"structure", screenText}}),
            {}};
  }
};

struct Chromium {
  static constexpr const char* id = "chromium";
  static Application describe() {
    return {"Chromium (a local page)",
            "Chromium",
            // --test-type: no infobar about --no-sandbox, which would arrive late
            // and move the page down under the test.
            {"chromium", "--no-sandbox", "--test-type", "--force-renderer-accessibility", "--no-first-run",
             "--disable-gpu",
             "--user-data-dir=" + (scratchDirectory() / "chromium-profile").string(),
             "--app=file://" MORVEL_TEST_PAGES_PATH "/form.html"},
            // Chromium's browser side joins the accessibility bus only when told to.
            {{"ACCESSIBILITY_ENABLED", "1"}},
            "Morvel web form",
            worksExcept(),
            {}};
  }
};

// A fresh profile: accessibility forced on, and none of the first-run pages,
// notices or bars that would arrive late and move the page under the test.
std::string firefoxProfile() {
  const auto profile = scratchDirectory() / "firefox-profile";
  std::filesystem::create_directories(profile);
  std::ofstream(profile / "user.js") << R"(user_pref("accessibility.force_disabled", -1);
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("browser.aboutwelcome.enabled", false);
user_pref("browser.sessionstore.resume_from_crash", false);
user_pref("browser.tabs.warnOnClose", false);
user_pref("browser.translations.automaticallyPopup", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("datareporting.policy.dataSubmissionPolicyBypassNotification", true);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("network.captive-portal-service.enabled", false);
user_pref("network.connectivity-service.enabled", false);
user_pref("app.update.auto", false);
)";
  return profile.string();
}

struct FirefoxEsr {
  static constexpr const char* id = "firefox";
  static Application describe() {
    return {"Firefox ESR (a local page)",
            "Gecko",
            {"firefox-esr", "--no-remote", "--new-instance", "--profile", firefoxProfile(),
             "file://" MORVEL_TEST_PAGES_PATH "/form.html"},
            // Drawn on the desktop, and on the accessibility bus without a
            // screen reader asking for it first.
            {{"GNOME_ACCESSIBILITY", "1"}, {"MOZ_HEADLESS", std::nullopt}},
            "Morvel web form",
            worksExcept(),
            {}};
  }
};

struct Gtk4WidgetFactory {
  static constexpr const char* id = "gtk4_widget_factory";
  static Application describe() {
    return {"gtk4-widget-factory",
            "GTK 4",
            {"gtk4-widget-factory"},
            // GTK 4 draws with OpenGL, which on the virtual desktop's software
            // renderer can take tens of seconds for a first frame on a busy
            // machine (the window is black until then); cairo draws at once.
            {{"GSK_RENDERER", "cairo"}},
            "Widget Factory",
            // Extents relative to the window, inside the border GTK draws
            // around it; SHOWING marked on the window only.
            worksExcept({{"structure", screenText}}),
            {},
            true};
  }
};

struct Gtk3WidgetFactory {
  static constexpr const char* id = "gtk3_widget_factory";
  static Application describe() {
    return {"gtk3-widget-factory",
            "GTK 3",
            {"gtk3-widget-factory"},
            {},
            "widget-factory",
            worksExcept(),
            {}};
  }
};

struct Gtk3DemoApplication {
  static constexpr const char* id = "gtk3_demo_application";
  static Application describe() {
    return {"gtk3-demo-application (menus)",
            "GTK 3",
            {"gtk3-demo-application"},
            {},
            "Application Class",
            worksExcept({{"structure", screenText}}),
            {"Preferences", "Color"}};
  }
};

// Its menu bar lies in layout boxes below the window, as in most GTK 3
// applications (mousepad's, LibreOffice's) but not GTK's own demos.
struct Galculator {
  static constexpr const char* id = "galculator";
  static Application describe() {
    return {"galculator (menus in boxes)",
            "GTK 3",
            {"galculator"},
            // A fresh configuration: the mode it starts in is the one it left in.
            {{"XDG_CONFIG_HOME", scratchDirectory().string()}},
            "galculator",
            worksExcept({{"structure", screenText}}),
            {"View", "Buttons"}};
  }
};

struct TkWindow {
  static constexpr const char* id = "tk";
  static Application describe() {
    return {"wish (a Tk window)",
            "Tk (no accessibility)",
            {"wish", writeScratchFile("window.tcl",
                                      "wm title . {Morvel Tk window}\n"
                                      "label .text -text {Hello from Tk} -font {Sans 24}\n"
                                      "pack .text -padx 60 -pady 60\n"
                                      "bind all <Key-F2> {tk_getOpenFile -parent . -title {Open a note}}\n")},
            {},
            "Morvel Tk window",
            worksExcept({{"element-at", notFound},
                         {"selector-at then find", notFound},
                         {"focused", notFound},
                         {"fields", notFound},
                         {"structure", screenText}}),
            {}};
  }
};

// Its mode menu is a GTK 4 popover with a window of its own (override-redirect).
struct GnomeCalculator {
  static constexpr const char* id = "gnome_calculator";
  static Application describe() {
    return {"gnome-calculator (a popover)",
            "GTK 4",
            {"gnome-calculator"},
            // Its mode and its window's size are left in memory, not in the user's settings.
            {{"GSK_RENDERER", "cairo"}, {"GSETTINGS_BACKEND", "memory"}},
            "Calculator",
            worksExcept({{"structure", screenText}}),
            {}};
  }
};

// A Qt 5 viewer whose tool bars are titled with mnemonic markers ("&Edit"),
// one of them holding the page number's spin box.
struct Qpdfview {
  static constexpr const char* id = "qpdfview";
  static Application describe() {
    return {"qpdfview",
            "Qt 5",
            {"qpdfview"},
            // A fresh configuration: no tabs or windows of an earlier session.
            {{"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"}, {"QT_QPA_PLATFORM", "xcb"},
             {"XDG_CONFIG_HOME", scratchDirectory().string()}, {"XDG_DATA_HOME", scratchDirectory().string()}},
            "qpdfview",
            // With no document open no control of its window holds the focus.
            worksExcept({{"structure", screenText}, {"focused", notFound}}),
            {}};
  }
};

// GTK 3's help viewer: its pages are WebKitGTK's, hung into the window's web
// view from another process that marks neither the view nor the page's top as
// shown, and answers the view's Collection with none of them.
struct Yelp {
  static constexpr const char* id = "yelp";
  static Application describe() {
    return {"yelp (a help page)",
            "GTK 3 + WebKitGTK",
            {"yelp", writeScratchFile("index.page", R"(<page xmlns="http://projectmallard.org/1.0/" type="topic" id="index">
  <title>Morvel help</title>
  <p>A first paragraph of the help page.</p>
  <p>Then <link href="https://example.org/morvel">a link to read on</link>.</p>
</page>
)")},
            {},
            "Help",
            worksExcept({{"structure", screenText}, {"focused", notFound}}),
            {},
            false,
            "",
            "Morvel help"};
  }
};

struct GObjectUnref {
  void operator()(void* object) const { g_object_unref(object); }
};
using Accessible = std::unique_ptr<AtspiAccessible, GObjectUnref>;

std::string nameOf(AtspiAccessible* accessible) {
  gchar* name = atspi_accessible_get_name(accessible, nullptr);
  std::string text = name != nullptr ? name : "";
  g_free(name);
  return text;
}

// The first element below `root` (breadth first, at most `budget` of them)
// that `wanted` accepts.
template <class Wanted>
Accessible firstBelow(AtspiAccessible* root, Wanted wanted, int budget = 2000) {
  std::vector<Accessible> queue;
  queue.emplace_back(static_cast<AtspiAccessible*>(g_object_ref(root)));
  for (std::size_t next = 0; next < queue.size() && budget-- > 0; ++next) {
    AtspiAccessible* current = queue[next].get();
    const int count = atspi_accessible_get_child_count(current, nullptr);
    for (int index = 0; index < count; ++index) {
      Accessible child(atspi_accessible_get_child_at_index(current, index, nullptr));
      if (!child) continue;
      if (wanted(child.get())) return child;
      queue.push_back(std::move(child));
    }
  }
  return nullptr;
}

Accessible applicationOf(pid_t pid) {
  Accessible desktop(atspi_get_desktop(0));
  return firstBelow(desktop.get(), [&](AtspiAccessible* app) { return atspi_accessible_get_process_id(app, nullptr) == guint(pid); }, 1);
}

std::optional<AtspiRect> extentsOf(AtspiAccessible* accessible) {
  AtspiComponent* component = atspi_accessible_get_component_iface(accessible);
  if (component == nullptr) return std::nullopt;
  AtspiRect* rect = atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr);
  g_object_unref(component);
  if (rect == nullptr) return std::nullopt;
  AtspiRect copy = *rect;
  g_free(rect);
  return copy;
}

ScreenRect screenRectOf(const AtspiRect& extents) { return {extents.x, extents.y, extents.width, extents.height}; }

template <class App>
class OnThirdPartyApp : public ::testing::Test {
 protected:
  // A browser's first start on a busy machine has taken over 20 s; after it,
  // the application only has to come back in front.
  static constexpr auto firstStartTimeout = std::chrono::milliseconds(90000);

  static void SetUpTestSuite() {
    atspi_init();
    app_ = App::describe();
    process_ = std::make_unique<ChildProcess>(app_.argv, app_.environment);
  }
  static void TearDownTestSuite() {
    process_.reset();
    shownOnce_ = false;
    std::filesystem::remove_all(scratchDirectory());
  }
  void SetUp() override {
    // Not every toolkit states its process on its window (Tk does not): the
    // helper's front window tells when the application is in front. A toolkit
    // may mark its window active before the window manager does.
    std::string frontTitle;
    ASSERT_TRUE(eventually(
        [&] {
          frontTitle = ask({{"cmd", "fingerprint"}}).value("windowTitle", "");
          window_ = activeClientWindow();
          return frontTitle.find(app_.titlePart) != std::string::npos && window_;
        },
        shownOnce_ ? startupTimeout : firstStartTimeout))
        << app_.name << " never came in front; the front window: " << frontTitle;
    shownOnce_ = true;
    // An accessible application's tree comes up after its window, and a page
    // it loads (a web view's) is laid out after that.
    if (app_.expected.at("focused") == works) {
      eventually([&] { return ask({{"cmd", "focused"}})["found"] == true; }, startupTimeout);
    }
    if (!app_.loadedTitle.empty()) {
      const Json centre = {{"cmd", "element-at"}, {"x", window_->x + window_->width / 2.0}, {"y", window_->y + window_->height / 2.0}};
      ASSERT_TRUE(eventually([&] { return ask(centre).value("title", "") == app_.loadedTitle; }, startupTimeout))
          << app_.name << " never showed " << app_.loadedTitle;
    }
  }

  // A third-party application under load answers in its own time (GTK 4's
  // first walk took 10 s at a load of 20): the reply is waited for, and
  // ctest's time-out of the test is the backstop for a helper that hangs.
  Json ask(const Json& request) { return helper_.ask(request, untilReplied).value_or(Json::object()); }

  std::vector<std::pair<double, double>> grid() const {
    std::vector<std::pair<double, double>> points;
    for (int row = 1; row < gridSteps; ++row) {
      for (int column = 1; column < gridSteps; ++column) {
        points.emplace_back(window_->x + window_->width * column / double(gridSteps),
                            window_->y + window_->height * row / double(gridSteps));
      }
    }
    return points;
  }

  // element-at and selector-at then find over the grid: every hit holds its
  // point, and every element below the window is found again by its selector:
  // an element of the selector's role under the same point. (element-at may
  // answer a named ancestor of the element the selector names.)
  std::pair<std::string, std::string> pointOutcomes() {
    int hits = 0;
    int inner = 0;
    int roundTrips = 0;
    std::vector<std::string> misses;
    for (const auto& [x, y] : grid()) {
      Json described = ask({{"cmd", "element-at"}, {"x", x}, {"y", y}});
      if (described["found"] != true) continue;
      ++hits;
      if (!described.contains("frame") || !holds(described["frame"], x, y)) {
        misses.push_back("element-at " + described.dump());
        continue;
      }
      if (described.value("role", "") == ax::AXWindow) continue;
      ++inner;
      Json selector = ask({{"cmd", "selector-at"}, {"x", x}, {"y", y}});
      if (selector["found"] != true) continue;
      Json found = ask({{"cmd", "find"}, {"selector", selector}, {"timeoutMs", 0}});
      if (found["found"] == true && found.contains("frame") && holds(found["frame"], x, y) &&
          found["role"] == selector["path"][0]["role"]) {
        ++roundTrips;
      } else {
        misses.push_back(described.dump() + " -> " + found.dump());
      }
    }
    for (const std::string& miss : misses) ADD_FAILURE() << miss;
    const std::string elementAt = hits == 0 ? notFound : inner == 0 ? "the window only" : works;
    const std::string selector = !misses.empty()  ? "find answers another element"
                                 : roundTrips > 0 ? works
                                 : inner > 0      ? "no selector"
                                                  : notFound;
    return {elementAt, selector};
  }

  std::string focusedOutcome() {
    Json focused = ask({{"cmd", "focused"}});
    if (focused["found"] != true) return notFound;
    if (!focused.contains("frame") || !within(focused["frame"], frameJson(*window_))) {
      return "outside the window: " + focused.dump();
    }
    return works;
  }

  std::string fieldsOutcome() {
    Json fields = ask({{"cmd", "fields"}});
    if (fields["found"] != true) return notFound;
    for (const Json& field : fields["fields"]) {
      if (field.contains("frame") && !within(field["frame"], fields["windowFrame"])) {
        return "a field outside the window: " + field.dump();
      }
    }
    return works;
  }

  std::string structureOutcome() {
    // Reading a whole window's text from the screen takes long on a loaded
    // machine, and a window may be mapped before its first frame is drawn
    // (GTK 4's is black until then): asked again until it is found.
    constexpr auto recognitionTimeout = 120000ms;
    std::optional<Json> reply;
    eventually([&] { return (reply = helper_.ask({{"cmd", "structure"}}, recognitionTimeout)) && (*reply)["found"] == true; },
               recognitionTimeout);
    if (!reply) return "no reply";
    Json structure = *reply;
    if (structure["found"] != true) return notFound;
    if (structure["rows"].empty()) return "no rows";
    return structure.value("source", "") == "ocr" ? screenText : works;
  }

  std::string fingerprintOutcome() {
    Json fingerprint = ask({{"cmd", "fingerprint"}});
    if (fingerprint.value("windowTitle", "").find(app_.titlePart) == std::string::npos) {
      return "another window: " + fingerprint.value("windowTitle", "none");
    }
    return fingerprint.value("appBundleId", "").empty() ? "no bundle id" : works;
  }

  static inline Application app_;
  static inline std::unique_ptr<ChildProcess> process_;
  static inline bool shownOnce_ = false;
  std::optional<ScreenRect> window_;
  HelperProcess helper_;
};

// Below the front window, each element's children as the walks ask them (in
// one message where the toolkit lists them right) against its children asked
// by index, which cost more questions.
void expectChildListsAsByIndex() {
  constexpr int mostChildren = 10000;
  constexpr int mostCompared = 300;
  linux_ax::X11Workspace windows;
  linux_ax::LinuxAccessibility backend(windows);
  backend.requestStarted();
  auto window = ax::frontmostWindow(backend).window;
  ASSERT_TRUE(window);
  linux_ax::AtspiReader& reader = backend.reader();
  int compared = 0;
  std::uint64_t listingCalls = 0;
  std::uint64_t byIndexCalls = 0;
  std::function<void(AtspiAccessible*, int)> compare = [&](AtspiAccessible* element, int depth) {
    if (++compared > mostCompared) return;
    // What every walk reads of an element anyway, and which way to list its
    // children depends on.
    reader.hasCollection(element);
    reader.role(element);
    auto before = backend.callCount();
    reader.prefetchChildren({linux_ax::AccessibleRef::share(element)}, mostChildren, 0);
    auto listed = reader.children(element, mostChildren);
    listingCalls += backend.callCount() - before;
    // The count a list gave is asked again.
    reader.memo().factsOf(element).childCount.reset();
    before = backend.callCount();
    auto byIndex = reader.childrenOneByOne(element, mostChildren);
    byIndexCalls += backend.callCount() - before;
    ASSERT_TRUE(listed && byIndex);
    ASSERT_EQ(listed->size(), byIndex->size()) << depth;
    for (std::size_t index = 0; index < listed->size(); ++index) {
      EXPECT_TRUE(linux_ax::sameAccessible((*listed)[index].get(), (*byIndex)[index].get())) << depth << " " << index;
    }
    if (depth < windowWalk.maxDepth) {
      for (const auto& child : *listed) compare(child.get(), depth + 1);
    }
  };
  compare(window->nodeAs<linux_ax::AccessibleNode>()->get(), 0);
  EXPECT_LT(listingCalls, byIndexCalls) << compared << " elements";
  backend.replyWritten();
}

class ApplicationNames {
 public:
  template <class App>
  static std::string GetName(int) {
    return App::id;
  }
};

using Applications = ::testing::Types<Featherpad, Qt6ConfigurationTool, Chromium, FirefoxEsr, Gtk4WidgetFactory, Gtk3WidgetFactory, Gtk3DemoApplication, Galculator, TkWindow, Yelp>;
TYPED_TEST_SUITE(OnThirdPartyApp, Applications, ApplicationNames);

TYPED_TEST(OnThirdPartyApp, EveryCommandWorksOrDegradesAsItsToolkitAllows) {
  const auto [elementAt, selector] = this->pointOutcomes();
  const Outcomes outcomes = {{"element-at", elementAt},
                             {"selector-at then find", selector},
                             {"focused", this->focusedOutcome()},
                             {"fields", this->fieldsOutcome()},
                             {"structure", this->structureOutcome()},
                             {"fingerprint", this->fingerprintOutcome()}};
  this->RecordProperty("application", this->app_.name);
  this->RecordProperty("toolkit", this->app_.toolkit);
  for (const auto& [command, outcome] : outcomes) {
    this->RecordProperty(command, outcome);
    const std::string& allowed = this->app_.expected.at(command);
    bool expected = false;
    for (std::size_t start = 0; start <= allowed.size();) {
      const std::size_t end = std::min(allowed.find('|', start), allowed.size());
      expected = expected || allowed.compare(start, end - start, outcome) == 0;
      start = end + 1;
    }
    EXPECT_TRUE(expected) << command << ": " << outcome << ", expected " << allowed;
  }
  // A helper started beside the one-by-one helper has seen the same focus
  // events (none); asked twice, its second answers come from what the first
  // left cached.
  if (this->app_.comparedWithSerialReads) {
    const ScreenRect& window = *this->window_;
    const Json centre = {{"cmd", "element-at"}, {"x", window.x + window.width / 2}, {"y", window.y + window.height / 2}};
    HelperProcess fresh;
    if (!this->app_.focusedRole.empty()) {
      const Json searched = fresh.ask({{"cmd", "focused"}}).value_or(Json::object());
      EXPECT_EQ(searched.value("role", ""), this->app_.focusedRole) << searched;
    }
    for (int round = 0; round < 2; ++round) {
      expectSameAsSerialReads(fresh, {{{"cmd", "focused"}}, centre, {{"cmd", "fields"}}, {{"cmd", "fingerprint"}}});
    }    expectChildListsAsByIndex();
  }
}

// GTK keeps the widget factory's pages in a stack and its controls in
// notebooks: the controls of hidden pages are no children, a point on a shown
// control reaches it rather than stopping at its notebook (or at its tree view,
// for a column's header), and the path
// "fields" gives a field finds that field again.
TYPED_TEST(OnThirdPartyApp, ShownControlsAreHitAtTheirCentresAndFieldsFoundByTheirPaths) {
  if (!std::is_same_v<TypeParam, Gtk3WidgetFactory>) GTEST_SKIP() << "stacked pages and notebooks: GTK 3's factory";
  constexpr int walkDepth = windowWalk.maxDepth;
  constexpr double smallest = 6;
  const std::set<std::string> controlRoles = {ax::AXButton, ax::AXCheckBox, ax::AXRadioButton,
                                              ax::AXTextField, ax::AXSlider, ax::AXCell};
  linux_ax::X11Workspace windows;
  linux_ax::LinuxAccessibility backend(windows);
  backend.requestStarted();
  auto window = ax::frontmostWindow(backend).window;
  ASSERT_TRUE(window);
  std::vector<std::pair<ax::Element, ax::Rect>> controls;
  std::function<void(const ax::Element&, int)> visit = [&](const ax::Element& element, int depth) {
    auto role = ax::axString(backend, element, ax::AXRole);
    auto frame = ax::axFrame(backend, element);
    const auto children = ax::axChildren(backend, element, ax::AXChildren);
    // An empty group is hit only on itself: the notebooks' shown pages.
    const bool hitOnItself = role && (controlRoles.contains(*role) || (*role == ax::AXGroup && children.empty()));
    if (hitOnItself && frame && frame->width >= smallest && frame->height >= smallest) controls.emplace_back(element, *frame);
    if (depth >= walkDepth) return;
    for (const ax::Element& child : children) visit(child, depth + 1);
  };
  visit(*window, 0);
  int hit = 0;
  for (const auto& [control, frame] : controls) {
    const double x = frame.x + frame.width / 2;
    const double y = frame.y + frame.height / 2;
    // A control scrolled out of its view is shown but not under its centre.
    if (!holds(frameJson(*this->window_), x, y, 0)) continue;
    SCOPED_TRACE(ax::axString(backend, control, ax::AXRole).value_or("?") + " " +
                 ax::axString(backend, control, ax::AXTitle).value_or("") + " at " + std::to_string(x) + "," + std::to_string(y));
    // The hit is the control or lies inside it.
    bool reached = false;
    std::optional<ax::Element> current = backend.copyElementAtPosition(backend.createSystemWide(), float(x), float(y));
    for (int level = 0; current && level < walkDepth && !reached; ++level) {
      reached = backend.isSameElement(*current, control);
      current = ax::axElementAttr(backend, *current, ax::AXParent);
    }
    EXPECT_TRUE(reached);
    ++hit;
  }
  EXPECT_GE(hit, 5);
  backend.replyWritten();

  // Fields whose title no other field shares.
  Json fields = this->ask({{"cmd", "fields"}});
  std::map<std::string, int> titles;
  for (const Json& field : fields["fields"]) {
    if (field.value("labelSource", "") == "title") ++titles[field.value("label", "")];
  }
  int found = 0;
  for (const Json& field : fields["fields"]) {
    ASSERT_EQ(field["path"].size(), 1u) << field;
    EXPECT_EQ(field["path"][0]["role"], field["role"]) << field;
    if (field.value("labelSource", "") != "title" || titles[field.value("label", "")] != 1 || !field.contains("frame")) continue;
    const Json selector = {{"path", field["path"]}, {"windowTitle", fields["windowTitle"]}};
    Json again = this->ask({{"cmd", "find"}, {"selector", selector}, {"timeoutMs", 0}});
    EXPECT_EQ(again["frame"], field["frame"]) << field << again;
    ++found;
  }
  EXPECT_GE(found, 1) << fields;
}

// The factory recorded whole replays as the desktop answers. (A recording walks
// every element: too slow for the sanitizer pass.)
TYPED_TEST(OnThirdPartyApp, ItsRecordingReplaysAsTheDesktopAnswers) {
  if (!std::is_same_v<TypeParam, Gtk3WidgetFactory>) GTEST_SKIP() << "recorded whole: GTK 3's factory";
#ifdef MORVEL_SANITIZED
  GTEST_SKIP() << "too slow under the sanitizers";
#endif
  expectReplayAgrees("widget-factory", *this->window_);
}

bool overlaps(const AtspiRect& a, const AtspiRect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

TYPED_TEST(OnThirdPartyApp, ElementAtReachesTheItemsOfOpenMenusAndSubmenus) {
  if (this->app_.menus.empty()) GTEST_SKIP() << "no menu bar";
  this->RecordProperty("application", this->app_.name);
  std::string opened;
  for (const std::string& title : this->app_.menus) opened += (opened.empty() ? "" : " > ") + title;
  this->RecordProperty("menus", opened);
  Accessible opener = applicationOf(this->process_->pid());
  ASSERT_TRUE(opener);
  for (const std::string& title : this->app_.menus) {
    auto isMenu = [&](AtspiAccessible* candidate) {
      const AtspiRole role = atspi_accessible_get_role(candidate, nullptr);
      return (role == ATSPI_ROLE_MENU_ITEM || role == ATSPI_ROLE_MENU) && nameOf(candidate) == title;
    };
    Accessible menu = firstBelow(opener.get(), isMenu);
    ASSERT_TRUE(menu) << "no menu " << title;
    AtspiAction* action = atspi_accessible_get_action_iface(menu.get());
    ASSERT_NE(action, nullptr);
    EXPECT_TRUE(atspi_action_do_action(action, 0, nullptr));
    g_object_unref(action);

    // The first named item of the menu once it is on screen, beside what opened it.
    const auto openedFrom = extentsOf(menu.get());
    ASSERT_TRUE(openedFrom);
    Accessible item;
    std::optional<AtspiRect> place;
    ASSERT_TRUE(eventually(
        [&] {
          // A backend earlier in this process may have left libatspi keeping states.
          atspi_accessible_clear_cache(menu.get());
          item = firstBelow(menu.get(), [&](AtspiAccessible* candidate) {
            const AtspiRole role = atspi_accessible_get_role(candidate, nullptr);
            const bool isItem = role == ATSPI_ROLE_MENU_ITEM || role == ATSPI_ROLE_CHECK_MENU_ITEM || role == ATSPI_ROLE_RADIO_MENU_ITEM;
            if (!isItem || nameOf(candidate).empty()) return false;
            AtspiStateSet* states = atspi_accessible_get_state_set(candidate);
            const bool showing = atspi_state_set_contains(states, ATSPI_STATE_SHOWING);
            g_object_unref(states);
            if (!showing) return false;
            place = extentsOf(candidate);
            return place && place->width > 0 && place->height > 0 && !overlaps(*place, *openedFrom);
          });
          return item != nullptr;
        },
        startupTimeout))
        << "the menu " << title << " did not open";
    const double x = place->x + place->width / 2.0;
    const double y = place->y + place->height / 2.0;
    Json hit;
    EXPECT_TRUE(eventually(
        [&] {
          hit = this->ask({{"cmd", "element-at"}, {"x", x}, {"y", y}});
          return hit.value("role", "") == ax::AXMenuItem;
        },
        replyTimeout))
        << title << ": " << hit;
    EXPECT_EQ(hit.value("title", ""), nameOf(item.get())) << hit;
    EXPECT_EQ(hit.value("frame", Json()), (Json{{"x", double(place->x)}, {"y", double(place->y)}, {"w", double(place->width)}, {"h", double(place->height)}})) << hit;
    opener = std::move(menu);
  }
  // Closed again, one level at a time: an open menu holds the keyboard, and the
  // next test waits for the window's focused control.
  for (std::size_t level = 0; level < this->app_.menus.size(); ++level) {
    atspi_generate_keyboard_event(XK_Escape, nullptr, ATSPI_KEY_SYM, nullptr);
  }
}

// Tk's file dialog is a window of its own class ("TkFDialog"), transient for
// the window that opened it: it is the same application.
TYPED_TEST(OnThirdPartyApp, ADialogBelongsToTheApplicationOfItsWindow) {
  if (!std::is_same_v<TypeParam, TkWindow>) GTEST_SKIP() << "a dialog of a class of its own: Tk's file dialog";
  const std::string application = this->ask({{"cmd", "fingerprint"}}).value("appBundleId", "");
  ASSERT_FALSE(application.empty());
  atspi_generate_keyboard_event(XK_F2, nullptr, ATSPI_KEY_SYM, nullptr);
  Json dialog;
  ASSERT_TRUE(eventually(
      [&] {
        dialog = this->ask({{"cmd", "fingerprint"}});
        return dialog.value("windowTitle", "") == "Open a note";
      },
      startupTimeout))
      << dialog;
  EXPECT_EQ(dialog.value("appBundleId", ""), application) << dialog;
  atspi_generate_keyboard_event(XK_Escape, nullptr, ATSPI_KEY_SYM, nullptr);
  EXPECT_TRUE(eventually([&] { return this->ask({{"cmd", "fingerprint"}}).value("windowTitle", "") == "Morvel Tk window"; },
                         startupTimeout));
}

bool isShowingOnScreen(AtspiAccessible* accessible) {
  AtspiStateSet* states = atspi_accessible_get_state_set(accessible);
  const bool visible = atspi_state_set_contains(states, ATSPI_STATE_VISIBLE);
  g_object_unref(states);
  auto place = extentsOf(accessible);
  return visible && place && place->width > 0 && place->height > 0;
}

// GTK 3 draws a popover inside its window, above the page, and lists it among
// the window's children after the page: a point on one of its items answers
// that item, not what the page has below it (the factory's table).
TYPED_TEST(OnThirdPartyApp, ElementAtAnswersTheItemsOfAPopoverInsideTheWindow) {
  if (!std::is_same_v<TypeParam, Gtk3WidgetFactory>) GTEST_SKIP() << "a popover drawn inside its window: GTK 3's factory";
  this->RecordProperty("application", this->app_.name);
  this->RecordProperty("popover", "the header bar's menu");
  Accessible application = applicationOf(this->process_->pid());
  ASSERT_TRUE(application);
  Accessible opener = firstBelow(application.get(), [](AtspiAccessible* candidate) {
    return atspi_accessible_get_role(candidate, nullptr) == ATSPI_ROLE_TOGGLE_BUTTON && nameOf(candidate) == "Menu";
  });
  ASSERT_TRUE(opener);
  auto toggle = [&] {
    AtspiAction* action = atspi_accessible_get_action_iface(opener.get());
    ASSERT_NE(action, nullptr);
    EXPECT_TRUE(atspi_action_do_action(action, 0, nullptr));
    g_object_unref(action);
  };
  toggle();

  auto itemShown = [&](const char* name) {
    atspi_accessible_clear_cache(application.get());
    return firstBelow(application.get(), [&](AtspiAccessible* candidate) {
      // A backend earlier in this process may have left libatspi keeping states and children.
      atspi_accessible_clear_cache(candidate);
      if (nameOf(candidate) != name || atspi_accessible_get_role(candidate, nullptr) != ATSPI_ROLE_CHECK_BOX) return false;
      // A closed popover's items stay VISIBLE, no longer SHOWING.
      AtspiStateSet* states = atspi_accessible_get_state_set(candidate);
      const bool showing = atspi_state_set_contains(states, ATSPI_STATE_SHOWING);
      g_object_unref(states);
      return showing && isShowingOnScreen(candidate);
    });
  };
  // The popover slides in: asked again until the hit and the item's place agree.
  Json hit;
  Json place;
  ASSERT_TRUE(eventually(
      [&] {
        Accessible item = itemShown("Dark Theme");
        if (!item) return false;
        const ScreenRect extents = screenRectOf(*extentsOf(item.get()));
        place = frameJson(extents);
        hit = this->ask(atCentreOf("element-at", extents));
        return hit.value("frame", Json()) == place;
      },
      startupTimeout))
      << hit << " at " << place;
  EXPECT_EQ(hit.value("role", ""), ax::AXCheckBox) << hit;
  EXPECT_EQ(hit.value("title", ""), "Dark Theme") << hit;

  toggle();
  EXPECT_TRUE(eventually([&] { return !itemShown("Dark Theme"); }, startupTimeout)) << "the popover stayed open";
}

// A point on the help page's link answers the link, found again by its
// selector, and not the window's web view that holds the page; tabbed to,
// the link is the focused element.
TYPED_TEST(OnThirdPartyApp, ElementAtReachesThePageInAWebView) {
  if (!std::is_same_v<TypeParam, Yelp>) GTEST_SKIP() << "a page hung into its window from another process: yelp's";
  this->RecordProperty("application", this->app_.name);
  this->RecordProperty("web view", "a link of the page");
  Accessible application = applicationOf(this->process_->pid());
  ASSERT_TRUE(application);
  Json hit;
  ScreenRect link;
  Json place;
  // The page is laid out after the window shows: asked again until the hit and the link's place agree.
  ASSERT_TRUE(eventually(
      [&] {
        Accessible found = firstBelow(application.get(), [](AtspiAccessible* candidate) {
          return atspi_accessible_get_role(candidate, nullptr) == ATSPI_ROLE_LINK;
        });
        const auto extents = found ? extentsOf(found.get()) : std::nullopt;
        if (!extents) return false;
        link = screenRectOf(*extents);
        place = frameJson(link);
        hit = this->ask(atCentreOf("element-at", link));
        return hit.value("frame", Json()) == place;
      },
      startupTimeout))
      << hit << " at " << place;
  EXPECT_EQ(hit.value("role", ""), ax::AXLink) << hit;
  EXPECT_EQ(hit.value("title", ""), "a link to read on") << hit;
  Json selector = this->ask(atCentreOf("selector-at", link));
  Json found = this->ask({{"cmd", "find"}, {"selector", selector}, {"timeoutMs", 0}});
  EXPECT_EQ(found.value("frame", Json()), place) << selector << found;

  // The window's buttons come first in the tab order, then the page's link.
  constexpr int mostTabPresses = 8;
  constexpr auto focusMoveTimeout = 2000ms;
  Json focused = Json::object();
  for (int press = 0; press < mostTabPresses && focused.value("role", "") != ax::AXLink; ++press) {
    atspi_generate_keyboard_event(XK_Tab, nullptr, ATSPI_KEY_SYM, nullptr);
    eventually([&] { return (focused = this->ask({{"cmd", "focused"}})).value("role", "") == ax::AXLink; }, focusMoveTimeout);
  }
  EXPECT_EQ(focused.value("title", ""), "a link to read on") << focused;
  EXPECT_EQ(focused.value("frame", Json()), place) << focused;
}

bool pressFirstAction(AtspiAccessible* accessible) {
  AtspiAction* action = atspi_accessible_get_action_iface(accessible);
  if (action == nullptr) return false;
  const bool done = atspi_action_do_action(action, 0, nullptr);
  g_object_unref(action);
  return done;
}

// GTK 4 gives an open popover a window of its own, but reports its items from
// where the popover is anchored in the main window. The popover's window is as
// large as the popover, or taller by the arrow GTK draws toward the opener
// (above a list that hangs below its combo box).
struct OpenPopover {
  Accessible popover;
  Accessible item;
  ScreenRect window;
  // Where the item lies on the screen: in the window as it lies in the popover.
  ScreenRect itemOnScreen() const {
    const AtspiRect menu = *extentsOf(popover.get());
    const AtspiRect place = *extentsOf(item.get());
    const int arrow = window.height - menu.height;
    return {window.x + place.x - menu.x, window.y + arrow + place.y - menu.y, place.width, place.height};
  }
};

// Waits for the popover below `holder` that `isPopover` accepts to show, with an
// item of it that `isItem` accepts, and its window among the process's.
template <class IsPopover, class IsItem>
std::optional<OpenPopover> openPopoverBelow(AtspiAccessible* holder, pid_t pid, IsPopover isPopover, IsItem isItem) {
  constexpr int deepestArrow = 16;
  OpenPopover open;
  std::optional<ScreenRect> window;
  const bool shown = eventually(
      [&] {
        atspi_accessible_clear_cache(holder);
        open.popover = firstBelow(holder, [&](AtspiAccessible* candidate) { return isPopover(candidate) && isShowingOnScreen(candidate); });
        if (!open.popover) return false;
        open.item = firstBelow(open.popover.get(), [&](AtspiAccessible* candidate) { return isItem(candidate) && isShowingOnScreen(candidate); });
        const auto menu = extentsOf(open.popover.get());
        window.reset();
        for (const linux_ax::PixelRect& popup : linux_ax::X11Workspace().unmanagedWindowsOf(pid)) {
          const int arrow = menu ? popup.height - menu->height : -1;
          if (menu && popup.width == menu->width && arrow >= 0 && arrow <= deepestArrow) {
            window = ScreenRect{popup.x, popup.y, popup.width, popup.height};
          }
        }
        return open.item && window;
      },
      startupTimeout);
  if (!shown) return std::nullopt;
  open.window = *window;
  return open;
}

// A point on the item answers that item, framed inside the popover's window.
void expectItemAnsweredInItsWindow(const std::function<Json(const Json&)>& ask, const OpenPopover& open,
                                   const std::string& role, const std::string& title) {
  const Json popupFrame = frameJson(open.window);
  const ScreenRect expected = open.itemOnScreen();
  ASSERT_TRUE(within(frameJson(expected), popupFrame, 0)) << frameJson(expected) << " in " << popupFrame;
  const Json hit = ask(atCentreOf("element-at", expected));
  if (!role.empty()) {
    EXPECT_EQ(hit.value("role", ""), role) << hit;
  }
  if (!title.empty()) {
    EXPECT_EQ(hit.value("title", ""), title) << hit;
  }
  EXPECT_EQ(hit.value("frame", Json()), frameJson(expected)) << hit;
  // Whatever holds the focus in the open popover is framed inside its window.
  const Json focused = ask({{"cmd", "focused"}});
  if (focused.value("role", "") == role) {
    EXPECT_TRUE(within(focused["frame"], popupFrame)) << focused;
  }
}

using OnAPopover = OnThirdPartyApp<GnomeCalculator>;

TEST_F(OnAPopover, ElementAtAnswersItsItemsFramedInsideItsWindow) {
  RecordProperty("application", app_.name);
  RecordProperty("popover", "Basic > Advanced");
  Accessible application = applicationOf(process_->pid());
  ASSERT_TRUE(application);
  Accessible opener = firstBelow(application.get(), [](AtspiAccessible* candidate) {
    return atspi_accessible_get_role(candidate, nullptr) == ATSPI_ROLE_PUSH_BUTTON && nameOf(candidate) == "Basic";
  });
  ASSERT_TRUE(opener);
  EXPECT_TRUE(pressFirstAction(opener.get()));

  // The popover hangs beside the toggle, below the menu button.
  Accessible menuButton(atspi_accessible_get_parent(opener.get(), nullptr));
  ASSERT_TRUE(menuButton);
  auto open = openPopoverBelow(
      menuButton.get(), process_->pid(),
      [](AtspiAccessible* candidate) { return atspi_accessible_get_role(candidate, nullptr) == ATSPI_ROLE_MENU; },
      [](AtspiAccessible* candidate) {
        return atspi_accessible_get_role(candidate, nullptr) == ATSPI_ROLE_RADIO_MENU_ITEM && nameOf(candidate) == "Advanced";
      });
  ASSERT_TRUE(open) << "the mode popover did not open";
  expectItemAnsweredInItsWindow([this](const Json& request) { return ask(request); }, *open, ax::AXMenuItem, "Advanced");
  atspi_generate_keyboard_event(XK_Escape, nullptr, ATSPI_KEY_SYM, nullptr);
}

// The list of an open combo box is a popover whose window is taller than the
// list by the arrow above it.
using OnAComboList = OnThirdPartyApp<Gtk4WidgetFactory>;

TEST_F(OnAComboList, ElementAtAnswersItsItemsFramedInsideItsWindow) {
  RecordProperty("application", app_.name);
  RecordProperty("popover", "a combo box's list");
  Accessible application = applicationOf(process_->pid());
  ASSERT_TRUE(application);
  Accessible combo = firstBelow(application.get(), [](AtspiAccessible* candidate) {
    return atspi_accessible_get_role(candidate, nullptr) == ATSPI_ROLE_COMBO_BOX && isShowingOnScreen(candidate);
  });
  ASSERT_TRUE(combo);
  Accessible toggle = firstBelow(combo.get(), [](AtspiAccessible* candidate) {
    return atspi_accessible_get_role(candidate, nullptr) == ATSPI_ROLE_PUSH_BUTTON;
  });
  ASSERT_TRUE(toggle);
  EXPECT_TRUE(pressFirstAction(toggle.get()));

  // The list hangs from the combo box; its rows' texts are leaves as wide as the list.
  constexpr int narrowestRowText = 100;
  auto open = openPopoverBelow(
      combo.get(), process_->pid(),
      [](AtspiAccessible* candidate) { return atspi_accessible_get_role(candidate, nullptr) == ATSPI_ROLE_FILLER; },
      [](AtspiAccessible* candidate) {
        const auto place = extentsOf(candidate);
        return atspi_accessible_get_child_count(candidate, nullptr) == 0 && place && place->width >= narrowestRowText;
      });
  ASSERT_TRUE(open) << "the combo box's list did not open";
  expectItemAnsweredInItsWindow([this](const Json& request) { return ask(request); }, *open, "", "");
  atspi_generate_keyboard_event(XK_Escape, nullptr, ATSPI_KEY_SYM, nullptr);
}

// Qt lists the editor inside a spin box or an editable combo box as its child:
// each is one text field, found again by its path, whose tool bar is titled as
// Qt shows it, without the mnemonic marker.
using OnAQtToolBar = OnThirdPartyApp<Qpdfview>;

TEST_F(OnAQtToolBar, ItsSpinBoxAndComboBoxAreOneFieldEachFoundByTheirPaths) {
  RecordProperty("application", app_.name);
  RecordProperty("spin box", "the page number and the zoom");
  Accessible application = applicationOf(process_->pid());
  ASSERT_TRUE(application);
  const Json fields = ask({{"cmd", "fields"}});
  for (AtspiRole role : {ATSPI_ROLE_SPIN_BUTTON, ATSPI_ROLE_COMBO_BOX}) {
    Accessible control = firstBelow(application.get(), [&](AtspiAccessible* candidate) {
      return atspi_accessible_get_role(candidate, nullptr) == role && isShowingOnScreen(candidate);
    });
    ASSERT_TRUE(control);
    const ScreenRect frame = screenRectOf(*extentsOf(control.get()));
    SCOPED_TRACE(frameJson(frame).dump());

    std::vector<Json> inside;
    for (const Json& field : fields["fields"]) {
      if (field.contains("frame") && within(field["frame"], frameJson(frame), 0)) inside.push_back(field);
    }
    ASSERT_EQ(inside.size(), 1u) << fields;
    EXPECT_EQ(inside[0]["frame"], frameJson(frame)) << inside[0];

    // A point on its editor: the path names the control, and finds it again.
    const Json selector = ask(atCentreOf("selector-at", frame));
    const Json found = ask({{"cmd", "find"}, {"selector", selector}, {"timeoutMs", 0}});
    EXPECT_EQ(found.value("frame", Json()), frameJson(frame)) << selector << found;
    std::set<std::string> bars;
    for (const Json& step : selector.value("path", Json::array())) {
      if (step.value("role", "") == ax::AXToolbar) bars.insert(step.value("title", ""));
    }
    EXPECT_TRUE(bars.contains("Edit") || bars.contains("View")) << selector;
  }
}

// Chromium on the benchmark's page of thousands of elements, reached by the
// form's link in the same window (one Chromium start for the suite): the helper
// reads such trees in bulk and many reads at once, and must answer exactly as
// with every read asked on its own. Last of the suite: it leaves the form.
TYPED_TEST(OnThirdPartyApp, ALargePageAnswersExactlyAsWithEveryReadAskedOnItsOwn) {
  if (!std::is_same_v<TypeParam, Chromium>) GTEST_SKIP() << "a page of thousands of elements: Chromium's";
  Accessible application = applicationOf(this->process_->pid());
  ASSERT_TRUE(application);
  Accessible link = firstBelow(application.get(), [](AtspiAccessible* candidate) {
    return atspi_accessible_get_role(candidate, nullptr) == ATSPI_ROLE_LINK && nameOf(candidate).starts_with("Shipments");
  });
  ASSERT_TRUE(link);
  AtspiAction* action = atspi_accessible_get_action_iface(link.get());
  ASSERT_NE(action, nullptr);
  EXPECT_TRUE(atspi_action_do_action(action, 0, nullptr));
  g_object_unref(action);

  // The page has been built and drawn once every row of the table is there.
  Json structure;
  ASSERT_TRUE(eventually(
      [&] {
        structure = this->ask({{"cmd", "structure"}});
        return structure.value("rowCount", 0) == 200;
      },
      startupTimeout))
      << structure.dump().substr(0, 400);
  const Json fields = this->ask({{"cmd", "fields"}});
  EXPECT_EQ(fields.value("fieldCount", 0), 60) << fields.dump().substr(0, 400);
  const Json button = {{"role", ax::AXButton}, {"title", "Open 200"}};
  const Json find = {{"cmd", "find"},
                     {"selector", {{"path", Json::array({button})}, {"windowTitle", fields.value("windowTitle", "")}}},
                     {"timeoutMs", 0}};
  expectSameAsSerialReads(this->helper_, {Json{{"cmd", "structure"}}, Json{{"cmd", "fields"}}, find, Json{{"cmd", "fingerprint"}}});
  // On the first fields and just left of them, in their labels' text: answers
  // described with their text, or by the nearest named element above them.
  // Chromium may answer a point it has not hit lately with a coarser element
  // (the page, a group) and the element itself when asked again: a pair that
  // differs is asked again.
  constexpr int hitAttempts = 3;
  constexpr std::size_t fieldsHit = 3;
  constexpr double intoTheLabel = 8;
  std::vector<Json> hits;
  const Json listed = fields.value("fields", Json::array());
  for (std::size_t index = 0; index < std::min(fieldsHit, listed.size()); ++index) {
    const Json& frame = listed[index]["frame"];
    const double y = frame.value("y", 0.0) + frame.value("h", 0.0) / 2;
    for (double x : {frame.value("x", 0.0) + frame.value("w", 0.0) / 2, frame.value("x", 0.0) - intoTheLabel}) {
      hits.push_back({{"cmd", "element-at"}, {"x", x}, {"y", y}});
    }
  }
  expectSameAsSerialReads(this->helper_, hits, hitAttempts);
}

}  // namespace
}  // namespace morvel::testing
