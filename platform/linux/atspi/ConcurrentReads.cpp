#include "platform/linux/atspi/ConcurrentReads.h"

#include "platform/linux/atspi/AtspiReader.h"
#include "platform/linux/atspi/ElementNodes.h"
#include "platform/linux/DBusHandles.h"
#include "platform/linux/atspi/LibraryCache.h"

#include <dbus/dbus.h>

#include <algorithm>
#include <climits>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string_view>

// libatspi's own way from a reply's (bus name, path) to its accessible: the one
// object per path that its event handling keeps current. Exported, though not
// in the public headers.
extern "C" AtspiAccessible* _atspi_ref_accessible(const char* app, const char* path);

namespace morvel::linux_ax {
namespace {

constexpr const char* accessibleInterface = "org.a11y.atspi.Accessible";
constexpr const char* componentInterface = "org.a11y.atspi.Component";
constexpr const char* textInterface = "org.a11y.atspi.Text";
constexpr const char* tableInterface = "org.a11y.atspi.Table";
constexpr const char* collectionInterface = "org.a11y.atspi.Collection";
// Questions in flight at once: enough to keep an application busy, few enough
// that one batch never floods the bus's queues.
constexpr std::size_t mostInFlight = 512;

// One question on its way: a part of an element, a cell of a table, a child of
// an element by its index, the list of an element's children, or the element's
// hit test at a point.
struct Question {
  AccessibleRef accessible;
  ReadPart part;
  std::optional<CellPosition> cell;
  std::optional<int> childIndex;
  PendingCallPtr pending;
  bool childList = false;
  std::optional<std::pair<int, int>> hitPoint;
};

MessagePtr propertyQuestion(const char* busName, const char* path, const char* property) {
  MessagePtr message(dbus_message_new_method_call(busName, path, DBUS_INTERFACE_PROPERTIES, "Get"));
  if (message && dbus_message_append_args(message.get(), DBUS_TYPE_STRING, &accessibleInterface, DBUS_TYPE_STRING,
                                          &property, DBUS_TYPE_INVALID)) {
    return message;
  }
  return {};
}

MessagePtr questionFor(AtspiAccessible* accessible, ReadPart part) {
  const char* busName = accessible->parent.app->bus_name;
  const char* path = accessible->parent.path;
  switch (part) {
    case RolePart:
      return MessagePtr(dbus_message_new_method_call(busName, path, accessibleInterface, "GetRole"));
    case StatesPart:
      return MessagePtr(dbus_message_new_method_call(busName, path, accessibleInterface, "GetState"));
    case InterfacesPart:
      return MessagePtr(dbus_message_new_method_call(busName, path, accessibleInterface, "GetInterfaces"));
    case ChildCountPart:
      return propertyQuestion(busName, path, "ChildCount");
    case NamePart:
      return propertyQuestion(busName, path, "Name");
    case DescriptionPart:
      return propertyQuestion(busName, path, "Description");
    case ParentPart:
      return propertyQuestion(busName, path, "Parent");
    case ExtentsPart: {
      MessagePtr message(dbus_message_new_method_call(busName, path, componentInterface, "GetExtents"));
      const dbus_uint32_t coordinates = ATSPI_COORD_TYPE_SCREEN;
      if (message && dbus_message_append_args(message.get(), DBUS_TYPE_UINT32, &coordinates, DBUS_TYPE_INVALID)) {
        return message;
      }
      return {};
    }
    case SelectionPart: {
      MessagePtr message(dbus_message_new_method_call(busName, path, textInterface, "GetSelection"));
      const dbus_int32_t first = 0;
      if (message && dbus_message_append_args(message.get(), DBUS_TYPE_INT32, &first, DBUS_TYPE_INVALID)) return message;
      return {};
    }
    case TextPart: {
      MessagePtr message(dbus_message_new_method_call(busName, path, textInterface, "GetText"));
      // An end offset of -1 means the end of the text.
      const dbus_int32_t start = 0;
      const dbus_int32_t end = -1;
      if (message &&
          dbus_message_append_args(message.get(), DBUS_TYPE_INT32, &start, DBUS_TYPE_INT32, &end, DBUS_TYPE_INVALID)) {
        return message;
      }
      return {};
    }
  }
  return {};
}

MessagePtr childQuestion(AtspiAccessible* parent, int index) {
  MessagePtr message(
      dbus_message_new_method_call(parent->parent.app->bus_name, parent->parent.path, accessibleInterface, "GetChildAtIndex"));
  const dbus_int32_t wanted = index;
  if (message && dbus_message_append_args(message.get(), DBUS_TYPE_INT32, &wanted, DBUS_TYPE_INVALID)) return message;
  return {};
}

MessagePtr wholeChildListQuestion(AtspiAccessible* parent) {
  return MessagePtr(
      dbus_message_new_method_call(parent->parent.app->bus_name, parent->parent.path, accessibleInterface, "GetChildren"));
}

MessagePtr hitQuestion(AtspiAccessible* accessible, std::pair<int, int> point) {
  MessagePtr message(dbus_message_new_method_call(accessible->parent.app->bus_name, accessible->parent.path,
                                                  componentInterface, "GetAccessibleAtPoint"));
  const dbus_int32_t x = point.first;
  const dbus_int32_t y = point.second;
  const dbus_uint32_t coordinates = ATSPI_COORD_TYPE_SCREEN;
  if (message && dbus_message_append_args(message.get(), DBUS_TYPE_INT32, &x, DBUS_TYPE_INT32, &y, DBUS_TYPE_UINT32,
                                          &coordinates, DBUS_TYPE_INVALID)) {
    return message;
  }
  return {};
}

MessagePtr cellQuestion(AtspiAccessible* table, CellPosition cell) {
  MessagePtr message(
      dbus_message_new_method_call(table->parent.app->bus_name, table->parent.path, tableInterface, "GetAccessibleAt"));
  const dbus_int32_t row = cell.row;
  const dbus_int32_t column = cell.column;
  if (message &&
      dbus_message_append_args(message.get(), DBUS_TYPE_INT32, &row, DBUS_TYPE_INT32, &column, DBUS_TYPE_INVALID)) {
    return message;
  }
  return {};
}

// The rule every element matches, as the Collection interface takes it: no
// states, attributes, roles or interfaces asked for, each "match all".
bool appendAnyElementRule(DBusMessageIter& iter) {
  const dbus_int32_t matchAll = ATSPI_Collection_MATCH_ALL;
  const dbus_int32_t none = 0;
  const dbus_bool_t invert = FALSE;
  constexpr int stateWords = 2;
  constexpr int roleWords = 4;
  DBusMessageIter rule = DBUS_MESSAGE_ITER_INIT_CLOSED;
  DBusMessageIter list = DBUS_MESSAGE_ITER_INIT_CLOSED;
  if (!dbus_message_iter_open_container(&iter, DBUS_TYPE_STRUCT, nullptr, &rule)) return false;
  bool appended = dbus_message_iter_open_container(&rule, DBUS_TYPE_ARRAY, "i", &list);
  for (int word = 0; appended && word < stateWords; ++word) appended = dbus_message_iter_append_basic(&list, DBUS_TYPE_INT32, &none);
  appended = appended && dbus_message_iter_close_container(&rule, &list) &&
             dbus_message_iter_append_basic(&rule, DBUS_TYPE_INT32, &matchAll) &&
             dbus_message_iter_open_container(&rule, DBUS_TYPE_ARRAY, "{ss}", &list) &&
             dbus_message_iter_close_container(&rule, &list) &&
             dbus_message_iter_append_basic(&rule, DBUS_TYPE_INT32, &matchAll) &&
             dbus_message_iter_open_container(&rule, DBUS_TYPE_ARRAY, "i", &list);
  for (int word = 0; appended && word < roleWords; ++word) appended = dbus_message_iter_append_basic(&list, DBUS_TYPE_INT32, &none);
  appended = appended && dbus_message_iter_close_container(&rule, &list) &&
             dbus_message_iter_append_basic(&rule, DBUS_TYPE_INT32, &matchAll) &&
             dbus_message_iter_open_container(&rule, DBUS_TYPE_ARRAY, "s", &list) &&
             dbus_message_iter_close_container(&rule, &list) &&
             dbus_message_iter_append_basic(&rule, DBUS_TYPE_INT32, &matchAll) &&
             dbus_message_iter_append_basic(&rule, DBUS_TYPE_BOOLEAN, &invert);
  if (!appended) {
    dbus_message_iter_abandon_container_if_open(&rule, &list);
    dbus_message_iter_abandon_container_if_open(&iter, &rule);
    return false;
  }
  return dbus_message_iter_close_container(&iter, &rule);
}

// The first `limit` children of `parent` in their order, through the Collection
// interface: the matches of a rule every element matches, without traversal.
MessagePtr childListQuestion(AtspiAccessible* parent, int limit) {
  MessagePtr message(
      dbus_message_new_method_call(parent->parent.app->bus_name, parent->parent.path, collectionInterface, "GetMatches"));
  if (!message) return {};
  DBusMessageIter iter;
  dbus_message_iter_init_append(message.get(), &iter);
  const dbus_uint32_t order = ATSPI_Collection_SORT_ORDER_CANONICAL;
  const dbus_int32_t count = limit;
  const dbus_bool_t childrenOnly = FALSE;
  if (appendAnyElementRule(iter) && dbus_message_iter_append_basic(&iter, DBUS_TYPE_UINT32, &order) &&
      dbus_message_iter_append_basic(&iter, DBUS_TYPE_INT32, &count) &&
      dbus_message_iter_append_basic(&iter, DBUS_TYPE_BOOLEAN, &childrenOnly)) {
    return message;
  }
  return {};
}

// The element's interfaces are known, and `interface` is not among them (GTK
// 4's stack pages have no Component, most elements no Text): what would be
// asked of it needs no question.
bool knownWithout(const ElementFacts& facts, AtspiAccessible* accessible, InterfaceBit interface,
                  gpointer (*lookUp)(AtspiAccessible*)) {
  if (facts.interfaces) return (*facts.interfaces & interface) == 0;
  if ((accessible->cached_properties & ATSPI_CACHE_INTERFACES) == 0) return false;
  // Answered from libatspi's list of the element's interfaces, with no question.
  gpointer held = lookUp(accessible);
  if (held == nullptr) return true;
  g_object_unref(held);
  return false;
}

gpointer componentOf(AtspiAccessible* accessible) { return atspi_accessible_get_component_iface(accessible); }
gpointer textOf(AtspiAccessible* accessible) { return atspi_accessible_get_text_iface(accessible); }

}  // namespace

bool knownWithoutAsking(const ElementFacts& facts, AtspiAccessible* accessible, ReadPart part) {
  switch (part) {
    case RolePart:
      return facts.role.has_value() || heldInLibraryCache(accessible, ATSPI_CACHE_ROLE);
    case StatesPart:
      return facts.states.has_value() || heldInLibraryCache(accessible, ATSPI_CACHE_STATES);
    case ChildCountPart:
      return facts.childCount.has_value();
    case InterfacesPart:
      return facts.interfaces.has_value() || (accessible->cached_properties & ATSPI_CACHE_INTERFACES) != 0;
    case NamePart:
      return facts.name.has_value() || heldInLibraryCache(accessible, ATSPI_CACHE_NAME);
    case DescriptionPart:
      return facts.description.has_value() || heldInLibraryCache(accessible, ATSPI_CACHE_DESCRIPTION);
    case ParentPart:
      return facts.parent.has_value();
    // An element without the interface answers with an error, and the single
    // read, which tests the interface first, never asks.
    case ExtentsPart:
      return facts.extents.has_value() || knownWithout(facts, accessible, ComponentInterface, componentOf);
    case TextPart:
      return facts.text.has_value() || knownWithout(facts, accessible, TextInterface, textOf);
    case SelectionPart:
      return facts.selection.has_value() || knownWithout(facts, accessible, TextInterface, textOf);
  }
  return true;
}

namespace {

// Steps into a variant when the answer is a property's value.
bool enterValue(DBusMessageIter& iter, DBusMessageIter& inner) {
  if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_VARIANT) return false;
  dbus_message_iter_recurse(&iter, &inner);
  return true;
}

// Keeps a property's value (`value` at its variant), as the single read would have.
void keepProperty(AtspiAccessible* accessible, ElementFacts& facts, std::string_view property, DBusMessageIter& value) {
  DBusMessageIter inner;
  if (!enterValue(value, inner)) return;
  if (property == "ChildCount") {
    if (dbus_message_iter_get_arg_type(&inner) != DBUS_TYPE_INT32) return;
    dbus_int32_t count = 0;
    dbus_message_iter_get_basic(&inner, &count);
    if (count >= 0) facts.childCount = count;
    return;
  }
  if (property != "Name" && property != "Description") return;
  if (dbus_message_iter_get_arg_type(&inner) != DBUS_TYPE_STRING) return;
  const char* content = nullptr;
  dbus_message_iter_get_basic(&inner, &content);
  const bool isName = property == "Name";
  (isName ? facts.name : facts.description) = utf8Text(content);
  keepTextInLibraryCache(accessible, isName ? ATSPI_CACHE_NAME : ATSPI_CACHE_DESCRIPTION, content);
}

AccessibleRef accessibleAt(DBusMessageIter& iter);

// Keeps one answer in the memo, and in libatspi's cache, as the single read
// would have.
void keep(AtspiAccessible* accessible, ElementFacts& facts, ReadPart part, DBusMessage* reply) {
  DBusMessageIter iter;
  if (!dbus_message_iter_init(reply, &iter)) return;
  switch (part) {
    case RolePart: {
      if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_UINT32) return;
      dbus_uint32_t role = 0;
      dbus_message_iter_get_basic(&iter, &role);
      facts.role = static_cast<AtspiRole>(role);
      keepRoleInLibraryCache(accessible, *facts.role);
      return;
    }
    case StatesPart: {
      if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_ARRAY) return;
      DBusMessageIter words;
      dbus_message_iter_recurse(&iter, &words);
      StateBits states = 0;
      for (unsigned shift = 0; shift < 64 && dbus_message_iter_get_arg_type(&words) == DBUS_TYPE_UINT32; shift += 32) {
        dbus_uint32_t word = 0;
        dbus_message_iter_get_basic(&words, &word);
        states |= StateBits{word} << shift;
        dbus_message_iter_next(&words);
      }
      // A defunct element is left to the single read, which tells it apart.
      if (hasState(states, ATSPI_STATE_DEFUNCT)) return;
      facts.states = states;
      keepStatesInLibraryCache(accessible, states);
      return;
    }
    case ChildCountPart:
      keepProperty(accessible, facts, "ChildCount", iter);
      return;
    case NamePart:
      keepProperty(accessible, facts, "Name", iter);
      return;
    case DescriptionPart:
      keepProperty(accessible, facts, "Description", iter);
      return;
    case ParentPart: {
      // A null reference: the element has no parent.
      DBusMessageIter inner;
      if (enterValue(iter, inner) && dbus_message_iter_get_arg_type(&inner) == DBUS_TYPE_STRUCT) {
        facts.parent = accessibleAt(inner);
      }
      return;
    }
    case InterfacesPart: {
      if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_ARRAY) return;
      DBusMessageIter names;
      dbus_message_iter_recurse(&iter, &names);
      InterfaceBits interfaces = 0;
      while (dbus_message_iter_get_arg_type(&names) == DBUS_TYPE_STRING) {
        const char* name = nullptr;
        dbus_message_iter_get_basic(&names, &name);
        if (name != nullptr) interfaces |= interfaceBitOf(name);
        dbus_message_iter_next(&names);
      }
      facts.interfaces = interfaces;
      keepInterfacesInLibraryCache(accessible, reply);
      return;
    }
    case SelectionPart: {
      std::array<dbus_int32_t, 2> offsets{};
      for (dbus_int32_t& offset : offsets) {
        if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_INT32) return;
        dbus_message_iter_get_basic(&iter, &offset);
        dbus_message_iter_next(&iter);
      }
      facts.selection = std::pair{offsets[0], offsets[1]};
      return;
    }
    case TextPart: {
      if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_STRING) return;
      const char* content = nullptr;
      dbus_message_iter_get_basic(&iter, &content);
      facts.text = utf8Text(content);
      return;
    }
    case ExtentsPart: {
      if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_STRUCT) return;
      DBusMessageIter fields;
      dbus_message_iter_recurse(&iter, &fields);
      std::array<dbus_int32_t, 4> box{};
      for (dbus_int32_t& field : box) {
        if (dbus_message_iter_get_arg_type(&fields) != DBUS_TYPE_INT32) return;
        dbus_message_iter_get_basic(&fields, &field);
        dbus_message_iter_next(&fields);
      }
      // Toolkits report a widget that is not on screen at the most negative position.
      if (box[0] == INT_MIN || box[1] == INT_MIN) {
        facts.extents.emplace();
      } else {
        facts.extents = PixelRect{box[0], box[1], box[2], box[3]};
      }
      return;
    }
  }
}

