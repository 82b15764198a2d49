// LibreOffice Calc showing a 30-row sheet in a table that reports 1,048,576 rows
// by 16,384 columns, whose cells exist only when asked for: the commands read it
// where it shows. One Calc for the suite (bench/linux/calc-sheet.sh brings it up).

#include "support/Desktop.h"
#include "support/ReplyChecks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace morvel::testing {
namespace {

// What the sheet holds: a header row, then "N,Item N,...".
constexpr int filledRows = 30;
constexpr int mostRowsListed = 200;
constexpr int mostCellsListed = 40;

std::string calcSheet(const std::string& action, const std::string& argument) {
  ProcessResult result = runProcess({MORVEL_CALC_SHEET_PATH, action, argument}, "");
  return result.exitStatus == 0 ? result.out : std::string();
}

class OnCalcSheet : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string pattern = (std::filesystem::temp_directory_path() / "morvel-calc-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    directory_ = pattern;
    if (calcSheet("start", directory_).empty()) return;
    std::istringstream centre(calcSheet("centre", "B4"));
    up_ = static_cast<bool>(centre >> b4x_ >> b4y_);
    helper_ = std::make_unique<HelperProcess>();
  }
  static void TearDownTestSuite() {
    helper_.reset();
    if (directory_.empty()) return;
    calcSheet("stop", directory_);
    std::filesystem::remove_all(directory_);
  }
  void SetUp() override { ASSERT_TRUE(up_) << "Calc did not show the sheet"; }

  static Json atB4(const char* command) { return {{"cmd", command}, {"x", b4x_}, {"y", b4y_}}; }

  static inline std::string directory_;
  static inline bool up_ = false;
  static inline double b4x_ = 0;
  static inline double b4y_ = 0;
  static inline std::unique_ptr<HelperProcess> helper_;
};

TEST_F(OnCalcSheet, ElementAtACellAnswersThatCell) {
  auto reply = helper_->ask(atB4("element-at"));
  expectHas(reply, {{"found", true}, {"role", "AXCell"}, {"value", "Item 2"}});
}

TEST_F(OnCalcSheet, StructureListsTheShowingRowsWithTheirCellsTexts) {
  auto reply = helper_->ask({{"cmd", "structure"}});
  ASSERT_TRUE(reply);
  expectHas(reply, {{"found", true}, {"containerRole", "AXTable"}});
  const Json& rows = reply->value("rows", Json::array());
  // Every filled row shows, and no row below what shows is listed.
  ASSERT_GE(rows.size(), std::size_t{filledRows});
  EXPECT_LT(rows.size(), std::size_t{mostRowsListed});
  EXPECT_EQ(reply->value("rowCount", -1), static_cast<int>(rows.size()));
  for (const Json& row : rows) ASSERT_LE(row["cells"].size(), std::size_t{mostCellsListed}) << row;
  auto text = [&](int row, int column) { return rows[row]["cells"][column].value("value", ""); };
  EXPECT_EQ(text(0, 0), "Id");
  EXPECT_EQ(text(0, 3), "Price");
  EXPECT_EQ(text(3, 1), "Item 2");
  EXPECT_EQ(text(filledRows - 1, 1), "Item 28");
}

TEST_F(OnCalcSheet, SelectorAtACellIsFoundAgain) {
  auto cell = helper_->ask(atB4("element-at"));
  auto selector = helper_->ask(atB4("selector-at"));
  ASSERT_TRUE(cell && selector);
  expectHas(selector, {{"found", true}});
  const Json& path = selector->value("path", Json::array());
  ASSERT_GE(path.size(), 2u) << *selector;
  EXPECT_EQ(path[0].value("value", ""), "Item 2");
  EXPECT_EQ(path[1].value("role", ""), "AXRow");

  auto found = helper_->ask({{"cmd", "find"}, {"selector", *selector}, {"timeoutMs", 0}});
  expectHas(found, {{"found", true}, {"role", "AXCell"}, {"frame", cell->value("frame", Json())}});
}

// Reads asked ahead of the single reads, many at once, change no answer. Calc
// now and then answers for a cell at the sheet's edge as if it were gone.
TEST_F(OnCalcSheet, EveryOtherCommandAnswersAsWithEveryReadAskedOnItsOwn) {
  expectHas(helper_->ask({{"cmd", "focused"}}), {{"ok", true}, {"found", true}});
  expectHas(helper_->ask({{"cmd", "fields"}}), {{"ok", true}});
  auto selector = helper_->ask(atB4("selector-at"));
  ASSERT_TRUE(selector);
  expectSameAsSerialReads(*helper_, {Json{{"cmd", "structure"}}, Json{{"cmd", "fingerprint"}},
                                     Json{{"cmd", "find"}, {"selector", *selector}, {"timeoutMs", 0}}},
                          2);
}

// Past row 131,072 a cell's index among the table's children no longer fits 32
// bits. Calc names every cell by its address, the value of an empty one.
TEST_F(OnCalcSheet, AtTheLastRowsTheShowingRowsAndCellsAreThoseOnScreen) {
  ASSERT_FALSE(calcSheet("bottom", "").empty()) << "Calc did not move to its last row";
  std::istringstream centre(calcSheet("centre", "B1048570"));
  double x = 0;
  double y = 0;
  const bool placed = static_cast<bool>(centre >> x >> y);
  auto structure = helper_->ask({{"cmd", "structure"}});
  auto cell = helper_->ask({{"cmd", "element-at"}, {"x", x}, {"y", y}});
  auto selector = helper_->ask({{"cmd", "selector-at"}, {"x", x}, {"y", y}});
  auto found = selector ? helper_->ask({{"cmd", "find"}, {"selector", *selector}, {"timeoutMs", 0}}) : std::nullopt;
  calcSheet("top", "");

  ASSERT_TRUE(placed && structure && cell && selector);
  const Json& rows = structure->value("rows", Json::array());
  ASSERT_FALSE(rows.empty()) << *structure;
  EXPECT_EQ(rows.back()["cells"][1].value("value", ""), "B1048576");
  expectHas(cell, {{"found", true}, {"role", "AXCell"}, {"title", "B1048570"}});
  const Json& path = selector->value("path", Json::array());
  ASSERT_GE(path.size(), 2u) << *selector;
  EXPECT_EQ(path[1].value("role", ""), "AXRow");
  expectHas(found, {{"found", true}, {"frame", cell->value("frame", Json())}});
}

}  // namespace
}  // namespace morvel::testing
