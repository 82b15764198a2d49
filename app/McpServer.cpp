#include "app/McpServer.h"

#include "app/Dispatcher.h"
#include "app/McpTools.h"
#include "app/PngEncoding.h"
#include "app/ReplyWriter.h"
#include "app/RequestLoop.h"
#include "app/Version.h"
#include "commands/ScreenshotCommand.h"

#include <array>
#include <optional>

namespace morvel {
namespace {

// JSON-RPC 2.0 error codes.
constexpr int parseError = -32700;
constexpr int invalidRequest = -32600;
constexpr int methodNotFound = -32601;
constexpr int invalidParams = -32602;

// Newest first: the answer to a client asking for a version we do not speak.
constexpr std::array supportedProtocolVersions = {"2025-06-18", "2025-03-26", "2024-11-05"};

constexpr const char* serverInstructions =
    "Reads the user interface of the frontmost application: its accessibility tree (element-at, focused, "
    "selector-at, find, structure, fields), text recognised on screen (ocr-region), digests that tell whether "
    "the window changed (fingerprint) and pictures of the screen (screenshot). Coordinates are global screen "
    "points, origin at the top-left corner of the main display.";

Json errorMessage(const Json& id, int code, std::string message) {
  return {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", std::move(message)}}}};
}

Json resultMessage(const Json& id, Json result) { return {{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}}; }

Json textContent(std::string text) { return {{"type", "text"}, {"text", std::move(text)}}; }

Json toolError(std::string text) { return {{"content", {textContent(std::move(text))}}, {"isError", true}}; }

Json initializeResult(const Json& params, std::string_view serverName) {
  std::string version = supportedProtocolVersions.front();
  if (auto wanted = params.find("protocolVersion"); wanted != params.end() && wanted->is_string()) {
    for (const char* supported : supportedProtocolVersions) {
      if (*wanted == supported) version = supported;
    }
  }
  return {{"protocolVersion", version},
          {"capabilities", {{"tools", {{"listChanged", false}}}}},
          {"serverInfo", {{"name", serverName}, {"version", projectVersion}}},
          {"instructions", serverInstructions}};
}

Json screenshotResult(const Json& arguments, Platform& platform) {
  auto x = number(arguments, "x");
  auto y = number(arguments, "y");
  auto w = number(arguments, "w");
  auto h = number(arguments, "h");
  if (!x || !y || !w || !h) return toolError("screenshot requires numeric x,y,w,h");
  auto picture = cmdScreenshot(platform, *x, *y, *w, *h);
  if (auto* problem = std::get_if<std::string>(&picture)) return toolError(*problem);
  auto png = encodePng(std::get<ocr::GreyPixels>(picture));
  if (!png) return toolError("the picture could not be encoded");
  return {{"content", {{{"type", "image"}, {"mimeType", "image/png"}, {"data", base64(*png)}}}}};
}

// The command's reply without "id" and "ok", as structured content and as text.
Json commandResult(std::string_view name, const Json& arguments, Platform& platform) {
  Json request = arguments;
  request["cmd"] = name;
  Json reply = handle(request, platform);
  if (reply.value("ok", false) != true) return toolError(reply.value("error", "the request was refused"));
  reply.erase("ok");
  reply.erase("id");
  std::string text = replyLine(reply);
  if (text == serializeFailedLine) return toolError("serialize failed");
  text.pop_back();  // the line feed
  return {{"content", {textContent(std::move(text))}}, {"structuredContent", std::move(reply)}};
}

// The answer to tools/call: the tool's result, or the error for a call that names
// no tool of ours or passes no arguments object.
Json toolCall(const Json& id, const Json& params, Platform& platform) {
  auto name = params.find("name");
  if (name == params.end() || !name->is_string()) return errorMessage(id, invalidParams, "tools/call needs a tool name");
  const auto& tool = name->get_ref<const std::string&>();
  if (!isMcpTool(tool)) return errorMessage(id, invalidParams, "Unknown tool: " + tool);
  Json arguments = params.value("arguments", Json::object());
  if (!arguments.is_object()) return errorMessage(id, invalidParams, "tools/call arguments must be an object");
  if (tool == screenshotTool) return resultMessage(id, screenshotResult(arguments, platform));
  return resultMessage(id, commandResult(tool, arguments, platform));
}

// The reply to one request (a message with a method and an id).
Json answer(const Json& id, const std::string& method, const Json& params, Platform& platform,
            std::string_view serverName) {
  if (method == "initialize") return resultMessage(id, initializeResult(params, serverName));
  if (method == "ping") return resultMessage(id, Json::object());
  if (method == "tools/list") return resultMessage(id, {{"tools", mcpTools()}});
  if (method == "tools/call") return toolCall(id, params, platform);
  return errorMessage(id, methodNotFound, "Method not found: " + method);
}

bool isValidId(const Json& id) { return id.is_string() || id.is_number_integer() || id.is_number_unsigned(); }

// The reply to one parsed message, or nothing for notifications and responses.
std::optional<Json> reply(const Json& message, Platform& platform, std::string_view serverName) {
  auto id = message.find("id");
  auto method = message.find("method");
  if (method == message.end() && id != message.end() &&
      (message.contains("result") || message.contains("error"))) {
    return std::nullopt;  // a response: this server sends no requests
  }
  const Json replyId = id != message.end() && isValidId(*id) ? *id : Json(nullptr);
  auto version = message.find("jsonrpc");
  if (version == message.end() || *version != "2.0" || method == message.end() || !method->is_string() ||
      (id != message.end() && !isValidId(*id))) {
    return errorMessage(replyId, invalidRequest, "Invalid Request");
  }
  if (id == message.end()) return std::nullopt;  // notifications need no answer
  Json params = message.value("params", Json::object());
  if (!params.is_object()) return errorMessage(replyId, invalidParams, "params must be an object");
  return answer(replyId, method->get_ref<const std::string&>(), params, platform, serverName);
}

}  // namespace

int runMcpServer(int inFd, int outFd, Platform& platform, std::string_view serverName, std::size_t maxLineBytes) {
  LineReader lines(inFd, maxLineBytes);
  while (auto line = lines.next()) {
    ParsedLine parsed = line->tooLong ? ParsedLine{ParsedLine::Kind::BadJson, nullptr} : parseRequestLine(line->text);
    if (parsed.kind == ParsedLine::Kind::Blank) continue;
    if (parsed.kind == ParsedLine::Kind::BadJson) {
      emit(outFd, errorMessage(nullptr, parseError, "Parse error"));
      continue;
    }
    if (parsed.kind == ParsedLine::Kind::NotAnObject) {
      emit(outFd, errorMessage(nullptr, invalidRequest, "Invalid Request"));
      continue;
    }
    platform.ax.requestStarted();
    if (auto message = reply(parsed.request, platform, serverName)) emit(outFd, *message);
    platform.ax.replyWritten();
  }
  return 0;
}

}  // namespace morvel