// The element a reference names by (bus name, path); none for the null path.
AccessibleRef accessibleAt(DBusMessageIter& iter) {
  if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_STRUCT) return {};
  DBusMessageIter fields;
  dbus_message_iter_recurse(&iter, &fields);
  const char* busName = nullptr;
  const char* path = nullptr;
  if (dbus_message_iter_get_arg_type(&fields) != DBUS_TYPE_STRING) return {};
  dbus_message_iter_get_basic(&fields, &busName);
  dbus_message_iter_next(&fields);
  if (dbus_message_iter_get_arg_type(&fields) != DBUS_TYPE_OBJECT_PATH) return {};
  dbus_message_iter_get_basic(&fields, &path);
  if (busName == nullptr || path == nullptr || std::string_view(path) == ATSPI_DBUS_PATH_NULL) return {};
  return AccessibleRef::adopt(_atspi_ref_accessible(busName, path));
}

// The element an answer names.
AccessibleRef accessibleIn(DBusMessage* reply) {
  DBusMessageIter iter;
  if (!dbus_message_iter_init(reply, &iter)) return {};
  return accessibleAt(iter);
}

// The elements an answer lists; none when it is no list. A null reference in it
// is left out, as libatspi's own read leaves it.
std::optional<std::vector<AccessibleRef>> accessiblesIn(DBusMessage* reply) {
  DBusMessageIter iter;
  if (!dbus_message_iter_init(reply, &iter) || dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_ARRAY) return std::nullopt;
  DBusMessageIter items;
  dbus_message_iter_recurse(&iter, &items);
  std::vector<AccessibleRef> found;
  for (; dbus_message_iter_get_arg_type(&items) == DBUS_TYPE_STRUCT; dbus_message_iter_next(&items)) {
    if (AccessibleRef item = accessibleAt(items)) found.push_back(std::move(item));
  }
  return found;
}

