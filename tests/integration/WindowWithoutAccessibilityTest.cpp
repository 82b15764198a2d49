// The helper with a window in front whose toolkit has no accessibility (Tk):
// the window system names the application and its window, the screen's text
// stands in for the tree, and the tree commands find nothing rather than
// another application's elements.

#include "support/Desktop.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace morvel::testing {
namespace {

constexpr const char* windowTitle = "Morvel Tk window";
constexpr const char* shownText = "Hello from Tk";

class HelperOnTkWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    script_ = std::filesystem::temp_directory_path() / ("morvel-tk-" + std::to_string(::getpid()) + ".tcl");
    std::ofstream(script_) << "wm title . {" << windowTitle << "}\n"
                           << "label .text -text {" << shownText << "} -font {Sans 24}\n"
                           << "pack .text -padx 60 -pady 60\n";
    wish_ = std::make_unique<ChildProcess>(std::vector<std::string>{"wish", script_.string()});
  }
  static void TearDownTestSuite() {
    wish_.reset();
    std::filesystem::remove(script_);
  }
  void SetUp() override {
    // Tk states no process id on its window: the helper must find it all the same.
    ASSERT_TRUE(eventually(
        [&] {
          auto reply = helper_.ask({{"cmd", "fingerprint"}});
          return reply && reply->value("windowTitle", "") == windowTitle;
        },
        startupTimeout))
        << "the Tk window never became the front window";
  }
  Json ask(const Json& request) { return helper_.ask(request).value_or(Json::object()); }

  static inline std::unique_ptr<ChildProcess> wish_;
  static inline std::filesystem::path script_;
  HelperProcess helper_;
};

TEST_F(HelperOnTkWindow, TheWindowSystemNamesTheWindowAndTheScreenTextStandsInForTheTree) {
  Json fingerprint = ask({{"cmd", "fingerprint"}});
  EXPECT_FALSE(fingerprint.value("appBundleId", "").empty()) << fingerprint;

  Json structure = ask({{"cmd", "structure"}});
  ASSERT_EQ(structure["found"], true) << structure;
  EXPECT_EQ(structure["source"], "ocr");
  bool sawText = false;
  for (const Json& row : structure["rows"]) {
    for (const Json& cell : row["cells"]) sawText = sawText || cell.value("value", "").find(shownText) != std::string::npos;
  }
  EXPECT_TRUE(sawText) << structure;

  EXPECT_EQ(ask({{"cmd", "focused"}})["found"], false);
  EXPECT_EQ(ask({{"cmd", "fields"}})["found"], false);
  const Json& frame = structure["rows"][0]["frame"];
  Json hit = ask({{"cmd", "element-at"}, {"x", frame["x"]}, {"y", frame["y"]}});
  EXPECT_EQ(hit["found"], false) << hit;
}

}  // namespace
}  // namespace morvel::testing
