#include "platform/linux/atspi/AtspiReader.h"

#include "accessibility/PreorderTree.h"
#include "platform/linux/atspi/ConcurrentReads.h"
#include "platform/linux/atspi/LibraryCache.h"
#include "platform/linux/atspi/RoleMapping.h"
#include "text/UnicodeText.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <string_view>
#include <tuple>

namespace morvel::linux_ax {
namespace {

// A text longer than this is read only up to here: one value never holds up a
// request for a whole document.
constexpr int maxTextCharacters = 200000;

template <class Iface>
using IfaceRef = GRef<Iface>;

// Whether libatspi handed over an interface view; the view itself is not kept.
bool released(gpointer interfaceView) {
  if (interfaceView == nullptr) return false;
  g_object_unref(interfaceView);
  return true;
}

// A rule every element matches.
GRef<AtspiMatchRule> anyElement() {
  auto noStates = GRef<AtspiStateSet>::adopt(atspi_state_set_new(nullptr));
  return GRef<AtspiMatchRule>::adopt(atspi_match_rule_new(noStates.get(), ATSPI_Collection_MATCH_ALL, nullptr,
                                                          ATSPI_Collection_MATCH_ALL, nullptr,
                                                          ATSPI_Collection_MATCH_ALL, nullptr,
                                                          ATSPI_Collection_MATCH_ALL, FALSE));
}

// Whether an element of this role is named by a title that may hold the
// mnemonic marker as the application wrote it: a Qt tool bar's title, which Qt
// shows with the marker applied in the menu that hides and shows its bars.
// (Qt takes the marker out of its buttons', tabs' and menu items' names itself.)
bool namedByMarkedTitle(std::optional<AtspiRole> role) { return role == ATSPI_ROLE_TOOL_BAR; }

}  // namespace

bool AtspiReader::syncWith(AtspiAccessible* accessible) {
  const std::string* application = CallGuard::applicationOf(accessible);
  return application != nullptr && guard_.ping(*application);
}

template <class Call>
auto AtspiReader::heldOrAsked(AtspiAccessible* accessible, AtspiCache part, Call&& call) {
  // The events handled while syncing may have dropped the value: test again after.
  if (heldInLibraryCache(accessible, part) && syncWith(accessible) && heldInLibraryCache(accessible, part)) {
    return guard_.runHeld(accessible, std::forward<Call>(call));
  }
  return guard_.run(accessible, std::forward<Call>(call));
}

std::string utf8Text(const char* text) { return text == nullptr ? std::string() : repairUtf8(text); }

std::optional<AtspiRole> AtspiReader::role(AtspiAccessible* accessible) {
  ElementFacts& facts = memo_.factsOf(accessible);
  // An application's own element stays one for its whole life: its role needs
  // no wait for the application's events, and its ping goes with its next
  // questions.
  if (!facts.role && heldInLibraryCache(accessible, ATSPI_CACHE_ROLE) && accessible->role == ATSPI_ROLE_APPLICATION) {
    facts.role = ATSPI_ROLE_APPLICATION;
  }
  if (!facts.role) {
    facts.role = heldOrAsked(accessible, ATSPI_CACHE_ROLE,
                             [&](GError** error) { return atspi_accessible_get_role(accessible, error); });
  }
  return facts.role;
}

std::optional<std::string> AtspiReader::name(AtspiAccessible* accessible) {
  ElementFacts& facts = memo_.factsOf(accessible);
  if (!facts.name) {
    auto text = heldOrAsked(accessible, ATSPI_CACHE_NAME,
                            [&](GError** error) { return GCharPtr(atspi_accessible_get_name(accessible, error)); });
    if (text && *text) facts.name = utf8Text(text->get());
  }
  if (!facts.name) return std::nullopt;
  const ToolkitTraits& toolkit = toolkitOf(accessible);
  // The role is asked only where it decides something.
  const bool markedTitle = toolkit.keepsMnemonicMarkers && facts.name->find('&') != std::string::npos &&
                           namedByMarkedTitle(role(accessible));
  return shownName(toolkit, *facts.name, markedTitle);
}

std::optional<std::string> AtspiReader::description(AtspiAccessible* accessible) {
  ElementFacts& facts = memo_.factsOf(accessible);
  if (!facts.description) {
    auto text = heldOrAsked(accessible, ATSPI_CACHE_DESCRIPTION, [&](GError** error) {
      return GCharPtr(atspi_accessible_get_description(accessible, error));
    });
    if (text && *text) facts.description = utf8Text(text->get());
  }
  return facts.description;
}

std::optional<StateBits> AtspiReader::states(AtspiAccessible* accessible) {
  ElementFacts& facts = memo_.factsOf(accessible);
  if (!facts.states) {
    auto set = heldOrAsked(accessible, ATSPI_CACHE_STATES, [&](GError**) {
      return GRef<AtspiStateSet>::adopt(atspi_accessible_get_state_set(accessible));
    });
    if (!set || !*set || atspi_state_set_contains(set->get(), ATSPI_STATE_DEFUNCT)) return std::nullopt;
    facts.states = static_cast<StateBits>(set->get()->states);
  }
  return facts.states;
}

std::optional<std::string> AtspiReader::localizedRoleName(AtspiAccessible* accessible) {
  // Most toolkits name a role the same way for every element of an application.
  const std::string* application =
      toolkitOf(accessible).namesEachRoleAlike ? CallGuard::applicationOf(accessible) : nullptr;
  auto ownRole = role(accessible);
  if (application != nullptr && ownRole && !guard_.isHung(accessible)) {
    if (const std::string* known = memo_.roleNameOf(*application, *ownRole)) return *known;
  }
  auto text = guard_.run(accessible, [&](GError** error) {
    return GCharPtr(atspi_accessible_get_localized_role_name(accessible, error));
  });
  if (!text || !*text) return std::nullopt;
  std::string name = utf8Text(text->get());
  if (application != nullptr && ownRole) memo_.rememberRoleName(*application, *ownRole, name);
  return name;
}

std::optional<std::string> AtspiReader::accessibleId(AtspiAccessible* accessible) {
  if (!toolkitOf(accessible).givesAccessibleIds) return std::nullopt;
  auto text =
      guard_.run(accessible, [&](GError** error) { return GCharPtr(atspi_accessible_get_accessible_id(accessible, error)); });
  if (!text || !*text || (*text).get()[0] == '\0') return std::nullopt;
  return utf8Text(text->get());
}

std::optional<std::string> AtspiReader::objectAttribute(AtspiAccessible* accessible, const char* key) {
  auto table = guard_.run(accessible,
                          [&](GError** error) { return GHashTablePtr(atspi_accessible_get_attributes(accessible, error)); });
  if (!table || !*table) return std::nullopt;
  const auto* value = static_cast<const char*>(g_hash_table_lookup(table->get(), key));
  if (value == nullptr) return std::nullopt;
  return utf8Text(value);
}

std::optional<std::int32_t> AtspiReader::processId(AtspiAccessible* accessible) {
  const std::string* busName = CallGuard::applicationOf(accessible);
  if (busName == nullptr) return std::nullopt;
  if (auto known = memo_.processIdOf(*busName)) return known;
  auto pid = guard_.run(accessible, [&](GError** error) { return atspi_accessible_get_process_id(accessible, error); });
  if (!pid || *pid == 0 || *pid > static_cast<guint>(INT32_MAX)) return std::nullopt;
  memo_.rememberProcessId(*busName, static_cast<std::int32_t>(*pid));
  return static_cast<std::int32_t>(*pid);
}

const ToolkitTraits& AtspiReader::toolkitOf(AtspiAccessible* accessible) {
  static const ToolkitTraits unknown;
  const std::string* busName = CallGuard::applicationOf(accessible);
  if (busName == nullptr) return unknown;
  if (auto known = toolkits_.find(*busName); known != toolkits_.end()) return known->second;
  // The application's root answers for the toolkit: its elements need not. A
  // process with no root on the bus only hangs a tree into another
  // application's (WebKitGTK's web process): it names no toolkit.
  AtspiApplication* application = accessible->parent.app;
  if (application == nullptr) return unknown;
  static const ToolkitTraits rootless = traitsOfToolkit("", "");
  if (application->root == nullptr) return rootless;
  AtspiAccessible* root = application->root;
  auto name = guard_.run(root, [&](GError** error) { return GCharPtr(atspi_accessible_get_toolkit_name(root, error)); });
  auto version = guard_.run(root, [&](GError** error) { return GCharPtr(atspi_accessible_get_toolkit_version(root, error)); });
  // An application too slow to say is asked again: no name is a toolkit's too.
  if (guard_.isHung(root)) return unknown;
  auto said = [](const std::optional<GCharPtr>& text) {
    return text && *text ? std::string_view(text->get()) : std::string_view();
  };
  // Applications come and go over a long session: what is forgotten is asked again.
  constexpr std::size_t mostApplicationsRemembered = 1024;
  if (toolkits_.size() >= mostApplicationsRemembered) toolkits_.clear();
  return toolkits_.emplace(*busName, traitsOfToolkit(said(name), said(version))).first->second;
}

AccessibleRef AtspiReader::parent(AtspiAccessible* accessible) {
  ElementFacts& facts = memo_.factsOf(accessible);
  if (facts.parent) return guard_.isHung(accessible) ? AccessibleRef() : *facts.parent;
  auto found = guard_.run(accessible,
                          [&](GError** error) { return AccessibleRef::adopt(atspi_accessible_get_parent(accessible, error)); });
  if (!found) return {};
  facts.parent = *found;
  return *found;
}

std::optional<int> AtspiReader::childCount(AtspiAccessible* accessible) {
  ElementFacts& facts = memo_.factsOf(accessible);
  if (facts.childCount) return guard_.isHung(accessible) ? std::nullopt : facts.childCount;
  auto count = guard_.run(accessible, [&](GError** error) { return atspi_accessible_get_child_count(accessible, error); });
  if (!count || *count < 0) return std::nullopt;
  memo_.factsOf(accessible).childCount = *count;
  return *count;
}

AccessibleRef AtspiReader::childAt(AtspiAccessible* accessible, int index) {
  auto child = guard_.run(accessible, [&](GError** error) {
    return AccessibleRef::adopt(atspi_accessible_get_child_at_index(accessible, index, error));
  });
  return child ? *child : AccessibleRef();
}

namespace {

// Fewer children than were asked for, or as many as the element counts, are all it has.
bool holdsAllChildren(const ElementFacts& facts) {
  return facts.children && (std::ssize(*facts.children) < facts.childrenLimit ||
                            (facts.childCount && std::ssize(*facts.children) == *facts.childCount));
}

}  // namespace

const std::vector<AccessibleRef>* AtspiReader::knownChildren(AtspiAccessible* accessible) {
  const ElementFacts& facts = memo_.factsOf(accessible);
  if (!holdsAllChildren(facts) || guard_.isHung(accessible)) return nullptr;
  return &*facts.children;
}

std::optional<std::vector<AccessibleRef>> AtspiReader::children(AtspiAccessible* accessible, int limit) {
  ElementFacts& facts = memo_.factsOf(accessible);
  if (facts.children && (facts.childrenLimit >= limit || holdsAllChildren(facts))) {
    if (guard_.isHung(accessible)) return std::nullopt;
    const auto known = std::min(facts.children->size(), static_cast<std::size_t>(std::max(limit, 0)));
    return std::vector<AccessibleRef>(facts.children->begin(), facts.children->begin() + static_cast<std::ptrdiff_t>(known));
  }
  std::optional<std::vector<AccessibleRef>> found;
  // A known count of none needs no question.
  if (facts.childCount == 0) {
    if (guard_.isHung(accessible)) return std::nullopt;
    found.emplace();
  } else {
    found = childrenInOneCall(accessible, limit);
  }
  if (!found && !guard_.isHung(accessible) && CallGuard::applicationOf(accessible) != nullptr) {
    found = childrenInOneMessage(accessible, limit);
  }
  if (!found && !guard_.isHung(accessible) && CallGuard::applicationOf(accessible) != nullptr) {
    found = childrenOneByOne(accessible, limit);
  }
  if (found) {
    // A child's parent is known now: the toplevel test of its role asks no more.
    for (const AccessibleRef& child : *found) {
      ElementFacts& childFacts = memo_.factsOf(child.get());
      if (!childFacts.parent) childFacts.parent = AccessibleRef::share(accessible);
    }
    ElementFacts& ownFacts = memo_.factsOf(accessible);
    ownFacts.children = *found;
    ownFacts.childrenLimit = limit;
  }
  return found;
}

bool AtspiReader::holdsAnotherProcessTree(AtspiAccessible* accessible) {
  // Told from what the memo or libatspi holds, with no question and no wait
  // for the application's events. An application's own element has no states
  // either.
  const ElementFacts& facts = memo_.factsOf(accessible);
  std::optional<StateBits> states = facts.states;
  if (!states && heldInLibraryCache(accessible, ATSPI_CACHE_STATES) && accessible->states != nullptr) {
    states = static_cast<StateBits>(accessible->states->states);
  }
  std::optional<AtspiRole> role = facts.role;
  if (!role && heldInLibraryCache(accessible, ATSPI_CACHE_ROLE)) role = accessible->role;
  return states == StateBits{0} && role && *role != ATSPI_ROLE_APPLICATION;
}

std::optional<std::vector<AccessibleRef>> AtspiReader::childrenInOneCall(AtspiAccessible* accessible, int limit) {
  if (holdsAnotherProcessTree(accessible)) return std::nullopt;
  // Asked as the concurrent reads ask it, the question goes out with the
  // application's ping where that is still to be sent: one wait for both.
  if (concurrentReads_ && limit > 0 && hasCollection(accessible)) {
    listChildrenConcurrently(guard_, memo_, {AccessibleRef::share(accessible)}, limit);
    return memo_.factsOf(accessible).children;
  }
  // Without traversal the matches are the children themselves, in their order.
  constexpr gboolean childrenOnly = FALSE;
  return everyMatch(accessible, limit, childrenOnly);
}

std::optional<std::vector<AccessibleRef>> AtspiReader::childrenInOneMessage(AtspiAccessible* accessible, int limit) {
  if (!concurrentReads_ || limit <= 0) return std::nullopt;
  const ChildListPlan plan = childListPlanOf(accessible);
  if (!plan.wholeList) return std::nullopt;
  readChildListsConcurrently(guard_, memo_, {{accessible, limit, plan.confirmFirst}});
  return memo_.factsOf(accessible).children;
}

ChildListPlan AtspiReader::childListPlanOf(AtspiAccessible* accessible) {
  const ToolkitTraits& traits = toolkitOf(accessible);
  if (traits.childListing == ChildListing::ByIndex) return {};
  bool itemView = false;
  if (traits.childListing == ChildListing::WholeListButItemViews) {
    const std::optional<AtspiRole> known = role(accessible);
    // Unknown, it is taken for one: by index is right for every element.
    itemView = !known || isItemView(*known);
  }
  return childListPlan(traits, itemView);
}

std::optional<std::vector<AccessibleRef>> AtspiReader::descendantsInOneCall(AtspiAccessible* root, int limit) {
  constexpr gboolean wholeSubtree = TRUE;
  return everyMatch(root, limit, wholeSubtree);
}

std::optional<std::vector<AccessibleRef>> AtspiReader::everyMatch(AtspiAccessible* accessible, int limit,
                                                                  gboolean traverse) {
  // A count of 0 would mean no limit to the application.
  if (limit <= 0 || !hasInterface(accessible, "Collection")) return std::nullopt;
  auto collection = IfaceRef<AtspiCollection>::adopt(atspi_accessible_get_collection_iface(accessible));
  if (!collection) return std::nullopt;
  const GRef<AtspiMatchRule> rule = anyElement();
  auto matches = guard_.run(accessible, [&](GError** error) {
    return std::make_unique<GObjectArray<AtspiAccessible>>(atspi_collection_get_matches(
        collection.get(), rule.get(), ATSPI_Collection_SORT_ORDER_CANONICAL, limit, traverse, error));
  });
  if (!matches || !*matches) return std::nullopt;
  const GObjectArray<AtspiAccessible>& found = **matches;
  std::vector<AccessibleRef> children;
  children.reserve(found.size());
  for (guint index = 0; index < found.size(); ++index) {
    if (AtspiAccessible* child = found.at(index)) children.push_back(AccessibleRef::share(child));
  }
  return children;
}

void AtspiReader::readSubtreeAhead(AtspiAccessible* root, int mostElements) {
  ElementFacts& rootFacts = memo_.factsOf(root);
  if (!concurrentReads_ || mostElements <= 0 || rootFacts.subtreeReadAhead) return;
  rootFacts.subtreeReadAhead = true;
  // An application that feeds libatspi's cache has its walks read locally but
  // for the children: listing the whole subtree would cost more questions than
  // the walk, which descends only into what is shown.
  if (heldInLibraryCache(root, ATSPI_CACHE_ROLE)) return;
  // One more than wanted tells whether the subtree was listed whole.
  auto descendants = descendantsInOneCall(root, mostElements + 1);
  if (!descendants) return;
  // Some toolkits list the root itself first.
  if (!descendants->empty() && descendants->front().get() == root) descendants->erase(descendants->begin());
  std::vector<AccessibleRef> elements{AccessibleRef::share(root)};
  elements.insert(elements.end(), std::make_move_iterator(descendants->begin()),
                  std::make_move_iterator(descendants->end()));
  readConcurrently(guard_, memo_, elements, RolePart | StatesPart | ChildCountPart);
  if (static_cast<int>(descendants->size()) <= mostElements) rememberChildrenFromCounts(elements);
}

void AtspiReader::rememberChildrenFromCounts(const std::vector<AccessibleRef>& elements) {
  std::vector<int> counts;
  counts.reserve(elements.size());
  for (const AccessibleRef& element : elements) {
    const std::optional<int> count = memo_.factsOf(element.get()).childCount;
    if (!count) return;
    counts.push_back(*count);
  }
  const auto shape = ax::childrenFromCounts(counts);
  if (!shape) return;
  for (std::size_t position = 0; position < elements.size(); ++position) {
    AtspiAccessible* parent = elements[position].get();
    ElementFacts& facts = memo_.factsOf(parent);
    if (facts.children) continue;
    std::vector<AccessibleRef> children;
    children.reserve((*shape)[position].size());
    for (std::size_t child : (*shape)[position]) {
      children.push_back(elements[child]);
      ElementFacts& childFacts = memo_.factsOf(elements[child].get());
      if (!childFacts.parent) childFacts.parent = elements[position];
    }
    facts.children = std::move(children);
    facts.childrenLimit = INT_MAX;
  }
}

std::optional<std::vector<AccessibleRef>> AtspiReader::childrenOneByOne(AtspiAccessible* accessible, int limit) {
  auto count = childCount(accessible);
  if (!count) return std::nullopt;
  std::vector<AccessibleRef> found;
  const int wanted = std::min(*count, limit);
  // One wait for all of them where the application has no Collection to list them.
  if (concurrentReads_ && wanted > 1) {
    readChildrenConcurrently(guard_, memo_, {{accessible, wanted, limit}});
    if (auto& known = memo_.factsOf(accessible).children; known && known->size() == static_cast<std::size_t>(wanted)) {
      return known;
    }
  }
  found.reserve(static_cast<std::size_t>(wanted));
  for (int index = 0; index < wanted; ++index) {
    AccessibleRef child = childAt(accessible, index);
    if (!child) {
      // A child that cannot be read: the application went away or hung.
      if (guard_.isHung(accessible) || CallGuard::applicationOf(accessible) == nullptr) return std::nullopt;
      continue;
    }
    found.push_back(std::move(child));
  }
  return found;
}

AccessibleRef AtspiReader::firstRelationTarget(AtspiAccessible* accessible, AtspiRelationType relation) {
  auto relations = guard_.run(accessible, [&](GError** error) {
    return std::make_unique<GObjectArray<AtspiRelation>>(atspi_accessible_get_relation_set(accessible, error));
  });
  if (!relations || !*relations) return {};
  const GObjectArray<AtspiRelation>& set = **relations;
  for (guint index = 0; index < set.size(); ++index) {
    AtspiRelation* candidate = set.at(index);
    if (candidate == nullptr || atspi_relation_get_relation_type(candidate) != relation) continue;
    if (atspi_relation_get_n_targets(candidate) <= 0) continue;
    return AccessibleRef::adopt(atspi_relation_get_target(candidate, 0));
  }
  return {};
}

std::optional<PixelRect> AtspiReader::screenExtents(AtspiAccessible* accessible) {
  auto extents = toolkitExtents(accessible);
  if (!extents) return extents;
  // On Wayland every toolkit measures from its window's surface.
  if (placement_ != nullptr) return placement_->toScreen(accessible, *extents);
  if (origin_ == nullptr) return extents;
  if (auto mapping = origin_->mappingOf(accessible)) return mapping->toScreen(*extents);
  return extents;
}

std::optional<PixelRect> AtspiReader::toolkitExtents(AtspiAccessible* accessible) {
  if (!hasInterface(accessible, "Component")) return std::nullopt;
  if (const auto& known = memo_.factsOf(accessible).extents) return guard_.isHung(accessible) ? std::nullopt : *known;
  auto component = IfaceRef<AtspiComponent>::adopt(atspi_accessible_get_component_iface(accessible));
  if (!component) return std::nullopt;
  auto rect = guard_.run(accessible, [&](GError** error) {
    return GBoxPtr<AtspiRect>(atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_SCREEN, error));
  });
  if (!rect || !*rect) return std::nullopt;
  const AtspiRect& extents = **rect;
  std::optional<PixelRect>& known = memo_.factsOf(accessible).extents.emplace();
  // Toolkits report a widget that is not on screen at the most negative position.
  if (extents.x != INT_MIN && extents.y != INT_MIN) known = PixelRect{extents.x, extents.y, extents.width, extents.height};
  return known;
}