class Batch {
 public:
  Batch(CallGuard& guard, RequestMemo& memo) : guard_(guard), memo_(memo) {}
  Batch(const Batch&) = delete;
  Batch& operator=(const Batch&) = delete;
  ~Batch() { gather(); }

  void ask(AtspiAccessible* accessible, ReadPart part) {
    if (askable(accessible)) send(accessible, questionFor(accessible, part), part, std::nullopt);
  }

  void askHit(AtspiAccessible* accessible, std::pair<int, int> point) {
    if (askable(accessible)) send(accessible, hitQuestion(accessible, point), ReadPart{}, std::nullopt, std::nullopt, false, point);
  }

  void askCell(AtspiAccessible* table, CellPosition cell) {
    if (askable(table)) send(table, cellQuestion(table, cell), ReadPart{}, cell);
  }

  void askChild(AtspiAccessible* parent, int index) {
    if (askable(parent)) send(parent, childQuestion(parent, index), ReadPart{}, std::nullopt, index);
  }

  void askChildList(AtspiAccessible* parent, int limit) {
    if (askable(parent)) send(parent, childListQuestion(parent, limit), ReadPart{}, std::nullopt, std::nullopt, true);
  }

  void askWholeChildList(AtspiAccessible* parent) {
    if (askable(parent)) send(parent, wholeChildListQuestion(parent), ReadPart{}, std::nullopt, std::nullopt, true);
  }

