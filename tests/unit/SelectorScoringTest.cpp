#include "commands/SelectorScoring.h"
#include "support/SimDesktopFixture.h"

#include <gtest/gtest.h>

namespace morvel {
namespace {

using nlohmann::json;
using testing::SimDesktopFixture;

class SelectorScoring : public ::testing::Test {
 protected:
  SelectorScoring()
      : fixture_(json{{"elements",
                   {{{"id", "save"}, {"attrs", {{"AXRole", "AXButton"}, {"AXTitle", "Save"}}}},
                    {{"id", "save-lower"}, {"attrs", {{"AXRole", "AXButton"}, {"AXTitle", "save"}}}},
                    {{"id", "save-field"}, {"attrs", {{"AXRole", "AXTextField"}, {"AXTitle", "Save"}}}},
                    {{"id", "cafe-composed"}, {"attrs", {{"AXRole", "AXButton"}, {"AXTitle", "Caf\u00E9"}}}},
                    {{"id", "untitled"}, {"attrs", {{"AXRole", "AXButton"}, {"AXTitle", {{"error", "x"}}}}}},
                    {{"id", "empty-role"}, {"attrs", {{"AXRole", ""}}}},
                    {{"id", "no-role"}, {"attrs", {{"AXTitle", "Save"}}}},
                    {{"id", "box"}, {"attrs", {{"AXRole", "AXCheckBox"}, {"AXValue", 1}}}},
                    {{"id", "full"},
                     {"attrs",
                      {{"AXRole", "AXButton"},
                       {"AXIdentifier", "save-id"},
                       {"AXTitle", "Save"},
                       {"AXDescription", "Saves"},
                       {"AXRoleDescription", "button"},
                       {"AXValue", "v"}}}}}}}) {}

  int score(const std::string& id, const json& target) {
    return scoreAgainstTarget(fixture_.ax(), fixture_.element(id), target);
  }
  SimDesktopFixture fixture_;
};

TEST_F(SelectorScoring, RoleMustMatchExactlyAndTitlesOnlyAddPoints) {
  const json target = {{"role", "AXButton"}, {"title", "Save"}};
  EXPECT_EQ(score("save", target), 61);
  EXPECT_EQ(score("save-lower", target), 1);
  EXPECT_EQ(score("save-field", target), -1);
  EXPECT_EQ(score("untitled", target), 1);  // an unreadable title withholds points, nothing more
  EXPECT_EQ(score("no-role", target), -1);
  // Canonically equivalent spellings are the same title.
  EXPECT_EQ(score("cafe-composed", {{"role", "AXButton"}, {"title", "Cafe\u0301"}}), 61);
  EXPECT_EQ(score("save", {{"role", "AXButton"}, {"title", "Save "}}), 1);
}

TEST_F(SelectorScoring, IdentifierRulesOutUnlessEqualAndEmptyNamesAreIgnored) {
  EXPECT_EQ(score("save", {{"role", "AXButton"}, {"identifier", "save-id"}, {"title", "Save"}}), -1);
  EXPECT_EQ(score("full", {{"role", "AXButton"}, {"identifier", "save-id"}}), 201);
  EXPECT_EQ(score("full", {{"role", "AXButton"}, {"identifier", "other"}, {"title", "Save"}}), -1);
  EXPECT_EQ(score("save", {{"role", "AXButton"}, {"identifier", ""}, {"title", ""}}), 1);

  // An empty identifier is not asked of the element at all.
  fixture_.stats();
  score("save", {{"role", "AXButton"}, {"identifier", ""}});
  EXPECT_EQ(fixture_.stats()["reads"], 1);
}

TEST_F(SelectorScoring, EmptyRoleMatchesOnlyAnEmptyRoleAndNonTextKeysAreIgnored) {
  EXPECT_EQ(score("empty-role", {{"role", ""}}), 1);
  EXPECT_EQ(score("save", {{"role", ""}}), -1);
  EXPECT_EQ(score("no-role", {{"role", ""}}), -1);
  EXPECT_EQ(score("no-role", {{"role", 5}, {"title", "Save"}}), 61);
  EXPECT_EQ(score("save", {{"role", nullptr}, {"title", {"Save"}}, {"identifier", 3}}), 1);
  EXPECT_EQ(score("save", json::object()), 1);
  EXPECT_EQ(score("save", json::array({"AXButton"})), 1);
}

TEST_F(SelectorScoring, ValueComparesAsTextAndEveryKeyMatchingGivesTheMaximum) {
  EXPECT_EQ(score("box", {{"role", "AXCheckBox"}, {"value", "1"}}), 11);
  EXPECT_EQ(score("box", {{"role", "AXCheckBox"}, {"value", "1.0"}}), 1);
  const json everything = {{"role", "AXButton"},       {"identifier", "save-id"}, {"title", "Save"},
                           {"description", "Saves"},  {"roleDescription", "button"}, {"value", "v"},
                           {"subrole", "ignored"},    {"index", 4}};
  EXPECT_EQ(score("full", everything), 336);

  // Each named attribute is read once; a rule-out stops the reads.
  fixture_.stats();
  score("full", everything);
  EXPECT_EQ(fixture_.stats()["reads"], 6);
  score("save-field", everything);
  EXPECT_EQ(fixture_.stats()["reads"], 1);
}

}  // namespace
}  // namespace morvel
