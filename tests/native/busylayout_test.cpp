// The busy window's arrangements, its place on the screen, its text and the clip of each kind.
#include "ui/UBusyLayout.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The controls as the busy window's layout resource places them, the text already sized to a text
// of 150 x 12 pixels.
TBusyGeometry FromResource()
{
  TBusyGeometry g;
  g.Animation = {8, 16, 57, 57};
  g.Text = {140, 22, 150, 12};
  g.Image = {76, 20, 48, 48};
  g.Gauge = {140, 56, 188, 18};
  g.Button = {272, 8, 56, 22};
  g.WindowWidth = 358;
  g.WindowHeight = 99;
  return g;
}

struct TPos {
  int Left, Top;
};

struct TCase {
  const char* Name;
  TdsBusyLayout Layout;
  int ClipWidth, ClipHeight;  // the clip's frame size (left as the resource's for blImage)
  bool Gauge, Button;         // asked for
  // Expected:
  TPos Picture, Text, GaugeAt, ButtonAt;
  int Width, Height;
  bool GaugeShown, ButtonShown;
};

const TCase kCases[] = {
    // The invoice scan: text on top, the wide clip below, nothing else.
    {"scan", blBelow, 271, 48, false, false, {16, 32}, {16, 16}, {140, 56}, {272, 8}, 303, 96, false, false},
    // Wide clips never show the gauge or the button, and leave them where they were.
    {"scan with gauge and button", blBelow, 271, 48, true, true, {16, 32}, {16, 16}, {140, 56}, {272, 8}, 303, 96,
     false, false},
    {"communicate", blBelow, 324, 72, false, false, {16, 32}, {16, 16}, {140, 56}, {272, 8}, 356, 120, false, false},
    {"load data", blSide, 48, 45, false, false, {16, 16}, {80, 30}, {140, 56}, {272, 8}, 288, 77, false, false},
    {"image", blImage, 0, 0, false, false, {16, 16}, {80, 32}, {140, 56}, {272, 8}, 288, 80, false, false},
    {"image with gauge", blImage, 0, 0, true, false, {16, 16}, {80, 21}, {80, 41}, {272, 8}, 288, 80, true, false},
    {"image with gauge and button", blImage, 0, 0, true, true, {16, 16}, {80, 31}, {80, 51}, {212, 4}, 288, 80, true,
     true},
    // The button alone: the hidden gauge moves down all the same, and the button's left follows the
    // gauge's left, which only a show with the gauge sets (here still the resource's 140).
    {"transfer with button", blSide, 100, 70, false, true, {16, 16}, {132, 53}, {140, 66}, {272, 15}, 340, 102,
     false, true},
    // Halves of odd and negative values round toward zero: (11 - 38) / 2 = -13, (13 - 22) / 2 = -4.
    {"tiny clip with gauge and button", blSide, 20, 11, true, true, {16, 16}, {52, 13}, {52, 33}, {184, -4}, 260,
     43, true, true},
};

TEST(BusyArrange, EveryLayout)
{
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    TBusyGeometry in = FromResource();
    if (c.Layout != blImage) {
      in.Animation.Width = c.ClipWidth;
      in.Animation.Height = c.ClipHeight;
    }
    in.GaugeVisible = c.Gauge;
    in.ButtonVisible = c.Button;
    const TBusyGeometry g = Arrange(c.Layout, in);

    const TBusyRect& picture = c.Layout == blImage ? g.Image : g.Animation;
    const TBusyRect& other = c.Layout == blImage ? g.Animation : g.Image;
    const TBusyRect& otherBefore = c.Layout == blImage ? in.Animation : in.Image;
    EXPECT_EQ(picture.Left, c.Picture.Left);
    EXPECT_EQ(picture.Top, c.Picture.Top);
    EXPECT_EQ(g.Text.Left, c.Text.Left);
    EXPECT_EQ(g.Text.Top, c.Text.Top);
    EXPECT_EQ(g.Gauge.Left, c.GaugeAt.Left);
    EXPECT_EQ(g.Gauge.Top, c.GaugeAt.Top);
    EXPECT_EQ(g.Button.Left, c.ButtonAt.Left);
    EXPECT_EQ(g.Button.Top, c.ButtonAt.Top);
    EXPECT_EQ(g.WindowWidth, c.Width);
    EXPECT_EQ(g.WindowHeight, c.Height);
    EXPECT_EQ(g.GaugeVisible, c.GaugeShown);
    EXPECT_EQ(g.ButtonVisible, c.ButtonShown);
    EXPECT_EQ(g.ImageVisible, c.Layout == blImage);
    EXPECT_EQ(g.AnimationVisible, c.Layout != blImage);
    // Sizes are the caller's; the picture not used keeps its place.
    EXPECT_EQ(picture.Width, c.Layout == blImage ? 48 : c.ClipWidth);
    EXPECT_EQ(g.Text.Width, 150);
    EXPECT_EQ(g.Gauge.Width, 188);
    EXPECT_EQ(g.Button.Width, 56);
    EXPECT_EQ(other.Left, otherBefore.Left);
    EXPECT_EQ(other.Top, otherBefore.Top);
  }
}

