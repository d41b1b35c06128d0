// PNG files of 32-bit pixel buffers, for screenshots the tests leave for people to look at.
// Our own encoder with no library behind it: a zlib stream deflated with the fixed Huffman codes and
// LZ77 over a 32 KiB window (stored blocks where that is smaller), rows filtered with None, Sub or Up.
// Free of windows.h.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// An 8-bit RGB PNG (colour type 2, not interlaced) of Width x Height pixels. Row y starts Stride
// bytes after row y-1 at Bgra (top row first); each pixel is a uint32_t 0xAARRGGBB, i.e. the bytes
// B, G, R, A in memory as in a 32-bit top-down DIB. Alpha is dropped. Throws std::invalid_argument
// for an empty or oversized image or a Stride smaller than Width * 4.
std::string EncodePng(int Width, int Height, const uint32_t* Bgra, size_t Stride);

// The zlib stream (RFC 1950: header, deflate data, Adler-32) that EncodePng puts into IDAT.
std::string ZlibCompress(const uint8_t* Data, size_t Size);
