#include "platform/linux/recognition/TesseractEngine.h"

#include "platform/linux/recognition/HyphenOrStop.h"
#include "platform/linux/recognition/ModelWithoutWordList.h"
#include "text/UnicodeText.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <omp.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#ifndef MORVEL_TESSDATA_DIR
#error "MORVEL_TESSDATA_DIR must name the folder that holds eng.traineddata"
#endif

namespace morvel::linux_ax {
namespace {

// The density X reports for ordinary screens; the recogniser wants a figure.
constexpr int screenDotsPerInch = 96;
constexpr float percent = 100.0F;
constexpr auto engineMode = tesseract::OEM_LSTM_ONLY;
constexpr auto pageMode = tesseract::PSM_SPARSE_TEXT;
constexpr auto oneWordMode = tesseract::PSM_SINGLE_WORD;
constexpr auto oneLineMode = tesseract::PSM_SINGLE_LINE;

// The LSTM code opens an OpenMP team of several threads for every time step of
// every line (its thread counts are written into the code, so a lower default
// count does not help); on two cores that made recognition about five times
// slower. With no active parallel level allowed, each team is this one thread.
// The setting belongs to the calling thread, so it is made before each read.
void keepOpenMpToThisThread() { omp_set_max_active_levels(0); }

// Tesseract's line text ends with a line break; the line holds the text.
std::optional<std::string> lineText(const char* raw) {
  if (raw == nullptr) return std::nullopt;
  std::string text = repairUtf8(raw);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.empty()) return std::nullopt;
  return text;
}

// The line the iterator is in; nothing when it holds no text or box.
std::optional<FoundLine> lineAt(const tesseract::ResultIterator& at) {
  FoundLine found;
  if (at.Empty(tesseract::RIL_TEXTLINE) ||
      !at.BoundingBox(tesseract::RIL_TEXTLINE, &found.left, &found.top, &found.right, &found.bottom)) {
    return std::nullopt;
  }
  std::unique_ptr<char[]> raw(at.GetUTF8Text(tesseract::RIL_TEXTLINE));
  found.text = lineText(raw.get());
  found.confidence = at.Confidence(tesseract::RIL_TEXTLINE) / percent;
  return found;
}

FoundWord wordAt(const tesseract::ResultIterator& at) {
  FoundWord found;
  at.BoundingBox(tesseract::RIL_WORD, &found.left, &found.top, &found.right, &found.bottom);
  std::unique_ptr<char[]> raw(at.GetUTF8Text(tesseract::RIL_WORD));
  if (raw) found.text = repairUtf8(raw.get());
  found.confidence = at.Confidence(tesseract::RIL_WORD) / percent;
  found.inDictionary = at.WordIsFromDictionary();
  return found;
}

// The characters of the word the iterator is at, which it leaves where it was.
std::vector<FoundLetter> lettersAt(const tesseract::ResultIterator& word) {
  std::vector<FoundLetter> letters;
  tesseract::ResultIterator at(word);
  do {
    FoundLetter letter;
    std::unique_ptr<char[]> raw(at.GetUTF8Text(tesseract::RIL_SYMBOL));
    if (raw && at.BoundingBox(tesseract::RIL_SYMBOL, &letter.left, &letter.top, &letter.right, &letter.bottom)) {
      letter.text = repairUtf8(raw.get());
      letters.push_back(std::move(letter));
    }
  } while (at.Next(tesseract::RIL_SYMBOL) && !at.IsAtBeginningOf(tesseract::RIL_WORD));
  return letters;
}

// Each line, with its words unless only lines are wanted: the iterator goes
// word by word, and the first word of a line stands at the line's beginning.
std::vector<FoundLine> linesOf(tesseract::TessBaseAPI& api, Detail detail) {
  std::vector<FoundLine> lines;
  std::unique_ptr<tesseract::ResultIterator> at(api.GetIterator());
  if (!at) return lines;
  const auto step = detail == Detail::lines ? tesseract::RIL_TEXTLINE : tesseract::RIL_WORD;
  bool inKeptLine = false;
  do {
    if (at->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) {
      auto line = lineAt(*at);
      inKeptLine = line.has_value();
      if (line) lines.push_back(std::move(*line));
    }
    if (detail == Detail::lines || !inKeptLine || at->Empty(tesseract::RIL_WORD)) continue;
    FoundWord& word = lines.back().words.emplace_back(wordAt(*at));
    if (detail == Detail::letters || holdsHyphenBetweenLetters(word.text)) word.letters = lettersAt(*at);
  } while (at->Next(step));
  return lines;
}

bool modelInstalled(const std::string& language) {
  const bool plainName = !language.empty() && language.find_first_of("./") == std::string::npos;
  std::error_code error;
  return plainName &&
         std::filesystem::is_regular_file(std::string(MORVEL_TESSDATA_DIR) + "/" + language + ".traineddata", error);
}

}  // namespace

std::string installedLanguages(const std::string& wanted) {
  std::string usable;
  std::size_t start = 0;
  while (start <= wanted.size()) {
    const std::size_t end = std::min(wanted.find('+', start), wanted.size());
    const std::string language = wanted.substr(start, end - start);
    if (modelInstalled(language)) usable += (usable.empty() ? "" : "+") + language;
    start = end + 1;
  }
  return usable.empty() ? englishOnly : usable;
}

TesseractEngine::TesseractEngine(std::string languages, WordLists wordLists)
    : languages_(std::move(languages)), wordLists_(wordLists) {}
TesseractEngine::~TesseractEngine() = default;

bool TesseractEngine::load() {
  auto api = std::make_unique<tesseract::TessBaseAPI>();
  // Its diagnostics would otherwise go to standard error.
  api->SetVariable("debug_file", "/dev/null");
  const tesseract::FileReader reader = wordLists_ == WordLists::left ? readModelWithoutWordList : nullptr;
  // With no bytes of model given, the first argument names the folder of the models.
  if (api->Init(MORVEL_TESSDATA_DIR, 0, languages_.c_str(), engineMode, nullptr, 0, nullptr, nullptr, false, reader) != 0) {
    return false;
  }
  api_ = std::move(api);
  return true;
}

std::string TesseractEngine::settings() const {
  return languages_ + (wordLists_ == WordLists::left ? " without word lists " : " ") + std::to_string(engineMode) + " " + std::to_string(pageMode) + " " +
         std::to_string(screenDotsPerInch) + " " + MORVEL_TESSDATA_DIR;
}

std::optional<std::vector<FoundLine>> TesseractEngine::read(const GreyImage& image, int scale, Layout layout,
                                                            Detail detail) {
  if (!api_ || image.width <= 0 || image.height <= 0) return std::nullopt;
  keepOpenMpToThisThread();
  api_->SetPageSegMode(layout == Layout::oneWord ? oneWordMode : layout == Layout::oneLine ? oneLineMode : pageMode);
  api_->SetImage(image.pixels.data(), image.width, image.height, 1, image.width);
  api_->SetSourceResolution(screenDotsPerInch * scale);
  std::optional<std::vector<FoundLine>> lines;
  if (api_->Recognize(nullptr) == 0) lines = linesOf(*api_, detail);
  api_->Clear();
  return lines;
}

}  // namespace morvel::linux_ax
