// Chromium showing a page of thousands of elements (the benchmark's page): the
// helper reads such trees in bulk and many reads at once, and must answer
// exactly as it does with every read asked on its own.

#include "support/Desktop.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace morvel::testing {
namespace {

class HelperOnLargeWebPage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    profile_ = std::filesystem::temp_directory_path() / ("morvel-web-" + std::to_string(::getpid()));
    // --test-type: no infobar about --no-sandbox, which would arrive late and
    // move the page under the test.
    chromium_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"chromium", "--no-sandbox", "--test-type", "--force-renderer-accessibility",
                                 "--no-first-run", "--disable-gpu", "--user-data-dir=" + profile_.string(),
                                 "--app=file://" MORVEL_BENCH_PAGES_PATH "/web-scale.html"},
        std::map<std::string, std::optional<std::string>>{{"ACCESSIBILITY_ENABLED", "1"}});
  }
  static void TearDownTestSuite() {
    chromium_.reset();
    std::filesystem::remove_all(profile_);
  }

  static std::unique_ptr<ChildProcess> chromium_;
  static std::filesystem::path profile_;
};

std::unique_ptr<ChildProcess> HelperOnLargeWebPage::chromium_;
std::filesystem::path HelperOnLargeWebPage::profile_;

TEST_F(HelperOnLargeWebPage, AnswersExactlyAsWithEveryReadAskedOnItsOwn) {
  HelperProcess helper;
  // The page has been built and drawn once every row of the table is there.
  Json structure;
  ASSERT_TRUE(eventually(
      [&] {
        structure = helper.ask({{"cmd", "structure"}}).value_or(Json::object());
        return structure.value("rowCount", 0) == 200;
      },
      startupTimeout))
      << structure.dump().substr(0, 400);
  const Json fields = helper.ask({{"cmd", "fields"}}).value_or(Json::object());
  EXPECT_EQ(fields.value("fieldCount", 0), 60) << fields.dump().substr(0, 400);
  const Json button = {{"role", "AXButton"}, {"title", "Open 200"}};
  const Json find = {{"cmd", "find"},
                     {"selector", {{"path", Json::array({button})}, {"windowTitle", fields.value("windowTitle", "")}}},
                     {"timeoutMs", 0}};
  expectSameAsSerialReads(helper, {Json{{"cmd", "structure"}}, Json{{"cmd", "fields"}}, find, Json{{"cmd", "fingerprint"}}});
}

}  // namespace
}  // namespace morvel::testing