std::optional<std::pair<int, int>> AtspiReader::pointForToolkit(AtspiAccessible* accessible, int x, int y) {
  if (placement_ != nullptr) {
    auto onSurface = placement_->toSurface(accessible, x, y);
    if (!onSurface) return std::nullopt;
    std::tie(x, y) = *onSurface;
  }
  if (origin_ != nullptr) {
    if (auto mapping = origin_->mappingOf(accessible)) {
      const PixelPoint inToolkit = mapping->toToolkit(x, y);
      x = inToolkit.x;
      y = inToolkit.y;
    }
  }
  return std::pair{x, y};
}

AccessibleRef AtspiReader::accessibleAtPoint(AtspiAccessible* accessible, int x, int y) {
  const auto point = pointForToolkit(accessible, x, y);
  if (!point || !hasInterface(accessible, "Component")) return {};
  auto component = IfaceRef<AtspiComponent>::adopt(atspi_accessible_get_component_iface(accessible));
  if (!component) return {};
  const auto& hits = memo_.factsOf(accessible).hits;
  if (auto known = hits.find(*point); known != hits.end()) {
    if (guard_.isHung(accessible)) return {};
    return known->second;
  }
  auto hit = guard_.run(accessible, [&](GError** error) {
    return AccessibleRef::adopt(atspi_component_get_accessible_at_point(component.get(), point->first, point->second,
                                                                        ATSPI_COORD_TYPE_SCREEN, error));
  });
  return hit ? *hit : AccessibleRef();
}

