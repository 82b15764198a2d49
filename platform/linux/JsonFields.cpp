#include "platform/linux/JsonFields.h"

#include "text/UnicodeText.h"

#include <climits>
#include <cstdint>

namespace morvel::linux_ax {

using nlohmann::json;

std::optional<int> intField(const json& object, const char* name) {
  auto field = object.find(name);
  if (field == object.end() || !field->is_number_integer()) return std::nullopt;
  const auto value = field->get<std::int64_t>();
  if (value < INT_MIN || value > INT_MAX) return std::nullopt;
  return static_cast<int>(value);
}

std::optional<std::string> textField(const json& object, const char* name) {
  auto field = object.find(name);
  if (field == object.end() || !field->is_string()) return std::nullopt;
  return repairUtf8(field->get<std::string>());
}

bool flag(const json& object, const char* name) {
  auto field = object.find(name);
  return field != object.end() && field->is_boolean() && field->get<bool>();
}

std::optional<PixelRect> rectField(const json& object, const char* name) {
  auto field = object.find(name);
  if (field == object.end() || !field->is_object()) return std::nullopt;
  auto x = intField(*field, "x");
  auto y = intField(*field, "y");
  auto width = intField(*field, "width");
  auto height = intField(*field, "height");
  if (!x || !y || !width || !height || *width < 0 || *height < 0) return std::nullopt;
  return PixelRect{*x, *y, *width, *height};
}

const json* listField(const json& object, const char* name) {
  auto field = object.find(name);
  return field != object.end() && field->is_array() ? &*field : nullptr;
}

}  // namespace morvel::linux_ax