  // The children answered, by parent and index.
  const std::map<std::pair<AtspiAccessible*, int>, AccessibleRef>& children() const { return children_; }
  // The child lists answered, by parent.
  const std::map<AtspiAccessible*, std::vector<AccessibleRef>>& childLists() const { return childLists_; }

  // Waits for every answer in flight; they come in the order asked.
  void gather() {
    for (Question& question : inFlight_) {
      const std::string* application = CallGuard::applicationOf(question.accessible.get());
      // The application's first question of the attempt waits for its ping first.
      if (application == nullptr || !guard_.ping(*application)) {
        dbus_pending_call_cancel(question.pending.get());
        continue;
      }
      dbus_pending_call_block(question.pending.get());
      MessagePtr reply(dbus_pending_call_steal_reply(question.pending.get()));
      if (!reply) continue;
      if (dbus_message_get_type(reply.get()) == DBUS_MESSAGE_TYPE_ERROR) {
        if (dbus_message_is_error(reply.get(), DBUS_ERROR_NO_REPLY)) guard_.markHung(*application);
        continue;
      }
      ElementFacts& facts = memo_.factsOf(question.accessible.get());
      if (question.cell) {
        if (AccessibleRef cell = accessibleIn(reply.get())) facts.cells.emplace(std::pair{question.cell->row, question.cell->column}, std::move(cell));
      } else if (question.hitPoint) {
        // A null reference is an answer too: nothing of the element's there.
        if (dbus_message_has_signature(reply.get(), "(so)")) facts.hits.insert_or_assign(*question.hitPoint, accessibleIn(reply.get()));
      } else if (question.childList) {
        if (auto list = accessiblesIn(reply.get())) childLists_.emplace(question.accessible.get(), std::move(*list));
      } else if (question.childIndex) {
        if (AccessibleRef child = accessibleIn(reply.get())) children_.emplace(std::pair{question.accessible.get(), *question.childIndex}, std::move(child));
      } else {
        keep(question.accessible.get(), facts, question.part, reply.get());
      }
    }
    inFlight_.clear();
  }

