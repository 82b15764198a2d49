#include "platform/linux/atspi/FocusTracker.h"

#include "platform/linux/atspi/ElementNodes.h"

namespace morvel::linux_ax {
namespace {

constexpr const char* focusEvents = "object:state-changed:focused";

}  // namespace

void FocusTracker::start() {
  if (listener_) return;
  listener_ = GRef<AtspiEventListener>::adopt(atspi_event_listener_new(&FocusTracker::onFocusChange, this, nullptr));
  if (!atspi_event_listener_register(listener_.get(), focusEvents, nullptr)) listener_ = {};
}

void FocusTracker::stop() {
  if (listener_) atspi_event_listener_deregister(listener_.get(), focusEvents, nullptr);
  listener_ = {};
  focused_ = {};
}

FocusTracker::~FocusTracker() { stop(); }

void FocusTracker::onFocusChange(AtspiEvent* event, void* tracker) {
  // libatspi hands the event over; it is released here, whatever it holds.
  static_cast<FocusTracker*>(tracker)->noteFocusChange(event->source, event->detail1 != 0);
  g_boxed_free(ATSPI_TYPE_EVENT, event);
}

void FocusTracker::noteFocusChange(AtspiAccessible* source, bool gained) {
  if (gained) {
    focused_ = AccessibleRef::share(source);
  } else if (sameAccessible(source, focused_.get())) {
    focused_ = {};
  }
}

}  // namespace morvel::linux_ax
