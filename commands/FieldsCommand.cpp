#include "commands/FieldsCommand.h"

#include "accessibility/AXNames.h"
#include "accessibility/Focus.h"
#include "accessibility/Readers.h"
#include "commands/FieldLabels.h"
#include "commands/ReplyRecords.h"
#include "commands/WalkBounds.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace morvel {
namespace {

using ax::Accessibility;
using ax::Element;
using ax::Rect;

// Smaller controls are hidden or decorative and not worth filling in.
constexpr double smallestFieldSide = 2.0;

bool tooSmall(const Rect& frame) { return frame.width < smallestFieldSide || frame.height < smallestFieldSide; }

Json fieldRecord(Accessibility& ax, const Element& field, const std::optional<Rect>& frame,
                 const std::vector<LabelCandidate>& candidates) {
  Json record = Json::object();
  if (auto role = ax::axString(ax, field, ax::AXRole)) record["role"] = *role;
  const auto subrole = ax::axString(ax, field, ax::AXSubrole);
  if (subrole) record["subrole"] = *subrole;
  // Reported for secure fields too: the platform decides what a secure value reads as.
  if (auto value = ax::axString(ax, field, ax::AXValue)) record["value"] = *value;
  if (frame) record["frame"] = frameDictionary(*frame);
  record["enabled"] = ax::axBool(ax, field, ax::AXEnabled).value_or(true);
  record["secure"] = subrole == ax::AXSecureTextField;
  if (auto label = fieldLabel(ax, field, candidates, frame)) {
    record["label"] = label->label;
    record["labelSource"] = label->source;
  }
  record["path"] = Json::array({elementDescriptor(ax, field, false)});
  return record;
}

}  // namespace

const ax::RoleSet& formFieldRoles() {
  static const ax::RoleSet roles = {ax::AXTextField,   ax::AXTextArea,    ax::AXComboBox,
                                    ax::AXCheckBox,    ax::AXPopUpButton, ax::AXRadioButton};
  return roles;
}

Json cmdFields(Platform& platform) {
  Accessibility& ax = platform.ax;
  const ax::FrontWindow front = ax::frontmostWindow(ax);
  if (!front.window) return notFoundReply();
  const Element& window = *front.window;
  ax.setMessagingTimeout(window, messagingTimeoutSeconds);

  const std::vector<Element> fields =
      ax::collectFirstByRole(ax, window, formFieldRoles(), windowWalk.maxDepth, windowWalk.budget, fieldLimit);
  ax.readAhead(fields, {ax::AXFrame, ax::AXRole, ax::AXValue, ax::AXEnabled, ax::AXTitle});
  const std::vector<LabelCandidate> candidates = labelCandidates(ax, window);

  Json records = Json::array();
  for (const Element& field : fields) {
    const auto frame = ax::axFrame(ax, field);
    if (frame && tooSmall(*frame)) continue;
    records.push_back(fieldRecord(ax, field, frame, candidates));
  }

  Json reply = {{"found", !records.empty()}, {"source", "ax"}, {"fieldCount", records.size()}};
  reply["fields"] = std::move(records);
  if (front.title) reply["windowTitle"] = *front.title;
  if (front.bundleId) reply["appBundleId"] = *front.bundleId;
  if (auto windowFrame = ax::axFrame(ax, window)) reply["windowFrame"] = frameDictionary(*windowFrame);
  return reply;
}

}  // namespace morvel
