// Setting one named property on a window and on every window below it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

class TdsSysUtils {
public:
  TdsSysUtils() = delete;

  // Depth-first: Control first, then each child window in order. Windows that have no such
  // property are skipped. Known property: "ImeName" (the input method a control switches to when
  // it gets the focus); only the empty value is supported: the control keeps no input-method
  // context of its own and follows the thread's default one. Labels and buttons have no
  // ImeName. Any other value raises EdsError, leaving the windows not yet visited unchanged.
  static void SetPropRecursive(HWND Control, const std::string& PropName, const std::string& Value);

  // Control and every window below it, depth-first, each parent before its children, children in
  // their order (the order SetPropRecursive visits them in).
  static std::vector<HWND> ControlTree(HWND Control);
};
