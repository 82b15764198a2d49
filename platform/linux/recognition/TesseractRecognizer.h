#pragma once

// Text lines of a captured image, recognised by Tesseract. The captured grey
// image is turned to dark text on a light ground area by area, enlarged when its
// text is small, and cut into horizontal bands between text lines that engines
// read side by side, one per processor core. Each engine is loaded once, when
// first needed, and cleared after every read, so that nothing of one image is
// left for the next. Whole captures and bands read before are taken from the
// recognition cache: the bands depend on the pixels alone, never on how many
// engines read them, so a reading from the cache is the one a fresh read gives.
// Lines and words that the first language reads poorly are read again by one
// engine of the script models (Latin, the model of every Latin-script language,
// on Western European desktops), without their word lists; lines that prove
// accented, by one engine of the language models with their word lists too.
// Both are shared by the band readers and loaded only when a line first needs them.

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
  // `languages` as TesseractEngine takes them, in the parts languageRoles gives them.
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
  // Reads again, in the other languages, the lines or words of `band` read poorly
  // in the first, and leaves the lines without their words. Safe from any thread.
  void rereadDoubtfulWords(const GreyImage& band, int scale, std::vector<FoundLine>& lines);
  // Reads `line` again in the other languages, whole or the words it doubts.
  void rereadDoubtful(const GreyImage& band, int scale, FoundLine& line);
  // Reads `line` again whole with the script models and the language models,
  // and takes the words that replace stand-ins or are accented variants, and
  // once the line is `accented` (or proves so) the accented readings of words
  // the first reading doubted; true when a word changed.
  // When their words cannot be matched, the second reading stands whole if
  // the first showed `standIns`.
  bool rereadWholeLine(const GreyImage& band, int scale, FoundLine& line, bool standIns, bool accented);

  // An engine of the second reading or of its check.
  struct LaterEngine {
    std::string languages;  // none: no such reading
    WordLists wordLists;
    std::mutex lock{};  // guards the two below and every read of the engine
    std::unique_ptr<TesseractEngine> engine{};
    bool loadFailed = false;
  };
  // The one line `later` reads in `pixels`; nothing when it cannot be loaded
  // or reads no single line.
  static std::optional<FoundLine> readOneLine(LaterEngine& later, const GreyImage& pixels, int scale, Layout layout);

  std::size_t mostEngines_;
  RecognitionCache cache_;
  std::string languages_;
  std::string settings_;
  std::vector<std::unique_ptr<TesseractEngine>> engines_;
  bool loadFailed_ = false;
  LaterEngine second_;
  LaterEngine check_;
};

// Where a line found in the prepared (possibly enlarged) image lies in the whole
// captured rectangle, normalised with a bottom-left origin.
ocr::NormalizedBox normalizedBox(const GreyCapture& capture, int scale, int left, int top, int right, int bottom);

}  // namespace morvel::linux_ax
