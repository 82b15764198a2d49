#pragma once

// One Tesseract engine set up for screen text: the LSTM recogniser, page
// segmentation for sparse text (a window is scattered labels, cells and
// buttons, each its own line), and no OpenMP threads of its own.

#include "platform/linux/image/GreyImage.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tesseract {
class TessBaseAPI;
}

namespace morvel::linux_ax {

// A recognised character, its box in pixels of the image read.
struct FoundLetter {
  std::string text;
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// A recognised word, its box in pixels of the image read.
struct FoundWord {
  std::string text;
  float confidence = 0;  // 0 to 1
  bool inDictionary = false;  // of the language that read it
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  std::vector<FoundLetter> letters{};
};

// A recognised text line, its box in pixels of the image read.
struct FoundLine {
  std::optional<std::string> text;  // absent when the line holds no text
  float confidence = 0;             // 0 to 1
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  // As the engine read them; the recogniser drops them once the line's text is final.
  std::vector<FoundWord> words{};
};

// What a Western European desktop reads with: every line in English first;
// what English reads poorly again with the Latin script's model, and lines that
// prove accented with the German, French, Spanish, Italian and Portuguese
// models too (TesseractRecognizer). On English text about 1.1 times the
// processor time of English alone; on a page of accented labels no character
// wrong, where English alone got 15 % wrong and English with Latin, without
// the five languages' word lists, 3.3 %.
inline constexpr const char* defaultLanguages = "eng+Latin+deu+fra+spa+ita+por";
// Installed with the recogniser itself.
inline constexpr const char* englishOnly = "eng";

// Whether the engine loads its languages' word lists: the first reading's
// dictionary tells which words it doubts; the second reading goes without.
enum class WordLists { loaded, left };

// How the lines of an image are found: scattered over it (a window's labels,
// cells and buttons), or the image holding one line.
enum class Layout { sparse, oneLine, oneWord };

// How much of a line is reported besides its text and box: its words, or its
// words and their letters. Each costs another walk over the engine's results.
// Words that hold a hyphen between letters, which may be a full stop
// (HyphenOrStop.h), come with their letters whenever words are asked for.
enum class Detail { lines, words, letters };

// `wanted` ("deu+fra": Tesseract's names joined by "+") without the languages
// whose model is not installed (one missing model would fail them all); English
// when nothing of it is usable.
std::string installedLanguages(const std::string& wanted);

class TesseractEngine {
 public:
  explicit TesseractEngine(std::string languages = englishOnly, WordLists wordLists = WordLists::loaded);
  ~TesseractEngine();
  TesseractEngine(const TesseractEngine&) = delete;
  TesseractEngine& operator=(const TesseractEngine&) = delete;

  // Loads the models of its languages; false when they cannot be loaded.
  bool load();
  // The models and modes the engine reads with: what besides the pixels
  // decides what is read.
  std::string settings() const;
  // The lines of `image`, which shows the screen at `scale` times its size,
  // with the `detail` asked for. Nothing when recognition fails. Nothing of the
  // image is kept.
  std::optional<std::vector<FoundLine>> read(const GreyImage& image, int scale, Layout layout = Layout::sparse,
                                             Detail detail = Detail::letters);

 private:
  std::string languages_;
  WordLists wordLists_;
  std::unique_ptr<tesseract::TessBaseAPI> api_;
};

}  // namespace morvel::linux_ax
