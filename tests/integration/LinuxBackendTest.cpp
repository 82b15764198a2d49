// The AT-SPI backend in this process, against the sample contacts application: the AX
// names and values it gives a GTK 3 form and table, and what it must not serve
// stale.

#include "accessibility/AXNames.h"
#include "accessibility/Focus.h"
#include "accessibility/Readers.h"
#include "commands/ReplyRecords.h"
#include "commands/WalkBounds.h"
#include "platform/linux/atspi/CallGuard.h"
#include "platform/linux/atspi/ElementNodes.h"
#include "platform/linux/atspi/LinuxAccessibility.h"
#include "platform/linux/x11/X11Workspace.h"
#include "support/AppSuite.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <functional>
#include <future>
#include <thread>

#include <unistd.h>

namespace morvel::testing {
namespace {

using ax::Element;
using linux_ax::LinuxAccessibility;

// Walks below the window are bounded like the helper's own.
constexpr int walkDepth = windowWalk.maxDepth;

class BackendOnFixture : public OnSampleApp {
 protected:
  void SetUp() override {
    OnSampleApp::SetUp();
    ASSERT_TRUE(ax_.connected());
  }
  void TearDown() override { ax_.replyWritten(); }

  // One request's worth of reads, as the request loop brackets them.
  template <class Reads>
  auto asOneRequest(Reads reads) {
    ax_.requestStarted();
    auto result = reads();
    ax_.replyWritten();
    return result;
  }

  std::optional<Element> frontWindow() { return ax::frontmostWindow(ax_).window; }

  // Elements of `role` below `root`, in pre-order, read as every walk reads them:
  // the role and the children of each element. `walked` counts the elements.
  std::vector<Element> collect(const Element& root, const std::string& role, std::size_t* walked = nullptr) {
    std::vector<Element> found;
    std::function<void(const Element&, int)> visit = [&](const Element& element, int depth) {
      if (walked) ++*walked;
      if (ax::axString(ax_, element, ax::AXRole) == role) found.push_back(element);
      if (depth >= walkDepth) return;
      for (const Element& child : ax::axChildren(ax_, element, ax::AXChildren)) visit(child, depth + 1);
    };
    visit(root, 0);
    return found;
  }

  linux_ax::X11Workspace windows_;
  LinuxAccessibility ax_{windows_};
};

// The real window system, but with the active window and the stacking that a
// case gives: the toolkit keeps its window's active state meanwhile.
class StagedWindowSystem final : public linux_ax::WindowSystem {
 public:
  std::optional<linux_ax::WindowId> active;
  std::optional<std::int32_t> activePid;
  std::vector<linux_ax::ClientWindow> clients;

