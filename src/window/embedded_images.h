// The window's two pictures, built into the library: the menu banner (PNG, 1080 x 675) and the
// about-page square (baseline JPEG, 768 x 768).
#pragma once

#include <span>

namespace quorvane::window {

std::span<const unsigned char> MenuImageBytes();
std::span<const unsigned char> AboutImageBytes();

}  // namespace quorvane::window