 private:
  // The application's ping of the attempt, where it is still to be sent, goes out
  // with the questions: its answer is waited for first (gather), and the
  // questions' answers come in the same wait.
  bool askable(AtspiAccessible* accessible) {
    const std::string* application = CallGuard::applicationOf(accessible);
    if (application == nullptr || accessible->parent.path == nullptr) return false;
    guard_.sendPing(*application);
    return guard_.mayAsk(*application);
  }

  void send(AtspiAccessible* accessible, MessagePtr message, ReadPart part, std::optional<CellPosition> cell,
            std::optional<int> childIndex = std::nullopt, bool childList = false,
            std::optional<std::pair<int, int>> hitPoint = std::nullopt) {
    const int timeout = static_cast<int>(guard_.timeoutFor(*CallGuard::applicationOf(accessible)).count());
    DBusPendingCall* pending = nullptr;
    if (!message || !dbus_connection_send_with_reply(accessible->parent.app->bus, message.get(), &pending, timeout) ||
        pending == nullptr) {
      return;
    }
    guard_.countCalls(1);
    inFlight_.push_back({AccessibleRef::share(accessible), part, cell, childIndex, PendingCallPtr(pending), childList, hitPoint});
    if (inFlight_.size() >= mostInFlight) gather();
  }

  CallGuard& guard_;
  RequestMemo& memo_;
  std::vector<Question> inFlight_;
  std::map<std::pair<AtspiAccessible*, int>, AccessibleRef> children_;
  std::map<AtspiAccessible*, std::vector<AccessibleRef>> childLists_;
};

