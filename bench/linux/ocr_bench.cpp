// morvel_ocr_bench: "ocr-region" of morvel_ax_helper side by side with the
// tesseract command-line tool on the same captured pixels, on a screen filled
// with a page of known UI text (11-14 px, light and dark grounds): median
// latency and character error rate for an 800x600 region and the full screen,
// and the helper's peak resident memory; what the recognition cache saves; an
// accented page; the accuracy matrix (a grid of styles at 9 to 48 px and a real
// editor's window). Run inside a virtual desktop:
// bench/linux/run-ocr-bench.sh [speed|cache|accents|matrix...]. With
// MORVEL_OCR_BENCH_BASELINE=PATH (another build's morvel_ax_helper), "speed" also
// reads the English text with that helper in turns with this build's. Reports;
// never fails on a time.

#include "bench/Timing.h"
#include "platform/linux/recognition/DarkText.h"
#include "platform/linux/recognition/RecognitionPlan.h"
#include "platform/linux/recognition/TesseractEngine.h"
#include "platform/linux/recognition/TesseractRecognizer.h"
#include "platform/linux/x11/X11Capture.h"
#include "support/PaintedText.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

extern char** environ;

namespace {

using morvel::bench::median;

using namespace morvel::testing;
using Clock = std::chrono::steady_clock;

struct Workload {
  const char* name;
  ScreenRect region;
  int helperRounds;
  int toolRounds;
};

struct Result {
  double medianMs = 0;
  double medianCpuMs = 0;  // the helper's processor time, all its threads
  TextScore score;
};

double millisSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// User and system time of a process so far, in milliseconds.
double cpuMillisOf(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string content((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(content.substr(content.rfind(')') + 2));
  std::string field;
  // After the command name: state is field 3; utime and stime are 14 and 15.
  for (int index = 3; index < 14 && fields >> field; ++index) {
  }
  unsigned long long user = 0;
  unsigned long long system = 0;
  fields >> user >> system;
  return 1000.0 * static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string statusField(pid_t pid, const std::string& key) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key + ":", 0) == 0) return line.substr(key.size() + 1);
  }
  return "?";
}

using Environment = std::map<std::string, std::optional<std::string>>;

// Every round reads afresh, as on a screen that changed since the last one.
Environment englishReads() { return {{"MORVEL_OCR_CACHE_MB", "0"}, {"MORVEL_OCR_LANGUAGES", "eng"}}; }

// The same reads with the default, Western European, languages (English, then
// Latin and the five languages' word lists for what English reads poorly): what
// they cost on English text.
Environment westernReads() {
  return {{"MORVEL_OCR_CACHE_MB", "0"}, {"MORVEL_OCR_LANGUAGES", morvel::linux_ax::defaultLanguages}};
}

// One timed "ocr-region" round: wall and processor time of the helper.
void timeRound(HelperProcess& helper, const Json& request, std::vector<double>& wall, std::vector<double>& cpu,
               std::optional<Json>& reply) {
  const double cpuBefore = cpuMillisOf(helper.process().pid());
  const auto start = Clock::now();
  reply = helper.ask(request, std::chrono::minutes(2));
  wall.push_back(millisSince(start));
  cpu.push_back(cpuMillisOf(helper.process().pid()) - cpuBefore);
}

// The same rounds by two helpers, taken in turns, so that the load of this
// shared machine falls on both alike and their ratio means something.
std::pair<Result, Result> measureHelpersInTurns(HelperProcess& first, HelperProcess& second, const Workload& work,
                                                const std::vector<PaintedLine>& painted) {
  const Json request = {{"cmd", "ocr-region"},
                        {"x", work.region.x},
                        {"y", work.region.y},
                        {"w", work.region.width},
                        {"h", work.region.height}};
  std::vector<double> wall[2];
  std::vector<double> cpu[2];
  std::optional<Json> reply[2];
  HelperProcess* helpers[2] = {&first, &second};
  for (HelperProcess* helper : helpers) helper->ask(request, std::chrono::minutes(2));  // loads the engines
  for (int round = 0; round < work.helperRounds; ++round) {
    for (std::size_t which = 0; which < 2; ++which) {
      // Which goes first alternates too: a round right after the other's may find caches warm.
      const std::size_t turn = round % 2 == 0 ? which : 1 - which;
      timeRound(*helpers[turn], request, wall[turn], cpu[turn], reply[turn]);
    }
  }
  Result results[2];
  for (std::size_t which = 0; which < 2; ++which) {
    results[which] = {median(wall[which]), median(cpu[which]), {}};
    if (reply[which]) results[which].score = scoreReading(painted, readLinesOf(*reply[which], work.region), work.region);
  }
  return {results[0], results[1]};
}

