#include "fuzz/RequestPathCheck.h"

#include "app/ReplyWriter.h"
#include "app/RequestLoop.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace morvel::fuzz {
namespace {

using nlohmann::json;

// Requests nested deeper are refused as bad JSON.
constexpr int deepestRequest = 512;

// ---- file descriptors ---------------------------------------------------------

class MemoryFile {
 public:
  explicit MemoryFile(const char* name) : fd_(::memfd_create(name, MFD_CLOEXEC)) {
    if (fd_ < 0) throw std::runtime_error("memfd_create failed");
  }
  ~MemoryFile() { ::close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  int fd() const { return fd_; }

  std::string readAll() {
    if (::lseek(fd_, 0, SEEK_SET) != 0) throw std::runtime_error("lseek failed");
    std::string bytes;
    char chunk[65536];
    for (;;) {
      const ssize_t count = ::read(fd_, chunk, sizeof chunk);
      if (count < 0) throw std::runtime_error("reading the output failed");
      if (count == 0) return bytes;
      bytes.append(chunk, static_cast<std::size_t>(count));
    }
  }

 private:
  int fd_;
};

// The input as a client writes it: through a pipe, in pieces of growing size, so
// that the loop's reads end inside lines, inside UTF-8 sequences and between a
// carriage return and its line feed.
class InputPipe {
 public:
  explicit InputPipe(std::string_view input) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    readEnd_ = ends[0];
    writer_ = std::thread([input, writeEnd = ends[1]] {
      writeInPieces(writeEnd, input);
      ::close(writeEnd);
    });
  }
  ~InputPipe() {
    writer_.join();
    ::close(readEnd_);
  }
  InputPipe(const InputPipe&) = delete;
  InputPipe& operator=(const InputPipe&) = delete;

  int readEnd() const { return readEnd_; }

  void drain() {
    char chunk[4096];
    while (::read(readEnd_, chunk, sizeof chunk) > 0) {
    }
  }

 private:
  static void writeInPieces(int fd, std::string_view bytes) {
    constexpr std::size_t largestPiece = 4096;
    std::size_t piece = 1;
    std::size_t previous = 1;
    while (!bytes.empty()) {
      const ssize_t written = ::write(fd, bytes.data(), std::min(piece, bytes.size()));
      if (written <= 0) return;  // the loop reads to the end, so this is a broken pipe
      bytes.remove_prefix(static_cast<std::size_t>(written));
      // 1, 2, 3, 5, 8, ... bytes, then again from 1.
      const std::size_t next = piece + previous;
      previous = piece;
      piece = next > largestPiece ? 1 : next;
      if (piece == 1) previous = 1;
    }
  }

  int readEnd_ = -1;
  std::thread writer_;
};

// ---- what the input says, worked out apart from the code under test ------------

std::vector<std::string_view> inputLines(std::string_view input) {
  std::vector<std::string_view> lines;
  while (!input.empty()) {
    const std::size_t end = input.find('\n');
    lines.push_back(input.substr(0, end));
    if (end == std::string_view::npos) break;
    input.remove_prefix(end + 1);
  }
  return lines;
}

// Each maximal ill-formed subsequence becomes U+FFFD.
std::string repaired(std::string_view line) {
  UErrorCode status = U_ZERO_ERROR;
  int32_t utf16Length = 0;
  const auto length = static_cast<int32_t>(line.size());
  u_strFromUTF8WithSub(nullptr, 0, &utf16Length, line.data(), length, 0xFFFD, nullptr, &status);
  std::u16string utf16(static_cast<std::size_t>(utf16Length), u'\0');
  status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(utf16.data(), utf16Length, nullptr, line.data(), length, 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) throw std::runtime_error("UTF-8 repair failed");
  int32_t utf8Length = 0;
  status = U_ZERO_ERROR;
  u_strToUTF8(nullptr, 0, &utf8Length, utf16.data(), utf16Length, &status);
  std::string utf8(static_cast<std::size_t>(utf8Length), '\0');
  status = U_ZERO_ERROR;
  u_strToUTF8(utf8.data(), utf8Length, nullptr, utf16.data(), utf16Length, &status);
  if (U_FAILURE(status)) throw std::runtime_error("UTF-8 repair failed");
  return utf8;
}

bool isBlankCodePoint(UChar32 c) {
  if (c == 0x09 || (c >= 0x0A && c <= 0x0D) || c == 0x85) return true;
  const auto type = u_charType(c);
  return type == U_SPACE_SEPARATOR || type == U_LINE_SEPARATOR || type == U_PARAGRAPH_SEPARATOR;
}

// The well-formed text without blank code points at either end.
std::string trimmed(const std::string& text) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  int32_t start = -1;
  int32_t end = 0;
  for (int32_t i = 0; i < length;) {
    const int32_t at = i;
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (isBlankCodePoint(c)) continue;
    if (start < 0) start = at;
    end = i;
  }
  if (start < 0) return {};
  return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

// The deepest nesting of arrays and objects in valid JSON text, the top level at 1.
int nestingOf(std::string_view jsonText) {
  int depth = 0;
  int deepest = 0;
  bool inString = false;
  bool escaped = false;
  for (char c : jsonText) {
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inString = false;
      }
      continue;
    }
    if (c == '"') inString = true;
    if (c == '[' || c == '{') deepest = std::max(deepest, ++depth);
    if (c == ']' || c == '}') --depth;
  }
  return deepest;
}

