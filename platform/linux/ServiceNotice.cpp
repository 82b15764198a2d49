#include "platform/linux/ServiceNotice.h"

#include <cerrno>
#include <cstdio>
#include <string>

namespace morvel::linux_ax {
namespace {

void writeNotice(std::string_view service, std::string_view what) {
  const std::string line =
      std::string(program_invocation_short_name) + ": " + std::string(service) + " " + std::string(what) + "\n";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace

void noticeServiceLost(std::string_view service) {
  writeNotice(service, "went away; answering without it until it is back");
}

void noticeServiceBack(std::string_view service) { writeNotice(service, "is back"); }

}  // namespace morvel::linux_ax
