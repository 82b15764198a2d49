#pragma once

// The one thing the helper writes to standard error: a line when a desktop
// service it depends on goes away, and one when it is back (never one per
// request), so that whoever runs the helper can tell why replies came back empty.

#include <string_view>

namespace morvel::linux_ax {

void noticeServiceLost(std::string_view service);
void noticeServiceBack(std::string_view service);

}  // namespace morvel::linux_ax
