// The busy window: a small pop-up without caption that tells the user that a long operation runs,
// with a one-line text beside or above a clip (or a picture), optionally a gauge and a cancel
// button. While it is shown the direct children of a host control are disabled and the screen
// cursor is the hourglass. It is not modal: the caller goes on working on the same thread and
// hides it when done; it is painted and its button reacts only while that thread pumps messages.
//
//   TdsBusyForm busy;
//   busy.ShowBusy(DLLParams.HostControl, bkScan, "正在扫描发票", btPleaseWait);
//   ...  // the long call
//   busy.HideBusy();
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "ui/UBusyLayout.h"

class TdsBusyForm {
public:
  // Created hidden from the library's layout resource; the native window belongs to the
  // application window (TApplication::Handle()), so it has no task-bar button.
  TdsBusyForm();
  // Destroys the window. When it is freed between ShowBusy and HideBusy (an error, a fault in the
  // engine, a clip that could not be opened), it first gives back what ShowBusy changed: the
  // children it disabled are enabled again and the cursor is the default one.
  ~TdsBusyForm();
  TdsBusyForm(const TdsBusyForm&) = delete;
  TdsBusyForm& operator=(const TdsBusyForm&) = delete;

  // Sets the hourglass, clears Cancelled, disables Control's enabled direct children (Control may
  // be 0), arranges the window for Kind with Text (GBK) and the suffix of TextStyle, centres it on
  // the primary screen, top-most, shows and paints it, processes pending messages once and, without
  // the gauge, pauses 200 ms. A kind outside 0..7 keeps the last arrangement without picture or
  // clip. bkImage and the side layouts show the gauge and the button as asked; the wide clips never.
  // Raises EdsError("Cannot open AVI") when the kind's clip cannot be opened; the window is then
  // neither placed nor shown, and the hourglass and the disabled children stay until HideBusy or
  // the destructor.
  void ShowBusy(HWND Control, TdsBusyKind Kind, const std::string& Text, TdsBusyTextStyle TextStyle, bool ShowGauge,
                bool ShowCancel);
  void ShowBusy(HWND Control, TdsBusyKind Kind, const std::string& Text, TdsBusyTextStyle TextStyle, bool ShowCancel);
  void ShowBusy(HWND Control, TdsBusyKind Kind, const std::string& Text, TdsBusyTextStyle TextStyle);
  // Pauses 200 ms if the last show asked for the gauge, hides the window, enables again exactly the
  // children that ShowBusy disabled (a child disabled before stays disabled), sets the default
  // cursor and processes pending messages once. Harmless on a hidden window.
  void HideBusy();

  // Set by the cancel button; the button is enabled exactly when Cancelled is false. ShowBusy
  // clears Cancelled but leaves the button as it is.
  bool Cancelled() const { return FCancelled; }
  void SetCancelled(bool Value);

  // The gauge's position in percent, clamped to 0..100. Showing with the gauge sets it to 0; the
  // window never advances it itself.
  void SetProgress(int Value);
  int Progress() const;

  HWND Handle() const { return FWindow.get(); }

private:
  // The gauge's window class, registered with the library's module while any busy window exists:
  // a library unloaded and loaded again never finds a class whose procedure is gone.
  struct TGaugeClass {
    TGaugeClass();
    ~TGaugeClass();
    TGaugeClass(const TGaugeClass&) = delete;
    TGaugeClass& operator=(const TGaugeClass&) = delete;
  };
  struct TWindowDeleter {
    void operator()(HWND Window) const { DestroyWindow(Window); }
  };
  struct TIconDeleter {
    void operator()(HICON Icon) const { DestroyIcon(Icon); }
  };

  void Prepare(uint8_t Kind, const std::string& Text, bool ShowGauge, bool ShowCancel);
  void ApplyGeometry();
  void DisableChildren(HWND Control);
  void EnableDisabledChildren() noexcept;

  // Before the window: the class is registered first and unregistered last, the picture's icon
  // outlives the control that shows it.
  TGaugeClass FGaugeClass;
  std::unique_ptr<std::remove_pointer_t<HICON>, TIconDeleter> FIcon;
  std::unique_ptr<std::remove_pointer_t<HWND>, TWindowDeleter> FWindow;
  HWND FAnimate = nullptr, FText = nullptr, FImage = nullptr, FGauge = nullptr, FCancel = nullptr;
  TBusyGeometry FGeometry;
  std::vector<HWND> FDisabledChildren;  // what ShowBusy disabled and HideBusy gives back
  bool FShowGauge = false;
  bool FCancelled = false;
  bool FBusy = false;  // between ShowBusy and HideBusy: the cursor and the children are changed
};

// Opens the clip Name (a resource of type "AVI" in Module, name compared without regard to case)
// in the animation control Animation and returns its frame size, read from the main AVI header.
// Raises EdsError("Cannot open AVI") when there is no such clip or the control cannot open it.
SIZE OpenBusyClip(HWND Animation, HINSTANCE Module, const char* Name);