  std::optional<linux_ax::WindowId> activeWindow() override { return active; }
  std::optional<std::int32_t> windowPid(linux_ax::WindowId) override { return activePid; }
  std::optional<std::string> applicationId(linux_ax::WindowId) override { return std::nullopt; }
  std::optional<std::string> windowTitle(linux_ax::WindowId) override { return std::nullopt; }
  std::vector<linux_ax::ClientWindow> clientsTopFirst() override { return clients; }
  std::unique_ptr<linux_ax::GreyCapture> capture(const ax::Rect&) override { return nullptr; }
};

// The window manager's active window is the fixture's: its window class is its
// bundle id, and GTK reports its window with the window manager's frame around it.
TEST_F(BackendOnFixture, TheWindowInFrontIsTheWindowManagersNeverAnotherApplicationsActiveOne) {
  auto fixtureApp = ax_.frontmostApplication();
  ASSERT_TRUE(fixtureApp);
  EXPECT_EQ(fixtureApp->pid, fixture_->pid());
  EXPECT_EQ(fixtureApp->bundleId, "Morvel_contacts_app");
  auto fixtureWindow = frontWindow();
  ASSERT_TRUE(fixtureWindow);
  EXPECT_EQ(ax::axString(ax_, *fixtureWindow, ax::AXRole), ax::AXWindow);
  EXPECT_EQ(ax::axString(ax_, *fixtureWindow, ax::AXSubrole), ax::AXStandardWindow);
  auto fixtureWindowFrame = ax::axFrame(ax_, *fixtureWindow);
  auto fixtureFrame = framedWindowOf(fixture_->pid());
  ASSERT_TRUE(fixtureWindowFrame && fixtureFrame);
  EXPECT_EQ(frameDictionary(*fixtureWindowFrame), frameJson(*fixtureFrame));

  const std::int32_t otherPid = ::getpid();  // a process with no accessible window
  auto fixtureClients = windows_.clientsTopFirst();
  ASSERT_FALSE(fixtureClients.empty());
  const linux_ax::ClientWindow otherClient{.id = 1, .pid = otherPid, .client = {0, 0, 50, 50}, .frame = {0, 0, 50, 50}};
  auto otherOnTop = fixtureClients;
  otherOnTop.insert(otherOnTop.begin(), otherClient);

  struct Case {
    const char* what;
    std::optional<linux_ax::WindowId> active;
    std::optional<std::int32_t> activePid;
    std::vector<linux_ax::ClientWindow> clients;
    std::optional<std::int32_t> frontPid;  // absent: no application in front
    std::optional<ScreenRect> windowFrame;  // absent: no front window
  };
  const ScreenRect otherFrame{0, 0, 50, 50};
  const std::vector<Case> cases = {
      // A process without accessibility: its window as the window system describes it.
      {"another process's window is active", 1, otherPid, otherOnTop, otherPid, otherFrame},
      {"an active window without a process", 1, std::nullopt, otherOnTop, std::nullopt, std::nullopt},
      {"no active window, another window on top", std::nullopt, std::nullopt, otherOnTop, std::nullopt, std::nullopt},
      {"no active window, the fixture's on top", std::nullopt, std::nullopt, fixtureClients, fixture_->pid(),
       fixtureFrame},
      {"no window system", std::nullopt, std::nullopt, {}, fixture_->pid(), fixtureFrame},
  };
  for (const Case& staged : cases) {
    SCOPED_TRACE(staged.what);
    StagedWindowSystem stage;
    stage.active = staged.active;
    stage.activePid = staged.activePid;
    stage.clients = staged.clients;
    LinuxAccessibility ax(stage);
    ax.requestStarted();
    auto front = ax.frontmostApplication();
    EXPECT_EQ(front ? std::optional(front->pid) : std::nullopt, staged.frontPid);
    auto window = ax::frontmostWindow(ax).window;
    auto frame = window ? ax::axFrame(ax, *window) : std::nullopt;
    EXPECT_EQ(frame ? frameDictionary(*frame) : Json(), staged.windowFrame ? frameJson(*staged.windowFrame) : Json());
    ax.replyWritten();
  }
}

TEST_F(BackendOnFixture, FormControlsGiveStatesAndValuesOfTheirOwnKinds) {
  // Their labels, placeholders, subroles and values as text: "fields" in ScreenCommandsTest.
  auto window = frontWindow();
  ASSERT_TRUE(window);
  const auto fields = collect(*window, ax::AXTextField);
  ASSERT_EQ(fields.size(), 4u);  // name, email, password, search
  auto name = std::find_if(fields.begin(), fields.end(),
                           [&](const Element& field) { return ax::axString(ax_, field, ax::AXValue) == "Ada Lovelace"; });
  ASSERT_NE(name, fields.end());
  EXPECT_EQ(ax::axBool(ax_, *name, ax::AXEnabled), true);

  const auto checkBoxes = collect(*window, ax::AXCheckBox);
  ASSERT_EQ(checkBoxes.size(), 1u);
  auto checked = ax_.copyAttributeValue(checkBoxes[0], ax::AXValue);
  ASSERT_TRUE(checked);
  ASSERT_NE(checked->get<std::int64_t>(), nullptr);  // a number, not text
  EXPECT_EQ(*checked->get<std::int64_t>(), 0);

  const auto buttons = collect(*window, ax::AXButton);
  auto add = std::find_if(buttons.begin(), buttons.end(),
                          [&](const Element& b) { return ax::axString(ax_, b, ax::AXTitle) == "Add"; });
  ASSERT_NE(add, buttons.end());
  EXPECT_EQ(ax::axString(ax_, *add, ax::AXRoleDescription), "push button");
  auto enabled = ax_.copyAttributeValue(*add, ax::AXEnabled);
  ASSERT_TRUE(enabled);
  EXPECT_NE(enabled->get<bool>(), nullptr);
}

TEST_F(BackendOnFixture, TableRowsFollowTheModelWithoutStaleAnswers) {
  auto rowsNow = [&] {
    return asOneRequest([&] {
      auto window = frontWindow();
      if (!window) return std::vector<std::vector<std::string>>{};
      std::vector<std::vector<std::string>> rows;
      for (const Element& table : collect(*window, ax::AXTable)) {
        for (const Element& row : ax::axChildren(ax_, table, ax::AXRows)) {
          std::vector<std::string> cells;
          for (const Element& cell : ax::axChildren(ax_, row, ax::AXChildren)) {
            cells.push_back(ax::axString(ax_, cell, ax::AXValue).value_or("?"));
          }
          rows.push_back(cells);
        }
      }
      return rows;
    });
  };
  const std::vector<std::vector<std::string>> initial = {{"Ada Lovelace", "ada@example.org"},
                                                         {"Alan Turing", "alan@example.org"},
                                                         {"Grace Hopper", "grace@example.org"}};
  EXPECT_EQ(rowsNow(), initial);

  ASSERT_EQ(fixture_->command("add-row Edsger Dijkstra\tedsger@example.org"), "ok");
  auto grown = initial;
  grown.push_back({"Edsger Dijkstra", "edsger@example.org"});
  EXPECT_TRUE(eventually([&] { return rowsNow() == grown; }, replyTimeout));

  ASSERT_EQ(fixture_->command("clear-rows"), "ok");
  EXPECT_TRUE(eventually([&] { return rowsNow().empty(); }, replyTimeout));
  for (const auto& row : initial) ASSERT_EQ(fixture_->command("add-row " + row[0] + "\t" + row[1]), "ok");
  EXPECT_TRUE(eventually([&] { return rowsNow() == initial; }, replyTimeout));
}

TEST_F(BackendOnFixture, ElementsAreTheSameByIdentityNotByHandle) {
  auto window = frontWindow();
  ASSERT_TRUE(window);
  auto again = frontWindow();
  ASSERT_TRUE(again);
  EXPECT_TRUE(ax_.isSameElement(*window, *again));
  auto children = ax::axChildren(ax_, *window, ax::AXChildren);
  ASSERT_FALSE(children.empty());
  auto parent = ax::axElementAttr(ax_, children.front(), ax::AXParent);
  ASSERT_TRUE(parent);
  EXPECT_TRUE(ax_.isSameElement(*parent, *window));
  EXPECT_FALSE(ax_.isSameElement(children.front(), *window));
  EXPECT_FALSE(ax_.isSameElement(ax_.createSystemWide(), *window));
  // No element stands at a point that is not a number.
  EXPECT_FALSE(ax_.copyElementAtPosition(ax_.createSystemWide(), std::nanf(""), 10.0F));
}

// A stopped application is waited for as long as its own time-out says, not the
// default; once a read has waited it out, the others fail at once until the reply
// is written.
// The workspace keeps what it read from request to request until the server
// tells of a change: a window shown, moved, hidden or renamed is seen by the
// very next request, and one the window manager moves soon after.
TEST(X11Workspace, AChangeToTheWindowsIsSeenByTheNextRequest) {
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  XSetWindowAttributes unmanaged{};
  unmanaged.override_redirect = True;
  linux_ax::PixelRect place{37, 41, 60, 30};
  const Window popup = XCreateWindow(display, DefaultRootWindow(display), place.x, place.y, static_cast<unsigned>(place.width),
                                     static_cast<unsigned>(place.height), 0, CopyFromParent, InputOutput, CopyFromParent,
                                     CWOverrideRedirect, &unmanaged);
  const Window managed = XCreateSimpleWindow(display, DefaultRootWindow(display), 300, 200, 120, 90, 0, 0, 0);
  linux_ax::X11Workspace windows;
  auto nextRequest = [&] {
    XSync(display, False);
    windows.forgetReads();
  };
  auto shownAt = [&](const linux_ax::PixelRect& where) {
    const std::vector<linux_ax::PixelRect> ours = windows.unmanagedWindowsOf(::getpid());
    return std::find(ours.begin(), ours.end(), where) != ours.end() &&
           windows.unmanagedWindowOfAt(::getpid(), where.x + 3, where.y + 4) == true;
  };
  auto managedClient = [&]() -> std::optional<linux_ax::ClientWindow> {
    for (const linux_ax::ClientWindow& client : windows.clientsTopFirst()) {
      if (client.id == managed) return client;
    }
    return std::nullopt;
  };
  EXPECT_FALSE(shownAt(place));
  XMapRaised(display, popup);
  nextRequest();
  EXPECT_TRUE(shownAt(place));
  place = {137, 141, 60, 30};
  XMoveWindow(display, popup, place.x, place.y);
  nextRequest();
  EXPECT_TRUE(shownAt(place));
  XUnmapWindow(display, popup);
  nextRequest();
  EXPECT_FALSE(shownAt(place));

  const Atom title = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  auto rename = [&](const std::string& name) {
    XChangeProperty(display, managed, title, utf8, 8, PropModeReplace, reinterpret_cast<const unsigned char*>(name.data()),
                    static_cast<int>(name.size()));
  };
  rename("First name");
  XMapWindow(display, managed);
  ASSERT_TRUE(eventually([&] { nextRequest(); return managedClient().has_value(); }, replyTimeout));
  EXPECT_EQ(windows.windowTitle(managed), "First name");
  rename("Second name");
  nextRequest();
  ASSERT_TRUE(managedClient());
  EXPECT_EQ(windows.windowTitle(managed), "Second name");
  // Its frame goes where it asks its window to go.
  const linux_ax::PixelRect before = managedClient()->client;
  XMoveWindow(display, managed, before.x + 50, before.y + 40);
  EXPECT_TRUE(eventually([&] { nextRequest(); auto now = managedClient(); return now && now->frame.x == before.x + 50; },
                         replyTimeout));
  XDestroyWindow(display, managed);
  XDestroyWindow(display, popup);
  XCloseDisplay(display);
}

// A dialog is the application of the window it is transient for: the id its
// process declares on any window, else the owner's class, never its own.
TEST(X11Workspace, ADialogTakesTheApplicationIdOfItsProcessNotItsOwnClass) {
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  auto topLevel = [&](const char* className) {
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10, 80, 60, 0, 0, 0);
    std::string classHint = std::string("instance") + '\0' + className + '\0';
    XChangeProperty(display, window, XA_WM_CLASS, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(classHint.data()), static_cast<int>(classHint.size()));
    return window;
  };
  const Window main = topLevel("MainClass");
  const Window dialog = topLevel("DialogClass");
  XSetTransientForHint(display, dialog, main);
  XMapWindow(display, main);
  XMapWindow(display, dialog);
  XSync(display, False);
  linux_ax::X11Workspace windows;
  auto idOf = [&](Window window) {
    windows.forgetReads();
    return windows.applicationId(window);
  };
  EXPECT_TRUE(eventually([&] { return idOf(dialog) == "MainClass"; }, replyTimeout)) << idOf(dialog).value_or("none");
  EXPECT_EQ(idOf(main), "MainClass");
  // Declared on the main window only, once the window manager lists it.
  const Atom declared = XInternAtom(display, "_GTK_APPLICATION_ID", False);
  const std::string id = "org.example.Declared";
  XChangeProperty(display, main, declared, XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(id.data()), static_cast<int>(id.size()));
  XSync(display, False);
  EXPECT_TRUE(eventually([&] { return idOf(dialog) == id; }, replyTimeout)) << idOf(dialog).value_or("none");
  EXPECT_EQ(idOf(main), id);
  XDestroyWindow(display, dialog);
  XDestroyWindow(display, main);
  XCloseDisplay(display);
}

TEST_F(BackendOnFixture, AStoppedApplicationIsWaitedForUntilItsOwnTimeOutThenFailsFastUntilTheReplyIsWritten) {
  const pid_t pid = fixture_->pid();
  auto application = ax_.createApplication(pid);
  ASSERT_EQ(ax::axString(ax_, application, ax::AXRole), ax::AXApplication);
  ax_.replyWritten();
  ax_.setMessagingTimeout(application, 30.0);
  ASSERT_EQ(::kill(pid, SIGSTOP), 0);
  // Woken only after the default time-out would have given up on it.
  auto wakeUp = std::async(std::launch::async, [pid] {
    std::this_thread::sleep_for(2 * linux_ax::CallGuard::defaultTimeout);
    ::kill(pid, SIGCONT);
  });
  EXPECT_FALSE(ax::axChildren(ax_, application, ax::AXWindows).empty());
  wakeUp.wait();

  ax_.replyWritten();
  ax_.setMessagingTimeout(application, 0.5);
  ASSERT_EQ(::kill(pid, SIGSTOP), 0);
  const auto before = ax_.callCount();
  EXPECT_TRUE(ax::axChildren(ax_, application, ax::AXWindows).empty());
  // The ping goes out with the first question, and neither is answered.
  EXPECT_LE(ax_.callCount() - before, 2u);
  const auto timedOut = ax_.callCount();
  EXPECT_EQ(ax::axString(ax_, application, ax::AXTitle), std::nullopt);
  EXPECT_EQ(ax::axString(ax_, application, ax::AXDescription), std::nullopt);
  EXPECT_EQ(ax_.callCount() - timedOut, 0u) << "reads after the time-out must not reach the application";
  ax_.replyWritten();
  ASSERT_EQ(::kill(pid, SIGCONT), 0);
  EXPECT_TRUE(eventually([&] { return asOneRequest([&] { return ax::axString(ax_, application, ax::AXRole); }) == ax::AXApplication; },
                         replyTimeout));
}

// The descent asks an element's own hit test with its frame, ahead of needing it:
// taken from that read, the hit test at every control's centre answers what it
// answers asked at its turn, and asks the application nothing more.
TEST_F(BackendOnFixture, AHitTestAskedAheadAnswersWhatOneAskedAtItsTurnAnswers) {
  std::vector<ax::Rect> frames;
  asOneRequest([&] {
    auto window = frontWindow();
    if (!window) return 0;
    for (const std::string role : {ax::AXButton, ax::AXTextField, ax::AXCheckBox, ax::AXStaticText}) {
      for (const Element& control : collect(*window, role)) {
        if (auto frame = ax::axFrame(ax_, control); frame && frame->width > 2 && frame->height > 2) frames.push_back(*frame);
      }
    }
    return 0;
  });
  ASSERT_GT(frames.size(), 5u);
  linux_ax::AtspiReader& reader = ax_.reader();
  for (const ax::Rect& frame : frames) {
    const int x = static_cast<int>(frame.x + frame.width / 2);
    const int y = static_cast<int>(frame.y + frame.height / 2);
    auto hitOfWindow = [&](bool askedAhead) {
      return asOneRequest([&] {
        auto window = frontWindow();
        if (!window) return linux_ax::AccessibleRef();
        AtspiAccessible* root = window->nodeAs<linux_ax::AccessibleNode>()->get();
        if (askedAhead) reader.prefetchWithHit(root, linux_ax::ExtentsPart, x, y);
        const auto before = ax_.callCount();
        linux_ax::AccessibleRef hit = reader.accessibleAtPoint(root, x, y);
        if (askedAhead) {
          EXPECT_EQ(ax_.callCount(), before) << x << "," << y;
        }
        return hit;
      });
    };
    const linux_ax::AccessibleRef atItsTurn = hitOfWindow(false);
    const linux_ax::AccessibleRef ahead = hitOfWindow(true);
    ASSERT_TRUE(atItsTurn) << x << "," << y;
    ASSERT_TRUE(ahead) << x << "," << y;
    EXPECT_TRUE(linux_ax::sameAccessible(ahead.get(), atItsTurn.get())) << x << "," << y;
  }
}

TEST_F(BackendOnFixture, AWindowIsWalkedWithOneCallPerElementAndTheSameChildrenAsOneByOne) {
  std::size_t walked = 0;
  std::uint64_t calls = 0;
  asOneRequest([&] {
    auto window = frontWindow();
    if (!window) return 0;
    const auto before = ax_.callCount();
    collect(*window, "", &walked);
    calls = ax_.callCount() - before;
    return 0;
  });
  ASSERT_GT(walked, 20u);
  // One call per child list; roles, names and states come from libatspi's cache
  // once the application has answered one question, table cells excepted. Form
  // controls and tables are asked their frames as well (an empty one hides them):
  // the window has seven. A table that makes its cells on demand is asked its row
  // and column counts, to tell whether it is too large to read but where it shows.
  // The toolkit's name and version, asked once per application, tell whether it
  // marks what is showing (a visible element that is not showing asks).
  constexpr std::uint64_t cellsAndSync = 24;
  constexpr std::uint64_t controlAndTableFrames = 7;
  constexpr std::uint64_t tableSize = 2;
  constexpr std::uint64_t toolkitOnce = 2;
  EXPECT_LE(calls, walked + cellsAndSync + controlAndTableFrames + tableSize + toolkitOnce) << walked << " elements";

  // The one call, and the lists asked ahead for many elements at once, give the
  // children that one call per child would give.
  asOneRequest([&] {
    auto window = frontWindow();
    if (!window) return 0;
    constexpr int mostChildren = 10000;
    linux_ax::AtspiReader& reader = ax_.reader();
    std::function<void(AtspiAccessible*, int)> compare = [&](AtspiAccessible* element, int depth) {
      // Listed ahead, all at once, except where the cells are made on demand.
      auto states = reader.states(element);
      const bool listable = states && !linux_ax::hasState(*states, ATSPI_STATE_MANAGES_DESCENDANTS);
      reader.prefetchChildren({linux_ax::AccessibleRef::share(element)}, mostChildren, 0);
      EXPECT_EQ(reader.memo().factsOf(element).children.has_value(), listable) << depth;
      auto batch = reader.children(element, mostChildren);
      auto single = reader.childrenOneByOne(element, mostChildren);
      ASSERT_TRUE(batch && single);
      ASSERT_EQ(batch->size(), single->size());
      for (std::size_t index = 0; index < batch->size(); ++index) {
        EXPECT_TRUE(linux_ax::sameAccessible((*batch)[index].get(), (*single)[index].get())) << index;
      }
      if (depth < walkDepth) {
        for (const auto& child : *batch) compare(child.get(), depth + 1);
      }
    };
    AtspiAccessible* windowAccessible = window->nodeAs<linux_ax::AccessibleNode>()->get();
    compare(windowAccessible, 0);
    // A frame read once serves the rest of the request (a hit test compares each
    // child's frame with the point after judging by it whether the child shows).
    reader.memo().factsOf(windowAccessible).extents.reset();
    EXPECT_TRUE(reader.toolkitExtents(windowAccessible));
    const auto afterFirstFrame = ax_.callCount();
    EXPECT_EQ(reader.toolkitExtents(windowAccessible), reader.screenExtents(windowAccessible));
    EXPECT_EQ(ax_.callCount(), afterFirstFrame);
    // AT-SPI gives every element a description; an empty one is none.
    EXPECT_EQ(ax::axString(ax_, *window, ax::AXDescription), std::nullopt);
    return 0;
  });
}

}  // namespace
}  // namespace morvel::testing
