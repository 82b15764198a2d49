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

// Builds the request object as the parser reads it, refusing nesting deeper than
// a reply could carry back.
class DepthLimitedDomBuilder : public nlohmann::detail::json_sax_dom_parser<Json> {
  using Builder = nlohmann::detail::json_sax_dom_parser<Json>;

 public:
  explicit DepthLimitedDomBuilder(Json& result) : Builder(result, /*allow_exceptions=*/false) {}

  bool start_object(std::size_t elements) { return enter() && Builder::start_object(elements); }
  bool start_array(std::size_t elements) { return enter() && Builder::start_array(elements); }
  bool end_object() { return leave() && Builder::end_object(); }
  bool end_array() { return leave() && Builder::end_array(); }

 private:
  bool enter() { return ++depth_ <= maxRequestNesting; }
  bool leave() {
    --depth_;
    return true;
  }
  int depth_ = 0;
};

std::optional<Json> parseObject(std::string_view text) {
  // A raw NUL is never valid JSON text, and the parser would take it for the end.
  if (text.find('\0') != std::string_view::npos) return std::nullopt;
  Json parsed;
  DepthLimitedDomBuilder builder(parsed);
  const bool complete = Json::sax_parse(text.begin(), text.end(), &builder, nlohmann::detail::input_format_t::json,
                                        /*strict=*/true);
  if (!complete || builder.is_errored() || !parsed.is_object()) return std::nullopt;
  return parsed;
}

// Splits input into lines at line feeds; the last line may end at end of input.
class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {}

  // The next line without its line feed, valid until the following call.
  std::optional<std::string_view> next() {
    for (;;) {
      if (auto newline = buffer_.find('\n', scanned_); newline != std::string::npos) {
        std::string_view line(buffer_.data() + lineStart_, newline - lineStart_);
        lineStart_ = scanned_ = newline + 1;
        return line;
      }
      scanned_ = buffer_.size();
      if (!fill()) {
        if (lineStart_ == buffer_.size()) return std::nullopt;
        std::string_view last(buffer_.data() + lineStart_, buffer_.size() - lineStart_);
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
  const bool wellFormed = isWellFormedUtf8(rawLine);
  const std::string repaired = wellFormed ? std::string() : repairUtf8(rawLine);
  const std::string_view trimmed = trimBlank(wellFormed ? rawLine : std::string_view(repaired));
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
