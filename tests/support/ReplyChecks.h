#pragma once

// Requests at places on the screen and checks of the frames replies give, for
// tests of a helper on any window system.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <optional>

namespace morvel::testing {

using Json = nlohmann::json;

struct ScreenRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// A rectangle as the commands' replies give frames.
inline Json frameJson(const ScreenRect& rect) {
  return {{"x", double(rect.x)}, {"y", double(rect.y)}, {"w", double(rect.width)}, {"h", double(rect.height)}};
}

// A request of `command` at the centre of `rect`.
inline Json atCentreOf(const char* command, const ScreenRect& rect) {
  return {{"cmd", command}, {"x", rect.x + rect.width / 2.0}, {"y", rect.y + rect.height / 2.0}};
}

// A request of `command` over `rect` grown by `margin` on every side.
inline Json regionRequest(const char* command, const ScreenRect& rect, int margin = 0) {
  return {{"cmd", command}, {"x", rect.x - margin}, {"y", rect.y - margin},
          {"w", rect.width + 2 * margin}, {"h", rect.height + 2 * margin}};
}

// The point lies in `frame`, edges included, give or take `slack`.
inline bool holds(const Json& frame, double x, double y, double slack = 1.0) {
  auto edge = [&](const char* key) { return frame[key].get<double>(); };
  return x >= edge("x") - slack && y >= edge("y") - slack && x <= edge("x") + edge("w") + slack &&
         y <= edge("y") + edge("h") + slack;
}

// `inner` lies within `outer`, give or take `slack`.
inline bool within(const Json& inner, const Json& outer, double slack = 1.0) {
  auto edge = [&](const char* key) { return inner[key].get<double>(); };
  return holds(outer, edge("x"), edge("y"), slack) && holds(outer, edge("x") + edge("w"), edge("y") + edge("h"), slack);
}

// Every key of `expected` is in `reply` with the same value.
inline void expectHas(const std::optional<Json>& reply, const Json& expected) {
  ASSERT_TRUE(reply) << "no reply";
  for (const auto& [key, value] : expected.items()) {
    EXPECT_EQ(reply->value(key, Json()), value) << key << " in " << *reply;
  }
}

}  // namespace morvel::testing
