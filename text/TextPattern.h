#pragma once

// A regular expression in ICU syntax, compiled once with no flags and searched
// anywhere in a text. The pattern itself carries any flags it needs, such as a
// leading (?i).

#include <unicode/regex.h>

#include <memory>
#include <string_view>

namespace morvel {

class TextPattern {
 public:
  // A pattern that does not compile is kept as no pattern: it matches no text.
  explicit TextPattern(std::string_view pattern);

  bool compiled() const { return compiled_ != nullptr; }

  // Whether the pattern matches somewhere in `text` (UTF-8; an ill-formed
  // sequence reads as U+FFFD). Each search has its own matcher, so one pattern
  // may serve any number of searches.
  bool foundIn(std::string_view text) const;

 private:
  std::unique_ptr<icu::RegexPattern> compiled_;
};

}  // namespace morvel
