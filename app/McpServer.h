#pragma once

#include "app/LineReader.h"
#include "commands/Platform.h"

#include <cstddef>
#include <string_view>

namespace morvel {

// Serves the Model Context Protocol (JSON-RPC 2.0, one message per line) on the
// two file descriptors until end of input: the commands as tools, through the
// same dispatcher as the request loop. Returns the process exit status.
int runMcpServer(int inFd, int outFd, Platform& platform, std::string_view serverName,
                 std::size_t maxLineBytes = LineReader::defaultMaxLineBytes);

}  // namespace morvel
