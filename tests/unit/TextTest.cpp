// Unicode trimming, repair, counting and comparison, number text, and the
// patterns the commands search text with.

#include "text/NumberText.h"
#include "text/TextPattern.h"
#include "text/UnicodeText.h"

#include <gtest/gtest.h>

#include <string>

namespace morvel {
namespace {

TEST(TrimBlank, RemovesSpacesSeparatorsAndLineBreaksAtBothEndsOnly) {
  // no-break space, line separator, paragraph separator, next line, vertical tab, form feed
  EXPECT_EQ(trimBlank("\u00A0\u2028x y\u2029\u0085\v\f"), "x y");
  EXPECT_EQ(trimBlank("\u3000ideographic\u3000"), "ideographic");
  // zero-width space (Cf) and byte order mark are not white space here
  EXPECT_EQ(trimBlank("\u200Bx\uFEFF"), "\u200Bx\uFEFF");
  EXPECT_EQ(trimBlank(" \t "), "");
  EXPECT_EQ(trimBlank(""), "");
}

TEST(RepairUtf8, ReplacesEachIllFormedSequenceAndKeepsTheRest) {
  EXPECT_EQ(repairUtf8("caf\xC3\xA9"), "caf\xC3\xA9");
  EXPECT_EQ(repairUtf8("\xC3"), "\uFFFD");                 // cut-off sequence at the end
  EXPECT_EQ(repairUtf8("\xED\xA0\x80"), "\uFFFD\uFFFD\uFFFD");  // encoded surrogate
  EXPECT_EQ(repairUtf8("\xC0\xAF"), "\uFFFD\uFFFD");       // overlong slash
  EXPECT_EQ(repairUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(GraphemeCount, CountsUserPerceivedCharacters) {
  EXPECT_EQ(graphemeCount("abc"), 3u);
  EXPECT_EQ(graphemeCount("\U0001F468\u200D\U0001F469"), 1u);  // joined emoji
  EXPECT_EQ(graphemeCount(""), 0u);
}

TEST(CanonicallyEqual, NothingLooserThanCanonicalEquivalence) {
  // (Precomposed against decomposed, and case: the selector scoring table.)
  EXPECT_FALSE(canonicallyEqual("\uFB01", "fi"));  // compatibility, not canonical
  EXPECT_TRUE(canonicallyEqual("\u212A", "K"));    // Kelvin sign: non-ASCII on one side only
}

TEST(DecimalText, WritesWholeNumbersWithoutFraction) {
  EXPECT_EQ(decimalText(std::int64_t{1}), "1");
  EXPECT_EQ(decimalText(std::int64_t{-42}), "-42");
  EXPECT_EQ(decimalText(1.0), "1");
  EXPECT_EQ(decimalText(0.5), "0.5");
  EXPECT_EQ(decimalText(0.1), "0.1");
  EXPECT_EQ(decimalText(-2.25), "-2.25");
}

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
