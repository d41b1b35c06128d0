#include "Screenshot.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "PngWriter.h"

namespace {

struct TScreenDcRelease {
  void operator()(HDC Dc) const { ReleaseDC(nullptr, Dc); }
};
struct TMemoryDcDelete {
  void operator()(HDC Dc) const { DeleteDC(Dc); }
};
struct TBitmapDelete {
  void operator()(HBITMAP Bitmap) const { DeleteObject(Bitmap); }
};
struct THandleClose {
  void operator()(HANDLE Handle) const { CloseHandle(Handle); }
};
using TScreenDc = std::unique_ptr<std::remove_pointer_t<HDC>, TScreenDcRelease>;
using TMemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, TMemoryDcDelete>;
using TBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, TBitmapDelete>;
using TFile = std::unique_ptr<void, THandleClose>;

// A bitmap selected into a DC for the scope; the DC's previous bitmap goes back before either is freed.
class TSelection {
public:
  TSelection(HDC Dc, HGDIOBJ Object) : FDc(Dc), FPrevious(SelectObject(Dc, Object)) {}
  ~TSelection()
  {
    if (FPrevious != nullptr && FPrevious != HGDI_ERROR)
      SelectObject(FDc, FPrevious);
  }
  TSelection(const TSelection&) = delete;
  TSelection& operator=(const TSelection&) = delete;
  bool Selected() const { return FPrevious != nullptr && FPrevious != HGDI_ERROR; }

private:
  HDC FDc;
  HGDIOBJ FPrevious;
};

// Writes Data as the whole file; a file that could not be written completely is removed.
bool WriteWholeFile(const std::wstring& FileName, const std::string& Data)
{
  if (Data.size() > MAXDWORD)
    return false;
  HANDLE h = CreateFileW(FileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return false;
  TFile file(h);
  DWORD written = 0;
  bool ok = WriteFile(file.get(), Data.data(), static_cast<DWORD>(Data.size()), &written, nullptr) &&
            written == Data.size();
  file.reset();  // closed before a partial file is deleted
  if (!ok)
    DeleteFileW(FileName.c_str());
  return ok;
}

}  // namespace

bool SaveScreenRectPng(const RECT& Rect, const std::wstring& FileName)
{
  RECT screen;
  screen.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
  screen.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  screen.right = screen.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
  screen.bottom = screen.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
  RECT visible;
  if (!IntersectRect(&visible, &Rect, &screen))
    return false;
  const int width = visible.right - visible.left;
  const int height = visible.bottom - visible.top;

  TScreenDc screenDc(GetDC(nullptr));
  if (!screenDc)
    return false;
  TMemoryDc memoryDc(CreateCompatibleDC(screenDc.get()));
  if (!memoryDc)
    return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first, as EncodePng takes it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  TBitmap bitmap(CreateDIBSection(screenDc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || bits == nullptr)
    return false;

  std::string png;
  {
    TSelection selection(memoryDc.get(), bitmap.get());
    if (!selection.Selected())
      return false;
    // From the screen, so that the window's thread is never asked to paint. CAPTUREBLT takes
    // layered windows along, as the user sees them.
    if (!BitBlt(memoryDc.get(), 0, 0, width, height, screenDc.get(), visible.left, visible.top, SRCCOPY | CAPTUREBLT))
      return false;
    GdiFlush();  // the DIB's bits are complete only once GDI's batch is done
    try {
      png = EncodePng(width, height, static_cast<const uint32_t*>(bits), static_cast<size_t>(width) * 4);
    } catch (const std::exception&) {
      return false;
    }
  }
  return WriteWholeFile(FileName, png);
}

bool SaveWindowPng(HWND Window, const std::wstring& FileName)
{
  RECT outer;
  if (!IsWindow(Window) || !GetWindowRect(Window, &outer))
    return false;
  return SaveScreenRectPng(outer, FileName);
}

std::wstring TestOutputPath(const std::wstring& Name)
{
  std::wstring exe(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, &exe[0], static_cast<DWORD>(exe.size()));
    if (n == 0)
      throw std::runtime_error("TestOutputPath: GetModuleFileNameW failed");
    if (n < exe.size()) {
      exe.resize(n);
      break;
    }
    exe.resize(exe.size() * 2);  // truncated: try again with room for a long path
  }
  std::wstring folder = exe.substr(0, exe.find_last_of(L"\\/") + 1) + L"test-output";
  if (!CreateDirectoryW(folder.c_str(), nullptr)) {
    DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS)
      throw std::runtime_error("TestOutputPath: cannot create the test-output folder, error " + std::to_string(error));
  }
  return folder + L"\\" + Name;
}