// One non-blank input line as the loop should see it.
struct ExpectedRequest {
  std::optional<json> request;  // none when the line must get the "bad json" reply
};

std::vector<ExpectedRequest> expectedRequests(std::string_view input) {
  std::vector<ExpectedRequest> expected;
  for (std::string_view line : inputLines(input)) {
    const std::string text = trimmed(repaired(line));
    if (text.empty()) continue;
    // JSON text holds no raw NUL anywhere (the parser used here would stop at one).
    const bool holdsNul = text.find('\0') != std::string::npos;
    json parsed = holdsNul ? json(json::value_t::discarded) : json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (parsed.is_object() && nestingOf(text) <= deepestRequest) {
      expected.push_back({std::move(parsed)});
    } else {
      expected.push_back({std::nullopt});
    }
  }
  return expected;
}

std::vector<std::string_view> replyLines(std::string_view output) {
  std::vector<std::string_view> lines;
  while (!output.empty()) {
    const std::size_t end = output.find('\n');
    if (end == std::string_view::npos) break;
    lines.push_back(output.substr(0, end));
    output.remove_prefix(end + 1);
  }
  return lines;
}

std::string shown(std::string_view text) {
  constexpr std::size_t longestShown = 200;
  std::string shortened(text.substr(0, longestShown));
  if (text.size() > longestShown) shortened += "...";
  return json(shortened).dump(-1, ' ', /*ensure_ascii=*/true, json::error_handler_t::replace);
}

// ---- checks of one reply ------------------------------------------------------

std::optional<std::string> shapeProblem(const json& reply) {
  if (!reply.is_object()) return "is not a JSON object";
  if (!reply.contains("id")) return "has no \"id\"";
  auto ok = reply.find("ok");
  if (ok == reply.end() || !ok->is_boolean()) return "has no boolean \"ok\"";
  if (!ok->get<bool>()) {
    auto error = reply.find("error");
    if (error == reply.end() || !error->is_string()) return "is an error without an \"error\" text";
  }
  return std::nullopt;
}

std::optional<std::string> answerProblem(const ExpectedRequest& expected, std::string_view line, const json& reply,
                                         Microseconds took) {
  static const json badJson = {{"id", 0}, {"ok", false}, {"error", "bad json"}};
  if (!expected.request) {
    if (reply != badJson) return "should be the bad json reply";
    return std::nullopt;
  }
  if (reply == badJson) return "is bad json for a JSON object";
  const std::string_view serializeFailed = serializeFailedLine.substr(0, serializeFailedLine.size() - 1);
  if (line == serializeFailed) return std::nullopt;  // a value JSON cannot carry (an infinite id)
  const json& request = *expected.request;
  const json requestId = request.contains("id") ? request["id"] : json(0);
  if (reply["id"] != requestId) return "echoes the id " + reply["id"].dump() + ", not " + requestId.dump();
  auto cmd = request.find("cmd");
  const bool isFind = cmd != request.end() && cmd->is_string() && *cmd == "find";
  if (!isFind && took > patience) {
    return "took " + std::to_string(took.count() / 1000) + " ms of virtual time";
  }
  return std::nullopt;
}

json loadScene(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  if (!file) throw std::runtime_error("cannot read the scene " + path);
  return json::parse(text.str());
}

}  // namespace

RequestPathRun runRequestPath(std::string_view input, const json& scene) {
  FuzzDesktop desktop(scene);
  MemoryFile out("morvel-fuzz-replies");
  InputPipe in(input);
  try {
    runRequestLoop(in.readEnd(), out.fd(), desktop.platform());
  } catch (...) {
    in.drain();  // lets the writer finish before the exception goes on
    throw;
  }
  return {out.readAll(), desktop.requestTimes()};
}

std::vector<std::string> requestPathProblems(std::string_view input, const RequestPathRun& run) {
  std::vector<std::string> problems;
  const std::vector<ExpectedRequest> expected = expectedRequests(input);
  if (!run.output.empty() && run.output.back() != '\n') problems.push_back("the output does not end with a line feed");
  const std::vector<std::string_view> replies = replyLines(run.output);
  if (replies.size() != expected.size() || run.requestTimes.size() != expected.size()) {
    problems.push_back(std::to_string(expected.size()) + " non-blank lines got " + std::to_string(replies.size()) +
                       " replies over " + std::to_string(run.requestTimes.size()) + " requests");
    return problems;
  }
  for (std::size_t i = 0; i < replies.size(); ++i) {
    const json reply = json::parse(replies[i], nullptr, /*allow_exceptions=*/false);
    auto problem = shapeProblem(reply);
    if (!problem) problem = answerProblem(expected[i], replies[i], reply, run.requestTimes[i]);
    if (problem) problems.push_back("reply " + std::to_string(i + 1) + " " + shown(replies[i]) + " " + *problem);
  }
  return problems;
}

const std::vector<json>& requestPathScenes() {
  static const std::vector<json> scenes = {loadScene(MORVEL_EXAMPLES_DIR "/contacts.json"),
                                           loadScene(MORVEL_FUZZ_DIR "/scenes/unruly-desktop.json")};
  return scenes;
}

std::vector<std::string> checkRequestPath(std::string_view input) {
  std::vector<std::string> problems;
  for (const json& scene : requestPathScenes()) {
    for (auto& problem : requestPathProblems(input, runRequestPath(input, scene))) problems.push_back(std::move(problem));
  }
  return problems;
}

}  // namespace morvel::fuzz
