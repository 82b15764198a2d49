#include "commands/FingerprintCommand.h"

#include "accessibility/AXNames.h"
#include "accessibility/Focus.h"
#include "accessibility/Readers.h"
#include "ocr/VisionOCR.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace morvel {
namespace {

// What the tree digest covers when there is no front window.
constexpr std::string_view noWindowText = "no-window";

void appendDump(ax::Accessibility& ax, const ax::Element& element, int depth, int maxDepth, int maxBreadth,
                std::string& dump) {
  dump.append(static_cast<std::size_t>(std::max(depth, 0)), ' ');
  dump += ax::axString(ax, element, ax::AXRole).value_or("?");
  dump += ':';
  dump += ax::axString(ax, element, ax::AXTitle).value_or("");
  if (depth >= maxDepth) return;

  const auto children = ax::axChildren(ax, element, ax::AXChildren);
  const std::size_t shown = std::min(children.size(), static_cast<std::size_t>(std::max(maxBreadth, 0)));
  for (std::size_t index = 0; index < shown; ++index) {
    dump += '\n';
    appendDump(ax, children[index], depth + 1, maxDepth, maxBreadth, dump);
  }
}

}  // namespace

std::string dumpAXTree(ax::Accessibility& ax, const ax::Element& element, int depth, int maxDepth, int maxBreadth) {
  std::string dump;
  appendDump(ax, element, depth, maxDepth, maxBreadth, dump);
  return dump;
}

std::string sha256Hex(std::string_view text) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  // libcrypto fails here only when it cannot allocate; a made-up digest would
  // tell the client that nothing changed.
  if (EVP_Digest(text.data(), text.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("SHA-256 digest failed");
  }
  static constexpr std::string_view hexDigits = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * length);
  for (unsigned int index = 0; index < length; ++index) {
    hex += hexDigits[digest[index] >> 4];
    hex += hexDigits[digest[index] & 0x0f];
  }
  return hex;
}

Json cmdFingerprint(Platform& platform, const std::optional<ax::Rect>& region) {
  const ax::FrontWindow front = ax::frontmostWindow(platform.ax);
  const std::string dump = front.window
                               ? dumpAXTree(platform.ax, *front.window, 0, windowDumpMaxDepth, windowDumpMaxBreadth)
                               : std::string(noWindowText);

  Json reply = {{"axDigest", sha256Hex(dump)}};
  if (front.title) reply["windowTitle"] = *front.title;
  if (front.bundleId) reply["appBundleId"] = *front.bundleId;
  if (region) reply["ocrDigest"] = sha256Hex(ocr::runOCR(platform.screen, *region).text);
  return reply;
}

}  // namespace morvel