bool writePgm(const morvel::linux_ax::GreyImage& image, const std::filesystem::path& path) {
  std::ofstream file(path, std::ios::binary);
  file << "P5\n" << image.width << ' ' << image.height << "\n255\n";
  file.write(reinterpret_cast<const char*>(image.pixels.data()), static_cast<std::streamsize>(image.pixels.size()));
  return static_cast<bool>(file);
}

// Runs the tool with its standard output in `output`; false when it failed.
bool runTool(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
             const std::filesystem::path& output) {
  std::vector<std::string> environment(extraEnvironment);
  for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::vector<char*> env;
  for (const auto& entry : environment) env.push_back(const_cast<char*>(entry.c_str()));
  env.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The tool's words (TSV level 5) placed on the screen, image by image: the
// tool numbers the images of a list from 1, and `regions` says where each lies.
std::vector<std::vector<ReadLine>> toolWordsByImage(const std::filesystem::path& tsv,
                                                    const std::vector<ScreenRect>& regions) {
  constexpr int wordLevel = 5;
  constexpr std::size_t columns = 12;
  std::vector<std::vector<ReadLine>> words(regions.size());
  std::ifstream file(tsv);
  std::string line;
  std::getline(file, line);  // the header
  while (std::getline(file, line)) {
    std::vector<std::string> cells;
    std::istringstream split(line);
    for (std::string cell; std::getline(split, cell, '\t');) cells.push_back(cell);
    if (cells.size() < columns || std::stoi(cells[0]) != wordLevel || cells[11].empty()) continue;
    const std::size_t image = static_cast<std::size_t>(std::stoi(cells[1])) - 1;
    if (image >= regions.size()) continue;
    const ScreenRect& region = regions[image];
    words[image].push_back({{region.x + std::stoi(cells[6]), region.y + std::stoi(cells[7]), std::stoi(cells[8]),
                             std::stoi(cells[9])},
                            cells[11]});
  }
  return words;
}

std::vector<ReadLine> toolWords(const std::filesystem::path& tsv, const ScreenRect& region) {
  return toolWordsByImage(tsv, {region}).front();
}

Result measureTool(const Workload& work, const std::vector<PaintedLine>& painted, const std::filesystem::path& folder,
                   const std::vector<std::string>& environment, const std::string& languages = "eng") {
  morvel::linux_ax::X11Capture capture;
  auto image = capture.capture({double(work.region.x), double(work.region.y), double(work.region.width),
                                double(work.region.height)});
  Result result;
  const auto pgm = folder / (std::string(work.name) + ".pgm");
  const auto tsv = folder / (std::string(work.name) + ".tsv");
  if (!image || !writePgm(image->visible(), pgm)) return result;
  std::vector<double> wall;
  for (int round = 0; round < work.toolRounds; ++round) {
    const auto start = Clock::now();
    if (!runTool({"tesseract", pgm.string(), "stdout", "-l", languages, "tsv"}, environment, tsv)) return result;
    wall.push_back(millisSince(start));
  }
  result.medianMs = median(wall);
  result.score = scoreReading(painted, toolWords(tsv, work.region), work.region);
  return result;
}

// The recogniser alone, in this process, on one capture: one engine against
// one per core, to show what reading bands side by side gains on this machine.
double medianRecognitionMs(const morvel::linux_ax::GreyCapture& image, unsigned engines, int rounds) {
  morvel::linux_ax::TesseractRecognizer recognizer(engines, 0);
  recognizer.recognize(image);  // loads the engines
  std::vector<double> wall;
  for (int round = 0; round < rounds; ++round) {
    const auto start = Clock::now();
    recognizer.recognize(image);
    wall.push_back(millisSince(start));
  }
  return median(wall);
}

double threadCpuMillis() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

// The recogniser's steps one after another, each timed in processor time of
// this thread: preparing the image (serial), then each band. On free cores the
// bands run at once, so preparing plus the longest band is the time a request
// takes there, whatever else loads this machine now.
void reportCriticalPath(const morvel::linux_ax::GreyCapture& image, unsigned engines) {
  using namespace morvel::linux_ax;
  std::vector<std::unique_ptr<TesseractEngine>> readers;
  for (unsigned index = 0; index < engines; ++index) {
    readers.push_back(std::make_unique<TesseractEngine>());
    if (!readers.back()->load()) return;
  }
  const double start = threadCpuMillis();
  GreyImage prepared = image.visible();
  makeTextDark(prepared);
  const int scale = worthEnlarging(prepared) ? 2 : 1;
  if (scale == 2) prepared = upscaleTwice(prepared);
  constexpr int shortestBandRows = 120;
  constexpr int mostBands = 24;
  constexpr int bandMarginRows = 10;
  const auto bands = rowBands(prepared, mostBands, shortestBandRows * scale);
  std::vector<BandImage> cuts;
  for (const RowBand& band : bands) cuts.push_back(bandImage(prepared, band, bandMarginRows * scale));
  const double preparing = threadCpuMillis() - start;
  // Each engine takes the next band when it is done, as the recogniser does.
  std::vector<double> busy(readers.size());
  std::printf("  critical path: preparing %.0f ms (scale %d), bands", preparing, scale);
  for (std::size_t index = 0; index < cuts.size(); ++index) {
    const double before = threadCpuMillis();
    readers[index % readers.size()]->read(cuts[index].image, scale);
    const double took = threadCpuMillis() - before;
    *std::min_element(busy.begin(), busy.end()) += took;
    std::printf(" %.0f", took);
  }
  std::printf(" ms -> %.0f ms on %zu free cores\n", preparing + *std::max_element(busy.begin(), busy.end()),
              readers.size());
}

void reportBands(const Workload& work) {
  morvel::linux_ax::X11Capture capture;
  auto image = capture.capture({double(work.region.x), double(work.region.y), double(work.region.width),
                                double(work.region.height)});
  if (!image) return;
  const unsigned cores = std::max(1U, std::thread::hardware_concurrency());
  const double one = medianRecognitionMs(*image, 1, work.helperRounds);
  const double all = medianRecognitionMs(*image, cores, work.helperRounds);
  std::printf("  recogniser in-process: 1 engine %.0f ms, %u engines %.0f ms (%.2fx)\n", one, cores, all,
              all > 0 ? one / all : 0.0);
  reportCriticalPath(*image, std::min(cores, 2U));
}

double medianMsOf(std::size_t rounds, const std::function<void()>& work) {
  std::vector<double> wall;
  for (std::size_t round = 0; round < rounds; ++round) {
    const auto start = Clock::now();
    work();
    wall.push_back(millisSince(start));
  }
  return median(wall);
}

// The capture with one line of text changed: the rows of the line below
// copied over it, within one panel's width.
morvel::linux_ax::GreyCapture withOneLineChanged(const morvel::linux_ax::GreyCapture& capture, const PaintedLine& line,
                                                 const PaintedLine& below) {
  morvel::linux_ax::GreyImage image = capture.visible();
  for (int row = 0; row < line.box.height; ++row) {
    const auto from = image.pixels.begin() + static_cast<std::ptrdiff_t>(below.box.y + row) * image.width + line.box.x;
    const auto to = image.pixels.begin() + static_cast<std::ptrdiff_t>(line.box.y + row) * image.width + line.box.x;
    std::copy_n(from, std::max(line.box.width, below.box.width), to);
  }
  return {image.width, image.height, 0, 0, std::move(image)};
}

// What the recognition cache saves when a client polls: in process on a
// 1150x900 capture, and through the helper for "fingerprint" over it.
void reportCache(const std::vector<PaintedLine>& painted) {
  using namespace morvel::linux_ax;
  constexpr std::size_t rounds = 5;
  const ScreenRect wall{0, 0, 1150, 900};
  X11Capture capture;
  auto image = capture.capture({0, 0, double(wall.width), double(wall.height)});
  if (!image || painted.size() < rounds + 1) return;
  // Each round a different line changes, so that no changed capture is seen twice.
  std::vector<GreyCapture> changed;
  for (std::size_t round = 0; round < rounds; ++round) {
    changed.push_back(withOneLineChanged(*image, painted[round], painted[round + 1]));
  }

  std::size_t lines = 0;
  for (const PaintedLine& one : painted) lines += one.box.x + one.box.width <= wall.width && one.box.y + one.box.height <= wall.height;
  std::printf("== recognition cache, %dx%d region, %zu text lines\n", wall.width, wall.height, lines);
  TesseractRecognizer fresh(0, 0);
  fresh.recognize(*image);  // loads the engines
  const double full = medianMsOf(rounds, [&] { fresh.recognize(*image); });
  TesseractRecognizer keeping;
  keeping.recognize(*image);
  const double repeat = medianMsOf(rounds, [&] { keeping.recognize(*image); });
  std::size_t round = 0;
  const double oneLine = medianMsOf(rounds, [&] { keeping.recognize(changed[round++]); });
  std::printf("  full read %.0f ms; repeat on the unchanged screen %.1f ms (%.1f %%); one line changed %.0f ms (%.1f %%)\n",
              full, repeat, 100.0 * repeat / full, oneLine, 100.0 * oneLine / full);

  HelperProcess helper;
  const Json request = {{"cmd", "fingerprint"}, {"x", wall.x}, {"y", wall.y}, {"w", wall.width}, {"h", wall.height}};
  helper.ask({{"cmd", "ocr-region"}, {"x", 0}, {"y", 0}, {"w", 40}, {"h", 40}}, std::chrono::minutes(2));  // loads
  std::optional<Json> first;
  const double firstMs = medianMsOf(1, [&] { first = helper.ask(request, std::chrono::minutes(2)); });
  std::optional<Json> again;
  const double againMs = medianMsOf(rounds, [&] { again = helper.ask(request, std::chrono::minutes(2)); });
  std::printf("  fingerprint over the region: first %.0f ms, repeated %.1f ms (%.1f %%), same digests: %s\n", firstMs,
              againMs, 100.0 * againMs / firstMs, first && again && *first == *again ? "yes" : "no");
}

void report(const char* who, const Result& result);

// A page read with English alone and with the default, Western European,
// languages, beside the tool.
void reportLanguages(const char* name, const std::vector<std::string>& pageArguments, const std::filesystem::path& folder) {
  std::vector<std::string> argv = {MORVEL_PAINTED_TEXT_APP_PATH, "page"};
  argv.insert(argv.end(), pageArguments.begin(), pageArguments.end());
  FixtureApplication page(argv);
  const auto painted = paintedLinesOf(page, page.pid());
  if (painted.empty()) return;
  const Workload work{name, {0, 0, std::stoi(pageArguments[0]), std::stoi(pageArguments[1])}, 3, 1};
  std::printf("== %s, %dx%d\n", name, work.region.width, work.region.height);
  HelperProcess english(englishReads());
  HelperProcess western(westernReads());
  const auto [englishRead, westernRead] = measureHelpersInTurns(english, western, work, painted);
  report("morvel_ax_helper, English alone", englishRead);
  report("morvel_ax_helper, default languages", westernRead);
  report("tesseract CLI, eng", measureTool(work, painted, folder, {}, "eng"));
  report("tesseract CLI, Latin", measureTool(work, painted, folder, {}, "Latin"));
  std::printf("  misread with the default languages:\n%s", westernRead.score.report.c_str());
}

// The ground, family and weight of the grid's cell, "selected/serif/bold":
// its column is the ground, its row the rest.
std::pair<std::string, std::string> columnAndRow(const std::string& style) {
  const auto slash = style.find('/');
  return {style.substr(0, slash), slash == std::string::npos ? "" : style.substr(slash + 1)};
}

std::string cell(const TextScore& ours, const TextScore& tool) {
  char text[32];
  std::snprintf(text, sizeof text, "%5.1f /%5.1f", 100.0 * ours.rate(), 100.0 * tool.rate());
  return text;
}

// Whether a cell misses: above 1 % where the tool reads within 1 %, or worse
// than the tool.
bool misses(const TextScore& ours, const TextScore& tool) {
  constexpr double target = 0.01;
  return (ours.rate() > target && tool.rate() <= target) || ours.errors > tool.errors;
}

morvel::linux_ax::GreyImage cropOf(const morvel::linux_ax::GreyImage& image, const ScreenRect& rect) {
  morvel::linux_ax::GreyImage crop{rect.width, rect.height, {}};
  for (int row = rect.y; row < rect.y + rect.height; ++row) {
    const auto from = image.pixels.begin() + static_cast<std::ptrdiff_t>(row) * image.width + rect.x;
    crop.pixels.insert(crop.pixels.end(), from, from + rect.width);
  }
  return crop;
}

// The tool reading parts of one capture of the screen, each as an image of its
// own, one after another in one process (its model loaded once) on one
// thread, while this process goes on; words() waits for it.
class ToolOnParts {
 public:
  ToolOnParts(const morvel::linux_ax::GreyImage& screen, std::vector<ScreenRect> parts,
              const std::filesystem::path& folder, const std::string& name)
      : parts_(std::move(parts)), output_(folder / name) {
    std::ofstream list(folder / (name + ".list"));
    for (std::size_t index = 0; index < parts_.size(); ++index) {
      const auto image = folder / (name + "-" + std::to_string(index) + ".pgm");
      if (!writePgm(cropOf(screen, parts_[index]), image)) return;
      list << image.string() << '\n';
    }
    if (!list.flush()) return;
    tool_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"tesseract", (folder / (name + ".list")).string(), output_.string(), "tsv"},
        std::map<std::string, std::optional<std::string>>{{"OMP_THREAD_LIMIT", "1"}});
  }

  // The words of each part, as placed on the screen; none for a part when the tool failed.
  std::vector<std::vector<ReadLine>> words() {
    if (!tool_ || tool_->closeAndWait(std::chrono::minutes(20)) != 0) return std::vector<std::vector<ReadLine>>(parts_.size());
    return toolWordsByImage(output_.string() + ".tsv", parts_);
  }

 private:
  std::vector<ScreenRect> parts_;
  std::filesystem::path output_;
  std::unique_ptr<ChildProcess> tool_;
};

