#pragma once

#include <nlohmann/json.hpp>

namespace morvel {

// A request object, and a reply record: string keys to JSON values. Key order
// carries no meaning.
using Json = nlohmann::json;

}  // namespace morvel
