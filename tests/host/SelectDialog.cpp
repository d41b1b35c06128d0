#include "SelectDialog.h"

#include <gtest/gtest.h>

#include "DialogDriver.h"

namespace {
std::string Checked(HWND Button)
{
  return SendMessageW(Button, BM_GETCHECK, 0, 0) == BST_CHECKED ? "checked" : "unchecked";
}
std::string Enabled(HWND Window) { return IsWindowEnabled(Window) ? "enabled" : "disabled"; }
}  // namespace

TSelectDialog::TSelectDialog(HWND W)
    : Window(W),
      Scanner(FindChild(W, L"ComboBox")),
      Group(FindChild(W, L"Button", L"扫描方式")),
      Roll(FindChild(W, L"Button", L"滚动扫描")),
      Flatbed(FindChild(W, L"Button", L"平板扫描")),
      Ok(GetDlgItem(W, IDOK)),
      Cancel(GetDlgItem(W, IDCANCEL))
{
  EXPECT_TRUE(Scanner && Group && Roll && Flatbed && Ok && Cancel) << "a control of the dialog is missing";
}

std::vector<std::wstring> TSelectDialog::Items() const
{
  std::vector<std::wstring> items;
  const int n = static_cast<int>(SendMessageW(Scanner, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    std::wstring text(static_cast<size_t>(SendMessageW(Scanner, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
    text.resize(static_cast<size_t>(SendMessageW(Scanner, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&text[0]))));
    items.push_back(text);
  }
  return items;
}

int TSelectDialog::ItemIndex() const { return static_cast<int>(SendMessageW(Scanner, CB_GETCURSEL, 0, 0)); }

std::string TSelectDialog::Modes() const
{
  return "roll " + Checked(Roll) + " " + Enabled(Roll) + ", flatbed " + Checked(Flatbed) + " " + Enabled(Flatbed);
}

void TSelectDialog::Pick(int Index)
{
  SendMessageW(Window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Scanner), TRUE);
  for (int i = ItemIndex(); i < Index; ++i)
    PressKey(Window, VK_DOWN);
  for (int i = ItemIndex(); i > Index; --i)
    PressKey(Window, VK_UP);
  EXPECT_EQ(ItemIndex(), Index);
}
