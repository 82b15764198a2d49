#include "app/McpTools.h"

#include "commands/ScreenshotCommand.h"

#include <algorithm>
#include <string>

namespace morvel {
namespace {

Json numberProperty(const char* description) { return {{"type", "number"}, {"description", description}}; }

Json pointSchema() {
  return {{"type", "object"},
          {"properties",
           {{"x", numberProperty("global screen x in points, from the left edge of the main display")},
            {"y", numberProperty("global screen y in points, from the top edge of the main display, growing down")}}},
          {"required", {"x", "y"}}};
}

Json rectSchema(bool required) {
  Json schema = {{"type", "object"},
                 {"properties",
                  {{"x", numberProperty("left edge, global screen points")},
                   {"y", numberProperty("top edge, global screen points (y grows downward)")},
                   {"w", numberProperty("width in points")},
                   {"h", numberProperty("height in points")}}}};
  if (required) schema["required"] = {"x", "y", "w", "h"};
  return schema;
}

Json noArguments() { return {{"type", "object"}, {"properties", Json::object()}}; }

Json selectorSchema() {
  return {{"type", "object"},
          {"properties",
           {{"selector",
             {{"type", "object"},
              {"description",
               "a selector exactly as selector-at returned it (its \"path\" of element descriptors, the element first, "
               "and its \"windowTitle\"), or {\"path\": [descriptor]} with a path entry from fields"},
              {"properties",
               {{"path", {{"type", "array"}, {"items", {{"type", "object"}}}}}, {"windowTitle", {{"type", "string"}}}}}}},
            {"timeoutMs", numberProperty("how long to wait for the element to appear and become enabled, in "
                                         "milliseconds (default 1500)")}}},
          {"required", {"selector"}}};
}

Json tool(const char* name, const std::string& description, Json inputSchema) {
  return {{"name", name}, {"description", description}, {"inputSchema", std::move(inputSchema)}};
}

}  // namespace

const Json& mcpTools() {
  static const Json tools = {
      tool("element-at",
           "Describes the nearest named user-interface element under a screen point of the frontmost application: "
           "role (AXButton, AXTextField, ...), title, value, description, frame {x,y,w,h} in global screen points, "
           "enabled. Answers found: false when nothing is there.",
           pointSchema()),
      tool("focused",
           "Describes the element that has keyboard focus in the frontmost application, with its selected text and "
           "the title of its window. Answers found: false when nothing has focus.",
           noArguments()),
      tool("selector-at",
           "Turns the element under a screen point into a selector (\"path\": descriptors of the element and its "
           "ancestors by role, texts and sibling index; \"windowTitle\") that find can resolve later, even after the "
           "window moved. Keep the selector exactly as returned.",
           pointSchema()),
      tool("find",
           "Resolves a selector from selector-at back to the live element, waiting up to timeoutMs for it to appear "
           "and become enabled. Answers found, score and the element's frame in global screen points: click at the "
           "frame's centre to act on it.",
           selectorSchema()),
      tool("structure",
           "Reads the main table, outline, grid or list of the front window row by row (cells with role, value and "
           "frame) and its control for adding an entry (addAffordance). Falls back to recognised screen text when "
           "the window has no accessible table (source: \"ocr\").",
           noArguments()),
      tool("fields",
           "Lists the form fields of the front window (text fields, checkboxes, pop-ups, ...) with role, label and "
           "where the label came from, value, frame, enabled, secure, and a one-entry selector path for find.",
           noArguments()),
      tool("ocr-region",
           "Recognises the text inside a screen rectangle given in global screen points. Answers the joined text "
           "and lines with text, confidence and a frame in pixels of the captured image measured from the "
           "rectangle's top-left corner.",
           rectSchema(true)),
      tool("fingerprint",
           "Condenses the front window into SHA-256 digests of its accessibility tree and, when a rectangle is "
           "given (all of x, y, w, h), of the text recognised in it: call it twice and compare to tell whether the "
           "window changed.",
           rectSchema(false)),
      tool("screenshot",
           "Returns a screen rectangle (global screen points) as a grey PNG picture of w by h pixels, one pixel per "
           "point, so that you can look at what the other tools read. Sides from 1 to " +
               std::to_string(maxScreenshotSide) + ".",
           rectSchema(true)),
  };
  return tools;
}

bool isMcpTool(std::string_view name) {
  const Json& tools = mcpTools();
  return std::any_of(tools.begin(), tools.end(), [name](const Json& entry) { return entry["name"] == name; });
}

}  // namespace morvel
