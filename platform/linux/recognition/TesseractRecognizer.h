#pragma once

// Text lines of a captured image, recognised by Tesseract. The captured grey
// image is turned to dark text on a light ground area by area, enlarged when its
// text is small, and cut into horizontal bands between text lines that engines
// read side by side, one per processor core. Each engine is loaded once, when
// first needed, and cleared after every read, so that nothing of one image is
// left for the next. Whole captures and bands read before are taken from the
// recognition cache: the bands depend on the pixels alone, never on how many
// engines read them, so a reading from the cache is the one a fresh read gives.
// Lines and words that the first language reads poorly are read again by one engine of
// all the configured languages, shared by the band readers and loaded only when
// a word first needs it: an engine of them all weighs about as much as the
// band readers together.

#include "ocr/Screen.h"
#include "platform/linux/image/GreyCapture.h"
#include "platform/linux/recognition/RecognitionCache.h"
#include "platform/linux/recognition/RecognitionPlan.h"
#include "platform/linux/recognition/TesseractEngine.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace morvel::linux_ax {

class TesseractRecognizer {
 public:
  // `engines` caps how many bands are read side by side; by default one per
  // core, at most two. `cacheBytes` bounds the recognition cache; 0 turns it off.
  // `languages` as TesseractEngine takes them: every line is read in the first,
  // lines read poorly in it again in all of them.
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
  // Reads again, in all the languages, the lines or words of `band` read poorly
  // in the first, and leaves the lines without their words. Safe from any thread.
  void rereadDoubtfulWords(const GreyImage& band, int scale, std::vector<FoundLine>& lines);
  // Reads `line` again in all the languages, whole or the words it doubts.
  void rereadDoubtful(const GreyImage& band, int scale, FoundLine& line);
  // The one line the engine of all languages reads in `pixels`; nothing when
  // it cannot be loaded or reads no single line.
  std::optional<FoundLine> readInAllLanguages(const GreyImage& pixels, int scale, Layout layout);
  // Loaded on first need; null when it cannot be. Called under allLanguagesLock_.
  TesseractEngine* allLanguagesEngine();

  std::size_t mostEngines_;
  RecognitionCache cache_;
  std::string languages_;
  std::string settings_;
  std::vector<std::unique_ptr<TesseractEngine>> engines_;
  bool loadFailed_ = false;
  // Empty when only one language is configured.
  std::string allLanguages_;
  std::mutex allLanguagesLock_;  // guards the two below and every read of the engine
  std::unique_ptr<TesseractEngine> allLanguagesEngine_;
  bool allLanguagesLoadFailed_ = false;
};

// Where a line found in the prepared (possibly enlarged) image lies in the whole
// captured rectangle, normalised with a bottom-left origin.
ocr::NormalizedBox normalizedBox(const GreyCapture& capture, int scale, int left, int top, int right, int bottom);

}  // namespace morvel::linux_ax
