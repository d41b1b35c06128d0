#include "TiffWriter.h"

#include <algorithm>

namespace {

enum : uint16_t { kShort = 3, kLong = 4, kRational = 5 };

void Put16(std::vector<uint8_t>& Out, size_t At, uint16_t V)
{
  Out[At] = uint8_t(V);
  Out[At + 1] = uint8_t(V >> 8);
}

void Put32(std::vector<uint8_t>& Out, size_t At, uint32_t V)
{
  for (int i = 0; i < 4; ++i)
    Out[At + i] = uint8_t(V >> (8 * i));
}

}  // namespace

void PackBitsAppend(const uint8_t* Row, size_t Count, std::vector<uint8_t>& Out)
{
  size_t i = 0;
  while (i < Count) {
    size_t run = 1;
    while (i + run < Count && run < 128 && Row[i + run] == Row[i])
      ++run;
    if (run >= 2) {  // -(run - 1): repeat the next byte run times
      Out.push_back(uint8_t(1 - int(run)));
      Out.push_back(Row[i]);
      i += run;
      continue;
    }
    // Literal bytes up to the next pair of equal bytes (which starts a run) or 128 of them.
    size_t start = i;
    while (i < Count && i - start < 128 && !(i + 1 < Count && Row[i] == Row[i + 1]))
      ++i;
    Out.push_back(uint8_t(i - start - 1));
    Out.insert(Out.end(), Row + start, Row + i);
  }
}

std::vector<uint8_t> EncodeBilevelTiff(const TBilevelImage& Image, uint32_t Dpi)
{
  const size_t rowBytes = (Image.Width + 7) / 8;
  const uint32_t rowsPerStrip = uint32_t(std::max<size_t>(1, std::min<size_t>(Image.Height, 8192 / rowBytes)));
  const uint32_t strips = (Image.Height + rowsPerStrip - 1) / rowsPerStrip;

  // header | IFD | X and Y resolution | strip offsets and byte counts (when more than one) | strips
  const uint16_t entries = 11;
  const size_t ifd = 8;
  const size_t xres = ifd + 2 + 12 * entries + 4;
  const size_t yres = xres + 8;
  const size_t offsetsAt = yres + 8;
  const size_t countsAt = offsetsAt + (strips > 1 ? 4 * strips : 0);
  const size_t dataAt = countsAt + (strips > 1 ? 4 * strips : 0);

  std::vector<uint8_t> out(dataAt, 0);
  out[0] = 'I';
  out[1] = 'I';
  Put16(out, 2, 42);
  Put32(out, 4, uint32_t(ifd));
  Put16(out, ifd, entries);
  size_t entry = ifd + 2;
  auto tag = [&](uint16_t Tag, uint16_t Type, uint32_t Count, uint32_t Value) {
    Put16(out, entry, Tag);
    Put16(out, entry + 2, Type);
    Put32(out, entry + 4, Count);
    if (Type == kShort && Count == 1)
      Put16(out, entry + 8, uint16_t(Value));
    else
      Put32(out, entry + 8, Value);
    entry += 12;
  };
  // A single strip's offset and byte count fit in their entries; they are filled in below.
  const size_t offsetEntry = ifd + 2 + 12 * 5 + 8;
  const size_t countEntry = ifd + 2 + 12 * 7 + 8;
  tag(256, kLong, 1, Image.Width);
  tag(257, kLong, 1, Image.Height);
  tag(258, kShort, 1, 1);
  tag(259, kShort, 1, 32773);  // PackBits
  tag(262, kShort, 1, 0);      // WhiteIsZero: a set bit is black
  tag(273, kLong, strips, strips > 1 ? uint32_t(offsetsAt) : 0);
  tag(278, kLong, 1, rowsPerStrip);
  tag(279, kLong, strips, strips > 1 ? uint32_t(countsAt) : 0);
  tag(282, kRational, 1, uint32_t(xres));
  tag(283, kRational, 1, uint32_t(yres));
  tag(296, kShort, 1, 2);  // inch
  Put32(out, entry, 0);    // no next IFD
  Put32(out, xres, Dpi);
  Put32(out, xres + 4, 1);
  Put32(out, yres, Dpi);
  Put32(out, yres + 4, 1);

  out.reserve(dataAt + Image.Height * (rowBytes / 8 + 4));
  for (uint32_t s = 0; s < strips; ++s) {
    const size_t begin = out.size();
    const uint32_t last = std::min(Image.Height, (s + 1) * rowsPerStrip);
    for (uint32_t y = s * rowsPerStrip; y < last; ++y)
      PackBitsAppend(Image.Rows + y * Image.Stride, rowBytes, out);
    const uint32_t count = uint32_t(out.size() - begin);
    Put32(out, strips > 1 ? offsetsAt + 4 * s : offsetEntry, uint32_t(begin));
    Put32(out, strips > 1 ? countsAt + 4 * s : countEntry, count);
  }
  return out;
}