std::vector<ReadLine> readByHelper(HelperProcess& helper, const ScreenRect& region) {
  const auto reply = helper.ask({{"cmd", "ocr-region"}, {"x", region.x}, {"y", region.y}, {"w", region.width},
                                 {"h", region.height}}, std::chrono::minutes(2));
  return reply ? readLinesOf(*reply, region) : std::vector<ReadLine>{};
}

struct GridCell {
  std::vector<PaintedLine> lines;
  ScreenRect region;  // the cell's lines and a little of the ground around them
};

std::map<std::string, GridCell> gridCells(const std::vector<PaintedLine>& painted) {
  constexpr int groundAround = 8;
  std::map<std::string, GridCell> cells;
  for (const PaintedLine& line : painted) cells[line.ground].lines.push_back(line);
  for (auto& [style, cell] : cells) {
    int left = cell.lines.front().box.x, top = cell.lines.front().box.y, right = left, bottom = top;
    for (const PaintedLine& line : cell.lines) {
      left = std::min(left, line.box.x);
      top = std::min(top, line.box.y);
      right = std::max(right, line.box.x + line.box.width);
      bottom = std::max(bottom, line.box.y + line.box.height);
    }
    cell.region = {left - groundAround, top - groundAround, right - left + 2 * groundAround, bottom - top + 2 * groundAround};
  }
  return cells;
}

