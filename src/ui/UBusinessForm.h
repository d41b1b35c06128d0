// The base of the library's modal dialogs: the window comes from a dialog resource laid out in
// pixels (ui/UFormLayout.h), belongs to the host's application window, is modal over every window of
// the host and is centred on the screen; its controls show the font the resource names, in the
// resource's character set, and none of them switches to a preset input method. The forms have no
// default button: only the OK button itself runs OK. A derived dialog reacts to the events below; an
// error that escapes one of them is shown to the user and never leaves the dialog procedure.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

#include "data/UVirtualTable.h"
#include "ui/UDialogTemplate.h"
#include "util/UdsStrUtils.h"

class TBusinessForm {
public:
  // ResourceName: the form's DIALOGEX resource in the library's module.
  explicit TBusinessForm(const wchar_t* ResourceName);
  virtual ~TBusinessForm();
  TBusinessForm(const TBusinessForm&) = delete;
  TBusinessForm& operator=(const TBusinessForm&) = delete;

  // Shows the form modally over the host's application window, with every other window of the
  // thread disabled until it closes, and returns its modal result: 1 (OK) when a handler set it,
  // 2 (Cancel) for the Cancel button, Esc and the close box, 0 when the window could not be made.
  int ShowModal();
  HWND Handle() const { return FHandle; }
  // Ends the modal run with Result.
  void SetModalResult(int Result);
  int ModalResult() const { return FModalResult; }

protected:
  // The window exists and is laid out, not yet visible.
  virtual void FormCreate();
  // Right before the form becomes visible.
  virtual void FormShow() {}
  virtual void FormDestroy() {}
  // WM_COMMAND from a control of the form. IDOK comes only from the OK button: a click on it, or
  // Space or Enter while it has the focus.
  virtual void Command(int Id, int Code, HWND Control) {}

  HWND Item(int Id) const { return GetDlgItem(FHandle, Id); }

  std::unique_ptr<TVirtualTable> FVirtualTable;  // at the disposal of derived forms
  std::unique_ptr<TStringList> FStringList;

private:
  struct TFontDeleter {
    void operator()(HFONT Font) const { DeleteObject(Font); }
  };
  using TFont = std::unique_ptr<std::remove_pointer_t<HFONT>, TFontDeleter>;

  static INT_PTR CALLBACK DialogProc(HWND Window, UINT Message, WPARAM W, LPARAM L) noexcept;
  INT_PTR WindowMessage(UINT Message, WPARAM W, LPARAM L);
  void Initialize(HWND Window);
  void ApplyFont(HWND Window);

  const wchar_t* FResourceName;
  TDialogTemplate FLayout;
  TFont FFont;  // the controls' font, made from the resource's definition; lives as long as the form
  HWND FHandle = nullptr;
  int FModalResult = 0;
  HWND FPreviousActiveForm = nullptr;
};
