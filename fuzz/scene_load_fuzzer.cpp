// libFuzzer entry: one input is the text of a scene file.

#include "fuzz/SceneLoadCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto problems = morvel::fuzz::checkSceneLoad(bytes);
  if (problems.empty()) return 0;
  for (const auto& problem : problems) std::fprintf(stderr, "scene load: %s\n", problem.c_str());
  std::abort();
}
