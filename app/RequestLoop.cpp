#include "app/RequestLoop.h"

#include "app/LineReader.h"
#include "app/ReplyWriter.h"
#include "text/UnicodeText.h"


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

// One JSON text of any kind, or nothing.
std::optional<Json> parseJson(std::string_view text) {
  // A raw NUL is never valid JSON text, and the parser would take it for the end.
  if (text.find('\0') != std::string_view::npos) return std::nullopt;
  Json parsed;
  DepthLimitedDomBuilder builder(parsed);
  const bool complete = Json::sax_parse(text.begin(), text.end(), &builder, nlohmann::detail::input_format_t::json,
                                        /*strict=*/true);
  if (!complete || builder.is_errored()) return std::nullopt;
  return parsed;
}

}  // namespace

ParsedLine parseRequestLine(std::string_view rawLine) {
  const bool wellFormed = isWellFormedUtf8(rawLine);
  const std::string repaired = wellFormed ? std::string() : repairUtf8(rawLine);
  const std::string_view trimmed = trimBlank(wellFormed ? rawLine : std::string_view(repaired));
  if (trimmed.empty()) return {ParsedLine::Kind::Blank, nullptr};
  auto request = parseJson(trimmed);
  if (!request) return {ParsedLine::Kind::BadJson, nullptr};
  if (!request->is_object()) return {ParsedLine::Kind::NotAnObject, nullptr};
  return {ParsedLine::Kind::Request, std::move(*request)};
}

Json answerRequest(const Json& request, Platform& platform, const ExtraCommands& extras) {
  auto id = request.find("id");
  Json requestId = id != request.end() ? *id : Json(0);
  Json reply = handle(request, platform, extras);
  reply["id"] = std::move(requestId);
  return reply;
}

int runRequestLoop(int inFd, int outFd, Platform& platform, const ExtraCommands& extras, std::size_t maxLineBytes) {
  LineReader lines(inFd, maxLineBytes);
  while (auto line = lines.next()) {
    ParsedLine parsed = line->tooLong ? ParsedLine{ParsedLine::Kind::BadJson, nullptr} : parseRequestLine(line->text);
    if (parsed.kind == ParsedLine::Kind::Blank) continue;
    platform.ax.requestStarted();
    if (parsed.kind != ParsedLine::Kind::Request) {
      emit(outFd, badJsonReply());
    } else {
      emit(outFd, answerRequest(parsed.request, platform, extras));
    }
    platform.ax.replyWritten();
  }
  return 0;
}

}  // namespace morvel