void AtspiReader::prefetchChildren(const std::vector<AccessibleRef>& parents, int limit, ReadParts childParts,
                                   int grandchildLimit) {
  if (!concurrentReads_ || parents.empty()) return;
  // Those known to be childless or whose children are known ask nothing (a
  // sheet's cells); of the rest, which list their children in one call is
  // asked first, all at once.
  std::vector<AccessibleRef> unknown;
  for (const AccessibleRef& parent : parents) {
    const ElementFacts& facts = memo_.factsOf(parent.get());
    if (!facts.children && facts.childCount != 0) unknown.push_back(parent);
  }
  // The role tells the toolkits that list an item view's children otherwise
  // which way to ask them.
  readConcurrently(guard_, memo_, unknown, InterfacesPart | RolePart);
  std::vector<AccessibleRef> listedInOneCall;
  std::vector<AccessibleRef> listedOneByOne;
  for (const AccessibleRef& parent : unknown) {
    if (!hasCollection(parent.get())) {
      listedOneByOne.push_back(parent);
    } else if (childrenListableAhead(parent.get())) {
      listedInOneCall.push_back(parent);
    }
  }
  listChildrenConcurrently(guard_, memo_, listedInOneCall, limit);
  std::vector<ChildListWanted> wholeLists;
  std::vector<AccessibleRef> confirmed;
  for (const AccessibleRef& parent : listedOneByOne) {
    if (const ChildListPlan plan = childListPlanOf(parent.get()); plan.wholeList) {
      wholeLists.push_back({parent.get(), limit, plan.confirmFirst});
      if (plan.confirmFirst) confirmed.push_back(parent);
    }
  }
  // A level of a walk holds many leaves: their counts, all asked at once, spare
  // them the list and its confirmation, and a parent of one or two children
  // the confirmation. Where the walk goes on below the children, one or two
  // parents are asked their lists at once.
  constexpr std::size_t fewestCountedFirst = 3;
  if (grandchildLimit == 0 || confirmed.size() >= fewestCountedFirst) {
    readConcurrently(guard_, memo_, confirmed, ChildCountPart);
  }
  readChildListsConcurrently(guard_, memo_, wholeLists);
  std::erase_if(listedOneByOne, [&](const AccessibleRef& parent) { return memo_.factsOf(parent.get()).children.has_value(); });
  readConcurrently(guard_, memo_, listedOneByOne, ChildCountPart);
  std::vector<ChildrenWanted> wanted;
  std::vector<AccessibleRef> askedByIndex;
  for (const AccessibleRef& parent : listedOneByOne) {
    const int count = std::min(memo_.factsOf(parent.get()).childCount.value_or(0), limit);
    if (count > 0) {
      wanted.push_back({parent.get(), count, limit});
      askedByIndex.push_back(parent);
    }
  }
  // The children known by now (listed, or known before) are read while the
  // rest are asked by index, and those after.
  std::vector<AccessibleRef> known = knownChildrenOf(parents);
  readChildrenConcurrently(guard_, memo_, wanted, {known, childParts, grandchildListsOf(known, grandchildLimit)});
  std::vector<AccessibleRef> byIndex = knownChildrenOf(askedByIndex);
  readConcurrently(guard_, memo_, byIndex, childParts, grandchildListsOf(byIndex, grandchildLimit));
}