// One page of the grid of styles at `size` pixels: each cell read by the
// helper and by the tool on the same captured pixels (the tool reads every cell
// in one run, beside the helper), one row of the table per family and weight,
// one column per ground.
void reportStyleGrid(HelperProcess& helper, int size, const std::filesystem::path& folder, std::vector<std::string>& missed) {
  constexpr int screenWidth = 1920;
  constexpr int screenHeight = 1080;
  FixtureApplication page({MORVEL_PAINTED_TEXT_APP_PATH, "page", std::to_string(screenWidth),
                           std::to_string(screenHeight), std::to_string(size), std::to_string(size), "styles"});
  const std::vector<PaintedLine> painted = paintedLinesOf(page, page.pid());
  std::vector<std::string> columns;
  std::vector<std::string> rows;
  for (const PaintedLine& line : painted) {
    const auto [column, row] = columnAndRow(line.ground);
    if (std::find(columns.begin(), columns.end(), column) == columns.end()) columns.push_back(column);
    if (std::find(rows.begin(), rows.end(), row) == rows.end()) rows.push_back(row);
  }
  const std::map<std::string, GridCell> cells = gridCells(painted);
  morvel::linux_ax::X11Capture capture;
  const auto screen = capture.capture({0, 0, double(screenWidth), double(screenHeight)});
  if (cells.empty() || !screen) return;
  std::vector<ScreenRect> regions;
  for (const auto& [style, cell] : cells) regions.push_back(cell.region);
  ToolOnParts tool(screen->visible(), regions, folder, "grid-" + std::to_string(size));
  std::map<std::string, TextScore> ours;
  for (const auto& [style, cell] : cells) ours[style] = scoreReading(cell.lines, readByHelper(helper, cell.region), cell.region);
  const auto toolWords = tool.words();
  std::map<std::string, TextScore> theirs;
  std::size_t index = 0;
  for (const auto& [style, cell] : cells) theirs[style] = scoreReading(cell.lines, toolWords[index++], cell.region);

  std::printf("%3d px %-18s", size, "");
  for (const std::string& column : columns) std::printf(" %-13s", column.c_str());
  std::printf("\n");
  for (const std::string& row : rows) {
    std::printf("       %-18s", row.c_str());
    for (const std::string& column : columns) {
      const std::string style = column + "/" + row;
      if (!cells.contains(style)) {
        std::printf(" %-13s", "-");
        continue;
      }
      std::printf(" %-13s", cell(ours[style], theirs[style]).c_str());
      if (misses(ours[style], theirs[style])) {
        missed.push_back(std::to_string(size) + " px " + style + ": " + cell(ours[style], theirs[style]) + "\n" +
                         ours[style].report);
      }
    }
    std::printf("\n");
  }
}

