#pragma once

// Turning a selector back into one live element, once, without waiting: the
// window it names, every element of the target's role in that window, the best
// scored of them.

#include "accessibility/Accessibility.h"
#include "commands/Platform.h"
#include "commands/Reply.h"

#include <optional>
#include <string>
#include <variant>

namespace morvel {

// The window to search: the front window unless the selector's "windowTitle"
// names another window of the frontmost application, exactly or else by
// containment either way. Nothing when there is no front window and no match.
std::optional<ax::Element> windowForSelector(ax::Accessibility& ax, const Json& selector);

// The best match for the first entry of the selector's "path".
struct SelectorMatch {
  ax::Element element;
  int score = 0;
  ax::Rect frame;
  // An element that does not say whether it is enabled is taken to be usable.
  bool enabled = true;
  std::optional<std::string> role;
  std::optional<std::string> value;
};

// Why a selector named no element.
enum class NoMatch {
  MalformedSelector,  // no "path" of objects, or a first entry without a text "role"
  NoWindow,           // neither the named window nor a front window
  NoCandidate,        // nothing of the role in the window scored above 0
  NoFrame,            // the best candidate has no readable frame
};

using Resolution = std::variant<SelectorMatch, NoMatch>;

Resolution resolveSelectorOnce(ax::Accessibility& ax, const Json& selector);

// {"found": false}, or "found": true with "score", "frame", "enabled" and, when
// readable, "role" and "value".
Json resolutionReply(const Resolution& resolution);
Json matchReply(const SelectorMatch& match);

}  // namespace morvel
