#include "platform/linux/recognition/TesseractRecognizer.h"

#include "platform/linux/recognition/DarkText.h"
#include "platform/linux/recognition/HyphenOrStop.h"
#include "platform/linux/recognition/RecognitionPlan.h"
#include "platform/linux/recognition/SecondReading.h"
#include "platform/linux/recognition/WordSpacing.h"

#include <algorithm>
#include <atomic>
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
// Bands are what the cache keeps: after one line of a screen changed, only its
// band is read again. Thinner bands cost more in per-read overhead than they
// save.
constexpr int shortestBandRows = 120;
constexpr int mostBands = 24;
// Ground rows added where a band was cut from its neighbour.
constexpr int bandMarginRows = 10;
// Ground put around a line or word read again: the recogniser reads text
// touching the image's edge poorly.
constexpr int marginPixels = 6;

unsigned enginesForThisMachine() {
  const unsigned cores = std::thread::hardware_concurrency();
  return std::clamp(cores, 1U, mostEnginesEver);
}

}  // namespace

TesseractRecognizer::TesseractRecognizer(unsigned engines, std::size_t cacheBytes, std::string languages)
    : mostEngines_(engines == 0 ? enginesForThisMachine() : std::min(engines, mostEnginesEver)),
      cache_(cacheBytes),
      languages_(languageRoles(languages).first),
      settings_(TesseractEngine(languages_).settings()),
      second_{.languages = languageRoles(languages).second, .wordLists = WordLists::left},
      check_{.languages = languageRoles(languages).check, .wordLists = WordLists::loaded} {
  settings_ += " then " + TesseractEngine(second_.languages, second_.wordLists).settings() + " checked by " +
               TesseractEngine(check_.languages, check_.wordLists).settings();
}

std::optional<FoundLine> TesseractRecognizer::readOneLine(LaterEngine& later, const GreyImage& pixels, int scale,
                                                          Layout layout) {
  const std::lock_guard lock(later.lock);
  if (!later.engine && !later.loadFailed && !later.languages.empty()) {
    later.engine = std::make_unique<TesseractEngine>(later.languages, later.wordLists);
    if (!later.engine->load()) {
      later.engine.reset();
      later.loadFailed = true;  // the readings before it stand
    }
  }
  if (!later.engine) return std::nullopt;
  auto again = later.engine->read(pixels, scale, layout, Detail::words);
  if (!again || again->size() != 1 || !again->front().text) return std::nullopt;
  FoundLine line = std::move(again->front());
  line.text = withoutDoubledLigatureBase(*line.text);
  for (FoundWord& word : line.words) word.text = withoutDoubledLigatureBase(word.text);
  return line;
}

// Taken whatever their confidence: the second engine rates words by other
// measures, and keeping the more confident reading lost more accents.
bool TesseractRecognizer::rereadWholeLine(const GreyImage& band, int scale, FoundLine& line, bool standIns,
                                          bool accented) {
  const GreyImage pixels =
      boxImage(band, line.left, topWithMarks(band, line), line.right, line.bottom, marginPixels * scale);
  auto again = readOneLine(second_, pixels, scale, Layout::oneLine);
  if (!again) return false;
  if (again->words.size() != line.words.size()) {
    if (!standIns) return false;
    // No word of one reading can be matched with one of the other: the second
    // reading stands whole, since the first holds stand-ins.
    line.text = std::move(again->text);
    line.confidence = again->confidence;
    line.words = {};
    return false;
  }
  // English lines read again for a stand-in ("‘Margaret") stay unchecked: the
  // language models read them at several times the cost of Latin.
  const bool latinAccented = std::any_of(again->words.begin(), again->words.end(),
                                         [](const FoundWord& word) { return showsAccents(word.text); });
  auto checked = latinAccented ? readOneLine(check_, pixels, scale, Layout::oneLine) : std::nullopt;
  if (checked && checked->words.size() != line.words.size()) checked.reset();
  bool changed = false;
  std::vector<bool> taken(line.words.size(), false);
  for (std::size_t at = 0; at < line.words.size(); ++at) {
    FoundWord& word = line.words[at];
    FoundWord& other = again->words[at];
    if (checked && checkedWordWins(checked->words[at], other, word)) {
      other = std::move(checked->words[at]);
    } else if (!showsStandIns(word) && !accentedVariant(other, word)) {
      continue;
    }
    word.text = std::move(other.text);
    word.confidence = other.confidence;
    changed = taken[at] = true;
    accented = accented || showsAccents(word.text);
  }
  if (!accented) return changed;
  // In a line with accents, what English could not read at all ("Nog!") is
  // taken from the language models where their dictionaries know it, else
  // from the script model.
  for (std::size_t at = 0; at < line.words.size(); ++at) {
    FoundWord& word = line.words[at];
    if (taken[at]) continue;
    const FoundWord* later = &again->words[at];
    if (checked && checked->words[at].inDictionary && replacesDoubtfulWord(checked->words[at], word)) {
      later = &checked->words[at];
    } else if (!replacesDoubtfulWord(*later, word)) {
      continue;
    }
    word.text = later->text;
    word.confidence = later->confidence;
    changed = true;
  }
  return changed;
}