std::vector<AccessibleRef> AtspiReader::knownChildrenOf(const std::vector<AccessibleRef>& parents) {
  std::vector<AccessibleRef> children;
  for (const AccessibleRef& parent : parents) {
    if (const auto& known = memo_.factsOf(parent.get()).children) children.insert(children.end(), known->begin(), known->end());
  }
  return children;
}

std::vector<ChildListWanted> AtspiReader::grandchildListsOf(const std::vector<AccessibleRef>& children, int limit) {
  std::vector<ChildListWanted> lists;
  if (limit <= 0) return lists;
  // That toolkit's plan needs no role: the lists are asked without a wait first.
  for (const AccessibleRef& child : children) {
    if (toolkitOf(child.get()).childListing == ChildListing::WholeListWhenFirstIsByIndex &&
        !memo_.factsOf(child.get()).children) {
      lists.push_back({child.get(), limit, childListPlanOf(child.get()).confirmFirst});
    }
  }
  return lists;
}

bool AtspiReader::childrenListableAhead(AtspiAccessible* parent) {
  if (!memo_.factsOf(parent).states && !heldInLibraryCache(parent, ATSPI_CACHE_STATES)) return false;
  auto known = states(parent);
  return known && *known != 0 && !hasState(*known, ATSPI_STATE_MANAGES_DESCENDANTS);
}