// Keeps `children` as the first `limit` children of `parent`, and `parent` as
// the parent of each.
void keepChildren(RequestMemo& memo, AtspiAccessible* parent, std::vector<AccessibleRef> children, int limit) {
  for (const AccessibleRef& child : children) {
    ElementFacts& childFacts = memo.factsOf(child.get());
    if (!childFacts.parent) childFacts.parent = AccessibleRef::share(parent);
  }
  ElementFacts& facts = memo.factsOf(parent);
  facts.children = std::move(children);
  facts.childrenLimit = limit;
}

}  // namespace

InterfaceBits interfaceBitOf(std::string_view name) {
  constexpr std::string_view prefix = "org.a11y.atspi.";
  if (name.starts_with(prefix)) name.remove_prefix(prefix.size());
  static constexpr std::array<std::pair<std::string_view, InterfaceBit>, 5> bits = {{
      {"Collection", CollectionInterface},
      {"Component", ComponentInterface},
      {"Table", TableInterface},
      {"Text", TextInterface},
      {"Value", ValueInterface},
  }};
  const auto* found = std::find_if(bits.begin(), bits.end(), [&](const auto& bit) { return bit.first == name; });
  return found == bits.end() ? 0U : found->second;
}

namespace {

void askUnknownParts(Batch& batch, RequestMemo& memo, AtspiAccessible* accessible, ReadParts parts) {
  const ElementFacts& facts = memo.factsOf(accessible);
  for (ReadPart part : {RolePart, StatesPart, ChildCountPart, InterfacesPart, NamePart, DescriptionPart, ExtentsPart,
                         TextPart, SelectionPart, ParentPart}) {
    if ((parts & part) != 0 && !knownWithoutAsking(facts, accessible, part)) batch.ask(accessible, part);
  }
}

// Asks each list wanted that is worth its questions into `batch`; the lists asked.
std::vector<const ChildListWanted*> askChildLists(Batch& batch, RequestMemo& memo,
                                                  const std::vector<ChildListWanted>& parents) {
  // A list to be confirmed costs two questions (the list and the first child by
  // its index), asked together: by index alone is as cheap for two children.
  constexpr int fewestWorthConfirming = 3;
  std::vector<const ChildListWanted*> asked;
  for (const ChildListWanted& wanted : parents) {
    const std::optional<int> count = memo.factsOf(wanted.parent).childCount;
    if (wanted.limit <= 0) continue;
    // A list known to differ from the children: its count, for the reads by index.
    if (wanted.confirmFirst && memo.listUnlikeChildren(wanted.parent)) {
      if (!count) batch.ask(wanted.parent, ChildCountPart);
      continue;
    }
    if (wanted.confirmFirst && count && *count < fewestWorthConfirming) continue;
    batch.askWholeChildList(wanted.parent);
    if (wanted.confirmFirst) batch.askChild(wanted.parent, 0);
    asked.push_back(&wanted);
  }
  return asked;
}

// Keeps the lists `batch` answered for `asked` that are the children.
void keepChildLists(const Batch& batch, RequestMemo& memo, const std::vector<const ChildListWanted*>& asked) {
  for (const ChildListWanted* wanted : asked) {
    auto list = batch.childLists().find(wanted->parent);
    if (list == batch.childLists().end()) continue;
    std::vector<AccessibleRef> children = list->second;
    ElementFacts& facts = memo.factsOf(wanted->parent);
    const int listed = static_cast<int>(children.size());
    if (facts.childCount && *facts.childCount != listed) continue;
    if (wanted->confirmFirst) {
      // No child by index 0 confirms an empty list only.
      auto first = batch.children().find({wanted->parent, 0});
      const bool firstAnswered = first != batch.children().end();
      if (children.empty() ? firstAnswered : !firstAnswered) continue;
      if (!children.empty() && !sameAccessible(first->second.get(), children.front().get())) {
        // Another first child: the list is not the children, now or later.
        memo.rememberListUnlikeChildren(wanted->parent);
        continue;
      }
    }
    facts.childCount = listed;
    if (listed > wanted->limit) children.resize(static_cast<std::size_t>(wanted->limit));
    keepChildren(memo, wanted->parent, std::move(children), wanted->limit);
  }
}

}  // namespace

