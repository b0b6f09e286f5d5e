// The application bar's value types: edges, flags, the task-bar entry mode, rectangles and
// the persistent settings block. Portable: no platform headers.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace mq::bar {

// 0 to 3 are the shell's own edge numbers (ABE_LEFT ... ABE_BOTTOM).
enum TAppBarEdge : std::uint8_t {
  abeLeft = 0,
  abeTop = 1,
  abeRight = 2,
  abeBottom = 3,
  abeUnknown = 4,
  abeFloat = 5,
};

enum TAppBarFlag : std::uint8_t {
  abfAllowLeft = 0,
  abfAllowTop = 1,
  abfAllowRight = 2,
  abfAllowBottom = 3,
  abfAllowFloat = 4,
};

// A set of TAppBarFlag in one byte, bit n = flag n.
class TAppBarFlags {
 public:
  constexpr TAppBarFlags() = default;
  constexpr TAppBarFlags(std::initializer_list<TAppBarFlag> flags) {
    for (TAppBarFlag f : flags) bits_ |= Bit(f);
  }
  static constexpr TAppBarFlags FromByte(std::uint8_t b) {
    TAppBarFlags f;
    f.bits_ = b;
    return f;
  }
  static constexpr TAppBarFlags All() { return FromByte(0x1F); }

  constexpr bool Has(TAppBarFlag f) const { return (bits_ & Bit(f)) != 0; }
  // True when the flag for docking to `edge` is in the set (edges 0 to 3 only).
  constexpr bool AllowsEdge(TAppBarEdge edge) const {
    return edge <= abeBottom && Has(static_cast<TAppBarFlag>(edge));
  }
  constexpr bool AllowsAnyEdge() const { return (bits_ & 0x0F) != 0; }
  constexpr std::uint8_t Byte() const { return bits_; }
  constexpr bool operator==(const TAppBarFlags&) const = default;

 private:
  static constexpr std::uint8_t Bit(TAppBarFlag f) { return static_cast<std::uint8_t>(1u << f); }
  std::uint8_t bits_ = 0;
};

enum TAppBarTaskEntry : std::uint8_t {
  abtShow = 0,
  abtHide = 1,
  abtFloatDependent = 2,
};

// Same member order and widths as the platform's RECT, so the Win32 side can copy it as is.
struct BarRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  constexpr std::int32_t Width() const { return right - left; }
  constexpr std::int32_t Height() const { return bottom - top; }
  // Half-open containment, as the platform's PtInRect.
  constexpr bool Contains(std::int32_t x, std::int32_t y) const {
    return x >= left && x < right && y >= top && y < bottom;
  }
  constexpr bool operator==(const BarRect&) const = default;
};

struct BarPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  constexpr bool operator==(const BarPoint&) const = default;
};

// The bar's whole persistent state: 84 bytes, little-endian, stored in the registry exactly
// as it lies in memory. The padding is spelled out so that it is always written as zeros.
struct TAppBarSettings {
  std::int32_t cbSize;            // 0: size of the block (84)
  std::uint8_t abEdge;            // 4: stored edge (TAppBarEdge)
  std::uint8_t abFlags;           // 5: TAppBarFlags
  std::uint8_t bAutoHide;         // 6
  std::uint8_t bAlwaysOnTop;      // 7
  std::uint8_t bSlideEffect;      // 8
  std::uint8_t reserved1[3];      // 9
  std::int32_t nSlideTime;        // 12: milliseconds
  std::int32_t nHorzSizeInc;      // 16: 0 = width not resizable
  std::int32_t nVertSizeInc;      // 20: 0 = height not resizable
  std::int32_t nVertDockSize;     // 24: width when docked left or right
  std::int32_t nHorzDockSize;     // 28: height when docked top or bottom
  BarRect rcFloat;                // 32: float window rectangle, screen coordinates
  std::int32_t nMinWidth;         // 48
  std::int32_t nMinHeight;        // 52
  std::int32_t nMaxWidth;         // 56
  std::int32_t nMaxHeight;        // 60
  std::int32_t nMinVertDockSize;  // 64
  std::int32_t nMinHorzDockSize;  // 68
  std::int32_t nMaxVertDockSize;  // 72
  std::int32_t nMaxHorzDockSize;  // 76
  std::uint8_t abTaskEntry;       // 80: TAppBarTaskEntry
  std::uint8_t reserved2[3];      // 81
};

// The block is stored as it lies in memory and read back on the same kind of machine.
static_assert(std::endian::native == std::endian::little);
static_assert(sizeof(TAppBarSettings) == 84);
static_assert(alignof(TAppBarSettings) == 4);
static_assert(offsetof(TAppBarSettings, cbSize) == 0);
static_assert(offsetof(TAppBarSettings, abEdge) == 4);
static_assert(offsetof(TAppBarSettings, abFlags) == 5);
static_assert(offsetof(TAppBarSettings, bAutoHide) == 6);
static_assert(offsetof(TAppBarSettings, bAlwaysOnTop) == 7);
static_assert(offsetof(TAppBarSettings, bSlideEffect) == 8);
static_assert(offsetof(TAppBarSettings, reserved1) == 9);
static_assert(offsetof(TAppBarSettings, nSlideTime) == 12);
static_assert(offsetof(TAppBarSettings, nHorzSizeInc) == 16);
static_assert(offsetof(TAppBarSettings, nVertSizeInc) == 20);
static_assert(offsetof(TAppBarSettings, nVertDockSize) == 24);
static_assert(offsetof(TAppBarSettings, nHorzDockSize) == 28);
static_assert(offsetof(TAppBarSettings, rcFloat) == 32);
static_assert(offsetof(TAppBarSettings, nMinWidth) == 48);
static_assert(offsetof(TAppBarSettings, nMinHeight) == 52);
static_assert(offsetof(TAppBarSettings, nMaxWidth) == 56);
static_assert(offsetof(TAppBarSettings, nMaxHeight) == 60);
static_assert(offsetof(TAppBarSettings, nMinVertDockSize) == 64);
static_assert(offsetof(TAppBarSettings, nMinHorzDockSize) == 68);
static_assert(offsetof(TAppBarSettings, nMaxVertDockSize) == 72);
static_assert(offsetof(TAppBarSettings, nMaxHorzDockSize) == 76);
static_assert(offsetof(TAppBarSettings, abTaskEntry) == 80);
static_assert(offsetof(TAppBarSettings, reserved2) == 81);

// The constructor's defaults for a primary screen of the given size.
TAppBarSettings DefaultBarSettings(std::int32_t screenWidth, std::int32_t screenHeight);

}  // namespace mq::bar
