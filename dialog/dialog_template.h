// The main dialog's template 102 and the About box's template 100: control ids, captions and
// rectangles in dialog units, in template order (which is the tab order). The Qt layout and the
// Win32 resource are both checked against these.
#pragma once

#include <array>
#include <optional>
#include <span>

namespace solvane::dialog {

struct DialogRect {
  int x, y, width, height;
  friend constexpr bool operator==(const DialogRect&, const DialogRect&) = default;
};

// Control ids of template 102.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdList = 1000;
inline constexpr int kIdOpenNormal = 1001;
inline constexpr int kIdConversion = 1002;
inline constexpr int kIdTotal = 1003;
inline constexpr int kIdConverted = 1004;
inline constexpr int kIdOpenAutodoria = 1005;
inline constexpr int kIdNormalPath = 1006;
inline constexpr int kIdAutodoriaPath = 1007;
inline constexpr int kIdLoad = 1008;
inline constexpr int kIdStatic = -1;  // static texts without an id of their own

// Resource ids.
inline constexpr int kIddMainDialog = 102;
inline constexpr int kIddAboutBox = 100;
inline constexpr int kIdsAboutBox = 101;   // the string of the About item
inline constexpr int kIdrMainFrame = 128;  // the icon group

enum class ControlKind { kDefaultButton, kButton, kListView, kEdit, kStaticText, kIcon };

struct ControlTemplate {
  int id;
  ControlKind kind;
  const char* caption;  // "" for none
  DialogRect rect;
  bool tabStop;
  bool disabled;  // in the template (the four edit fields and Load)
};

struct DialogTemplate {
  DialogRect size;  // at 0,0
  std::span<const ControlTemplate> controls;
};

inline constexpr std::array<ControlTemplate, 12> kMainControls = {{
    {kIdOk, ControlKind::kDefaultButton, "OK", {521, 257, 124, 16}, true, false},
    {kIdList, ControlKind::kListView, "", {11, 53, 645, 200}, true, false},
    {kIdOpenNormal, ControlKind::kButton, "Open", {583, 11, 73, 16}, true, false},
    {kIdConversion, ControlKind::kButton, "Conversion", {390, 257, 123, 16}, true, false},
    {kIdTotal, ControlKind::kEdit, "", {100, 258, 77, 14}, false, true},
    {kIdConverted, ControlKind::kEdit, "", {15, 258, 77, 14}, false, true},
    {kIdOpenAutodoria, ControlKind::kButton, "Open", {583, 31, 73, 16}, true, false},
    {kIdNormalPath, ControlKind::kEdit, "", {79, 12, 498, 13}, false, true},
    {kIdAutodoriaPath, ControlKind::kEdit, "", {79, 32, 498, 12}, false, true},
    {kIdStatic, ControlKind::kStaticText, "DB (Normal) :", {14, 15, 58, 8}, false, false},
    {kIdStatic, ControlKind::kStaticText, "DB (Autodoria) :", {14, 34, 59, 11}, false, false},
    {kIdLoad, ControlKind::kButton, "Load", {258, 258, 123, 15}, true, true},
}};
inline constexpr DialogTemplate kMainTemplate{{0, 0, 667, 283}, kMainControls};

// Indexes into kMainControls of the two static texts, which share kIdStatic.
inline constexpr std::size_t kNormalLabelIndex = 9;
inline constexpr std::size_t kAutodoriaLabelIndex = 10;

inline constexpr std::array<ControlTemplate, 3> kAboutControls = {{
    {kIdStatic, ControlKind::kIcon, "", {11, 17, 20, 20}, false, false},
    {kIdStatic, ControlKind::kStaticText, "", {40, 10, 119, 8}, false, false},  // aboutVersionText()
    {kIdOk, ControlKind::kDefaultButton, "OK", {178, 7, 50, 16}, true, false},
}};
inline constexpr DialogTemplate kAboutTemplate{{0, 0, 235, 55}, kAboutControls};

// The control of template 102 with this id (not kIdStatic); nothing for an unknown id.
[[nodiscard]] constexpr std::optional<ControlTemplate> mainControl(int id) noexcept {
  if (id == kIdStatic) return std::nullopt;
  for (const ControlTemplate& c : kMainControls) {
    if (c.id == id) return c;
  }
  return std::nullopt;
}

}  // namespace solvane::dialog
