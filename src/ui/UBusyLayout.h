// The busy window's arrangement rules, Win32-free: which picture or clip a kind shows, where the
// picture, the text, the gauge and the cancel button go, how large the window is, where it stands
// on the screen and what is appended to its text. All values are pixels: control positions in the
// window's client coordinates, the window's size as its outer size.
#pragma once
#include <cstdint>
#include <string>

// What the window shows beside or below its text. Values arrive as raw bytes; see BusyKindInfo.
enum TdsBusyKind : uint8_t { bkImage, bkLoadData, bkCommunicate, bkTransfer, bkCopyFile, bkDownload, bkUpload, bkScan };
// What is appended to the text. Any other value appends nothing.
enum TdsBusyTextStyle : uint8_t { btPlain, btEllipsis, btPleaseWait };
// blImage: picture left, text right; blSide: clip left, text right; blBelow: text on top, clip below.
enum TdsBusyLayout : uint8_t { blImage, blSide, blBelow };

struct TBusyRect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
};

// The window's controls and size, as Arrange reads and writes them. The sizes come from the layout
// resource, the clip (Animation) and the text (Text); the Visible flags say what is shown.
struct TBusyGeometry {
  TBusyRect Animation, Text, Image, Gauge, Button;
  bool AnimationVisible = false, ImageVisible = false, GaugeVisible = false, ButtonVisible = false;
  int WindowWidth = 0, WindowHeight = 0;
};

// Arranges Current for Layout. GaugeVisible and ButtonVisible say what the caller wants shown; the
// picture is Image for blImage and Animation otherwise, and becomes the one visible picture.
// Positions the rules do not set keep their values: a later arrangement starts from them, as the
// window's controls do. blBelow hides the gauge and the button whatever was asked.
TBusyGeometry Arrange(TdsBusyLayout Layout, const TBusyGeometry& Current);

// The clip and the arrangement of a kind: Clip is the name of the clip among the resources of type
// "AVI" (compared without regard to case), nullptr for bkImage. False for a kind outside 0..7.
struct TBusyKindInfo {
  const char* Clip;
  TdsBusyLayout Layout;
};
bool BusyKindInfo(uint8_t Kind, TBusyKindInfo& Info);

// Text followed by the suffix of Style: nothing (btPlain), " ..." (btEllipsis), ", 请稍候..."
// (btPleaseWait, GBK). Any other value appends nothing.
std::string BusyText(const std::string& Text, TdsBusyTextStyle Style);

// Top-left corner of a window of Width x Height centred on a screen of ScreenWidth x
// ScreenHeight: (screen - window) / 2 on each axis, rounded toward zero.
struct TBusyPoint {
  int X = 0, Y = 0;
};
TBusyPoint CenterOnScreen(int ScreenWidth, int ScreenHeight, int Width, int Height);
