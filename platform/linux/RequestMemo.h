#pragma once

// What may be served twice within one request without asking the application
// again: role, name, description and states of an element (they cannot change
// in a way the caller could tell apart within one request), and the process id
// behind a bus name (fixed for the life of the connection). Child lists and
// parents are always asked afresh. Everything but the process ids is forgotten
// when the reply has been written.

#include "platform/linux/GlibOwnership.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>

namespace morvel::linux_ax {

using StateBits = std::uint64_t;

inline bool hasState(StateBits states, AtspiStateType state) {
  return (states & (StateBits{1} << static_cast<unsigned>(state))) != 0;
}

struct ElementFacts {
  std::optional<AtspiRole> role;
  std::optional<std::string> name;
  std::optional<std::string> description;
  std::optional<StateBits> states;
};

class RequestMemo {
 public:
  // The facts known about `accessible` in this request; the memo keeps a
  // reference to it so that its address is not reused by another element.
  ElementFacts& factsOf(AtspiAccessible* accessible);
  void endRequest() { facts_.clear(); }

  std::optional<std::int32_t> processIdOf(const std::string& busName) const;
  void rememberProcessId(const std::string& busName, std::int32_t pid);

 private:
  struct Entry {
    AccessibleRef keepAlive;
    ElementFacts facts;
  };
  std::unordered_map<AtspiAccessible*, Entry> facts_;
  std::map<std::string, std::int32_t, std::less<>> processIds_;
};

}  // namespace morvel::linux_ax
