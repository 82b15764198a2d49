#include "platform/linux/atspi/ConcurrentReads.h"

#include "platform/linux/atspi/AtspiReader.h"
#include "platform/linux/atspi/LibraryCache.h"

#include <dbus/dbus.h>

#include <algorithm>
#include <climits>
#include <array>
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
// Questions in flight at once: enough to keep an application busy, few enough
// that one batch never floods the bus's queues.
constexpr std::size_t mostInFlight = 512;

struct DBusMessageUnref {
  void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};
using MessagePtr = std::unique_ptr<DBusMessage, DBusMessageUnref>;

struct DBusPendingUnref {
  void operator()(DBusPendingCall* pending) const { dbus_pending_call_unref(pending); }
};
using PendingPtr = std::unique_ptr<DBusPendingCall, DBusPendingUnref>;

// One question on its way: a part of an element, or a cell of a table.
struct Question {
  AccessibleRef accessible;
  ReadPart part;
  std::optional<CellPosition> cell;
  PendingPtr pending;
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
    case PropertiesPart: {
      MessagePtr message(dbus_message_new_method_call(busName, path, DBUS_INTERFACE_PROPERTIES, "GetAll"));
      if (message && dbus_message_append_args(message.get(), DBUS_TYPE_STRING, &accessibleInterface, DBUS_TYPE_INVALID)) {
        return message;
      }
      return {};
    }
    case ExtentsPart: {
      MessagePtr message(dbus_message_new_method_call(busName, path, componentInterface, "GetExtents"));
      const dbus_uint32_t coordinates = ATSPI_COORD_TYPE_SCREEN;
      if (message && dbus_message_append_args(message.get(), DBUS_TYPE_UINT32, &coordinates, DBUS_TYPE_INVALID)) {
        return message;
      }
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

bool known(const ElementFacts& facts, AtspiAccessible* accessible, ReadPart part) {
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
    case PropertiesPart:
      return known(facts, accessible, NamePart) && known(facts, accessible, DescriptionPart) &&
             known(facts, accessible, ChildCountPart);
    // An element without the interface answers with an error, and the single
    // read, which tests the interface first, never asks.
    case ExtentsPart:
      return facts.extents.has_value();
    case TextPart:
      return facts.text.has_value();
  }
  return true;
}

// Steps into a variant when the answer is a property's value.
bool enterValue(DBusMessageIter& iter, DBusMessageIter& inner) {
  if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_VARIANT) return false;
  dbus_message_iter_recurse(&iter, &inner);
  return true;
}

// Keeps a property's value (`value` at its variant), as the single read would have.
void keepProperty(ElementFacts& facts, std::string_view property, DBusMessageIter& value) {
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
  (property == "Name" ? facts.name : facts.description) = utf8Text(content);
}

// Keeps every property of an answer to GetAll that keepProperty knows.
void keepProperties(ElementFacts& facts, DBusMessageIter& iter) {
  if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_ARRAY) return;
  DBusMessageIter entries;
  dbus_message_iter_recurse(&iter, &entries);
  for (; dbus_message_iter_get_arg_type(&entries) == DBUS_TYPE_DICT_ENTRY; dbus_message_iter_next(&entries)) {
    DBusMessageIter entry;
    dbus_message_iter_recurse(&entries, &entry);
    if (dbus_message_iter_get_arg_type(&entry) != DBUS_TYPE_STRING) continue;
    const char* property = nullptr;
    dbus_message_iter_get_basic(&entry, &property);
    if (property == nullptr || !dbus_message_iter_next(&entry)) continue;
    keepProperty(facts, property, entry);
  }
}

