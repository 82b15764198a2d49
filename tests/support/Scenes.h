#pragma once

#include "accessibility/AXNames.h"

// Small builders for scenes of the simulated desktop.

#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>
#include <string>

namespace morvel::testing {

using nlohmann::json;

inline json rectValue(double x, double y, double w, double h) { return {{"rect", {x, y, w, h}}}; }

inline json staticText(const json& text, const json& frame) {
  return {{"attrs", {{ax::AXRole, ax::AXStaticText}, {ax::AXValue, text}, {ax::AXFrame, frame}}}};
}

// An element of `role` with `attrs` added to its role.
inline json element(const std::string& role, json attrs = json::object()) {
  attrs[ax::AXRole] = role;
  return {{"attrs", std::move(attrs)}};
}

inline json withId(json node, const std::string& id) {
  node["id"] = id;
  return node;
}

inline json group(json children) { return {{"attrs", {{ax::AXRole, ax::AXGroup}}}, {"children", std::move(children)}}; }

inline json withChildren(json node, json children) {
  node["children"] = std::move(children);
  return node;
}

// `leaf` below `levels` nested groups.
inline json nestedBelow(int levels, json leaf) {
  for (int i = 0; i < levels; ++i) leaf = group(json::array({std::move(leaf)}));
  return leaf;
}

// A group of `count` images without children: elements that cost a walk its budget.
inline json fillerGroup(int count) {
  json images = json::array();
  for (int i = 0; i < count; ++i) images.push_back(element(ax::AXImage));
  return group(std::move(images));
}

// A desktop whose frontmost application (id "app", bundle "com.example.form")
// shows one window, id "window", titled "Form" at (0, 0, 1000, 800), with these
// children. `freeElements` belong to no tree (title elements, for instance).
inline json windowScene(json children, json freeElements = json::array()) {
  json window = {{"id", "window"},
                 {"attrs", {{ax::AXRole, ax::AXWindow}, {ax::AXTitle, "Form"}, {ax::AXFrame, rectValue(0, 0, 1000, 800)}}},
                 {"children", std::move(children)}};
  return {{"frontmost", {{"pid", 1}, {"bundleId", "com.example.form"}}},
          {"applications", json::array({{{"pid", 1},
                                         {"id", "app"},
                                         {"attrs", {{ax::AXFocusedWindow, {{"ref", "window"}}}}},
                                         {"windows", json::array({std::move(window)})}}})},
          {"elements", std::move(freeElements)}};
}

// The bytes of a file, empty when it cannot be read.
inline std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The example scene of the README: a contacts window with a form and a table.
inline json exampleScene() { return json::parse(fileText(MORVEL_EXAMPLES_DIR "/contacts.json")); }

}  // namespace morvel::testing
