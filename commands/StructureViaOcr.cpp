#include "commands/StructureViaOcr.h"

#include "accessibility/AXNames.h"
#include "accessibility/Readers.h"
#include "commands/ReplyRecords.h"
#include "ocr/VisionOCR.h"
#include "text/TextPattern.h"

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

namespace morvel {
namespace {

// Smaller windows hold no readable text; they are not worth a capture.
constexpr double smallestWindowSide = 4.0;
constexpr std::size_t rowLimit = 80;

// As the accessible add control's pattern, but without the letters plus: in
// running text they occur in too many ordinary words.
constexpr std::string_view addLinePattern = R"((?i)\b(add|new|create|insert)\b|^\s*\+\s*$)";

// Compiled on first use and shared: every search makes its own matcher.
const TextPattern& addLineText() {
  static const TextPattern pattern(addLinePattern);
  return pattern;
}

// A size that is not a number is not large enough either.
bool largeEnough(const ax::Rect& frame) {
  return frame.width > smallestWindowSide && frame.height > smallestWindowSide;
}

Json lineRow(const ocr::OCRLine& line, std::size_t index) {
  const Json frame = frameDictionary(line.frame);
  Json cell = {{"role", ax::AXStaticText}, {"value", line.text}, {"frame", frame}};
  return {{"index", index}, {"cells", Json::array({std::move(cell)})}, {"frame", frame}};
}

}  // namespace

Json structureViaOCR(Platform& platform, const ax::Element& window) {
  const auto frame = ax::axFrame(platform.ax, window);
  if (!frame || !largeEnough(*frame)) return notFoundReply();
  const std::vector<ocr::OCRLine> lines = ocr::ocrScreenLines(platform.screen, *frame);
  if (lines.empty()) return notFoundReply();

  Json rows = Json::array();
  const std::size_t shown = std::min(lines.size(), rowLimit);
  for (std::size_t index = 0; index < shown; ++index) rows.push_back(lineRow(lines[index], index));
  Json reply = {{"found", true}, {"source", "ocr"}, {"containerRole", "OCR"}, {"rowCount", rows.size()}};
  reply["rows"] = std::move(rows);

  // Every line is searched, not only those shown: the add control may lie below the 80th.
  const TextPattern& pattern = addLineText();
  auto matching =
      std::find_if(lines.begin(), lines.end(), [&](const ocr::OCRLine& line) { return pattern.foundIn(line.text); });
  if (matching != lines.end()) {
    reply["addAffordance"] = {{"title", matching->text}, {"frame", frameDictionary(matching->frame)}};
  }
  return reply;
}

}  // namespace morvel