void AtspiReader::dropLibraryCache(AtspiAccessible* accessible) {
  const guint fixed = accessible->cached_properties & (ATSPI_CACHE_ROLE | ATSPI_CACHE_INTERFACES);
  atspi_accessible_clear_cache(accessible);
  accessible->cached_properties |= fixed;
}

void AtspiReader::prefetch(const std::vector<AccessibleRef>& accessibles, ReadParts parts) {
  if (concurrentReads_) readConcurrently(guard_, memo_, accessibles, parts);
}

void AtspiReader::prefetchWithHit(AtspiAccessible* accessible, ReadParts parts, int x, int y,
                                  const std::vector<PartsOf>& alongside, int childLimit) {
  if (!concurrentReads_) return;
  // Where the toolkit lists the children in one message confirmed by the
  // first (GTK 4), the list comes in the same wait, with no count first.
  std::vector<ChildListWanted> lists;
  if (const ChildListPlan plan = childListPlanOf(accessible);
      childLimit > 0 && plan.confirmFirst && !memo_.factsOf(accessible).children) {
    lists.push_back({accessible, childLimit, plan.confirmFirst});
  }
  readWithHitConcurrently(guard_, memo_, accessible, parts, pointForToolkit(accessible, x, y), alongside, lists);
}

void AtspiReader::prefetchCells(AtspiAccessible* table, const std::vector<CellPosition>& cells) {
  if (concurrentReads_ && hasTable(table)) readCellsConcurrently(guard_, memo_, table, cells);
}

