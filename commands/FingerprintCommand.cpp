#include "commands/FingerprintCommand.h"

#include "accessibility/AXNames.h"
#include "accessibility/Focus.h"
#include "accessibility/Readers.h"
#include "ocr/VisionOCR.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <stdexcept>
#include <vector>

namespace morvel {
namespace {

// What the tree digest covers when there is no front window.
constexpr std::string_view noWindowText = "no-window";

// An element of the dump and the places of its dumped children in the list.
struct DumpedElement {
  ax::Element element;
  int depth = 0;
  std::vector<std::size_t> children;
};

// The elements the dump covers, read a level at a time: what the dump reads of
// a level (roles, titles, and children above the deepest level) is asked of
// the whole level together, not element by element.
std::vector<DumpedElement> dumpedElements(ax::Accessibility& ax, const ax::Element& root, int depth, int maxDepth,
                                          int maxBreadth) {
  std::vector<DumpedElement> elements{{root, depth, {}}};
  std::vector<std::size_t> level{0};
  for (int levelDepth = depth;; ++levelDepth) {
    std::vector<ax::Element> levelElements;
    for (std::size_t place : level) levelElements.push_back(elements[place].element);
    if (levelDepth >= maxDepth) {
      ax.readAhead(levelElements, {ax::AXRole, ax::AXTitle});
      return elements;
    }
    if (levelDepth + 1 < maxDepth) {
      ax.readAhead(levelElements, {ax::AXRole, ax::AXTitle, ax::AXChildren, ax::childrenWalkedNext});
    } else {
      ax.readAhead(levelElements, {ax::AXRole, ax::AXTitle, ax::AXChildren});
    }
    std::vector<std::size_t> next;
    for (std::size_t place : level) {
      const auto children = ax::axChildren(ax, elements[place].element, ax::AXChildren);
      const auto shown = std::min<std::ptrdiff_t>(std::ssize(children), std::max(maxBreadth, 0));
      for (std::ptrdiff_t index = 0; index < shown; ++index) {
        elements[place].children.push_back(elements.size());
        next.push_back(elements.size());
        elements.push_back({children[static_cast<std::size_t>(index)], levelDepth + 1, {}});
      }
    }
    if (next.empty()) return elements;
    level = std::move(next);
  }
}

void appendDump(ax::Accessibility& ax, const std::vector<DumpedElement>& elements, std::size_t place,
                std::string& dump) {
  const DumpedElement& dumped = elements[place];
  dump.append(static_cast<std::size_t>(std::max(dumped.depth, 0)), ' ');
  dump += ax::axString(ax, dumped.element, ax::AXRole).value_or("?");
  dump += ':';
  dump += ax::axString(ax, dumped.element, ax::AXTitle).value_or("");
  for (std::size_t child : dumped.children) {
    dump += '\n';
    appendDump(ax, elements, child, dump);
  }
}

}  // namespace

std::string dumpAXTree(ax::Accessibility& ax, const ax::Element& element, int depth, int maxDepth, int maxBreadth) {
  std::string dump;
  appendDump(ax, dumpedElements(ax, element, depth, maxDepth, maxBreadth), 0, dump);
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
