#include "support/PaintedText.h"

#include <unicode/unistr.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <sstream>

namespace morvel::testing {
namespace {

std::u32string codePoints(const std::string& text) {
  const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text);
  std::u32string points(static_cast<std::size_t>(unicode.countChar32()), U'\0');
  UErrorCode status = U_ZERO_ERROR;
  unicode.toUTF32(reinterpret_cast<UChar32*>(points.data()), static_cast<int32_t>(points.size()), status);
  return points;
}

// Runs of white space count as one space; none at either end.
std::string collapsedSpaces(const std::string& text) {
  std::istringstream words(text);
  std::string word;
  std::string collapsed;
  while (words >> word) collapsed += (collapsed.empty() ? "" : " ") + word;
  return collapsed;
}

bool inside(const ScreenRect& inner, const ScreenRect& outer) {
  return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.width <= outer.x + outer.width &&
         inner.y + inner.height <= outer.y + outer.height;
}

// The painted line whose box (widened by half its height at either end, for
// a leading or trailing character read astray) holds the read line's centre.
std::optional<std::size_t> ownerOf(const ReadLine& line, const std::vector<PaintedLine>& painted) {
  const double centreX = line.box.x + line.box.width / 2.0;
  const double centreY = line.box.y + line.box.height / 2.0;
  for (std::size_t index = 0; index < painted.size(); ++index) {
    const ScreenRect& box = painted[index].box;
    const double slack = box.height / 2.0;
    if (centreX >= box.x - slack && centreX <= box.x + box.width + slack && centreY >= box.y &&
        centreY <= box.y + box.height) {
      return index;
    }
  }
  return std::nullopt;
}

}  // namespace

std::vector<ReadLine> readLinesOf(const Json& reply, const ScreenRect& region) {
  std::vector<ReadLine> lines;
  for (const Json& line : reply.value("lines", Json::array())) {
    const Json& frame = line["frame"];
    // Frames are pixels of the captured rectangle, from its top-left corner.
    lines.push_back({{region.x + static_cast<int>(std::lround(frame["x"].get<double>())),
                      region.y + static_cast<int>(std::lround(frame["y"].get<double>())),
                      static_cast<int>(std::lround(frame["w"].get<double>())),
                      static_cast<int>(std::lround(frame["h"].get<double>()))},
                     line["text"].get<std::string>()});
  }
  return lines;
}

std::vector<PaintedLine> paintedLinesOf(FixtureApplication& fixture, pid_t pid) {
  std::vector<PaintedLine> lines;
  const auto client = clientWindowOf(pid);
  if (!client) return lines;
  for (const std::string& reported : fixture.commandLines("lines")) {
    std::istringstream fields(reported);
    PaintedLine line;
    if (!(fields >> line.box.x >> line.box.y >> line.box.width >> line.box.height >> line.pixelSize >> line.ground)) continue;
    std::getline(fields >> std::ws, line.text);
    line.box.x += client->x;
    line.box.y += client->y;
    line.darkGround = line.ground == "dark";
    lines.push_back(std::move(line));
  }
  return lines;
}

std::size_t editDistance(const std::string& first, const std::string& second) {
  const std::u32string a = codePoints(first);
  const std::u32string b = codePoints(second);
  std::vector<std::size_t> previous(b.size() + 1);
  std::iota(previous.begin(), previous.end(), std::size_t{0});
  std::vector<std::size_t> current(b.size() + 1);
  for (std::size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t substitution = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitution});
    }
    std::swap(previous, current);
  }
  return previous[b.size()];
}

TextScore scoreReading(const std::vector<PaintedLine>& painted, const std::vector<ReadLine>& read,
                       const ScreenRect& region, const std::function<bool(const PaintedLine&)>& counted) {
  TextScore score;
  std::vector<std::vector<const ReadLine*>> pieces(painted.size());
  for (const ReadLine& line : read) {
    if (auto owner = ownerOf(line, painted)) {
      pieces[*owner].push_back(&line);
    } else {
      const std::string stray = collapsedSpaces(line.text);
      score.errors += codePoints(stray).size();
      if (!stray.empty()) score.report += "stray: \"" + stray + "\"\n";
    }
  }
  for (std::size_t index = 0; index < painted.size(); ++index) {
    const PaintedLine& line = painted[index];
    if (!inside(line.box, region) || !counted(line)) continue;
    auto& parts = pieces[index];
    std::sort(parts.begin(), parts.end(), [](const ReadLine* a, const ReadLine* b) { return a->box.x < b->box.x; });
    std::string reading;
    for (const ReadLine* part : parts) reading += " " + part->text;
    const std::string expected = collapsedSpaces(line.text);
    const std::size_t errors = editDistance(expected, collapsedSpaces(reading));
    score.errors += errors;
    score.characters += codePoints(expected).size();
    if (errors > 0) score.report += "\"" + expected + "\" read as \"" + collapsedSpaces(reading) + "\"\n";
  }
  return score;
}

namespace {

std::vector<std::string> linesInReadingOrder(std::vector<ReadLine> pieces) {
  std::sort(pieces.begin(), pieces.end(), [](const ReadLine& a, const ReadLine& b) {
    return a.box.y + a.box.height / 2 < b.box.y + b.box.height / 2;
  });
  // A piece whose middle lies within the rows of the line before it continues that line.
  std::vector<std::vector<const ReadLine*>> lines;
  int lineBottom = 0;
  for (const ReadLine& piece : pieces) {
    const int middle = piece.box.y + piece.box.height / 2;
    if (lines.empty() || middle >= lineBottom) {
      lines.emplace_back();
      lineBottom = piece.box.y + piece.box.height;
    }
    lines.back().push_back(&piece);
  }
  std::vector<std::string> texts;
  for (auto& line : lines) {
    std::sort(line.begin(), line.end(), [](const ReadLine* a, const ReadLine* b) { return a->box.x < b->box.x; });
    std::string text;
    for (const ReadLine* piece : line) text += " " + piece->text;
    if (!collapsedSpaces(text).empty()) texts.push_back(collapsedSpaces(text));
  }
  return texts;
}

}  // namespace

TextScore scoreText(const std::vector<std::string>& known, const std::vector<ReadLine>& read) {
  const std::vector<std::string> reading = linesInReadingOrder(read);
  std::string expected;
  std::string got;
  for (const std::string& line : known) expected += (expected.empty() ? "" : "\n") + collapsedSpaces(line);
  for (const std::string& line : reading) got += (got.empty() ? "" : "\n") + line;
  TextScore score{editDistance(expected, got), codePoints(expected).size(), {}};
  for (std::size_t index = 0; index < std::max(known.size(), reading.size()); ++index) {
    const std::string wanted = index < known.size() ? collapsedSpaces(known[index]) : "";
    const std::string line = index < reading.size() ? reading[index] : "";
    if (wanted != line) score.report += "\"" + wanted + "\" read as \"" + line + "\"\n";
  }
  return score;
}

}  // namespace morvel::testing