// A real application's window: FeatherPad (Qt 5) showing a file of known
// text, its text area (the focused element) read by the helper and by the tool
// on the same captured pixels.
void reportApplicationWindow(HelperProcess& helper, const std::filesystem::path& folder, std::vector<std::string>& missed) {
  const std::vector<std::string> known = {
      "Meeting notes, Tuesday 14 March",       "Attendees: Ada Lovelace, Alan Turing",
      "Budget for Q2: $12,480.75 (approved)",  "Next review on 2024-04-02 at 10:30",
      "Contact: grace.hopper@example.com",     "Open items: 3 of 7 remaining",
      "- Update the printer drivers",          "- Move the backups to the new server",
      "Status: pending, see ticket #4821",     "Version v2.3.1 ships on Friday"};
  std::vector<std::string> shown = known;
  // Run by root, it says so in a bar at the foot of its text area.
  if (geteuid() == 0) shown.push_back("Root Instance");
  const auto file = folder / "notes.txt";
  {
    std::ofstream text(file);
    for (const std::string& line : known) text << line << '\n';
  }
  ChildProcess editor({"featherpad", "--standalone", file.string()},
                      {{"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"}, {"QT_QPA_PLATFORM", "xcb"}});
  Json focused;
  // The text area takes the keyboard focus once the file is shown (Qt may
  // first report the file's tab focused).
  const bool up = clientWindowOf(editor.pid()) && eventually([&] {
    focused = helper.ask({{"cmd", "focused"}}).value_or(Json::object());
    return focused.value("role", "") == "AXTextArea" && focused.contains("frame");
  }, startupTimeout);
  if (!up) {
    std::printf("FeatherPad's text area did not come up\n");
    return;
  }
  const Json& frame = focused["frame"];
  const ScreenRect area{static_cast<int>(frame["x"].get<double>()), static_cast<int>(frame["y"].get<double>()),
                        static_cast<int>(frame["w"].get<double>()), static_cast<int>(frame["h"].get<double>())};
  // The bar slides in after the window is shown: both readers wait for a
  // screen that two captures in a row show alike, so that they read the same
  // pixels.
  morvel::linux_ax::X11Capture capture;
  const morvel::ax::Rect shownPart{0, 0, double(area.x + area.width), double(area.y + area.height)};
  std::unique_ptr<morvel::linux_ax::GreyCapture> screen;
  eventually([&] {
    auto latest = capture.capture(shownPart);
    const bool settled = latest && screen && latest->visible().pixels == screen->visible().pixels;
    screen = std::move(latest);
    return settled;
  }, startupTimeout);
  if (!screen) return;
  ToolOnParts tool(screen->visible(), {area}, folder, "application");
  const TextScore ours = scoreText(shown, readByHelper(helper, area));
  const TextScore theirs = scoreText(shown, tool.words().front());
  std::printf("FeatherPad (Qt 5) showing a file of %zu lines, its %dx%d text area at %d,%d: %s\n", known.size(),
              area.width, area.height, area.x, area.y, cell(ours, theirs).c_str());
  if (misses(ours, theirs)) {
    missed.push_back("FeatherPad's text area: " + cell(ours, theirs) + "\n" + ours.report + "  the CLI:\n" + theirs.report);
  }
}