// Keeps one answer in the memo, as the single read would have.
void keep(ElementFacts& facts, ReadPart part, DBusMessage* reply) {
  DBusMessageIter iter;
  if (!dbus_message_iter_init(reply, &iter)) return;
  switch (part) {
    case RolePart: {
      if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_UINT32) return;
      dbus_uint32_t role = 0;
      dbus_message_iter_get_basic(&iter, &role);
      facts.role = static_cast<AtspiRole>(role);
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
      if (!hasState(states, ATSPI_STATE_DEFUNCT)) facts.states = states;
      return;
    }
    case ChildCountPart:
      keepProperty(facts, "ChildCount", iter);
      return;
    case NamePart:
      keepProperty(facts, "Name", iter);
      return;
    case DescriptionPart:
      keepProperty(facts, "Description", iter);
      return;
    case PropertiesPart:
      keepProperties(facts, iter);
      return;
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

// Keeps a table's cell, as AtspiReader::tableCell would have.
void keepCell(ElementFacts& table, CellPosition cell, DBusMessage* reply) {
  DBusMessageIter iter;
  if (!dbus_message_iter_init(reply, &iter) || dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_STRUCT) return;
  DBusMessageIter fields;
  dbus_message_iter_recurse(&iter, &fields);
  const char* busName = nullptr;
  const char* path = nullptr;
  if (dbus_message_iter_get_arg_type(&fields) != DBUS_TYPE_STRING) return;
  dbus_message_iter_get_basic(&fields, &busName);
  dbus_message_iter_next(&fields);
  if (dbus_message_iter_get_arg_type(&fields) != DBUS_TYPE_OBJECT_PATH) return;
  dbus_message_iter_get_basic(&fields, &path);
  if (busName == nullptr || path == nullptr || std::string_view(path) == ATSPI_DBUS_PATH_NULL) return;
  AccessibleRef accessible = AccessibleRef::adopt(_atspi_ref_accessible(busName, path));
  if (accessible) table.cells.emplace(std::pair{cell.row, cell.column}, std::move(accessible));
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

  void askCell(AtspiAccessible* table, CellPosition cell) {
    if (askable(table)) send(table, cellQuestion(table, cell), ReadPart{}, cell);
  }

  // Waits for every answer in flight; they come in the order asked.
  void gather() {
    for (Question& question : inFlight_) {
      const std::string* application = CallGuard::applicationOf(question.accessible.get());
      if (application == nullptr || guard_.isHung(question.accessible.get())) {
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
        keepCell(facts, *question.cell, reply.get());
      } else {
        keep(facts, question.part, reply.get());
      }
    }
    inFlight_.clear();
  }

 private:
  bool askable(AtspiAccessible* accessible) {
    const std::string* application = CallGuard::applicationOf(accessible);
    return application != nullptr && accessible->parent.path != nullptr && guard_.ping(*application);
  }

  void send(AtspiAccessible* accessible, MessagePtr message, ReadPart part, std::optional<CellPosition> cell) {
    const int timeout = static_cast<int>(guard_.timeoutFor(*CallGuard::applicationOf(accessible)).count());
    DBusPendingCall* pending = nullptr;
    if (!message || !dbus_connection_send_with_reply(accessible->parent.app->bus, message.get(), &pending, timeout) ||
        pending == nullptr) {
      return;
    }
    guard_.countCalls(1);
    inFlight_.push_back({AccessibleRef::share(accessible), part, cell, PendingPtr(pending)});
    if (inFlight_.size() >= mostInFlight) gather();
  }

  CallGuard& guard_;
  RequestMemo& memo_;
  std::vector<Question> inFlight_;
};

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

void readConcurrently(CallGuard& guard, RequestMemo& memo, const std::vector<AccessibleRef>& accessibles,
                      ReadParts parts) {
  Batch batch(guard, memo);
  for (const AccessibleRef& accessible : accessibles) {
    if (!accessible) continue;
    const ElementFacts& facts = memo.factsOf(accessible.get());
    for (ReadPart part : {RolePart, StatesPart, ChildCountPart, InterfacesPart, NamePart, DescriptionPart, ExtentsPart,
                           TextPart, PropertiesPart}) {
      if ((parts & part) != 0 && !known(facts, accessible.get(), part)) batch.ask(accessible.get(), part);
    }
  }
  batch.gather();
}

void readCellsConcurrently(CallGuard& guard, RequestMemo& memo, AtspiAccessible* table,
                           const std::vector<CellPosition>& cells) {
  Batch batch(guard, memo);
  for (CellPosition cell : cells) {
    if (!memo.factsOf(table).cells.contains({cell.row, cell.column})) batch.askCell(table, cell);
  }
  batch.gather();
}

}  // namespace morvel::linux_ax