bool AtspiReader::hasInterface(AtspiAccessible* accessible, const char* name) {
  using InterfaceTest = bool (*)(AtspiAccessible*);
  static const std::pair<std::string_view, InterfaceTest> tests[] = {
      {"Collection", [](AtspiAccessible* a) { return released(atspi_accessible_get_collection_iface(a)); }},
      {"Component", [](AtspiAccessible* a) { return released(atspi_accessible_get_component_iface(a)); }},
      {"Table", [](AtspiAccessible* a) { return released(atspi_accessible_get_table_iface(a)); }},
      {"Text", [](AtspiAccessible* a) { return released(atspi_accessible_get_text_iface(a)); }},
      {"Value", [](AtspiAccessible* a) { return released(atspi_accessible_get_value_iface(a)); }}};
  const auto* entry = std::find_if(std::begin(tests), std::end(tests), [&](const auto& test) { return test.first == name; });
  if (entry == std::end(tests)) return false;
  const InterfaceTest test = entry->second;
  // libatspi keeps an element's interface list once it knows it (it never
  // changes): one question fetches it. Asking for the whole list instead would
  // ask once per interface while the application does not answer.
  if ((accessible->cached_properties & ATSPI_CACHE_INTERFACES) != 0) {
    return CallGuard::applicationOf(accessible) != nullptr && test(accessible);
  }
  const ElementFacts& facts = memo_.factsOf(accessible);
  // An answer through an interface proves the element has it.
  if ((entry->first == "Component" && facts.extents) || (entry->first == "Text" && facts.text)) {
    return CallGuard::applicationOf(accessible) != nullptr;
  }
  if (const auto& known = facts.interfaces) {
    return CallGuard::applicationOf(accessible) != nullptr && (*known & interfaceBitOf(name)) != 0;
  }
  return guard_.run(accessible, [&](GError**) { return test(accessible); }).value_or(false);
}

