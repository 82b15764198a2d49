#pragma once

// "ocr-region": the recognised text of one screen rectangle, as one string and
// as line records whose frames are in pixels of the captured image.

#include "commands/Platform.h"
#include "commands/Reply.h"

namespace morvel {

Json cmdOcrRegion(Platform& platform, double x, double y, double w, double h);

}  // namespace morvel
