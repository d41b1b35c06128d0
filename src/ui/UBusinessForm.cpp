#include "ui/UBusinessForm.h"

#include <exception>

#include "ui/UApplication.h"
#include "ui/UDialogTemplate.h"
#include "ui/UFormLayout.h"
#include "ui/UModalScope.h"
#include "util/UdsErrors.h"
#include "util/UdsSysUtils.h"

namespace {
// Runs one event of a form; an error it raises is shown and goes no further.
template <class TEvent>
void RunEvent(TEvent&& Event) noexcept
{
  try {
    Event();
  } catch (const std::exception& e) {
    TApplication::ShowException(e.what());
  } catch (...) {
    TApplication::ShowException("Quillon.RX: unknown error");
  }
}

// The pixels of the layouts are those of a screen of 96 pixels per inch; so are the font's.
constexpr int kLayoutPixelsPerInch = 96;

BOOL CALLBACK SetControlFont(HWND Control, LPARAM Font) noexcept
{
  SendMessageW(Control, WM_SETFONT, static_cast<WPARAM>(Font), FALSE);
  return TRUE;
}
}  // namespace

TBusinessForm::TBusinessForm(const wchar_t* ResourceName)
    : FVirtualTable(std::make_unique<TVirtualTable>()),
      FStringList(std::make_unique<TStringList>()),
      FResourceName(ResourceName)
{
}

TBusinessForm::~TBusinessForm()
{
  FStringList.reset();
  FVirtualTable.reset();
}

int TBusinessForm::ShowModal()
{
  size_t size = 0;
  const DLGTEMPLATE* resource = LoadDialogResource(TApplication::Instance(), FResourceName, size);
  if (!ParseDialogTemplate(resource, size, FLayout))
    throw EdsError("Invalid dialog resource");
  HWND owner = TApplication::Handle();
  if (owner && !IsWindow(owner))
    owner = nullptr;  // a stale handle of the host would make the dialog fail to appear
  FModalResult = 0;
  INT_PTR r = -1;
  {
    // The dialog disables only its owner, which need not be the window the user works in.
    TModalScope modal;
    r = DialogBoxIndirectParamW(TApplication::Instance(), resource, owner, DialogProc, reinterpret_cast<LPARAM>(this));
  }
  FHandle = nullptr;
  return r < 0 ? 0 : FModalResult;
}

void TBusinessForm::SetModalResult(int Result)
{
  FModalResult = Result;
  EndDialog(FHandle, Result);
}

void TBusinessForm::FormCreate()
{
  // No control switches the keyboard to an input method of its own when it gets the focus.
  TdsSysUtils::SetPropRecursive(FHandle, "ImeName", "");
}

INT_PTR CALLBACK TBusinessForm::DialogProc(HWND Window, UINT Message, WPARAM W, LPARAM L) noexcept
{
  if (Message == WM_INITDIALOG)
    SetWindowLongPtrW(Window, DWLP_USER, L);
  auto* self = reinterpret_cast<TBusinessForm*>(GetWindowLongPtrW(Window, DWLP_USER));
  if (!self)
    return FALSE;
  if (Message == WM_INITDIALOG)
    self->FHandle = Window;
  INT_PTR handled = FALSE;
  RunEvent([&] { handled = self->WindowMessage(Message, W, L); });
  return handled;
}

// The dialog manager makes the font from the resource's face and size but, where the face is
// substituted (as wine does), in no particular character set; the font mapper may then pick a face
// without Chinese glyphs. The form's controls get a font of its own, made from everything the resource
// says. The dialog keeps its own font, which the dialog manager frees.
void TBusinessForm::ApplyFont(HWND Window)
{
  if (FLayout.FontName.empty())
    return;  // the resource names no font: the system's
  LOGFONTW font = {};
  font.lfHeight = -MulDiv(FLayout.FontPoints, kLayoutPixelsPerInch, 72);
  font.lfWeight = FLayout.FontWeight;
  font.lfItalic = FLayout.FontItalic;
  font.lfCharSet = static_cast<BYTE>(FLayout.FontCharSet);
  FLayout.FontName.copy(reinterpret_cast<char16_t*>(font.lfFaceName), LF_FACESIZE - 1);
  FFont.reset(CreateFontIndirectW(&font));
  if (!FFont)
    return;  // the dialog manager's font stays
  EnumChildWindows(Window, SetControlFont, reinterpret_cast<LPARAM>(FFont.get()));
}

void TBusinessForm::Initialize(HWND Window)
{
  // The font first: a combo box fits its height to a new font, the layout then sets it.
  ApplyFont(Window);
  ApplyPixelLayout(Window, FLayout);
  // Centred on the primary screen.
  RECT r;
  GetWindowRect(Window, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  SetWindowPos(Window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  FPreviousActiveForm = TApplication::ActiveForm();
  TApplication::SetActiveForm(Window);
}

INT_PTR TBusinessForm::WindowMessage(UINT Message, WPARAM W, LPARAM L)
{
  switch (Message) {
    case WM_INITDIALOG:
      Initialize(FHandle);
      RunEvent([&] { FormCreate(); });
      RunEvent([&] { FormShow(); });
      return TRUE;  // the focus goes to the first control in tab order
    case WM_COMMAND:
      if (LOWORD(W) == IDCANCEL) {  // the Cancel button, Esc and the close box
        SetModalResult(IDCANCEL);
        return TRUE;
      }
      // Without a default button the dialog manager makes a command for OK of Enter on any control
      // that does not take the key itself (a radio button; the form when no control has the focus).
      // A click on the OK button, or Space or Enter on it, gives it the focus first.
      if (LOWORD(W) == IDOK && HIWORD(W) == BN_CLICKED && GetFocus() != Item(IDOK))
        return TRUE;
      RunEvent([&] { Command(LOWORD(W), HIWORD(W), reinterpret_cast<HWND>(L)); });
      return TRUE;
    case WM_SETCURSOR:
      if (!TApplication::ApplyScreenCursor())
        return FALSE;
      SetWindowLongPtrW(FHandle, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_DESTROY:
      RunEvent([&] { FormDestroy(); });
      TApplication::SetActiveForm(FPreviousActiveForm);
      return FALSE;
    default:
      return FALSE;
  }
}
