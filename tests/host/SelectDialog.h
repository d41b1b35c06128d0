// The select-scanner dialog's controls, found as a user finds them: by kind and caption; and what a
// user does with them.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct TSelectDialog {
  explicit TSelectDialog(HWND W);

  std::vector<std::wstring> Items() const;
  int ItemIndex() const;
  // "roll checked enabled, flatbed unchecked disabled" and the like.
  std::string Modes() const;
  bool Open() const { return IsWindow(Window) && IsWindowVisible(Window); }
  // Steps through the closed list with the arrow keys to item Index, as a user does.
  void Pick(int Index);

  HWND Window, Scanner, Group, Roll, Flatbed, Ok, Cancel;
};
