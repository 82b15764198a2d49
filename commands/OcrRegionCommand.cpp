#include "commands/OcrRegionCommand.h"

#include "accessibility/Readers.h"
#include "commands/ReplyRecords.h"
#include "ocr/VisionOCR.h"

namespace morvel {

Json cmdOcrRegion(Platform& platform, double x, double y, double w, double h) {
  const ocr::OCRResult result = ocr::runOCR(platform.screen, ax::Rect{x, y, w, h});
  Json lines = Json::array();
  for (const ocr::OCRLine& line : result.lines) {
    lines.push_back({{"text", line.text}, {"confidence", line.confidence}, {"frame", frameDictionary(line.frame)}});
  }
  return {{"text", result.text}, {"lines", std::move(lines)}};
}

}  // namespace morvel