// The accuracy matrix: painted text from 9 to 48 pixels in every style of the
// grid, and a real application's window.
void reportAccuracyMatrix(const std::filesystem::path& folder) {
  constexpr int sizes[] = {9, 11, 14, 18, 24, 32, 48};
  std::printf("== accuracy matrix: character error rate in %%, ocr-region / tesseract CLI on the same captured pixels\n");
  const auto start = Clock::now();
  HelperProcess helper;
  std::vector<std::string> missed;
  for (int size : sizes) reportStyleGrid(helper, size, folder, missed);
  reportApplicationWindow(helper, folder, missed);
  std::printf("cells above 1 %% where the CLI is within it, or worse than the CLI: %zu\n", missed.size());
  for (const std::string& miss : missed) std::printf("  %s", miss.c_str());
  std::printf("the matrix took %.0f s\n", millisSince(start) / 1000);
}

void report(const char* who, const Result& result) {
  std::printf("  %-34s median_ms=%7.0f  cer=%6.2f%%  (%zu errors / %zu chars)", who, result.medianMs,
              100.0 * result.score.rate(), result.score.errors, result.score.characters);
  if (result.medianCpuMs > 0) std::printf("  cpu_ms=%.0f", result.medianCpuMs);
  std::printf("\n");
}

// English alone of another build's helper (MORVEL_OCR_BENCH_BASELINE names its
// morvel_ax_helper) read in turns with this build's, on the same screen: what a
// change costs, side by side in one run rather than between runs of a shared
// machine.
void reportBaseline(HelperProcess& helper, const Workload& work, const std::vector<PaintedLine>& painted) {
  const char* baselinePath = std::getenv("MORVEL_OCR_BENCH_BASELINE");
  if (baselinePath == nullptr) return;
  std::vector<std::string> argv = {"/usr/bin/env"};
  for (const auto& [name, value] : englishReads()) argv.push_back(name + "=" + value.value_or(""));
  argv.emplace_back(baselinePath);
  HelperProcess baseline(argv);
  const auto [ours, theirs] = measureHelpersInTurns(helper, baseline, work, painted);
  report("this build, English alone", ours);
  report("baseline build, English alone", theirs);
  if (theirs.medianMs > 0) {
    std::printf("  this build over the baseline (%s): %.2fx (wall), %.2fx (cpu)\n", baselinePath,
                ours.medianMs / theirs.medianMs, ours.medianCpuMs / std::max(theirs.medianCpuMs, 1.0));
  }
}

