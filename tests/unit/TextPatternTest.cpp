#include "text/TextPattern.h"

#include <gtest/gtest.h>

#include <string>

namespace morvel {
namespace {

TEST(TextPattern, SearchesAnywhereWithUnicodeWordCharacters) {
  const TextPattern words(R"((?i)\b(add|new)\b)");
  ASSERT_TRUE(words.compiled());
  EXPECT_TRUE(words.foundIn("Please ADD one"));
  EXPECT_TRUE(words.foundIn("Please ADD one"));  // a second search of the same pattern
  // Letters of any script are word characters, so no boundary falls before "add" here.
  EXPECT_FALSE(words.foundIn("\xC3\xA9" "add"));                 // éadd
  EXPECT_FALSE(words.foundIn("\xE6\x97\xA5\xE6\x9C\xAC" "new"));  // 日本new
  EXPECT_TRUE(words.foundIn("\xE2\x80\x94" "new"));               // —new: a dash is no word character
  // An ill-formed byte reads as U+FFFD, which is no word character either.
  EXPECT_TRUE(words.foundIn("\xFF" "add\xC3"));
  EXPECT_TRUE(words.foundIn(std::string("a\0add", 5)));
  EXPECT_FALSE(words.foundIn(""));
}

TEST(TextPattern, AnchorsAtTheWholeTextAndMatchesNothingWhenItDoesNotCompile) {
  const TextPattern lonePlus(R"(^\s*\+\s*$)");
  EXPECT_TRUE(lonePlus.foundIn(" + "));
  EXPECT_TRUE(lonePlus.foundIn("+\n"));
  EXPECT_FALSE(lonePlus.foundIn("x\n+"));

  const TextPattern broken("(add");
  EXPECT_FALSE(broken.compiled());
  EXPECT_FALSE(broken.foundIn("(add"));
}

}  // namespace
}  // namespace morvel