// The window's width follows the gauge's width, shown or not, never the text's: a long text is cut.
TEST(BusyArrange, TextNeverWidensTheWindow)
{
  TBusyGeometry in = FromResource();
  in.Text.Width = 2000;
  in.Animation.Width = 48;
  in.Animation.Height = 45;
  EXPECT_EQ(Arrange(blSide, in).WindowWidth, 288);
  in.Gauge.Width = 100;
  EXPECT_EQ(Arrange(blSide, in).WindowWidth, 200);
  in.Animation.Width = 271;
  in.Animation.Height = 48;
  EXPECT_EQ(Arrange(blBelow, in).WindowWidth, 303);
}

// Each arrangement starts from the last one: a wide clip in between changes nothing of the gauge's and
// the button's places, and a show with the gauge puts them back where the rules say.
TEST(BusyArrange, ArrangementsFollowEachOther)
{
  TBusyGeometry g = FromResource();
  g.GaugeVisible = g.ButtonVisible = true;
  const TBusyGeometry first = Arrange(blImage, g);

  TBusyGeometry below = first;
  below.Animation.Width = 271;
  below.Animation.Height = 48;
  below.GaugeVisible = below.ButtonVisible = true;
  below = Arrange(blBelow, below);
  EXPECT_EQ(below.Gauge.Top, first.Gauge.Top);
  EXPECT_EQ(below.Button.Left, first.Button.Left);

  below.GaugeVisible = below.ButtonVisible = true;
  const TBusyGeometry again = Arrange(blImage, below);
  EXPECT_EQ(again.Text.Top, first.Text.Top);
  EXPECT_EQ(again.Gauge.Top, first.Gauge.Top);
  EXPECT_EQ(again.Button.Top, first.Button.Top);
  EXPECT_EQ(again.WindowHeight, first.WindowHeight);

  // Without the gauge, every show with the button moves the hidden gauge down once more.
  TBusyGeometry drift = FromResource();
  drift.Animation.Width = 48;
  drift.Animation.Height = 45;
  drift.ButtonVisible = true;
  drift = Arrange(blSide, drift);
  drift = Arrange(blSide, drift);
  EXPECT_EQ(drift.Gauge.Top, 76);
  EXPECT_EQ(drift.Text.Top, 40);
}

TEST(BusyCenter, RoundsTowardZero)
{
  const struct {
    int ScreenWidth, ScreenHeight, Width, Height, X, Y;
  } cases[] = {
      {1280, 1024, 303, 96, 488, 464},  {1280, 1024, 288, 77, 496, 473}, {1279, 1023, 288, 80, 495, 471},
      {1280, 1024, 301, 95, 489, 464},  {800, 600, 800, 600, 0, 0},
      {800, 600, 1001, 603, -100, -1},  // wider and higher than the screen: -201 / 2, -3 / 2
  };
  for (const auto& c : cases) {
    TBusyPoint p = CenterOnScreen(c.ScreenWidth, c.ScreenHeight, c.Width, c.Height);
    EXPECT_EQ(p.X, c.X) << c.Width << " on " << c.ScreenWidth;
    EXPECT_EQ(p.Y, c.Y) << c.Height << " on " << c.ScreenHeight;
  }
}

TEST(BusyText, Suffixes)
{
  const struct {
    uint8_t Style;
    const char* Text;
    const char* Expected;
  } cases[] = {
      {btPlain, "正在扫描发票", "正在扫描发票"},
      {btEllipsis, "正在扫描发票", "正在扫描发票 ..."},
      {btPleaseWait, "正在扫描发票", "正在扫描发票, 请稍候..."},
      {btPleaseWait, "", ", 请稍候..."},
      {3, "正在载入数据", "正在载入数据"},
      {255, "正在载入数据", "正在载入数据"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(BusyText(c.Text, static_cast<TdsBusyTextStyle>(c.Style)), c.Expected) << int(c.Style);
  // The suffix is GBK: comma, blank, 请稍候, three full stops.
  EXPECT_EQ(BusyText("", btPleaseWait), ", \xC7\xEB\xC9\xD4\xBA\xF2...");
}

TEST(BusyKind, ClipAndLayoutOfEachKind)
{
  const struct {
    uint8_t Kind;
    const char* Clip;
    TdsBusyLayout Layout;
  } cases[] = {
      {bkImage, nullptr, blImage},          {bkLoadData, "LoadData_avi", blSide},
      {bkCommunicate, "Communicate_avi", blBelow}, {bkTransfer, "Transfer_avi", blSide},
      {bkCopyFile, "CopyFile_avi", blBelow}, {bkDownload, "Download_avi", blBelow},
      {bkUpload, "Upload_avi", blBelow},     {bkScan, "Scan_avi", blBelow},
  };
  for (const auto& c : cases) {
    TBusyKindInfo info = {"untouched", blImage};
    ASSERT_TRUE(BusyKindInfo(c.Kind, info)) << int(c.Kind);
    EXPECT_EQ(info.Layout, c.Layout) << int(c.Kind);
    if (c.Clip)
      EXPECT_STREQ(info.Clip, c.Clip);
    else
      EXPECT_EQ(info.Clip, nullptr);
  }
  for (uint8_t kind : {8, 9, 128, 255}) {
    TBusyKindInfo info = {"untouched", blSide};
    EXPECT_FALSE(BusyKindInfo(kind, info)) << int(kind);
    EXPECT_STREQ(info.Clip, "untouched");
  }
}

}  // namespace
