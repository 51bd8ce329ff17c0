#pragma once

// The window's outer heights in twips, title bar and frame included.
constexpr double CompactHeightTwips = 5350;
constexpr double DataPanelHeightTwips = 6645;
constexpr double ServiceHeightTwips = 7200;
constexpr double FullHeightTwips = 9100;
// Title bar and frame, where the platform cannot tell: the full height less the designed client height.
constexpr double FrameAllowanceTwips = 370;
