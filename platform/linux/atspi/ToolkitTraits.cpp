#include "platform/linux/atspi/ToolkitTraits.h"

namespace morvel::linux_ax {

ToolkitTraits traitsOfToolkit(std::string_view name, std::string_view version) {
  ToolkitTraits traits;
  traits.marksShowing = !(name == "GTK" && version.starts_with("4."));
  // The browsers' engines answer from their own layout, down to the text leaf;
  // Electron applications give Chromium's name.
  traits.hitTestGoesDeep = name == "Chromium" || name == "Gecko";
  return traits;
}

}  // namespace morvel::linux_ax
