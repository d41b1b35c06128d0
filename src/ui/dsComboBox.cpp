#include "ui/dsComboBox.h"

#include <vector>

TdsComboBox::~TdsComboBox() { Detach(); }

void TdsComboBox::Attach(HWND Combo)
{
  Detach();
  FHandle = Combo;
  SetWindowLongPtrW(Combo, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  FOriginalProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(Combo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TdsComboBox::ComboProc)));
}

void TdsComboBox::Detach()
{
  if (!FHandle)
    return;
  if (IsWindow(FHandle)) {
    SetWindowLongPtrW(FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FOriginalProc));
    SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
  }
  FHandle = nullptr;
  FOriginalProc = nullptr;
}

void TdsComboBox::AddItem(const std::string& Text) { SendMessageA(FHandle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Text.c_str())); }

int TdsComboBox::ItemCount() const
{
  const LRESULT n = SendMessageW(FHandle, CB_GETCOUNT, 0, 0);
  return n < 0 ? 0 : static_cast<int>(n);
}

std::string TdsComboBox::Item(int Index) const
{
  const LRESULT length = SendMessageA(FHandle, CB_GETLBTEXTLEN, Index, 0);
  if (length < 0)
    return {};
  std::vector<char> text(static_cast<size_t>(length) + 1);
  SendMessageA(FHandle, CB_GETLBTEXT, Index, reinterpret_cast<LPARAM>(text.data()));
  return text.data();
}

int TdsComboBox::ItemIndex() const { return static_cast<int>(SendMessageW(FHandle, CB_GETCURSEL, 0, 0)); }

void TdsComboBox::SetItemIndex(int Index) { SendMessageW(FHandle, CB_SETCURSEL, Index, 0); }

void TdsComboBox::Clear()
{
  SendMessageW(FHandle, CB_RESETCONTENT, 0, 0);
  FValues.clear();
  FValues2.clear();
  SetWindowTextW(FHandle, L"");
}

void TdsComboBox::SetHeightAndDropDownCount(int Height, int Count)
{
  // A drop-down list's window height is the height of its dropped list; the box itself is as high
  // as its selection field (the field's item height plus the frame). The list first: sizing the
  // window makes the system fit the field to the font again.
  RECT r;
  GetWindowRect(FHandle, &r);
  const LRESULT item = SendMessageW(FHandle, CB_GETITEMHEIGHT, 0, 0);
  SetWindowPos(FHandle, nullptr, 0, 0, r.right - r.left, Height + Count * static_cast<int>(item > 0 ? item : 12) + 2,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // Then the field, measured after it is set and corrected once: some systems make it a little
  // higher than asked (wine by 2 pixels).
  const LRESULT field = SendMessageW(FHandle, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
  GetWindowRect(FHandle, &r);
  int set = static_cast<int>(field) + Height - (r.bottom - r.top);
  for (int attempt = 0; attempt < 2 && field > 0 && set > 0 && r.bottom - r.top != Height; ++attempt) {
    SendMessageW(FHandle, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), set);
    GetWindowRect(FHandle, &r);
    set += Height - (r.bottom - r.top);
  }
}

LRESULT CALLBACK TdsComboBox::ComboProc(HWND Window, UINT Message, WPARAM W, LPARAM L) noexcept
{
  auto* self = reinterpret_cast<TdsComboBox*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
  if (!self)
    return DefWindowProcW(Window, Message, W, L);
  const WNDPROC original = self->FOriginalProc;
  auto dropped = [Window] { return SendMessageW(Window, CB_GETDROPPEDSTATE, 0, 0) != 0; };
  switch (Message) {
    case WM_GETDLGCODE: {
      // Enter belongs to the box while its list is closed, not to the dialog's default button.
      const auto* msg = reinterpret_cast<const MSG*>(L);
      LRESULT code = CallWindowProcW(original, Window, Message, W, L);
      if (msg && (msg->message == WM_KEYDOWN || msg->message == WM_CHAR) && msg->wParam == VK_RETURN && !dropped())
        code |= DLGC_WANTMESSAGE;
      return code;
    }
    case WM_KEYDOWN:
      if (W == VK_RETURN && !dropped())
        return 0;
      break;
    case WM_CHAR:
      if (W == '\r' && !dropped()) {
        // Like Tab: on to the next control, once the current key has been handled.
        PostMessageW(GetParent(Window), WM_NEXTDLGCTL, 0, FALSE);
        return 0;
      }
      break;
    case WM_NCDESTROY:
      self->Detach();
      return CallWindowProcW(original, Window, Message, W, L);
    default:
      break;
  }
  return CallWindowProcW(original, Window, Message, W, L);
}
