#include "app/RequestLoop.h"

#include "app/ReplyWriter.h"
#include "text/UnicodeText.h"

#include <array>
#include <cerrno>
#include <unistd.h>

namespace morvel {
namespace {

// Deeper requests are refused as bad JSON, so that no reply is too deep to write.
constexpr int maxRequestNesting = 512;

const Json& badJsonReply() {
  static const Json reply = {{"id", 0}, {"ok", false}, {"error", "bad json"}};
  return reply;
}

std::optional<Json> parseObject(std::string_view text) {
  // A raw NUL is never valid JSON text, and the parser would take it for the end.
  if (text.find('\0') != std::string_view::npos) return std::nullopt;
  bool tooDeep = false;
  auto watchDepth = [&tooDeep](int depth, Json::parse_event_t, Json&) {
    if (depth > maxRequestNesting) tooDeep = true;
    return true;
  };
  Json parsed = Json::parse(text.begin(), text.end(), watchDepth, /*allow_exceptions=*/false);
  if (parsed.is_discarded() || tooDeep || !parsed.is_object()) return std::nullopt;
  return parsed;
}

// Splits input into lines at line feeds; the last line may end at end of input.
class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {}

  std::optional<std::string> next() {
    for (;;) {
      if (auto newline = buffer_.find('\n', scanned_); newline != std::string::npos) {
        std::string line = buffer_.substr(lineStart_, newline - lineStart_);
        lineStart_ = scanned_ = newline + 1;
        return line;
      }
      scanned_ = buffer_.size();
      if (!fill()) {
        if (lineStart_ == buffer_.size()) return std::nullopt;
        std::string last = buffer_.substr(lineStart_);
        lineStart_ = scanned_ = buffer_.size();
        return last;
      }
    }
  }

 private:
  bool fill() {
    if (atEnd_) return false;
    buffer_.erase(0, lineStart_);  // drop the lines already handed out
    scanned_ -= lineStart_;
    lineStart_ = 0;
    std::array<char, 65536> chunk{};
    for (;;) {
      ssize_t count = ::read(fd_, chunk.data(), chunk.size());
      if (count < 0 && errno == EINTR) continue;
      if (count <= 0) {
        atEnd_ = true;
        return false;
      }
      buffer_.append(chunk.data(), static_cast<std::size_t>(count));
      return true;
    }
  }

  int fd_;
  std::string buffer_;
  std::size_t lineStart_ = 0;  // where the next line begins in buffer_
  std::size_t scanned_ = 0;    // buffer_ holds no line feed between lineStart_ and here
  bool atEnd_ = false;
};

}  // namespace

ParsedLine parseRequestLine(std::string_view rawLine) {
  const std::string text = repairUtf8(rawLine);
  const std::string_view trimmed = trimBlank(text);
  if (trimmed.empty()) return {ParsedLine::Kind::Blank, nullptr};
  auto request = parseObject(trimmed);
  if (!request) return {ParsedLine::Kind::BadJson, nullptr};
  return {ParsedLine::Kind::Request, std::move(*request)};
}

Json answerRequest(const Json& request, Platform& platform, const ExtraCommands& extras) {
  auto id = request.find("id");
  Json requestId = id != request.end() ? *id : Json(0);
  Json reply = handle(request, platform, extras);
  reply["id"] = std::move(requestId);
  return reply;
}

int runRequestLoop(int inFd, int outFd, Platform& platform, const ExtraCommands& extras) {
  LineReader lines(inFd);
  while (auto line = lines.next()) {
    ParsedLine parsed = parseRequestLine(*line);
    if (parsed.kind == ParsedLine::Kind::Blank) continue;
    platform.ax.requestStarted();
    if (parsed.kind == ParsedLine::Kind::BadJson) {
      emit(outFd, badJsonReply());
    } else {
      emit(outFd, answerRequest(parsed.request, platform, extras));
    }
    platform.ax.replyWritten();
  }
  return 0;
}

}  // namespace morvel
