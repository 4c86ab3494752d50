// The window's colours (0xRRGGBB); opacity is given where each is drawn.
#pragma once

#include <cstdint>

namespace tavo::launcher::ui::palette {

inline constexpr uint32_t kBackground = 0x08080A;
inline constexpr uint32_t kBlack = 0x000000;
inline constexpr uint32_t kWhite = 0xFFFFFF;
inline constexpr uint32_t kSecondaryText = 0xA1A1AA;
inline constexpr uint32_t kLabel = 0xE2E2E2;
inline constexpr uint32_t kMuted = 0x909099;
inline constexpr uint32_t kFaint = 0x787880;
inline constexpr uint32_t kTitleLine2 = 0x6B6B73;
inline constexpr uint32_t kDarkGlyph = 0x08080A;
inline constexpr uint32_t kSuccessGreen = 0x6DDE92;  // success accent and the "Copied" feedback

}  // namespace tavo::launcher::ui::palette