void TesseractRecognizer::rereadDoubtful(const GreyImage& band, int scale, FoundLine& line) {
  // A stand-in is a sure sign of accents, and words read in their line lose
  // fewer accents than words read alone: the whole line is read again. Weaker
  // signs are common in English text (names, figures), so only those words are,
  // and the line too once one of them proves to be accented: English reads
  // some accented words as confident English ones ("Nao", "naive").
  const bool standIns = std::any_of(line.words.begin(), line.words.end(), showsStandIns);
  const int top = topWithMarks(band, line);
  bool accented = false;
  bool changed = false;
  for (FoundWord& word : line.words) {
    if (standIns || accented) break;
    if (!worthReadingAgain(word, [&] { return marksAboveLetters(band, line, word); })) continue;
    // As tall as its line with its marks, so that its letters stand as high as they did there.
    auto again = readOneLine(second_, boxImage(band, word.left, top, word.right, line.bottom, marginPixels * scale),
                             scale, Layout::oneWord);
    if (!again || again->words.size() != 1 || !accentedVariant(again->words.front(), word)) continue;
    word.text = std::move(again->words.front().text);
    word.confidence = again->confidence;
    changed = accented = true;
  }
  if (standIns || accented) changed = rereadWholeLine(band, scale, line, standIns, accented) || changed;
  if (changed) rejoinWords(line);
}

void TesseractRecognizer::rereadDoubtfulWords(const GreyImage& band, int scale, std::vector<FoundLine>& lines) {
  for (FoundLine& line : lines) {
    readStopsReadAsHyphens(band, line);
    if (!second_.languages.empty()) rereadDoubtful(band, scale, line);
    joinWordsSplitAfterStops(band, line);
    line.words = {};  // the cache keeps lines only
  }
}

std::size_t TesseractRecognizer::loadEngines(std::size_t wanted) {
  while (engines_.size() < wanted && !loadFailed_) {
    auto engine = std::make_unique<TesseractEngine>(languages_);
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

bool TesseractRecognizer::readCuts(const std::vector<BandImage>& cuts, const std::vector<std::size_t>& wanted,
                                   int scale, std::vector<std::optional<Reading>>& readings) {
  const std::size_t engines = loadEngines(std::min(wanted.size(), mostEngines_));
  if (engines == 0) return false;
  std::atomic<std::size_t> next = 0;
  std::atomic<bool> failed = false;
  // Each engine takes the next unread cut until none is left.
  auto readWith = [&](TesseractEngine& engine) {
    for (std::size_t taken = next++; taken < wanted.size() && !failed; taken = next++) {
      const std::size_t cut = wanted[taken];
      // The words' boxes serve the spaces after full stops, the letters' the
      // second reading alone.
      auto lines = engine.read(cuts[cut].image, scale, Layout::sparse,
                               second_.languages.empty() ? Detail::words : Detail::letters);
      if (!lines) {
        failed = true;
        return;
      }
      rereadDoubtfulWords(cuts[cut].image, scale, *lines);
      readings[cut] = Reading{std::move(*lines), scale};
    }
  };
  {
    std::vector<std::jthread> helpers;
    for (std::size_t engine = 1; engine < engines; ++engine) {
      auto readOnHelper = [&, engine] {
        // An exception must not leave a thread of its own: it would end the process.
        try {
          readWith(*engines_[engine]);
        } catch (const std::exception&) {
          failed = true;
        }
      };
      try {
        helpers.emplace_back(readOnHelper);
      } catch (const std::system_error&) {
        break;  // no thread to be had: this thread reads the rest
      }
    }
    readWith(*engines_[0]);
  }  // the helpers are joined here
  return !failed;
}

std::optional<Reading> TesseractRecognizer::readPrepared(const GreyImage& visible) {
  GreyImage prepared = visible;
  makeTextDark(prepared);
  int scale = 1;
  if (4LL * prepared.width * prepared.height <= mostUpscaledPixels && worthEnlarging(prepared)) {
    GreyImage larger = upscaleTwice(prepared);
    if (!larger.pixels.empty()) {
      prepared = std::move(larger);
      scale = 2;
    }
  }
  const std::string bandSettings = settings_ + " band scale " + std::to_string(scale);
  std::vector<BandImage> cuts;
  std::vector<PixelKey> keys;
  std::vector<std::optional<Reading>> readings;
  std::vector<std::size_t> unread;
  for (const RowBand& band : rowBands(prepared, mostBands, shortestBandRows * scale)) {
    cuts.push_back(bandImage(prepared, band, bandMarginRows * scale));
    keys.push_back(pixelKey(cuts.back().image, bandSettings));
    readings.push_back(cache_.find(keys.back()));
    if (!readings.back()) unread.push_back(cuts.size() - 1);
  }
  if (!unread.empty() && !readCuts(cuts, unread, scale, readings)) return std::nullopt;

  Reading whole{{}, scale};
  for (std::size_t cut = 0; cut < cuts.size(); ++cut) {
    cache_.store(keys[cut], *readings[cut]);
    for (FoundLine& line : readings[cut]->lines) {
      line.top += cuts[cut].firstRow;
      line.bottom += cuts[cut].firstRow;
      whole.lines.push_back(std::move(line));
    }
  }
  return whole;
}

std::optional<std::vector<ocr::Observation>> TesseractRecognizer::recognize(const GreyCapture& capture) {
  const GreyImage& visible = capture.visible();
  if (visible.width <= 0 || visible.height <= 0 || loadEngines(1) == 0) return std::nullopt;

  const PixelKey key = pixelKey(visible, settings_ + " capture");
  std::optional<Reading> reading = cache_.find(key);
  if (!reading) {
    reading = readPrepared(visible);
    if (!reading) return std::nullopt;
    cache_.store(key, *reading);
  }
  std::vector<ocr::Observation> observations;
  observations.reserve(reading->lines.size());
  for (FoundLine& line : reading->lines) {
    observations.push_back({std::move(line.text), line.confidence,
                            normalizedBox(capture, reading->scale, line.left, line.top, line.right, line.bottom)});
  }
  return observations;
}

}  // namespace morvel::linux_ax
