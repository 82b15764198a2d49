#pragma once

// GNOME Shell hands captures over as PNG: read into the grey image the
// recogniser takes, with the same luminance as every other capture.

#include "platform/linux/image/GreyImage.h"

#include <cstdint>
#include <optional>
#include <span>

namespace morvel::linux_ax {

// Absent for bytes that are not a whole PNG, or one larger than any screen.
std::optional<GreyImage> greyImageFromPng(std::span<const std::uint8_t> png);

}  // namespace morvel::linux_ax
