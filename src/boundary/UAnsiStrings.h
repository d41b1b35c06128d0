// Reference-counted string blocks shared with the host through borlndmm.dll.
// Layout (see QuillonRX.h): [int32 count][int32 length][bytes...][0], the pointer at the bytes.
// A count of -1 marks a constant: copied by pointer, never counted, never freed.
#pragma once
#include <string>

#include "QuillonRX.h"

// A new block holding Text with a count of 1; nullptr for the empty text.
QRX_String AnsiNew(const std::string& Text);
// Locked increment / decrement; the decrement that reaches 0 frees the block. Null and constants
// are left alone.
void AnsiAddRef(QRX_String S);
void AnsiRelease(QRX_String S);
// The bytes of a block (length from its header; embedded zeros kept).
std::string AnsiToStd(QRX_String S);

// Holds one reference on a block for its lifetime.
class TAnsiRef {
public:
  TAnsiRef() = default;
  explicit TAnsiRef(QRX_String S) : FS(S) { AnsiAddRef(FS); }
  ~TAnsiRef() { AnsiRelease(FS); }
  TAnsiRef(const TAnsiRef&) = delete;
  TAnsiRef& operator=(const TAnsiRef&) = delete;

private:
  QRX_String FS = nullptr;
};
