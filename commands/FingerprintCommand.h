#pragma once

// "fingerprint": digests of the front window's accessibility tree (roles and
// titles near its top) and, for a given rectangle, of the text recognised in it,
// so that a client can tell whether the window changed.

#include "accessibility/Accessibility.h"
#include "commands/Platform.h"
#include "commands/Reply.h"

#include <optional>
#include <string>
#include <string_view>

namespace morvel {

// One line per element in pre-order: `depth` spaces, the role ("?" when
// unreadable), ":", the title (nothing when unreadable), lines joined by line
// feeds. Children are read only above `maxDepth`, and only the first
// `maxBreadth` of each element appear.
std::string dumpAXTree(ax::Accessibility& ax, const ax::Element& element, int depth, int maxDepth, int maxBreadth);

// The SHA-256 digest of the text's bytes as 64 lower-case hexadecimal characters.
std::string sha256Hex(std::string_view text);

// The part of the front window's tree the digest covers: at most 1 + 12 + 144 +
// 1728 elements, however large the window.
inline constexpr int windowDumpMaxDepth = 3;
inline constexpr int windowDumpMaxBreadth = 12;

Json cmdFingerprint(Platform& platform, const std::optional<ax::Rect>& region);

}  // namespace morvel
