// Screenshots for people: the PNG encoder, checked by decoding its output with an inflater and a PNG
// reader of the test's own, and captures of real windows read back pixel by pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "PngWriter.h"
#include "Screenshot.h"
#include "TestHost.h"

namespace {

// ---- Checksums, written the slow way so they share nothing with the encoder's --------------------

uint32_t ReferenceCrc32(const uint8_t* Data, size_t Size)
{
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < Size; ++i) {
    c ^= Data[i];
    for (int k = 0; k < 8; ++k)
      c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
  }
  return ~c;
}

uint32_t ReferenceAdler32(const std::vector<uint8_t>& Data)
{
  uint32_t a = 1, b = 0;
  for (uint8_t byte : Data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

uint32_t BigEndian32(const std::string& S, size_t At)
{
  if (At + 4 > S.size())
    throw std::runtime_error("truncated");
  return (uint32_t(uint8_t(S[At])) << 24) | (uint32_t(uint8_t(S[At + 1])) << 16) | (uint32_t(uint8_t(S[At + 2])) << 8) |
         uint8_t(S[At + 3]);
}

// ---- Inflate: stored, fixed and dynamic Huffman blocks --------------------------------------------

class TBitReader {
public:
  TBitReader(const uint8_t* Data, size_t Size) : FData(Data), FSize(Size) {}
  unsigned Bit()
  {
    if (FPos >= FSize)
      throw std::runtime_error("deflate data ends early");
    unsigned b = (FData[FPos] >> FBit) & 1;
    if (++FBit == 8) {
      FBit = 0;
      ++FPos;
    }
    return b;
  }
  unsigned Bits(int Count)
  {
    unsigned v = 0;
    for (int i = 0; i < Count; ++i)
      v |= Bit() << i;
    return v;
  }
  void AlignToByte()
  {
    if (FBit != 0) {
      FBit = 0;
      ++FPos;
    }
  }
  size_t BytesUsed() const { return FPos + (FBit != 0 ? 1 : 0); }

private:
  const uint8_t* FData;
  size_t FSize;
  size_t FPos = 0;
  int FBit = 0;
};

// A canonical Huffman code given by its code lengths, decoded one bit at a time.
class THuffman {
public:
  explicit THuffman(const std::vector<uint8_t>& Lengths) : FCount(16, 0)
  {
    for (uint8_t len : Lengths)
      ++FCount[len];
    FCount[0] = 0;
    int left = 1;
    for (int len = 1; len < 16; ++len) {
      left = left * 2 - FCount[len];
      if (left < 0)
        throw std::runtime_error("over-subscribed Huffman code");
    }
    std::vector<int> offset(16, 0);
    for (int len = 1; len < 15; ++len)
      offset[len + 1] = offset[len] + FCount[len];
    FSymbols.resize(Lengths.size());
    for (size_t s = 0; s < Lengths.size(); ++s)
      if (Lengths[s] != 0)
        FSymbols[offset[Lengths[s]]++] = static_cast<int>(s);
  }
  int Decode(TBitReader& In) const
  {
    int code = 0, first = 0, index = 0;
    for (int len = 1; len < 16; ++len) {
      code |= static_cast<int>(In.Bit());
      if (code - first < FCount[len])
        return FSymbols[index + code - first];
      index += FCount[len];
      first = (first + FCount[len]) << 1;
      code <<= 1;
    }
    throw std::runtime_error("invalid Huffman code");
  }

private:
  std::vector<int> FCount, FSymbols;
};

const uint16_t kLengthBase[29] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t kDistanceBase[30] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385, 513, 769, 1025,
                                    1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void InflateCodes(TBitReader& In, const THuffman& Literals, const THuffman& Distances, std::vector<uint8_t>& Out)
{
  for (;;) {
    int sym = Literals.Decode(In);
    if (sym < 256) {
      Out.push_back(static_cast<uint8_t>(sym));
      continue;
    }
    if (sym == 256)
      return;
    sym -= 257;
    if (sym >= 29)
      throw std::runtime_error("invalid length code");
    size_t length = kLengthBase[sym] + In.Bits(kLengthExtra[sym]);
    int dsym = Distances.Decode(In);
    if (dsym >= 30)
      throw std::runtime_error("invalid distance code");
    size_t distance = kDistanceBase[dsym] + In.Bits(kDistanceExtra[dsym]);
    if (distance > Out.size() || distance > 32768)
      throw std::runtime_error("distance reaches back too far");
    for (size_t i = 0; i < length; ++i)
      Out.push_back(Out[Out.size() - distance]);
  }
}

void InflateDynamicBlock(TBitReader& In, std::vector<uint8_t>& Out)
{
  static const uint8_t order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  size_t literals = In.Bits(5) + 257, distances = In.Bits(5) + 1, codeLengths = In.Bits(4) + 4;
  std::vector<uint8_t> lengthOfLengthCode(19, 0);
  for (size_t i = 0; i < codeLengths; ++i)
    lengthOfLengthCode[order[i]] = static_cast<uint8_t>(In.Bits(3));
  THuffman lengthCode(lengthOfLengthCode);
  std::vector<uint8_t> lengths;
  while (lengths.size() < literals + distances) {
    int sym = lengthCode.Decode(In);
    if (sym < 16) {
      lengths.push_back(static_cast<uint8_t>(sym));
      continue;
    }
    uint8_t value = 0;
    size_t repeat;
    if (sym == 16) {
      if (lengths.empty())
        throw std::runtime_error("repeat with no previous length");
      value = lengths.back();
      repeat = 3 + In.Bits(2);
    } else if (sym == 17) {
      repeat = 3 + In.Bits(3);
    } else {
      repeat = 11 + In.Bits(7);
    }
    if (lengths.size() + repeat > literals + distances)
      throw std::runtime_error("code lengths overrun");
    lengths.insert(lengths.end(), repeat, value);
  }
  if (lengths[256] == 0)
    throw std::runtime_error("no end-of-block code");
  THuffman lit(std::vector<uint8_t>(lengths.begin(), lengths.begin() + literals));
  THuffman dist(std::vector<uint8_t>(lengths.begin() + literals, lengths.end()));
  InflateCodes(In, lit, dist, Out);
}

std::vector<uint8_t> FixedLiteralLengths()
{
  std::vector<uint8_t> l(288, 8);
  std::fill(l.begin() + 144, l.begin() + 256, 9);
  std::fill(l.begin() + 256, l.begin() + 280, 7);
  return l;
}

// A zlib stream: header checked, every block inflated, Adler-32 checked, nothing left after it.
std::vector<uint8_t> ZlibInflate(const std::string& Stream)
{
  if (Stream.size() < 6)
    throw std::runtime_error("zlib stream too short");
  unsigned cmf = uint8_t(Stream[0]), flg = uint8_t(Stream[1]);
  if ((cmf & 0x0F) != 8 || (cmf >> 4) > 7 || (cmf * 256 + flg) % 31 != 0 || (flg & 0x20) != 0)
    throw std::runtime_error("bad zlib header");
  TBitReader in(reinterpret_cast<const uint8_t*>(Stream.data()) + 2, Stream.size() - 2);
  std::vector<uint8_t> out;
  bool last = false;
  while (!last) {
    last = in.Bit() != 0;
    switch (in.Bits(2)) {
    case 0: {
      in.AlignToByte();
      unsigned len = in.Bits(16), nlen = in.Bits(16);
      if ((len ^ 0xFFFFu) != nlen)
        throw std::runtime_error("stored block length check fails");
      for (unsigned i = 0; i < len; ++i)
        out.push_back(static_cast<uint8_t>(in.Bits(8)));
      break;
    }
    case 1: {
      static const THuffman lit(FixedLiteralLengths()), dist(std::vector<uint8_t>(30, 5));
      InflateCodes(in, lit, dist, out);
      break;
    }
    case 2:
      InflateDynamicBlock(in, out);
      break;
    default:
      throw std::runtime_error("reserved block type");
    }
  }
  size_t trailer = 2 + in.BytesUsed();
  if (trailer + 4 != Stream.size())
    throw std::runtime_error("the stream does not end with its Adler-32");
  if (BigEndian32(Stream, trailer) != ReferenceAdler32(out))
    throw std::runtime_error("Adler-32 does not match");
  return out;
}

// ---- PNG reader for what EncodePng writes: IHDR, IDAT..., IEND; 8-bit RGB ----------------------

struct TPngImage {
  int Width = 0, Height = 0;
  std::vector<uint32_t> Pixels;  // 0x00RRGGBB, top row first
  uint32_t At(int X, int Y) const { return Pixels[static_cast<size_t>(Y) * Width + X]; }
};

uint8_t Paeth(int A, int B, int C)
{
  int p = A + B - C, pa = std::abs(p - A), pb = std::abs(p - B), pc = std::abs(p - C);
  return static_cast<uint8_t>(pa <= pb && pa <= pc ? A : pb <= pc ? B : C);
}

TPngImage ReadPng(const std::string& Png)
{
  if (Png.compare(0, 8, std::string("\x89PNG\r\n\x1A\n", 8)) != 0)
    throw std::runtime_error("no PNG signature");
  std::vector<std::pair<std::string, std::string>> chunks;
  for (size_t at = 8; at < Png.size();) {
    uint32_t length = BigEndian32(Png, at);
    if (length > Png.size() || at + 12 + length > Png.size())
      throw std::runtime_error("truncated chunk");
    const uint8_t* typeAndData = reinterpret_cast<const uint8_t*>(Png.data()) + at + 4;
    if (BigEndian32(Png, at + 8 + length) != ReferenceCrc32(typeAndData, 4 + length))
      throw std::runtime_error("chunk CRC does not match: " + Png.substr(at + 4, 4));
    chunks.emplace_back(Png.substr(at + 4, 4), Png.substr(at + 8, length));
    at += 12 + length;
  }
  if (chunks.size() < 3 || chunks.front().first != "IHDR" || chunks.back().first != "IEND" || !chunks.back().second.empty())
    throw std::runtime_error("chunks are not IHDR, IDAT..., IEND");
  const std::string& ihdr = chunks.front().second;
  if (ihdr.size() != 13 || ihdr.substr(8) != std::string("\x08\x02\x00\x00\x00", 5))
    throw std::runtime_error("not an 8-bit RGB non-interlaced header");
  TPngImage image;
  image.Width = static_cast<int>(BigEndian32(ihdr, 0));
  image.Height = static_cast<int>(BigEndian32(ihdr, 4));
  if (image.Width <= 0 || image.Height <= 0)
    throw std::runtime_error("empty image");
  std::string idat;
  for (size_t i = 1; i + 1 < chunks.size(); ++i) {
    if (chunks[i].first != "IDAT")
      throw std::runtime_error("unexpected chunk " + chunks[i].first);
    idat += chunks[i].second;
  }
  std::vector<uint8_t> data = ZlibInflate(idat);
  const size_t rowBytes = static_cast<size_t>(image.Width) * 3;
  if (data.size() != (rowBytes + 1) * image.Height)
    throw std::runtime_error("image data has the wrong size");

  std::vector<uint8_t> prior(rowBytes, 0), row(rowBytes);
  image.Pixels.reserve(static_cast<size_t>(image.Width) * image.Height);
  for (int y = 0; y < image.Height; ++y) {
    const uint8_t* in = &data[y * (rowBytes + 1)];
    uint8_t filter = in[0];
    for (size_t i = 0; i < rowBytes; ++i) {
      int a = i >= 3 ? row[i - 3] : 0, b = prior[i], c = i >= 3 ? prior[i - 3] : 0;
      int predictor;
      switch (filter) {
      case 0: predictor = 0; break;
      case 1: predictor = a; break;
      case 2: predictor = b; break;
      case 3: predictor = (a + b) / 2; break;
      case 4: predictor = Paeth(a, b, c); break;
      default: throw std::runtime_error("unknown row filter");
      }
      row[i] = static_cast<uint8_t>(in[1 + i] + predictor);
    }
    for (size_t x = 0; x < rowBytes; x += 3)
      image.Pixels.push_back((uint32_t(row[x]) << 16) | (uint32_t(row[x + 1]) << 8) | row[x + 2]);
    prior.swap(row);
  }
  return image;
}

// ---- Fixtures ---------------------------------------------------------------------------------

// Pseudo-random but repeatable: a 32-bit mix of the inputs.
uint32_t Noise(uint32_t A, uint32_t B = 0)
{
  uint32_t h = A * 0x9E3779B1u ^ (B + 0x7F4A7C15u) * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

std::vector<uint8_t> RandomBytes(size_t Size, uint32_t Seed)
{
  std::vector<uint8_t> v(Size);
  for (size_t i = 0; i < Size; ++i)
    v[i] = static_cast<uint8_t>(Noise(static_cast<uint32_t>(i), Seed));
  return v;
}

std::vector<uint8_t> Repeated(std::vector<uint8_t> Part, size_t Times)
{
  std::vector<uint8_t> v;
  for (size_t i = 0; i < Times; ++i)
    v.insert(v.end(), Part.begin(), Part.end());
  return v;
}

std::vector<uint8_t> FromHex(const char* Hex)
{
  std::vector<uint8_t> v;
  for (const char* p = Hex; p[0] && p[1]; p += 2)
    v.push_back(static_cast<uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
  return v;
}

std::string AsString(const std::vector<uint8_t>& V) { return std::string(V.begin(), V.end()); }

// ---- The inflater itself, on streams from another deflate implementation ---------------------------

// 400 letters drawn from "eeeetaoin " by the C library's example rand() (seed 1), as the fixture
// streams below were made from them.
std::vector<uint8_t> SkewedLetters()
{
  const char alphabet[] = "eeeetaoin ";
  uint32_t x = 1;
  std::vector<uint8_t> v;
  for (int i = 0; i < 400; ++i) {
    x = x * 1103515245u + 12345u;
    v.push_back(static_cast<uint8_t>(alphabet[(x >> 16) % 10]));
  }
  return v;
}

TEST(Inflater, DecodesEachBlockTypeOfAForeignStream)
{
  const std::string hello = "hello, hello, hello!";
  struct TCase {
    const char* Name;
    const char* Stream;
    std::vector<uint8_t> Expected;
  } cases[] = {
      {"dynamic Huffman",
       "78da2550b911c0300c5a85d55450a8410dfb5fc0c99d23ebe1b1742446cbc35ac3e5d89768923de99ab86bef5e4d298b"
       "b3c46bdfe2cccbf1b4c0d302853e8e55c6d299a38d3204acb46e293cca7ca3b0cdcf17a19da40f8d61997d8aeca298d0"
       "7526a4719118c5ba0a4a11d987b367ac0cb6d91c96d708dda3cd78d5415de2e011302b30eab40b01f42653ee7f9c97ec"
       "73f814f726e35bd036259a9444ef1d7b0fcbffc1ae353fedcaa93bf87711b6abd358cc551f00339850",
       SkewedLetters()},
      {"fixed Huffman", "78dacb48cdc9c9d751c840a214014b1e06f6", {hello.begin(), hello.end()}},
      {"stored", "7801011400ebff68656c6c6f2c2068656c6c6f2c2068656c6c6f214b1e06f6", {hello.begin(), hello.end()}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ZlibInflate(AsString(FromHex(c.Stream))), c.Expected);
  }
}

// ---- ZlibCompress ---------------------------------------------------------------------------------

TEST(ZlibCompress, RoundTripsAndCompresses)
{
  std::vector<uint8_t> window = RandomBytes(32768, 1);
  std::vector<uint8_t> beyondWindow = RandomBytes(32769, 2);
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Data;
    size_t MaxSize;  // bytes of the zlib stream at most
  } cases[] = {
      {"empty", {}, 8},
      {"one byte", {'x'}, 10},
      {"short repeats", Repeated({'a', 'b', 'c'}, 10), 14},
      {"run of 258", std::vector<uint8_t>(258, 'a'), 12},
      {"run of 259", std::vector<uint8_t>(259, 'a'), 12},
      {"run of 1000", std::vector<uint8_t>(1000, 'a'), 20},
      {"zeros past one block", std::vector<uint8_t>(65537, 0), 600},
      {"random past one block", RandomBytes(100000, 3), 100000 + 2 * 5 + 6},
      {"repeat at the window's distance", Repeated(window, 2), 32768 * 110 / 100},
      {"repeat beyond the window", Repeated(beyondWindow, 2), 65538 + 2 * 5 + 6},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string z = ZlibCompress(c.Data.data(), c.Data.size());
    EXPECT_EQ(ZlibInflate(z), c.Data);
    EXPECT_LE(z.size(), c.MaxSize);
  }
}

TEST(ZlibCompress, ChangedBytesAreCaughtByTheChecks)
{
  // Random data goes into stored blocks, where only the Adler-32 can notice a changed byte.
  std::vector<uint8_t> data = RandomBytes(5000, 4);
  std::string z = ZlibCompress(data.data(), data.size());
  ASSERT_EQ(ZlibInflate(z), data);
  std::string changed = z;
  changed[z.size() / 2] ^= 0x01;
  EXPECT_THROW(ZlibInflate(changed), std::runtime_error);

  uint32_t pixels[4] = {0x112233, 0x445566, 0x778899, 0xAABBCC};
  std::string png = EncodePng(2, 2, pixels, 8);
  ASSERT_NO_THROW(ReadPng(png));
  png[png.size() - 20] ^= 0x01;  // inside IDAT
  EXPECT_THROW(ReadPng(png), std::runtime_error);
}

// ---- EncodePng --------------------------------------------------------------------------------

struct TImageCase {
  const char* Name;
  int Width, Height;
  std::function<uint32_t(int X, int Y)> Pixel;  // 0xAARRGGBB; alpha must be dropped
};

TEST(EncodePng, RoundTripsImages)
{
  const TImageCase cases[] = {
      {"one pixel", 1, 1, [](int, int) { return 0xFF123456u; }},
      {"odd width", 7, 5, [](int x, int y) { return (uint32_t(x * 36) << 16) | (uint32_t(y * 50) << 8) | 0x80u; }},
      {"one column", 1, 40, [](int, int y) { return uint32_t(y * 6) * 0x010101u; }},
      {"gradient", 255, 300, [](int x, int y) { return (uint32_t(x) << 16) | (uint32_t(y & 0xFF) << 8) | (uint32_t(x ^ y) & 0xFF); }},
      {"noise", 301, 257, [](int x, int y) { return Noise(x, y); }},
      {"flat", 1000, 700, [](int, int) { return 0x00D4D0C8u; }},
      // Runs of one colour thousands of bytes long, across rows and far past the longest match.
      {"bands", 900, 60, [](int x, int y) { return ((x + 900 * y) / 2500) % 2 ? 0x00FFFFFFu : 0x00204080u; }},
      // Rows of noise that repeat every 3 rows (27 KiB back, inside the window) or 4 (36 KiB, beyond).
      {"rows repeating in the window", 3000, 9, [](int x, int y) { return Noise(x, y % 3); }},
      {"rows repeating beyond the window", 3000, 12, [](int x, int y) { return Noise(x, y % 4); }},
  };
  for (const TImageCase& c : cases) {
    SCOPED_TRACE(c.Name);
    // One pixel of padding at the end of each row: EncodePng must use the stride, not the width.
    const size_t stride = static_cast<size_t>(c.Width + 1) * 4;
    std::vector<uint32_t> source(static_cast<size_t>(c.Width + 1) * c.Height, 0xFFEEDDCCu);
    for (int y = 0; y < c.Height; ++y)
      for (int x = 0; x < c.Width; ++x)
        source[static_cast<size_t>(y) * (c.Width + 1) + x] = c.Pixel(x, y);

    std::string png = EncodePng(c.Width, c.Height, source.data(), stride);
    // IEND's CRC is known; it checks the reader's CRC along with the encoder's.
    ASSERT_GE(png.size(), 12u);
    EXPECT_EQ(png.substr(png.size() - 12), std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12));
    TPngImage image;
    ASSERT_NO_THROW(image = ReadPng(png));
    ASSERT_EQ(image.Width, c.Width);
    ASSERT_EQ(image.Height, c.Height);
    int wrong = 0;
    for (int y = 0; y < c.Height; ++y)
      for (int x = 0; x < c.Width; ++x)
        if (image.At(x, y) != (c.Pixel(x, y) & 0xFFFFFF) && ++wrong <= 3)
          ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << image.At(x, y) << " instead of "
                        << (c.Pixel(x, y) & 0xFFFFFF);
    EXPECT_EQ(wrong, 0);
  }
}

TEST(EncodePng, FlatImagesComeOutSmall)
{
  // A dialog-like picture: a grey face, a white edit field, a blue title bar, lines of "text".
  const int w = 640, h = 480;
  std::vector<uint32_t> pixels(static_cast<size_t>(w) * h, 0x00F0F0F0u);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t& p = pixels[static_cast<size_t>(y) * w + x];
      if (y < 24)
        p = 0x000078D7u;
      else if (x > 20 && x < 620 && y > 60 && y < 400)
        p = (y % 20 < 12 && x % 7 < 4 && Noise(x / 7, y / 20) % 3) ? 0x00000000u : 0x00FFFFFFu;
    }
  std::string png = EncodePng(w, h, pixels.data(), w * 4);
  EXPECT_LT(png.size(), 100u * 1024);
  EXPECT_EQ(ReadPng(png).At(300, 10), 0x000078D7u);

  // Incompressible pixels cost little more than their bytes.
  std::vector<uint32_t> noise(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < noise.size(); ++i)
    noise[i] = Noise(static_cast<uint32_t>(i), 9);
  EXPECT_LT(EncodePng(w, h, noise.data(), w * 4).size(), size_t(w) * h * 3 * 101 / 100);
}

TEST(EncodePng, RejectsImpossibleImages)
{
  uint32_t pixels[4] = {};
  EXPECT_THROW(EncodePng(0, 1, pixels, 4), std::invalid_argument);
  EXPECT_THROW(EncodePng(1, 0, pixels, 4), std::invalid_argument);
  EXPECT_THROW(EncodePng(-1, 1, pixels, 4), std::invalid_argument);
  EXPECT_THROW(EncodePng(2, 2, pixels, 7), std::invalid_argument);  // stride shorter than a row
  EXPECT_THROW(EncodePng(1, 1, nullptr, 4), std::invalid_argument);
}

// ---- Screenshots of real windows ------------------------------------------------------------------

const wchar_t kPaintedClass[] = L"QrxScreenshotTestWindow";
const COLORREF kBackground = RGB(0x30, 0x90, 0xE0);
const COLORREF kBlock = RGB(0xE0, 0x40, 0x20);
const RECT kBlockRect = {120, 80, 260, 180};  // client coordinates
const int kWindowWidth = 320, kWindowHeight = 240;

uint32_t PngColour(COLORREF C) { return (uint32_t(GetRValue(C)) << 16) | (uint32_t(GetGValue(C)) << 8) | GetBValue(C); }

struct TBrushDelete {
  void operator()(HBRUSH Brush) const { DeleteObject(Brush); }
};
using TBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, TBrushDelete>;
struct THandleClose {
  void operator()(HANDLE Handle) const { CloseHandle(Handle); }
};
using THandle = std::unique_ptr<void, THandleClose>;

LRESULT CALLBACK PaintedProc(HWND Window, UINT Message, WPARAM W, LPARAM L) noexcept
{
  if (Message == WM_ERASEBKGND)
    return 1;
  if (Message != WM_PAINT)
    return DefWindowProcW(Window, Message, W, L);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(Window, &ps);
  RECT client;
  GetClientRect(Window, &client);
  TBrush background(CreateSolidBrush(kBackground)), block(CreateSolidBrush(kBlock));
  FillRect(dc, &client, background.get());
  FillRect(dc, &kBlockRect, block.get());
  EndPaint(Window, &ps);
  return 0;
}

void PumpMessages()
{
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// A captioned top-most window whose client area is kBackground with a kBlock rectangle, painted
// before the constructor returns.
class TPaintedWindow {
public:
  TPaintedWindow(int X, int Y)
  {
    static const ATOM registered = [] {
      WNDCLASSW wc = {};
      wc.lpfnWndProc = PaintedProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
      wc.lpszClassName = kPaintedClass;
      return RegisterClassW(&wc);
    }();
    (void)registered;
    FWindow = CreateWindowExW(WS_EX_TOPMOST, kPaintedClass, L"截图", WS_POPUP | WS_CAPTION | WS_VISIBLE, X, Y,
                              kWindowWidth, kWindowHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    UpdateWindow(FWindow);
    PumpMessages();
    GdiFlush();
  }
  ~TPaintedWindow() { DestroyWindow(FWindow); }
  TPaintedWindow(const TPaintedWindow&) = delete;
  TPaintedWindow& operator=(const TPaintedWindow&) = delete;
  HWND Handle() const { return FWindow; }

private:
  HWND FWindow = nullptr;
};

std::string ReadWholeFile(const std::wstring& FileName)
{
  HANDLE h = CreateFileW(FileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    throw std::runtime_error("cannot open the screenshot");
  THandle file(h);
  std::string data(GetFileSize(file.get(), nullptr), '\0');
  DWORD read = 0;
  if (!data.empty() && (!ReadFile(file.get(), &data[0], static_cast<DWORD>(data.size()), &read, nullptr) || read != data.size()))
    throw std::runtime_error("cannot read the screenshot");
  return data;
}

bool FileExists(const std::wstring& FileName) { return GetFileAttributesW(FileName.c_str()) != INVALID_FILE_ATTRIBUTES; }

RECT VirtualScreen()
{
  int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// Checks the screenshot of Window (covering Visible, in screen coordinates) at points of its client
// area that are on the screen; fails when none of the block or none of the background was.
void ExpectPaintedPixels(const TPngImage& Image, HWND Window, const RECT& Visible)
{
  RECT client;
  GetClientRect(Window, &client);
  struct TProbe {
    POINT At;
    COLORREF Colour;
  } probes[] = {
      {{client.left + 1, client.top + 1}, kBackground},
      {{client.right - 2, client.bottom - 2}, kBackground},
      {{kBlockRect.left - 1, kBlockRect.top}, kBackground},
      {{kBlockRect.right, kBlockRect.bottom - 1}, kBackground},
      {{kBlockRect.left, kBlockRect.top}, kBlock},
      {{kBlockRect.right - 1, kBlockRect.bottom - 1}, kBlock},
      {{(kBlockRect.left + kBlockRect.right) / 2, (kBlockRect.top + kBlockRect.bottom) / 2}, kBlock},
  };
  int seenBackground = 0, seenBlock = 0;
  for (const TProbe& p : probes) {
    POINT s = p.At;
    ClientToScreen(Window, &s);
    if (!PtInRect(&Visible, s))
      continue;
    (p.Colour == kBlock ? seenBlock : seenBackground)++;
    EXPECT_EQ(Image.At(s.x - Visible.left, s.y - Visible.top), PngColour(p.Colour))
        << "client point " << p.At.x << "," << p.At.y;
  }
  EXPECT_GT(seenBackground, 0);
  EXPECT_GT(seenBlock, 0);
}

TEST(Screenshot, TestOutputPathIsBesideTheProgram)
{
  wchar_t exe[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  ASSERT_GT(n, 0u);
  std::wstring folder(exe, n);
  folder.resize(folder.find_last_of(L'\\') + 1);
  folder += L"test-output";
  RemoveDirectoryW(folder.c_str());  // only when empty: earlier screenshots stay

  EXPECT_EQ(TestOutputPath(L"a.png"), folder + L"\\a.png");
  DWORD attributes = GetFileAttributesW(folder.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(TestOutputPath(L"b.txt"), folder + L"\\b.txt");  // the folder exists already
}

TEST(Screenshot, WindowIsCapturedAsShownAndClippedToTheScreen)
{
  const RECT screen = VirtualScreen();
  struct TCase {
    const char* Name;
    int X, Y;
    const wchar_t* File;
  } cases[] = {
      {"on the screen", screen.left + 100, screen.top + 100, L"screenshot-window.png"},
      {"past the right and bottom edges", screen.right - 220, screen.bottom - 160, L"screenshot-clipped-bottom-right.png"},
      {"past the left and top edges", screen.left - 100, screen.top - 50, L"screenshot-clipped-top-left.png"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TPaintedWindow window(c.X, c.Y);
    RECT outer, visible;
    ASSERT_TRUE(GetWindowRect(window.Handle(), &outer));
    ASSERT_EQ(outer.right - outer.left, kWindowWidth);
    ASSERT_TRUE(IntersectRect(&visible, &outer, &screen));

    std::wstring file = TestOutputPath(c.File);
    DeleteFileW(file.c_str());
    ASSERT_TRUE(SaveWindowPng(window.Handle(), file));
    TPngImage image;
    ASSERT_NO_THROW(image = ReadPng(ReadWholeFile(file)));
    EXPECT_EQ(image.Width, visible.right - visible.left);
    EXPECT_EQ(image.Height, visible.bottom - visible.top);
    if (EqualRect(&visible, &outer)) {
      EXPECT_EQ(image.Width, kWindowWidth);
      EXPECT_EQ(image.Height, kWindowHeight);
    } else {
      EXPECT_LT(image.Width * image.Height, kWindowWidth * kWindowHeight);
    }
    ExpectPaintedPixels(image, window.Handle(), visible);
  }
}

TEST(Screenshot, NothingOnTheScreenIsNotSaved)
{
  const RECT screen = VirtualScreen();
  std::wstring file = TestOutputPath(L"screenshot-nothing.png");
  DeleteFileW(file.c_str());

  TPaintedWindow offScreen(screen.right + 50, screen.top + 100);
  EXPECT_FALSE(SaveWindowPng(offScreen.Handle(), file));
  EXPECT_FALSE(SaveWindowPng(nullptr, file));
  RECT empty = {10, 10, 10, 50};
  EXPECT_FALSE(SaveScreenRectPng(empty, file));
  EXPECT_FALSE(FileExists(file));
}

TEST(Screenshot, ScreenRectIsClippedToTheScreen)
{
  const RECT screen = VirtualScreen();
  TPaintedWindow window(screen.left + 200, screen.top + 150);
  RECT client;
  GetClientRect(window.Handle(), &client);
  POINT origin = {0, 0};
  ClientToScreen(window.Handle(), &origin);

  // A band across the whole screen and beyond it on both sides, through the window's block.
  RECT band = {screen.left - 40, origin.y + kBlockRect.top, screen.right + 40, origin.y + kBlockRect.top + 10};
  std::wstring file = TestOutputPath(L"screenshot-band.png");
  ASSERT_TRUE(SaveScreenRectPng(band, file));
  TPngImage image;
  ASSERT_NO_THROW(image = ReadPng(ReadWholeFile(file)));
  EXPECT_EQ(image.Width, screen.right - screen.left);
  EXPECT_EQ(image.Height, 10);
  EXPECT_EQ(image.At(origin.x + kBlockRect.left - screen.left, 0), PngColour(kBlock));
  EXPECT_EQ(image.At(origin.x + kBlockRect.left - 1 - screen.left, 9), PngColour(kBackground));
}

TEST(Screenshot, HostWindowComesOutSmall)
{
  TTestHost host{nullptr};
  UpdateWindow(host.MainWindow());
  PumpMessages();
  RECT outer;
  ASSERT_TRUE(GetWindowRect(host.MainWindow(), &outer));
  std::wstring file = TestOutputPath(L"screenshot-host-window.png");
  ASSERT_TRUE(SaveWindowPng(host.MainWindow(), file));
  std::string png = ReadWholeFile(file);
  EXPECT_LT(png.size(), 100u * 1024);
  TPngImage image;
  ASSERT_NO_THROW(image = ReadPng(png));
  EXPECT_EQ(image.Width, outer.right - outer.left);
  EXPECT_EQ(image.Height, outer.bottom - outer.top);
}

TEST(Screenshot, WindowOfABlockedThreadIsCaptured)
{
  // The window's thread paints, then blocks without pumping messages. Anything that waited for that
  // thread (WM_PRINT, a repaint) would hang here; the thread gives up after 20 s so the test ends.
  THandle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr)), release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(ready && release);
  std::atomic<HWND> window{nullptr};
  std::atomic<bool> gaveUp{false};
  std::thread owner([&] {
    TPaintedWindow w(VirtualScreen().left + 300, VirtualScreen().top + 200);
    window = w.Handle();
    SetEvent(ready.get());
    gaveUp = WaitForSingleObject(release.get(), 20000) != WAIT_OBJECT_0;
  });
  // Lets the thread go (and its window) however the test is left.
  struct TReleaseOwner {
    HANDLE Release;
    std::thread& Owner;
    ~TReleaseOwner()
    {
      SetEvent(Release);
      Owner.join();
    }
  } releaseOwner{release.get(), owner};

  ASSERT_EQ(WaitForSingleObject(ready.get(), 20000), WAIT_OBJECT_0);
  RECT outer;
  ASSERT_TRUE(GetWindowRect(window, &outer));
  std::wstring file = TestOutputPath(L"screenshot-blocked-thread.png");
  bool saved = SaveWindowPng(window, file);
  ASSERT_FALSE(gaveUp) << "the capture waited for the window's thread";
  ASSERT_TRUE(saved);
  TPngImage image;
  ASSERT_NO_THROW(image = ReadPng(ReadWholeFile(file)));
  EXPECT_EQ(image.Width, kWindowWidth);
  EXPECT_EQ(image.Height, kWindowHeight);
  ExpectPaintedPixels(image, window, outer);
}

}  // namespace
