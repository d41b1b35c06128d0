#include "ui/UBusyLayout.h"

TBusyGeometry Arrange(TdsBusyLayout Layout, const TBusyGeometry& Current)
{
  TBusyGeometry g = Current;
  TBusyRect& text = g.Text;
  TBusyRect& gauge = g.Gauge;
  TBusyRect& button = g.Button;
  // C++ division rounds toward zero, as the rules ask.
  if (Layout == blBelow) {
    text.Left = 16;
    text.Top = 16;
    g.Animation.Left = text.Left;
    g.Animation.Top = text.Top + 16;
    g.WindowHeight = g.Animation.Top + g.Animation.Height + text.Top;
    g.WindowWidth = g.Animation.Left + g.Animation.Width + g.Animation.Left;
    g.GaugeVisible = false;
    g.ButtonVisible = false;
    g.AnimationVisible = true;
    g.ImageVisible = false;
    return g;
  }

  TBusyRect& p = Layout == blImage ? g.Image : g.Animation;
  p.Left = 16;
  p.Top = 16;
  text.Left = p.Left + p.Width + 16;
  text.Top = p.Top + p.Height / 2 - 8;
  g.WindowHeight = p.Top + p.Height + p.Top;
  // The gauge's width sets the window's even when the gauge is hidden.
  g.WindowWidth = text.Left + gauge.Width + 20;
  if (g.GaugeVisible) {
    text.Top = (p.Height - 20 - gauge.Height) / 2 + p.Top;
    gauge.Left = text.Left;
    gauge.Top = text.Top + 20;
  }
  if (g.ButtonVisible) {
    // The gauge moves with the text even when hidden; the button's left follows the gauge's.
    text.Top += 10;
    gauge.Top += 10;
    button.Top = (text.Top - button.Height) / 2;
    button.Left = gauge.Left + gauge.Width - button.Width;
  }
  g.ImageVisible = Layout == blImage;
  g.AnimationVisible = Layout != blImage;
  return g;
}

bool BusyKindInfo(uint8_t Kind, TBusyKindInfo& Info)
{
  static const TBusyKindInfo kKinds[] = {
      {nullptr, blImage},          {"LoadData_avi", blSide}, {"Communicate_avi", blBelow},
      {"Transfer_avi", blSide},    {"CopyFile_avi", blBelow}, {"Download_avi", blBelow},
      {"Upload_avi", blBelow},     {"Scan_avi", blBelow},
  };
  if (Kind >= sizeof(kKinds) / sizeof(kKinds[0]))
    return false;
  Info = kKinds[Kind];
  return true;
}

std::string BusyText(const std::string& Text, TdsBusyTextStyle Style)
{
  switch (static_cast<uint8_t>(Style)) {
    case btEllipsis: return Text + " ...";
    case btPleaseWait: return Text + ", 请稍候...";
    default: return Text;
  }
}

TBusyPoint CenterOnScreen(int ScreenWidth, int ScreenHeight, int Width, int Height)
{
  TBusyPoint p;
  p.X = (ScreenWidth - Width) / 2;
  p.Y = (ScreenHeight - Height) / 2;
  return p;
}