bool AtspiReader::hasCollection(AtspiAccessible* accessible) { return hasInterface(accessible, "Collection"); }
bool AtspiReader::hasComponent(AtspiAccessible* accessible) { return hasInterface(accessible, "Component"); }
bool AtspiReader::hasText(AtspiAccessible* accessible) { return hasInterface(accessible, "Text"); }
bool AtspiReader::hasValue(AtspiAccessible* accessible) { return hasInterface(accessible, "Value"); }
bool AtspiReader::hasTable(AtspiAccessible* accessible) { return hasInterface(accessible, "Table"); }

// Cuts a text to at most `characters` characters, on a character boundary.
std::string firstCharacters(std::string text, int characters) {
  const glong length = g_utf8_strlen(text.c_str(), static_cast<gssize>(text.size()));
  if (length <= characters) return text;
  const gchar* end = g_utf8_offset_to_pointer(text.c_str(), characters);
  text.resize(static_cast<std::size_t>(end - text.c_str()));
  return text;
}

std::optional<std::string> AtspiReader::text(AtspiAccessible* accessible) {
  if (!hasText(accessible)) return std::nullopt;
  if (const auto& known = memo_.factsOf(accessible).text) {
    if (guard_.isHung(accessible)) return std::nullopt;
    return firstCharacters(*known, maxTextCharacters);
  }
  auto textIface = IfaceRef<AtspiText>::adopt(atspi_accessible_get_text_iface(accessible));
  if (!textIface) return std::nullopt;
  // One round trip: an end offset of -1 means the end of the text.
  constexpr gint wholeText = -1;
  auto content = guard_.run(accessible, [&](GError** error) {
    return GCharPtr(atspi_text_get_text(textIface.get(), 0, wholeText, error));
  });
  if (!content || !*content) return std::nullopt;
  return firstCharacters(utf8Text(content->get()), maxTextCharacters);
}

std::optional<std::string> AtspiReader::selectedText(AtspiAccessible* accessible) {
  if (!hasText(accessible)) return std::nullopt;
  auto textIface = IfaceRef<AtspiText>::adopt(atspi_accessible_get_text_iface(accessible));
  if (!textIface) return std::nullopt;
  // Without a selection the first selection reads as an empty range.
  std::optional<std::pair<int, int>> range = memo_.factsOf(accessible).selection;
  if (range && guard_.isHung(accessible)) return std::nullopt;
  if (!range) {
    auto asked = guard_.run(accessible, [&](GError** error) {
      return GBoxPtr<AtspiRange>(atspi_text_get_selection(textIface.get(), 0, error));
    });
    if (!asked || !*asked) return std::nullopt;
    range = std::pair{(*asked)->start_offset, (*asked)->end_offset};
  }
  const int start = std::max(0, range->first);
  const int end = std::min(range->second, start + maxTextCharacters);
  if (end <= start) return std::string();
  auto content = guard_.run(accessible, [&](GError** error) {
    return GCharPtr(atspi_text_get_text(textIface.get(), start, end, error));
  });
  if (!content || !*content) return std::nullopt;
  return utf8Text(content->get());
}

