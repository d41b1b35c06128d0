// Baseline TIFF files of bilevel pictures, written by our own encoder (no Win32, no library).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A 1-bit picture: Height rows of Stride bytes each, the leftmost pixel in the high bit of a row's
// first byte, a set bit is black.
struct TBilevelImage {
  const uint8_t* Rows = nullptr;
  size_t Stride = 0;
  uint32_t Width = 0;
  uint32_t Height = 0;
};

// The whole file: little-endian header, one IFD (ImageWidth, ImageLength, BitsPerSample 1,
// Compression PackBits, PhotometricInterpretation WhiteIsZero, StripOffsets, RowsPerStrip,
// StripByteCounts, X/YResolution Dpi/1, ResolutionUnit inch), then the strips of about 8 KB of
// rows each. Width and Height must be at least 1.
std::vector<uint8_t> EncodeBilevelTiff(const TBilevelImage& Image, uint32_t Dpi);

// Appends Count bytes of Row to Out, PackBits-compressed (TIFF packs every row on its own).
void PackBitsAppend(const uint8_t* Row, size_t Count, std::vector<uint8_t>& Out);