void readConcurrently(CallGuard& guard, RequestMemo& memo, const std::vector<AccessibleRef>& accessibles,
                      ReadParts parts, const std::vector<ChildListWanted>& lists) {
  Batch batch(guard, memo);
  for (const AccessibleRef& accessible : accessibles) {
    if (accessible) askUnknownParts(batch, memo, accessible.get(), parts);
  }
  const std::vector<const ChildListWanted*> asked = askChildLists(batch, memo, lists);
  batch.gather();
  keepChildLists(batch, memo, asked);
}

void readWithHitConcurrently(CallGuard& guard, RequestMemo& memo, AtspiAccessible* accessible, ReadParts parts,
                             std::optional<std::pair<int, int>> point, const std::vector<PartsOf>& alongside,
                             const std::vector<ChildListWanted>& lists) {
  Batch batch(guard, memo);
  askUnknownParts(batch, memo, accessible, parts);
  if (point && !memo.factsOf(accessible).hits.contains(*point)) batch.askHit(accessible, *point);
  for (const PartsOf& other : alongside) {
    if (other.accessible) askUnknownParts(batch, memo, other.accessible.get(), other.parts);
  }
  const std::vector<const ChildListWanted*> asked = askChildLists(batch, memo, lists);
  batch.gather();
  keepChildLists(batch, memo, asked);
}

