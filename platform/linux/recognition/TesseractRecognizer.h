#pragma once

// Text lines of a captured image, recognised by Tesseract. The captured grey
// image is turned to dark text on a light ground area by area, enlarged when its
// text is small, and cut into horizontal bands between text lines that engines
// read side by side, one per processor core. Each engine is loaded once, when
// first needed, and cleared after every read, so that nothing of one image is
// left for the next. Whole captures and bands read before are taken from the
// recognition cache: the bands depend on the pixels alone, never on how many
// engines read them, so a reading from the cache is the one a fresh read gives.

#include "ocr/Screen.h"
#include "platform/linux/image/GreyCapture.h"
#include "platform/linux/recognition/RecognitionCache.h"
#include "platform/linux/recognition/RecognitionPlan.h"
#include "platform/linux/recognition/TesseractEngine.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvel::linux_ax {

class TesseractRecognizer {
 public:
  // `engines` caps how many bands are read side by side; by default one per
  // core, at most two. `cacheBytes` bounds the recognition cache; 0 turns it off.
  // `languages` as TesseractEngine takes them.
  explicit TesseractRecognizer(unsigned engines = 0, std::size_t cacheBytes = RecognitionCache::defaultBytes,
                               std::string languages = defaultLanguages);

  std::optional<std::vector<ocr::Observation>> recognize(const GreyCapture& capture);

 private:
  // How many engines are loaded, loading up to `wanted` of them.
  std::size_t loadEngines(std::size_t wanted);
  std::optional<Reading> readPrepared(const GreyImage& visible);
  // Reads the given cuts side by side into `readings`; false when any fails.
  bool readCuts(const std::vector<BandImage>& cuts, const std::vector<std::size_t>& wanted, int scale,
                std::vector<std::optional<Reading>>& readings);

  std::size_t mostEngines_;
  RecognitionCache cache_;
  std::string languages_;
  std::string settings_;
  std::vector<std::unique_ptr<TesseractEngine>> engines_;
  bool loadFailed_ = false;
};

// Where a line found in the prepared (possibly enlarged) image lies in the whole
// captured rectangle, normalised with a bottom-left origin.
ocr::NormalizedBox normalizedBox(const GreyCapture& capture, int scale, int left, int top, int right, int bottom);

}  // namespace morvel::linux_ax
