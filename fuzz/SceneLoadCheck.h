#pragma once

// Scene loading under test: any bytes that parse as JSON either load as a
// desktop or are refused with a SceneError, never anything else; and over a
// desktop that loads, every command answers with one well-formed reply.

#include <string>
#include <string_view>
#include <vector>

namespace morvel::fuzz {

// What went wrong loading `bytes` as a scene and asking its desktop a round of
// requests; empty when nothing did.
std::vector<std::string> checkSceneLoad(std::string_view bytes);

}  // namespace morvel::fuzz