std::optional<double> AtspiReader::currentValue(AtspiAccessible* accessible) {
  if (!hasValue(accessible)) return std::nullopt;
  auto valueIface = IfaceRef<AtspiValue>::adopt(atspi_accessible_get_value_iface(accessible));
  if (!valueIface) return std::nullopt;
  return guard_.run(accessible, [&](GError** error) { return atspi_value_get_current_value(valueIface.get(), error); });
}

std::optional<int> AtspiReader::tableRowCount(AtspiAccessible* table) {
  if (!hasTable(table)) return std::nullopt;
  auto tableIface = IfaceRef<AtspiTable>::adopt(atspi_accessible_get_table_iface(table));
  if (!tableIface) return std::nullopt;
  auto rows = guard_.run(table, [&](GError** error) { return atspi_table_get_n_rows(tableIface.get(), error); });
  if (!rows || *rows < 0) return std::nullopt;
  return *rows;
}

std::optional<int> AtspiReader::tableColumnCount(AtspiAccessible* table) {
  if (!hasTable(table)) return std::nullopt;
  auto tableIface = IfaceRef<AtspiTable>::adopt(atspi_accessible_get_table_iface(table));
  if (!tableIface) return std::nullopt;
  auto columns = guard_.run(table, [&](GError** error) { return atspi_table_get_n_columns(tableIface.get(), error); });
  if (!columns || *columns < 0) return std::nullopt;
  return *columns;
}

AccessibleRef AtspiReader::tableCell(AtspiAccessible* table, int row, int column) {
  // A row's cells are asked for by the walk that finds the table and again by
  // the reads of its rows.
  auto& known = memo_.factsOf(table).cells;
  if (auto found = known.find({row, column}); found != known.end()) return found->second;
  if (!hasTable(table)) return {};
  auto tableIface = IfaceRef<AtspiTable>::adopt(atspi_accessible_get_table_iface(table));
  if (!tableIface) return {};
  auto cell = guard_.run(table, [&](GError** error) {
    return AccessibleRef::adopt(atspi_table_get_accessible_at(tableIface.get(), row, column, error));
  });
  if (!cell || !*cell) return {};
  memo_.factsOf(table).cells.emplace(std::pair{row, column}, *cell);
  return *cell;
}

std::optional<int> AtspiReader::indexInParent(AtspiAccessible* accessible) {
  auto index = guard_.run(accessible, [&](GError** error) { return atspi_accessible_get_index_in_parent(accessible, error); });
  if (!index) return std::nullopt;
  return *index;
}

std::optional<int> AtspiReader::tableRowAtIndex(AtspiAccessible* table, int index) {
  if (!hasTable(table)) return std::nullopt;
  auto tableIface = IfaceRef<AtspiTable>::adopt(atspi_accessible_get_table_iface(table));
  if (!tableIface) return std::nullopt;
  auto row = guard_.run(table, [&](GError** error) { return atspi_table_get_row_at_index(tableIface.get(), index, error); });
  if (!row || *row < 0) return std::nullopt;
  return *row;
}

std::optional<int> AtspiReader::tableColumnAtIndex(AtspiAccessible* table, int index) {
  if (!hasTable(table)) return std::nullopt;
  auto tableIface = IfaceRef<AtspiTable>::adopt(atspi_accessible_get_table_iface(table));
  if (!tableIface) return std::nullopt;
  auto column =
      guard_.run(table, [&](GError** error) { return atspi_table_get_column_at_index(tableIface.get(), index, error); });
  if (!column || *column < 0) return std::nullopt;
  return *column;
}

AccessibleRef AtspiReader::firstDescendantWithState(AtspiAccessible* root, AtspiStateType state) {
  if (!hasInterface(root, "Collection")) return {};
  auto collection = IfaceRef<AtspiCollection>::adopt(atspi_accessible_get_collection_iface(root));
  if (!collection) return {};
  auto wanted = GRef<AtspiStateSet>::adopt(atspi_state_set_new(nullptr));
  atspi_state_set_add(wanted.get(), state);
  auto rule = GRef<AtspiMatchRule>::adopt(atspi_match_rule_new(wanted.get(), ATSPI_Collection_MATCH_ALL, nullptr,
                                                               ATSPI_Collection_MATCH_ALL, nullptr,
                                                               ATSPI_Collection_MATCH_ALL, nullptr,
                                                               ATSPI_Collection_MATCH_ALL, FALSE));
  constexpr gint firstMatchOnly = 1;
  auto matches = guard_.run(root, [&](GError** error) {
    return std::make_unique<GObjectArray<AtspiAccessible>>(atspi_collection_get_matches(
        collection.get(), rule.get(), ATSPI_Collection_SORT_ORDER_CANONICAL, firstMatchOnly, TRUE, error));
  });
  if (!matches || !*matches || (*matches)->size() == 0) return {};
  return AccessibleRef::share((*matches)->at(0));
}

}  // namespace morvel::linux_ax
