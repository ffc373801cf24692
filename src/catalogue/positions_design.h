#pragma once
// The catalogue window's designed places, twips, that building the controls and the
// resize handler share.

namespace catalogue::design {

inline constexpr int kWidth = 15000;
inline constexpr int kHeight = 10500;
inline constexpr int kPanelTop = 480;     // top of the pop-out panels, just under Label10
inline constexpr int kListLeft = 75;      // entries inside a pop-out panel
inline constexpr int kListTop = 240;      // first entry, under the panel's caption
inline constexpr int kListSpacing = 270;  // designed distance between two entries
inline constexpr int kListHeight = 255;
inline constexpr int kGridTop = 840;
inline constexpr int kBasesTop = 300;  // bases inside Frame1, under Label8

}  // namespace catalogue::design