void reportSpeed(const std::vector<PaintedLine>& painted, const std::filesystem::path& folder,
                 const std::vector<Workload>& workloads) {
  HelperProcess helper(englishReads());
  HelperProcess western(westernReads());
  for (const Workload& work : workloads) {
    std::printf("== %s region\n", work.name);
    const auto [ours, westernRead] = measureHelpersInTurns(helper, western, work, painted);
    const Result tool = measureTool(work, painted, folder, {});
    const Result toolOneThread = measureTool(work, painted, folder, {"OMP_THREAD_LIMIT=1"});
    report("morvel_ax_helper ocr-region, English alone", ours);
    report("morvel_ax_helper, default languages", westernRead);
    if (ours.medianMs > 0) {
      std::printf("  cost of the default languages over English alone: %.2fx (wall), %.2fx (cpu)\n",
                  westernRead.medianMs / ours.medianMs, westernRead.medianCpuMs / std::max(ours.medianCpuMs, 1.0));
    }
    report("tesseract CLI (its defaults)", tool);
    report("tesseract CLI (OMP_THREAD_LIMIT=1)", toolOneThread);
    if (ours.medianMs > 0) {
      std::printf("  speed-up over the CLI: %.1fx (defaults), %.1fx (one thread)\n", tool.medianMs / ours.medianMs,
                  toolOneThread.medianMs / ours.medianMs);
    }
    reportBands(work);
    reportBaseline(helper, work, painted);
  }
  std::printf("helper peak resident memory (VmHWM), English alone:%s; default languages:%s\n",
              statusField(helper.process().pid(), "VmHWM").c_str(),
              statusField(western.process().pid(), "VmHWM").c_str());
}

}  // namespace

