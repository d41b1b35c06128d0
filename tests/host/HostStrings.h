// The host's side of string blocks: allocated from borlndmm.dll as a Delphi host would.
#pragma once
#include <windows.h>

#include <string>

#include "QuillonRX.h"

class THostStrings {
public:
  // A new block with a count of 1 (nullptr for "").
  static QRX_String New(const std::string& Text);
  // A constant block (count -1) in memory the test owns; never freed by anyone.
  static QRX_String Constant(const std::string& Text);
  static void Release(QRX_String S);
  // The memory manager's free, as Release calls it for a block whose count reached 0: Block is where
  // the header starts. For the host's own checks of wrong frees.
  static void FreeBlock(void* Block);
  static std::string Text(QRX_String S);
  static int RefCount(QRX_String S);
  // borlndmm.dll's live blocks and bytes, and how often it was asked to free or reallocate what is
  // no live block.
  static int LiveBlocks();
  static int LiveBytes();
  static int BadFrees();
};

// Holds a host string variable and releases it at the end of scope, as a host's string variable does.
class THostString {
public:
  THostString() = default;
  explicit THostString(const std::string& Text) : S(THostStrings::New(Text)) {}
  ~THostString() { THostStrings::Release(S); }
  THostString(const THostString&) = delete;
  THostString& operator=(const THostString&) = delete;
  std::string Text() const { return THostStrings::Text(S); }
  QRX_String S = nullptr;
};
