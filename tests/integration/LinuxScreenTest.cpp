// The X11 capture and the Tesseract recogniser through the screen boundary, and
// the pure steps around them. What they read off a window, and where, is checked
// through "ocr-region" (ScreenCommandsTest).

#include "platform/linux/image/GreyImage.h"
#include "platform/linux/LinuxScreen.h"
#include "platform/linux/recognition/ModelWithoutWordList.h"
#include "platform/linux/recognition/SecondReading.h"
#include "platform/linux/recognition/TesseractEngine.h"
#include "platform/linux/x11/X11Workspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace morvel::testing {
namespace {

using linux_ax::GreyCapture;
using linux_ax::GreyImage;

TEST(LinuxScreen, EmptyNegativeAndHugeRectanglesCaptureNothing) {
  linux_ax::X11Workspace windows;
  linux_ax::LinuxScreen screen(windows);
  // Off-screen ones are asked through "ocr-region" (ScreenCommandsTest); sizes
  // past any screen would overflow the pixel rectangle.
  for (const ax::Rect& nothing : {ax::Rect{10, 10, 0, 50}, ax::Rect{10, 10, 50, 0}, ax::Rect{10, 10, -40, 50},
                                  ax::Rect{std::nan(""), 10, 100, 100}, ax::Rect{1e300, 10, 1e300, 100}}) {
    EXPECT_FALSE(screen.capture(nothing)) << nothing.x << "," << nothing.width;
  }
  // A one-pixel rectangle is a capture, and recognising it is no failure.
  auto tiny = screen.capture({0, 0, 1, 1});
  ASSERT_TRUE(tiny);
  auto nothing = screen.recognize(*tiny);
  ASSERT_TRUE(nothing);
  EXPECT_TRUE(nothing->empty());
}

TEST(CaptureGeometry, RectanglesRoundOutwardAndClipToTheScreen) {
  auto rect = linux_ax::pixelRectOf({10.5, 20.25, 5.0, 4.5});
  ASSERT_TRUE(rect);
  EXPECT_EQ(rect->x, 10);
  EXPECT_EQ(rect->y, 20);
  EXPECT_EQ(rect->width, 6);
  EXPECT_EQ(rect->height, 5);
  auto clipped = linux_ax::clipToScreen({-10, 1070, 50, 50}, 1920, 1080);
  ASSERT_TRUE(clipped);
  EXPECT_EQ(clipped->x, 0);
  EXPECT_EQ(clipped->y, 1070);
  EXPECT_EQ(clipped->width, 40);
  EXPECT_EQ(clipped->height, 10);
  EXPECT_FALSE(linux_ax::clipToScreen({1920, 0, 10, 10}, 1920, 1080));
}

TEST(CaptureGeometry, BoxesAreNormalisedToTheWholeRectangleFromTheBottomLeft) {
  // 100 x 50 rectangle whose visible part starts 20 px in; a line found at
  // (10, 4)-(30, 14) in the twice-enlarged visible part.
  const GreyCapture capture(100, 50, 20, 0, GreyImage{80, 50, std::vector<std::uint8_t>(80 * 50, 255)});
  const ocr::NormalizedBox box = linux_ax::normalizedBox(capture, 2, 10, 4, 30, 14);
  EXPECT_DOUBLE_EQ(box.minX, 25.0 / 100);
  EXPECT_DOUBLE_EQ(box.width, 10.0 / 100);
  EXPECT_DOUBLE_EQ(box.height, 5.0 / 50);
  EXPECT_DOUBLE_EQ(box.minY, (50.0 - 7.0) / 50);
}

// One missing model fails every language given with it, so missing ones are
// left out; a name is never a path.
TEST(LinuxScreen, OnlyLanguagesWithAnInstalledModelAreRead) {
  const std::pair<const char*, const char*> cases[] = {
      {"eng+deu+fra", "eng+deu+fra"}, {"deu+klingon+por", "deu+por"}, {"klingon", "eng"},
      {"", "eng"},                    {"eng++deu+", "eng+deu"},       {"../tessdata/eng", "eng"},
      {"osd/../deu", "eng"}};
  for (const auto& [wanted, read] : cases) EXPECT_EQ(linux_ax::installedLanguages(wanted), read) << wanted;
}

// What English makes of accented letters sends a word to the second reading,
// stand-ins its whole line; plain English read confidently does not. Only
// Western European accents make a line worth checking. Of the second reading,
// a word is taken only where it is the first with accents.
TEST(SecondReading, WordsWithSignsOfAccentsAreReadAgain) {
  struct Case {
    const char* text;
    float confidence;
    bool inDictionary;
    bool marked;
    bool again;
    bool standIns;
    bool accents;
  };
  const Case cases[] = {{"Gré®e", 0.95F, true, false, true, true, false},  {"©", 0.95F, true, false, true, true, false},
                        {"Gr6e", 0.95F, true, false, true, true, false},   {"Sefor", 0.5F, true, true, true, false, false},
                        {"Saver", 0.5F, true, false, false, false, false}, {"Total", 0.93F, true, true, false, false, false},
                        {"Andern", 0.93F, false, false, true, false, false}, {"4567", 0.95F, false, false, false, false, false},
                        {"A4", 0.95F, false, false, false, false, false},  {"10x", 0.95F, false, false, false, false, false},
                        {"", 0.1F, false, true, false, false, false},      {"Größe", 0.95F, false, false, true, true, true},
                        {"Cœur", 0.95F, false, false, true, true, true},   {"‘Margaret", 0.95F, true, false, true, true, false},
                        {"Gerāt", 0.95F, false, false, true, true, false}};
  for (const Case& word : cases) {
    const linux_ax::FoundWord found{.text = word.text, .confidence = word.confidence, .inDictionary = word.inDictionary};
    EXPECT_EQ(linux_ax::worthReadingAgain(found, [&word] { return word.marked; }), word.again) << word.text;
    EXPECT_EQ(linux_ax::showsStandIns(found), word.standIns) << word.text;
    EXPECT_EQ(linux_ax::showsAccents(word.text), word.accents) << word.text;
  }
  // The second reading and whether its dictionary knows it, the first and whether
  // its dictionary knows it, and whether the second is taken.
  const std::tuple<const char*, bool, const char*, bool, bool> variants[] = {
      {"Não", false, "Nao", true, true},           {"Señor", false, "Sefor", false, true},
      {"Cœur", false, "Coeur", true, true},         {"Straße", false, "Strabe", false, true},
      {"Straße", false, "Strasse", true, true},     {"Größe", false, "Gré®e", false, true},
      {"Contraseña", false, "Contrasefia", false, true}, {"Noël", false, "Nol", false, true},
      {"Città", false, "citta", true, true},        {"Noël", false, "Nol", true, false},
      {"Noël", true, "Nol", true, true},            {"Più", true, "Pi", true, true},
      {"avañable", false, "available", true, false}, {"_invoïce", true, "invoice", false, false},
      {"Total", true, "Total", true, false},        {"€uro", false, "Euro", false, false},
      {"Óla", false, "", false, false},             {"Gerāt", false, "Gerat", false, false}};
  for (const auto& [second, secondKnown, first, firstKnown, taken] : variants) {
    const linux_ax::FoundWord again{.text = second, .inDictionary = secondKnown};
    const linux_ax::FoundWord read{.text = first, .inDictionary = firstKnown};
    EXPECT_EQ(linux_ax::accentedVariant(again, read), taken) << second << " for " << first;
  }
  // The language models' word, whether their dictionaries know it, the script
  // model's, the first reading, and which is taken.
  const std::tuple<const char*, bool, const char*, const char*, bool> checks[] = {
      {"Contraseña", true, "Contrasefñia", "Contrasefia", true}, {"Opções", true, "Opçöões", "Opcbes", true},
      {"Gerät", true, "Gerāt", "Gerat", true},                   {"Menü", true, "Menú", "Meni", false},
      {"Coeur", false, "Coœur", "Coeur", false},                 {"Büsqueda", false, "Búsqueda", "Busqueda", false},
      {"Más", true, "Mas", "Mas", true},                          {"Tötal", true, "Total", "Tonal", false}};
  for (const auto& [checked, known, second, first, wins] : checks) {
    const linux_ax::FoundWord check{.text = checked, .inDictionary = known};
    EXPECT_EQ(linux_ax::checkedWordWins(check, {.text = second}, {.text = first}), wins)
        << checked << " against " << second << " for " << first;
  }
  // A doubtful word of an accented line: a later reading, the first and its
  // confidence, and whether the later one replaces it.
  const std::tuple<const char*, const char*, float, bool> doubtful[] = {
      {"Noël", "Nog!", 0.3F, true},   {"Noël", "Nog!", 0.7F, false},       {"Tota1", "Total", 0.3F, false},
      {"Configuración", "Co", 0.3F, false}, {"Ändern", "Ande", 0.5F, true}};
  for (const auto& [later, first, confidence, replaces] : doubtful) {
    EXPECT_EQ(linux_ax::replacesDoubtfulWord({.text = later}, {.text = first, .confidence = confidence}), replaces)
        << later << " for " << first;
  }
  // The script model reads a ligature's base letter beside it as well.
  const std::pair<const char*, const char*> ligatures[] = {{"Coœur", "Cœur"},   {"COŒUR", "CŒUR"},
                                                          {"Cœeur", "Cœur"},   {"Cœur", "Cœur"},
                                                          {"Maßstab", "Maßstab"}, {"Ça", "Ça"}};
  for (const auto& [read, kept] : ligatures) EXPECT_EQ(linux_ax::withoutDoubledLigatureBase(read), kept) << read;
}

// Letters drawn as ink rows in 4-pixel columns on one line: ascenders from
// row 6, where the engine's box of the line starts, capitals from row 7, small
// letters from row 11, all down to row 16, each letter's box from its body's
// top. Marks are ink above a letter's body with ground between, up to half the
// line's height above the line's box ("Ä"); stems, bars and the dots of "i"
// are not, nor what runs on beyond that reach (the line above).
TEST(SecondReading, MarksAboveLettersAreFoundInThePixels) {
  struct Drawn {
    const char* read;
    std::vector<int> inkRows;
  };
  auto rows = [](int from, int to) {
    std::vector<int> all;
    for (int row = from; row <= to; ++row) all.push_back(row);
    return all;
  };
  auto with = [](std::vector<int> body, std::vector<int> more) {
    body.insert(body.end(), more.begin(), more.end());
    return body;
  };
  // A word of one letter each, and whether a mark stands above it.
  const std::tuple<Drawn, bool> letters[] = {
      {{"n", rows(11, 16)}, false},                  {{"o", rows(10, 16)}, false},
      {{"d", rows(6, 16)}, false},                   {{"H", rows(7, 16)}, false},
      {{"E", {7, 12, 16}}, false},                   {{"i", with(rows(11, 16), {7, 8})}, false},
      {{"e", with(rows(11, 16), {7, 8})}, true},     {{"A", with(rows(7, 16), {4, 5})}, true},
      {{"d", with(rows(11, 16), {7, 8})}, true},     {{"u", with(rows(11, 16), {8})}, true},
      {{"n", with(rows(11, 16), {0, 1, 2})}, false}};
  constexpr int pitch = 5;
  constexpr int letterWidth = 4;
  GreyImage image{pitch * static_cast<int>(std::size(letters)), 19, {}};
  image.pixels.assign(static_cast<std::size_t>(image.width) * image.height, 255);
  linux_ax::FoundLine line{.text = "", .left = 0, .top = 6, .right = image.width, .bottom = 17};
  for (const auto& [drawn, marked] : letters) {
    const int left = pitch * static_cast<int>(line.words.size());
    for (const int row : drawn.inkRows) {
      std::fill_n(image.pixels.begin() + row * image.width + left, letterWidth, 0);
    }
    const linux_ax::FoundLetter letter{drawn.read, left, drawn.inkRows.front(), left + letterWidth, 17};
    line.words.push_back({.text = drawn.read, .left = left, .right = left + letterWidth, .letters = {letter}});
  }
  EXPECT_EQ(linux_ax::topWithMarks(image, line), 4);
  for (std::size_t at = 0; at < line.words.size(); ++at) {
    EXPECT_EQ(linux_ax::marksAboveLetters(image, line, line.words[at]), std::get<1>(letters[at]))
        << line.words[at].text << " at " << at;
  }
}

// The first language reads everything; script models read again without word
// lists, and the language models check them; without a script model the
// languages read again and nothing checks them.
TEST(SecondReading, LanguagesPlayTheirParts) {
  const std::pair<const char*, linux_ax::LanguageRoles> cases[] = {
      {"eng+Latin+deu+fra", {"eng", "Latin", "deu+fra"}}, {"eng+deu+Latin", {"eng", "Latin", "deu"}},
      {"eng+deu+fra", {"eng", "deu+fra", ""}},            {"eng+Latin", {"eng", "Latin", ""}},
      {"deu", {"deu", "", ""}},                           {"eng++Latin+", {"eng", "Latin", ""}}};
  for (const auto& [languages, roles] : cases) {
    const linux_ax::LanguageRoles read = linux_ax::languageRoles(languages);
    EXPECT_EQ(read.first + "|" + read.second + "|" + read.check, roles.first + "|" + roles.second + "|" + roles.check)
        << languages;
  }
}

// The box's pixels framed in white, whatever lies around them in the image.
TEST(SecondReading, BoxImageIsFramedInWhite) {
  GreyImage image{4, 3, {0, 1, 2, 3, 10, 11, 12, 13, 20, 21, 22, 23}};
  const GreyImage inner = linux_ax::boxImage(image, 1, 1, 3, 2, 0);
  EXPECT_EQ(inner.width, 2);
  EXPECT_EQ(inner.height, 1);
  EXPECT_EQ(inner.pixels, (std::vector<std::uint8_t>{11, 12}));
  const GreyImage framed = linux_ax::boxImage(image, -1, 1, 3, 9, 1);
  EXPECT_EQ(framed.width, 5);
  EXPECT_EQ(framed.height, 4);
  EXPECT_EQ(framed.pixels, (std::vector<std::uint8_t>{255, 255, 255, 255, 255, 255, 10, 11, 12, 255, 255, 20, 21, 22,
                                                      255, 255, 255, 255, 255, 255}));
}

// A line whose words were read again says what they say now, with their mean
// confidence; a line the engine gave no words keeps its own reading.
TEST(SecondReading, ALineIsMadeOfItsWordsAsTheyReadNow) {
  linux_ax::FoundLine line{.text = "Grö8e Uber", .confidence = 0.7F};
  line.words = {{.text = "Größe", .confidence = 0.9F}, {.text = "Über", .confidence = 0.8F}};
  linux_ax::rejoinWords(line);
  EXPECT_EQ(line.text, "Größe Über");
  EXPECT_FLOAT_EQ(line.confidence, 0.85F);
  linux_ax::FoundLine wordless{.text = "as read", .confidence = 0.7F};
  linux_ax::rejoinWords(wordless);
  EXPECT_EQ(wordless.text, "as read");
  EXPECT_FLOAT_EQ(wordless.confidence, 0.7F);
}

// A model file: the count of its parts, their offsets (-1 for a missing one),
// then their bytes; `parts` maps a part's number to its bytes.
std::vector<char> modelFile(std::int32_t count, const std::map<int, std::string>& parts) {
  std::vector<std::int64_t> offsets(static_cast<std::size_t>(count), -1);
  std::string body;
  const auto header = static_cast<std::int64_t>(sizeof count + sizeof(std::int64_t) * offsets.size());
  for (const auto& [part, bytes] : parts) {
    offsets[static_cast<std::size_t>(part)] = header + static_cast<std::int64_t>(body.size());
    body += bytes;
  }
  std::vector<char> file(static_cast<std::size_t>(header));
  std::memcpy(file.data(), &count, sizeof count);
  std::memcpy(file.data() + sizeof count, offsets.data(), sizeof(std::int64_t) * offsets.size());
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

// The word list (part 19) is left out and the other parts found where the
// header now says; a file of another layout comes whole, a missing one not at all.
TEST(ModelWithoutWordList, EveryPartButTheWordListIsRead) {
  const std::vector<char> model = modelFile(24, {{17, "network"}, {18, "punct"}, {19, "WORDLIST"}, {21, "chars"}});
  std::vector<char> outOfOrder = model;
  std::swap(outOfOrder[4 + 8 * 17], outOfOrder[4 + 8 * 18]);
  struct Case {
    const char* name;
    std::vector<char> file;
    std::vector<char> read;
  };
  const Case cases[] = {
      {"model", model, modelFile(24, {{17, "network"}, {18, "punct"}, {21, "chars"}})},
      {"without a word list", modelFile(24, {{17, "net"}}), modelFile(24, {{17, "net"}})},
      {"too few parts", modelFile(8, {{3, "legacy"}}), modelFile(8, {{3, "legacy"}})},
      {"offsets out of order", outOfOrder, outOfOrder},
      {"cut short", {model.begin(), model.begin() + 40}, {model.begin(), model.begin() + 40}}};
  const auto path = std::filesystem::temp_directory_path() / ("morvel-model-" + std::to_string(getpid()));
  for (const Case& kind : cases) {
    std::ofstream(path, std::ios::binary).write(kind.file.data(), static_cast<std::streamsize>(kind.file.size()));
    std::vector<char> read;
    EXPECT_TRUE(linux_ax::readModelWithoutWordList(path.c_str(), &read)) << kind.name;
    EXPECT_EQ(read, kind.read) << kind.name;
  }
  std::filesystem::remove(path);
  std::vector<char> read;
  EXPECT_FALSE(linux_ax::readModelWithoutWordList(path.c_str(), &read));
}

}  // namespace
}  // namespace morvel::testing
