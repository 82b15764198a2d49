#pragma once

#include <cstdint>
#include <string>

namespace morvel {

// The decimal text of a number as the accessibility platform describes it: a whole
// number without a fractional part, a fraction in the shortest form that reads back
// exactly. Independent of the process locale.
std::string decimalText(std::int64_t value);
std::string decimalText(double value);

}  // namespace morvel
