#pragma once

// The request path under test: bytes in through the request loop, reply lines
// out, a simulated desktop behind it. The checks hold for any input: every
// non-blank line gets exactly one reply line, each a JSON object with "id" and
// "ok"; a line that is one JSON object has its "id" echoed, any other line gets
// the "bad json" reply; and no request but a "find" keeps the client waiting
// longer than a hung application's time-outs plus the work itself could take.

#include "fuzz/FuzzPlatform.h"

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace morvel::fuzz {

struct RequestPathRun {
  std::string output;                      // every byte the loop wrote
  std::vector<Microseconds> requestTimes;  // virtual duration of each request, in order
};

// Runs the request loop over `input` (through file descriptors, as the process
// does) with a fresh desktop of `scene` behind it.
RequestPathRun runRequestPath(std::string_view input, const nlohmann::json& scene);

// What is wrong with a run over `input`; empty when nothing is.
std::vector<std::string> requestPathProblems(std::string_view input, const RequestPathRun& run);

// The scenes every input is run against: the contacts example and a desktop with
// slow and hung applications, a timeline and explicit hit-test answers.
const std::vector<nlohmann::json>& requestPathScenes();

// Runs `input` against every scene and collects the problems.
std::vector<std::string> checkRequestPath(std::string_view input);

}  // namespace morvel::fuzz
