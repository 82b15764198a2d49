#pragma once

// Owning wrappers for what libatspi and GLib hand over: every object, string,
// array and hash table is released exactly once, on every path.

#include <atspi/atspi.h>
#include <glib-object.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace morvel::linux_ax {

// One owned GObject reference (an accessible, a state set, an interface view...).
template <class T>
class GRef {
 public:
  GRef() = default;
  // Takes over a reference the caller already owns ("transfer full").
  static GRef adopt(T* object) { return GRef(object); }
  // Adds a reference of its own ("transfer none").
  static GRef share(T* object) {
    if (object != nullptr) g_object_ref(object);
    return GRef(object);
  }
  GRef(const GRef& other) : object_(other.object_) {
    if (object_ != nullptr) g_object_ref(object_);
  }
  GRef(GRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  GRef& operator=(GRef other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~GRef() {
    if (object_ != nullptr) g_object_unref(object_);
  }

  T* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  explicit GRef(T* object) : object_(object) {}
  T* object_ = nullptr;
};

using AccessibleRef = GRef<AtspiAccessible>;

struct GFreeDeleter {
  void operator()(gpointer memory) const { g_free(memory); }
};
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;

struct GErrorDeleter {
  void operator()(GError* error) const { g_error_free(error); }
};

// Collects the GError of one call and frees it.
class CallError {
 public:
  GError** out() { return &error_; }
  bool isSet() const { return error_ != nullptr; }
  ~CallError() {
    if (error_ != nullptr) g_error_free(error_);
  }
  CallError() = default;
  CallError(const CallError&) = delete;
  CallError& operator=(const CallError&) = delete;

 private:
  GError* error_ = nullptr;
};

struct GHashTableDeleter {
  void operator()(GHashTable* table) const { g_hash_table_unref(table); }
};
using GHashTablePtr = std::unique_ptr<GHashTable, GHashTableDeleter>;

// A GArray whose items are owned GObject pointers (accessibles, relations):
// the items are unreferenced with the array.
template <class T>
class GObjectArray {
 public:
  explicit GObjectArray(GArray* array) : array_(array) {}
  GObjectArray(const GObjectArray&) = delete;
  GObjectArray& operator=(const GObjectArray&) = delete;
  ~GObjectArray() {
    if (array_ == nullptr) return;
    for (guint i = 0; i < array_->len; ++i) {
      if (T* item = g_array_index(array_, T*, i)) g_object_unref(item);
    }
    g_array_free(array_, TRUE);
  }
  guint size() const { return array_ == nullptr ? 0 : array_->len; }
  T* at(guint index) const { return g_array_index(array_, T*, index); }
  explicit operator bool() const { return array_ != nullptr; }

 private:
  GArray* array_;
};

// Owned g_malloc'd plain structs (AtspiRect, AtspiRange, AtspiPoint).
template <class T>
using GBoxPtr = std::unique_ptr<T, GFreeDeleter>;

inline std::optional<std::string> takeString(gchar* text) {
  GCharPtr owned(text);
  if (!owned) return std::nullopt;
  return std::string(owned.get());
}

}  // namespace morvel::linux_ax
