#pragma once

#include "commands/Platform.h"
#include "commands/Reply.h"

#include <functional>
#include <map>
#include <optional>
#include <string>

namespace morvel {

// Commands a front end adds to the table (the simulator's "sim-stats"). Each
// returns its whole reply, "ok" included.
using ExtraCommands = std::map<std::string, std::function<Json()>, std::less<>>;

// Turns one request object into one reply record. Total: argument problems are
// error replies, never exceptions.
Json handle(const Json& request, Platform& platform, const ExtraCommands& extras = {});

// A numeric argument: a JSON number or boolean (true 1, false 0) as a double;
// absent for a missing key or any other type.
std::optional<double> number(const Json& request, std::string_view key);

}  // namespace morvel
