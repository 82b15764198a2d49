#include "platform/linux/recognition/TesseractRecognizer.h"

#include "platform/linux/recognition/DarkText.h"
#include "platform/linux/recognition/RecognitionPlan.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>

namespace morvel::linux_ax {
namespace {

// Enlarging beyond this many pixels costs more time than it wins accuracy.
constexpr long long mostUpscaledPixels = 4096LL * 4096LL;
// Each engine holds its own model and its own copies of its band. Reading a
// full screen of small text (enlarged twice) peaked at 99 MB with one engine,
// 118 MB with two and 146 MB with four: two keep the helper well under 150 MB.
constexpr unsigned mostEnginesEver = 2;
// Thinner bands cost more in per-read overhead than reading side by side saves.
constexpr int shortestBandRows = 160;
// Ground rows added where a band was cut from its neighbour.
constexpr int bandMarginRows = 10;

unsigned enginesForThisMachine() {
  const unsigned cores = std::thread::hardware_concurrency();
  return std::clamp(cores, 1U, mostEnginesEver);
}

}  // namespace

TesseractRecognizer::TesseractRecognizer(unsigned engines)
    : mostEngines_(engines == 0 ? enginesForThisMachine() : std::min(engines, mostEnginesEver)) {}

std::size_t TesseractRecognizer::loadEngines(std::size_t wanted) {
  while (engines_.size() < wanted && !loadFailed_) {
    auto engine = std::make_unique<TesseractEngine>();
    if (!engine->load()) {
      loadFailed_ = true;  // a missing model stays missing; no second try per request
      break;
    }
    engines_.push_back(std::move(engine));
  }
  return engines_.size();
}

ocr::NormalizedBox normalizedBox(const GreyCapture& capture, int scale, int left, int top, int right, int bottom) {
  const double fullWidth = capture.widthPx();
  const double fullHeight = capture.heightPx();
  const double x0 = capture.clipX() + static_cast<double>(left) / scale;
  const double y0 = capture.clipY() + static_cast<double>(top) / scale;
  const double x1 = capture.clipX() + static_cast<double>(right) / scale;
  const double y1 = capture.clipY() + static_cast<double>(bottom) / scale;
  return ocr::NormalizedBox{x0 / fullWidth, (fullHeight - y1) / fullHeight, (x1 - x0) / fullWidth,
                            (y1 - y0) / fullHeight};
}

std::optional<std::vector<FoundLine>> TesseractRecognizer::readBands(const GreyImage& image,
                                                                     const std::vector<RowBand>& bands, int scale) {
  if (bands.size() == 1) return engines_[0]->read(image, scale);

  std::vector<BandImage> cuts;
  for (const RowBand& band : bands) cuts.push_back(bandImage(image, band, bandMarginRows * scale));
  std::vector<std::optional<std::vector<FoundLine>>> read(bands.size());
  {
    std::vector<std::jthread> helpers;
    for (std::size_t band = 1; band < bands.size(); ++band) {
      auto readBand = [&, band] {
        // An exception must not leave a thread of its own: it would end the process.
        try {
          read[band] = engines_[band]->read(cuts[band].image, scale);
        } catch (const std::exception&) {
          read[band].reset();
        }
      };
      try {
        helpers.emplace_back(readBand);
      } catch (const std::system_error&) {
        readBand();  // no thread to be had: read it here
      }
    }
    read[0] = engines_[0]->read(cuts[0].image, scale);
  }  // the helpers are joined here

  std::vector<FoundLine> lines;
  for (std::size_t band = 0; band < bands.size(); ++band) {
    if (!read[band]) return std::nullopt;
    for (FoundLine& line : *read[band]) {
      line.top += cuts[band].firstRow;
      line.bottom += cuts[band].firstRow;
      lines.push_back(std::move(line));
    }
  }
  return lines;
}

std::optional<std::vector<ocr::Observation>> TesseractRecognizer::recognize(const GreyCapture& capture) {
  const GreyImage& visible = capture.visible();
  if (visible.width <= 0 || visible.height <= 0 || loadEngines(1) == 0) return std::nullopt;

  GreyImage prepared = visible;
  makeTextDark(prepared);
  int scale = 1;
  if (4LL * prepared.width * prepared.height <= mostUpscaledPixels && worthEnlarging(prepared)) {
    prepared = upscaleTwice(prepared);
    scale = 2;
  }
  std::vector<RowBand> bands = rowBands(prepared, static_cast<int>(mostEngines_), shortestBandRows * scale);
  bands.resize(std::min(bands.size(), loadEngines(bands.size())), RowBand{});
  bands.back().bottom = prepared.height;  // fewer engines than bands: the last one reads the rest

  auto lines = readBands(prepared, bands, scale);
  if (!lines) return std::nullopt;
  std::vector<ocr::Observation> observations;
  observations.reserve(lines->size());
  for (FoundLine& line : *lines) {
    observations.push_back(
        {std::move(line.text), line.confidence, normalizedBox(capture, scale, line.left, line.top, line.right, line.bottom)});
  }
  return observations;
}

}  // namespace morvel::linux_ax
