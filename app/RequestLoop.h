#pragma once

#include "app/Dispatcher.h"
#include "app/LineReader.h"
#include "commands/Reply.h"

#include <optional>
#include <string>
#include <string_view>

namespace morvel {

// One raw line read as a request: broken UTF-8 repaired, blanks trimmed, then
// parsed. A blank line gets no reply; a line that is not exactly one JSON object
// (not JSON at all, or JSON of another kind) gets the "bad json" reply.
struct ParsedLine {
  enum class Kind { Blank, BadJson, NotAnObject, Request } kind;
  Json request;
};
ParsedLine parseRequestLine(std::string_view rawLine);

// The reply record for one request object, "id" set from the request.
Json answerRequest(const Json& request, Platform& platform, const ExtraCommands& extras);

// Reads request lines from `inFd` until end of input and writes one reply line to
// `outFd` for every non-blank line; a line longer than `maxLineBytes` is "bad json".
// Returns the process exit status.
int runRequestLoop(int inFd, int outFd, Platform& platform, const ExtraCommands& extras = {},
                   std::size_t maxLineBytes = LineReader::defaultMaxLineBytes);

}  // namespace morvel
