#include "util/UdsSysUtils.h"

#include <imm.h>

#include "util/UdsErrors.h"

namespace {
void AddTree(HWND window, std::vector<HWND>& out)
{
  out.push_back(window);
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    AddTree(child, out);
}

// Labels, push buttons, check boxes, radio buttons and group boxes take no typed text.
bool HasImeName(HWND window)
{
  char cls[32] = {};
  GetClassNameA(window, cls, sizeof(cls));
  return lstrcmpiA(cls, "Static") != 0 && lstrcmpiA(cls, "Button") != 0;
}
}  // namespace

std::vector<HWND> TdsSysUtils::ControlTree(HWND Control)
{
  std::vector<HWND> out;
  if (Control)
    AddTree(Control, out);
  return out;
}

void TdsSysUtils::SetPropRecursive(HWND Control, const std::string& PropName, const std::string& Value)
{
  if (lstrcmpiA(PropName.c_str(), "ImeName") != 0)
    return;  // no window has any other property
  for (HWND window : ControlTree(Control)) {
    if (!HasImeName(window))
      continue;
    if (!Value.empty())
      throw EdsError("Invalid property value: ImeName '" + Value + "'");
    ImmAssociateContextEx(window, nullptr, IACE_DEFAULT);
  }
}
