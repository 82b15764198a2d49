#pragma once

// The structure of a window that exposes no table to the accessibility
// interface, read from its recognised text: one row of one static-text cell per
// line, and the first line that reads like an "add" control.

#include "accessibility/Accessibility.h"
#include "commands/Platform.h"
#include "commands/Reply.h"

namespace morvel {

// {"found": true, "source": "ocr", "containerRole": "OCR", "rowCount", "rows"}
// with "addAffordance" when a line matches; exactly {"found": false} when the
// window's frame is unreadable or not more than 4 points in either direction
// (then nothing is captured), or when no text is recognised.
Json structureViaOCR(Platform& platform, const ax::Element& window);

}  // namespace morvel
