#pragma once

// The same requests asked of a desktop and of the replay of its recording, and
// how far their replies agree.

#include <nlohmann/json.hpp>

#include <set>
#include <string>
#include <vector>

namespace morvel::testing {

using nlohmann::json;

// element-at and selector-at at the centres of a columns x rows grid over the
// window, then focused, fields, structure and fingerprint.
inline std::vector<json> probeRequests(double x, double y, double width, double height, int columns, int rows) {
  std::vector<json> requests;
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      const double px = x + (column + 0.5) * width / columns;
      const double py = y + (row + 0.5) * height / rows;
      requests.push_back({{"cmd", "element-at"}, {"x", px}, {"y", py}});
      requests.push_back({{"cmd", "selector-at"}, {"x", px}, {"y", py}});
    }
  }
  for (const char* command : {"focused", "fields", "structure", "fingerprint"}) requests.push_back({{"cmd", command}});
  return requests;
}

// One "find" per distinct selector the desktop gave, tried once.
inline std::vector<json> findRequests(const std::vector<json>& selectorReplies) {
  std::set<json> selectors;
  for (const json& reply : selectorReplies) {
    if (reply.contains("selector")) selectors.insert(reply["selector"]);
  }
  std::vector<json> requests;
  for (const json& selector : selectors) requests.push_back({{"cmd", "find"}, {"selector", selector}, {"timeoutMs", 0}});
  return requests;
}

struct Agreement {
  int same = 0;
  int total = 0;
  bool treeDigestSame = false;
  std::vector<std::string> differences;  // request, desktop's reply, replay's reply

  double share() const { return total == 0 ? 0.0 : double(same) / total; }
};

// Compares reply by reply; request ids aside.
inline Agreement compareReplies(const std::vector<json>& requests, const std::vector<json>& desktop,
                                const std::vector<json>& replay) {
  Agreement agreement;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    json expected = i < desktop.size() ? desktop[i] : json();
    json actual = i < replay.size() ? replay[i] : json();
    for (json* reply : {&expected, &actual}) {
      if (reply->is_object()) reply->erase("id");
    }
    ++agreement.total;
    if (requests[i]["cmd"] == "fingerprint") agreement.treeDigestSame = expected.value("axDigest", "") != "" && expected["axDigest"] == actual.value("axDigest", "");
    if (expected == actual) {
      ++agreement.same;
    } else {
      agreement.differences.push_back(requests[i].dump() + "\n  desktop " + expected.dump() + "\n  replay  " + actual.dump());
    }
  }
  return agreement;
}

}  // namespace morvel::testing
