// Screenshots of real windows as PNG files, for people to look at after a test or the demo.
//
//   SaveWindowPng(host.MainWindow(), TestOutputPath(L"host-window.png"));
//
// The pixels are copied from the screen, not asked of the window: a window whose thread is blocked
// in a call (the busy window, a modal loop on another thread) is captured as it currently shows.
// Whatever lies on top of the window on the screen is in the picture too.
#pragma once
#include <windows.h>

#include <string>

// The window's outer rectangle (GetWindowRect) as the screen shows it, clipped to the virtual screen.
// False when the window is not a window or lies entirely off the screen, or the file cannot be written.
bool SaveWindowPng(HWND Window, const std::wstring& FileName);

// A rectangle of the screen (in screen coordinates), clipped to the virtual screen.
bool SaveScreenRectPng(const RECT& Rect, const std::wstring& FileName);

// <folder of the running .exe>\test-output\<Name>, with the folder created: where tests leave
// screenshots and other artefacts.
std::wstring TestOutputPath(const std::wstring& Name);
