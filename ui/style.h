// Window style bits, with the window system's numbering so that callers may pass a
// style number of their own.
#ifndef PX_UI_STYLE_H_
#define PX_UI_STYLE_H_

#include <cstdint>

namespace px::style {

constexpr uint32_t kPopup = 0x80000000u;
constexpr uint32_t kChild = 0x40000000u;
constexpr uint32_t kMinimize = 0x20000000u;
constexpr uint32_t kVisible = 0x10000000u;
constexpr uint32_t kClipChildren = 0x02000000u;
constexpr uint32_t kCaption = 0x00C00000u;  // border + dialog frame: a title bar
constexpr uint32_t kBorder = 0x00800000u;
constexpr uint32_t kVScroll = 0x00200000u;
constexpr uint32_t kHScroll = 0x00100000u;
constexpr uint32_t kSysMenu = 0x00080000u;
constexpr uint32_t kThickFrame = 0x00040000u;  // a sizing frame
constexpr uint32_t kMinimizeBox = 0x00020000u;
constexpr uint32_t kMaximizeBox = 0x00010000u;
constexpr uint32_t kModalFrame = 0x00000080u;

}  // namespace px::style

#endif  // PX_UI_STYLE_H_
