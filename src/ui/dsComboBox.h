// A drop-down list that keeps two values per entry beside its items (Values and Values2, kept in
// step by the owner, not by the box), and moves the focus on to the next control on Enter.
#pragma once
#include <windows.h>

#include <string>

#include "util/UdsStrUtils.h"

class TdsComboBox {
public:
  TdsComboBox() = default;
  ~TdsComboBox();
  TdsComboBox(const TdsComboBox&) = delete;
  TdsComboBox& operator=(const TdsComboBox&) = delete;

  // Takes over the combo box window Combo (subclassing it) until it is destroyed.
  void Attach(HWND Combo);
  HWND Handle() const { return FHandle; }

  // Items are GBK texts.
  void AddItem(const std::string& Text);
  int ItemCount() const;
  std::string Item(int Index) const;
  // -1 when no entry is chosen.
  int ItemIndex() const;
  void SetItemIndex(int Index);
  // Empties the items, both value lists and the edit text: afterwards no entry is chosen.
  void Clear();

  TStringList& Values() { return FValues; }
  TStringList& Values2() { return FValues2; }
  // Assignment copies: later changes of the source do not reach the box.
  void SetValues(const TStringList& Values) { FValues = Values; }
  void SetValues2(const TStringList& Values) { FValues2 = Values; }

  // The visible box keeps Height pixels; the list drops down for Count entries.
  void SetHeightAndDropDownCount(int Height, int Count);

private:
  static LRESULT CALLBACK ComboProc(HWND Window, UINT Message, WPARAM W, LPARAM L) noexcept;
  void Detach();

  HWND FHandle = nullptr;
  WNDPROC FOriginalProc = nullptr;
  TStringList FValues, FValues2;
};