void readCellsConcurrently(CallGuard& guard, RequestMemo& memo, AtspiAccessible* table,
                           const std::vector<CellPosition>& cells) {
  Batch batch(guard, memo);
  for (CellPosition cell : cells) {
    if (!memo.factsOf(table).cells.contains({cell.row, cell.column})) batch.askCell(table, cell);
  }
  batch.gather();
}

void readChildrenConcurrently(CallGuard& guard, RequestMemo& memo, const std::vector<ChildrenWanted>& parents,
                              const ReadsAlongside& alongside) {
  Batch batch(guard, memo);
  for (const ChildrenWanted& wanted : parents) {
    for (int index = 0; index < wanted.count; ++index) batch.askChild(wanted.parent, index);
  }
  for (const AccessibleRef& accessible : alongside.accessibles) {
    if (accessible) askUnknownParts(batch, memo, accessible.get(), alongside.parts);
  }
  const std::vector<const ChildListWanted*> listsAsked = askChildLists(batch, memo, alongside.lists);
  batch.gather();
  keepChildLists(batch, memo, listsAsked);
  const auto& answered = batch.children();
  for (const ChildrenWanted& wanted : parents) {
    std::vector<AccessibleRef> children;
    children.reserve(static_cast<std::size_t>(wanted.count));
    for (int index = 0; index < wanted.count; ++index) {
      auto found = answered.find({wanted.parent, index});
      if (found == answered.end()) break;
      children.push_back(found->second);
    }
    if (std::ssize(children) == wanted.count) keepChildren(memo, wanted.parent, std::move(children), wanted.limit);
  }
}

void listChildrenConcurrently(CallGuard& guard, RequestMemo& memo, const std::vector<AccessibleRef>& parents, int limit) {
  // A count of 0 would mean no limit to the application.
  if (limit <= 0) return;
  Batch batch(guard, memo);
  for (const AccessibleRef& parent : parents) batch.askChildList(parent.get(), limit);
  batch.gather();
  for (const auto& [parent, children] : batch.childLists()) keepChildren(memo, parent, children, limit);
}

void readChildListsConcurrently(CallGuard& guard, RequestMemo& memo, const std::vector<ChildListWanted>& parents) {
  Batch batch(guard, memo);
  const std::vector<const ChildListWanted*> asked = askChildLists(batch, memo, parents);
  batch.gather();
  keepChildLists(batch, memo, asked);
}

}  // namespace morvel::linux_ax
