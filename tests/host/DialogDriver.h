// Driving a dialog of the code under test the way a user does, from inside the dialog's own modal
// loop (TBoxRecorder::OnDialog). Keys go through the thread's queue to the control that has the
// focus and past the dialog manager (IsDialogMessage), clicks to the real buttons. Every call
// returns once the dialog has handled the input completely: the messages the input caused and the
// message boxes it opened (answered by the recorder) included.
//
//   boxes.OnDialog = [&](HWND w) {
//     PressKey(w, VK_TAB);                          // from Cancel to the list
//     PressKey(w, VK_DOWN);                         // the next scanner
//     boxes.Answer(TBoxAnswer::Click(IDYES));       // the question that OK asks
//     Click(GetDlgItem(w, IDOK));
//     return true;
//   };
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// A key pressed and released on the control that has the focus (or on Dialog).
void PressKey(HWND Dialog, UINT Key);
// A mouse click on a button: pressed, released, BN_CLICKED to its dialog (BM_CLICK).
void Click(HWND Button);
// The close box of Dialog's caption.
void ClickCloseBox(HWND Dialog);
// Handles what waits in the thread's queue as Dialog's modal loop does, until nothing is left.
void RunDialogQueue(HWND Dialog);

// The first direct child of Parent of window class Class (case ignored) whose text is Text (any
// text when Text is null); nullptr when there is none.
HWND FindChild(HWND Parent, const wchar_t* Class, const wchar_t* Text = nullptr);
std::wstring WindowTextOf(HWND Window);
// Window's outer rectangle in the client coordinates of Parent.
RECT RectIn(HWND Window, HWND Parent);
// The controls that Tab visits, in order, from the one that has the focus (which comes first) once
// round the dialog (GetNextDlgTabItem).
std::vector<HWND> TabOrderFromFocus(HWND Dialog);