// With no argument every part runs; otherwise the parts named ("speed",
// "cache", "accents", "matrix").
int main(int argc, char** argv) {
  // Each line as it is measured: a run cut short still leaves what it found.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const std::vector<std::string> parts(argv + 1, argv + argc);
  auto wanted = [&parts](const char* part) { return parts.empty() || std::find(parts.begin(), parts.end(), part) != parts.end(); };
  const auto folder = std::filesystem::temp_directory_path() / ("morvel-ocr-bench." + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  std::ifstream loadFile("/proc/loadavg");
  std::string load;
  std::getline(loadFile, load);
  std::printf("processors: %u, load average at start: %s\n", std::thread::hardware_concurrency(), load.c_str());

  if (wanted("speed") || wanted("cache")) {
    constexpr int screenWidth = 1920;
    constexpr int screenHeight = 1080;
    FixtureApplication page({MORVEL_PAINTED_TEXT_APP_PATH, "page", std::to_string(screenWidth), std::to_string(screenHeight)});
    const auto painted = paintedLinesOf(page, page.pid());
    const auto window = clientWindowOf(page.pid());
    if (painted.empty() || !window || window->x != 0 || window->y != 0) {
      std::puts("the painted page does not cover the screen");
      return 1;
    }
    if (wanted("speed")) reportSpeed(painted, folder, {{"800x600", {0, 0, 800, 600}, 9, 5},
                                                       {"1920x1080", {0, 0, screenWidth, screenHeight}, 5, 3}});
    if (wanted("cache")) reportCache(painted);
  }
  if (wanted("accents")) {
    reportLanguages("accented page", {"640", "270", "11", "14", "accented"}, folder);
    reportLanguages("English page at 8-9 px", {"960", "540", "8", "9"}, folder);
  }
  if (wanted("matrix")) reportAccuracyMatrix(folder);
  // Kept on request: the captured cells, to read them again while tuning.
  if (std::getenv("MORVEL_OCR_BENCH_KEEP") != nullptr) {
    std::printf("captures kept in %s\n", folder.c_str());
  } else {
    std::filesystem::remove_all(folder);
  }
  return 0;
}
