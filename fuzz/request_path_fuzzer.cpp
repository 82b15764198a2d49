// libFuzzer entry: one input is the whole standard input of the helper.

#include "fuzz/RequestPathCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto problems = morvel::fuzz::checkRequestPath(input);
  if (problems.empty()) return 0;
  for (const auto& problem : problems) std::fprintf(stderr, "request path: %s\n", problem.c_str());
  std::abort();
}
