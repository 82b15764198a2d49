#include "accessibility/Focus.h"

#include "accessibility/AXNames.h"
#include "accessibility/Readers.h"

namespace morvel::ax {

std::optional<Element> resolveFocusedElement(Accessibility& ax) {
  const Element systemWide = ax.createSystemWide();
  if (auto focused = axElementAttr(ax, systemWide, AXFocusedUIElement)) return focused;

  if (auto application = axElementAttr(ax, systemWide, AXFocusedApplication)) {
    if (auto focused = axElementAttr(ax, *application, AXFocusedUIElement)) return focused;
  }

  auto frontmost = ax.frontmostApplication();
  if (!frontmost) return std::nullopt;
  return axElementAttr(ax, ax.createApplication(frontmost->pid), AXFocusedUIElement);
}

FrontWindow frontmostWindow(Accessibility& ax) {
  auto frontmost = ax.frontmostApplication();
  if (!frontmost) return {};

  FrontWindow front{.window = std::nullopt, .title = std::nullopt, .bundleId = frontmost->bundleId};
  const Element application = ax.createApplication(frontmost->pid);
  front.window = axElementAttr(ax, application, AXFocusedWindow);
  if (!front.window) {
    auto windows = axChildren(ax, application, AXWindows);
    if (windows.empty()) return front;
    front.window = windows.front();
  }
  front.title = axString(ax, *front.window, AXTitle);
  return front;
}

}  // namespace morvel::ax
