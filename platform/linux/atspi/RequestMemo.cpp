#include "platform/linux/atspi/RequestMemo.h"

namespace morvel::linux_ax {

ElementFacts& RequestMemo::factsOf(AtspiAccessible* accessible) {
  auto [entry, added] = facts_.try_emplace(accessible);
  if (added) entry->second.keepAlive = AccessibleRef::share(accessible);
  return entry->second.facts;
}

const std::string* RequestMemo::roleNameOf(const std::string& busName, AtspiRole role) const {
  if (auto found = roleNames_.find({busName, role}); found != roleNames_.end()) return &found->second;
  return nullptr;
}

void RequestMemo::rememberRoleName(const std::string& busName, AtspiRole role, std::string name) {
  roleNames_[{busName, role}] = std::move(name);
}

std::optional<std::int32_t> RequestMemo::processIdOf(const std::string& busName) const {
  if (auto found = processIds_.find(busName); found != processIds_.end()) return found->second;
  return std::nullopt;
}

void RequestMemo::rememberProcessId(const std::string& busName, std::int32_t pid) {
  // Bus names are never reused, so old entries only cost memory: start afresh
  // once a long session has seen this many applications.
  constexpr std::size_t mostRememberedApplications = 4096;
  if (processIds_.size() >= mostRememberedApplications) processIds_.clear();
  processIds_[busName] = pid;
}

namespace {

std::pair<std::string, std::string> objectKey(AtspiAccessible* accessible) {
  const char* busName = accessible->parent.app != nullptr ? accessible->parent.app->bus_name : nullptr;
  const char* path = accessible->parent.path;
  return {busName != nullptr ? busName : "", path != nullptr ? path : ""};
}

}  // namespace

bool RequestMemo::listUnlikeChildren(AtspiAccessible* accessible) const {
  return listsUnlikeChildren_.contains(objectKey(accessible));
}

void RequestMemo::rememberListUnlikeChildren(AtspiAccessible* accessible) {
  // Such containers are few in any application; elements that went away only
  // cost memory until a long session has seen this many.
  constexpr std::size_t mostRememberedLists = 4096;
  if (listsUnlikeChildren_.size() >= mostRememberedLists) listsUnlikeChildren_.clear();
  listsUnlikeChildren_.insert(objectKey(accessible));
}

}  // namespace morvel::linux_ax
