#pragma once

// The element that last gained keyboard focus anywhere on the desktop, as the
// applications announce it (object:state-changed:focused). It answers before
// the application is searched: toolkits without the Collection interface (Qt,
// GTK 4) cannot be asked for their focused element in one call, and those with
// it search their whole tree for it (milliseconds on a large web page). Events
// are handled whenever libatspi's main context runs, between and within requests.

#include "platform/linux/atspi/GlibOwnership.h"

namespace morvel::linux_ax {

class FocusTracker {
 public:
  // Starts listening; call once connected to the accessibility bus.
  void start();
  // Stops listening and forgets the focus: the connection the events came on is gone.
  void stop();
  ~FocusTracker();

  // The last element announced as focused and not announced as unfocused since.
  AtspiAccessible* lastFocused() const { return focused_.get(); }
  // An element found holding the focus otherwise (the application asked): it
  // stands for the focus until an event says otherwise, as if announced.
  void confirm(AtspiAccessible* focused) { noteFocusChange(focused, true); }

 private:
  static void onFocusChange(AtspiEvent* event, void* tracker);
  void noteFocusChange(AtspiAccessible* source, bool gained);

  GRef<AtspiEventListener> listener_;
  AccessibleRef focused_;
};

}  // namespace morvel::linux_ax
