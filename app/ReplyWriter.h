#pragma once

#include "commands/Reply.h"

#include <string>
#include <string_view>

namespace morvel {

// The fixed line written when a reply cannot be carried by JSON (47 bytes).
inline constexpr std::string_view serializeFailedLine = "{\"id\":0,\"ok\":false,\"error\":\"serialize failed\"}\n";

// The reply line for a record: compact JSON and one line feed, or the fixed
// "serialize failed" line when a value is a non-finite number or the text cannot
// be written.
std::string replyLine(const Json& reply);

// Writes one reply line to the file descriptor in a single unbuffered write
// (repeated only if the kernel takes part of it).
void emit(int fd, const Json& reply);

}  // namespace morvel
