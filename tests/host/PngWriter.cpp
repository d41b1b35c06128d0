#include "PngWriter.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <vector>

namespace {

// ---- Checksums --------------------------------------------------------------------------------

uint32_t Crc32(const uint8_t* Data, size_t Size)
{
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k)
        c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < Size; ++i)
    c = table[(c ^ Data[i]) & 0xFF] ^ (c >> 8);
  return ~c;
}

uint32_t Adler32(const uint8_t* Data, size_t Size)
{
  constexpr uint32_t kBase = 65521;
  constexpr size_t kRun = 5552;  // the longest run whose sums cannot overflow before the modulo
  uint32_t a = 1, b = 0;
  while (Size > 0) {
    size_t n = std::min(Size, kRun);
    Size -= n;
    while (n-- > 0) {
      a += *Data++;
      b += a;
    }
    a %= kBase;
    b %= kBase;
  }
  return (b << 16) | a;
}

void AppendBigEndian(std::string& Out, uint32_t Value)
{
  for (int shift = 24; shift >= 0; shift -= 8)
    Out.push_back(static_cast<char>((Value >> shift) & 0xFF));
}

// ---- Deflate (RFC 1951) -----------------------------------------------------------------------

constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 258;
constexpr size_t kWindow = 32768;
constexpr size_t kMaxChain = 128;    // candidates tried per position
constexpr size_t kLazyLimit = 32;    // a match this long is taken without looking one byte further
constexpr size_t kBlockBytes = 65535;  // input per block: exactly one stored block when stored wins
constexpr unsigned kEndOfBlock = 256;

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                        193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                        6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// A Huffman code with its bits already reversed: deflate sends codes from their top bit down,
// but packs everything else from the low bit up.
struct THuffmanCode {
  uint16_t Bits = 0;
  uint8_t Length = 0;
};

THuffmanCode Reversed(unsigned Code, int Length)
{
  unsigned r = 0;
  for (int i = 0; i < Length; ++i)
    r |= ((Code >> i) & 1u) << (Length - 1 - i);
  return {static_cast<uint16_t>(r), static_cast<uint8_t>(Length)};
}

// The fixed codes of block type 1.
struct TFixedCodes {
  THuffmanCode Literal[288];
  THuffmanCode Distance[30];
  uint8_t LengthCode[kMaxMatch + 1] = {};  // match length -> index into kLengthBase
};

const TFixedCodes& FixedCodes()
{
  static const TFixedCodes codes = [] {
    TFixedCodes c;
    for (unsigned s = 0; s < 288; ++s) {
      if (s < 144)
        c.Literal[s] = Reversed(0x30 + s, 8);
      else if (s < 256)
        c.Literal[s] = Reversed(0x190 + (s - 144), 9);
      else if (s < 280)
        c.Literal[s] = Reversed(s - 256, 7);
      else
        c.Literal[s] = Reversed(0xC0 + (s - 280), 8);
    }
    for (unsigned d = 0; d < 30; ++d)
      c.Distance[d] = Reversed(d, 5);
    for (uint8_t i = 0; i < 29; ++i) {
      size_t top = i + 1 < 29 ? kLengthBase[i + 1] : kMaxMatch + 1;
      for (size_t len = kLengthBase[i]; len < top; ++len)
        c.LengthCode[len] = i;
    }
    return c;
  }();
  return codes;
}

unsigned DistanceCode(size_t Distance)
{
  return static_cast<unsigned>(std::upper_bound(kDistanceBase, kDistanceBase + 30, Distance) - kDistanceBase - 1);
}

// Bits packed from the low bit up, as deflate writes them.
class TBitWriter {
public:
  explicit TBitWriter(std::string& Out) : FOut(Out) {}

  void Put(uint32_t Bits, int Count)
  {
    FBits |= static_cast<uint64_t>(Bits) << FCount;
    FCount += Count;
    while (FCount >= 8) {
      FOut.push_back(static_cast<char>(FBits & 0xFF));
      FBits >>= 8;
      FCount -= 8;
    }
  }
  void Put(THuffmanCode Code) { Put(Code.Bits, Code.Length); }
  void AlignToByte()
  {
    if (FCount > 0)
      Put(0, 8 - FCount);
  }
  // Only after AlignToByte.
  void PutBytes(const uint8_t* Data, size_t Size) { FOut.append(reinterpret_cast<const char*>(Data), Size); }

private:
  std::string& FOut;
  uint64_t FBits = 0;
  int FCount = 0;
};

struct TMatch {
  size_t Length = 0;
  size_t Distance = 0;
};

// LZ77 over the last 32 KiB: for each 3-byte hash the most recent position (FHead), and for each
// position the one before it with the same hash (FPrev, indexed modulo the window).
class TMatcher {
public:
  TMatcher(const uint8_t* Data, size_t Size) : FData(Data), FSize(Size), FHead(kHashSize, kNone), FPrev(kWindow, kNone) {}

  // The longest match for Pos of at most MaxLength bytes (Length 0 when none of kMinMatch).
  // Positions are entered into the chains in order, all of those before Pos first.
  TMatch Longest(size_t Pos, size_t MaxLength)
  {
    InsertUpTo(Pos);
    TMatch best;
    if (MaxLength < kMinMatch || Pos + kMinMatch > FSize)
      return best;
    const uint8_t* here = FData + Pos;
    size_t bestLength = kMinMatch - 1;
    size_t candidate = FHead[Hash(Pos)];
    for (size_t tries = 0; candidate != kNone && Pos - candidate <= kWindow && tries < kMaxChain; ++tries) {
      const uint8_t* there = FData + candidate;
      if (there[bestLength] == here[bestLength]) {  // cannot beat the best unless this byte matches
        size_t n = 0;
        while (n < MaxLength && there[n] == here[n])
          ++n;
        if (n > bestLength) {
          bestLength = n;
          best = {n, Pos - candidate};
          if (n == MaxLength)
            break;
        }
      }
      // Slots of positions still in the window have not been reused yet; the check is a backstop.
      size_t next = FPrev[candidate % kWindow];
      if (next >= candidate)
        break;
      candidate = next;
    }
    return best;
  }

private:
  static constexpr size_t kHashBits = 15;
  static constexpr size_t kHashSize = size_t(1) << kHashBits;
  static constexpr size_t kNone = std::numeric_limits<size_t>::max();

  size_t Hash(size_t Pos) const
  {
    return ((size_t(FData[Pos]) << 10) ^ (size_t(FData[Pos + 1]) << 5) ^ FData[Pos + 2]) & (kHashSize - 1);
  }
  void InsertUpTo(size_t End)
  {
    for (; FInserted < End; ++FInserted) {
      if (FInserted + kMinMatch > FSize)
        continue;
      size_t h = Hash(FInserted);
      FPrev[FInserted % kWindow] = FHead[h];
      FHead[h] = FInserted;
    }
  }

  const uint8_t* FData;
  size_t FSize;
  size_t FInserted = 0;
  std::vector<size_t> FHead, FPrev;
};

struct TToken {
  uint16_t Length;    // 0 for a literal
  uint16_t Distance;  // the literal byte when Length is 0
};

// Tokens for Data[Start, End), with one step of lazy matching: a short match is given up for a
// literal when the next position has a longer one.
void Tokenize(TMatcher& Matcher, const uint8_t* Data, size_t Start, size_t End, std::vector<TToken>& Tokens)
{
  size_t pos = Start;
  TMatch m = Matcher.Longest(pos, std::min(kMaxMatch, End - pos));
  while (pos < End) {
    if (m.Length >= kMinMatch && m.Length < kLazyLimit && pos + 1 < End) {
      TMatch later = Matcher.Longest(pos + 1, std::min(kMaxMatch, End - pos - 1));
      if (later.Length > m.Length) {
        Tokens.push_back({0, Data[pos]});
        ++pos;
        m = later;
        continue;
      }
    }
    if (m.Length >= kMinMatch) {
      Tokens.push_back({static_cast<uint16_t>(m.Length), static_cast<uint16_t>(m.Distance)});
      pos += m.Length;
    } else {
      Tokens.push_back({0, Data[pos]});
      ++pos;
    }
    if (pos < End)
      m = Matcher.Longest(pos, std::min(kMaxMatch, End - pos));
  }
}

// Bits the tokens take with the fixed codes, block header and end code included.
size_t FixedBlockBits(const std::vector<TToken>& Tokens)
{
  const TFixedCodes& codes = FixedCodes();
  size_t bits = 3 + codes.Literal[kEndOfBlock].Length;
  for (const TToken& t : Tokens) {
    if (t.Length == 0) {
      bits += codes.Literal[t.Distance].Length;
    } else {
      unsigned lc = codes.LengthCode[t.Length];
      bits += codes.Literal[257 + lc].Length + kLengthExtra[lc] + 5 + kDistanceExtra[DistanceCode(t.Distance)];
    }
  }
  return bits;
}

void WriteFixedBlock(TBitWriter& Bits, const std::vector<TToken>& Tokens, bool Last)
{
  const TFixedCodes& codes = FixedCodes();
  Bits.Put(Last ? 1 : 0, 1);
  Bits.Put(1, 2);  // fixed Huffman codes
  for (const TToken& t : Tokens) {
    if (t.Length == 0) {
      Bits.Put(codes.Literal[t.Distance]);
      continue;
    }
    unsigned lc = codes.LengthCode[t.Length];
    Bits.Put(codes.Literal[257 + lc]);
    Bits.Put(t.Length - kLengthBase[lc], kLengthExtra[lc]);
    unsigned dc = DistanceCode(t.Distance);
    Bits.Put(codes.Distance[dc]);
    Bits.Put(t.Distance - kDistanceBase[dc], kDistanceExtra[dc]);
  }
  Bits.Put(codes.Literal[kEndOfBlock]);
}

void WriteStoredBlock(TBitWriter& Bits, const uint8_t* Data, size_t Size, bool Last)
{
  Bits.Put(Last ? 1 : 0, 1);
  Bits.Put(0, 2);  // stored
  Bits.AlignToByte();
  Bits.Put(static_cast<uint32_t>(Size), 16);
  Bits.Put(static_cast<uint32_t>(~Size & 0xFFFF), 16);
  Bits.PutBytes(Data, Size);
}

// ---- PNG --------------------------------------------------------------------------------------

void AppendChunk(std::string& Png, const char* Type, const std::string& Data)
{
  AppendBigEndian(Png, static_cast<uint32_t>(Data.size()));
  size_t typeAt = Png.size();
  Png.append(Type, 4);
  Png += Data;
  AppendBigEndian(Png, Crc32(reinterpret_cast<const uint8_t*>(Png.data()) + typeAt, Png.size() - typeAt));
}

// The usual heuristic for picking a row filter: the smallest sum of the bytes taken as signed.
size_t SumOfMagnitudes(const std::vector<uint8_t>& Row)
{
  size_t sum = 0;
  for (uint8_t b : Row)
    sum += static_cast<size_t>(std::abs(static_cast<int>(static_cast<int8_t>(b))));
  return sum;
}

}  // namespace

std::string ZlibCompress(const uint8_t* Data, size_t Size)
{
  std::string out;
  out.reserve(Size / 8 + 64);
  // CMF: deflate with a 32 KiB window; FLG: no dictionary, check bits so that CMF*256+FLG is a multiple of 31.
  out.push_back('\x78');
  out.push_back('\x01');
  TBitWriter bits(out);
  TMatcher matcher(Data, Size);
  std::vector<TToken> tokens;
  size_t start = 0;
  do {
    size_t end = start + std::min(Size - start, kBlockBytes);
    bool last = end == Size;
    tokens.clear();
    Tokenize(matcher, Data, start, end, tokens);
    // A stored block costs its header, up to 7 bits of padding, LEN and NLEN, and the bytes.
    size_t storedBits = 3 + 7 + 32 + 8 * (end - start);
    if (storedBits < FixedBlockBits(tokens))
      WriteStoredBlock(bits, Data + start, end - start, last);
    else
      WriteFixedBlock(bits, tokens, last);
    start = end;
  } while (start < Size);
  bits.AlignToByte();
  AppendBigEndian(out, Adler32(Data, Size));
  return out;
}

std::string EncodePng(int Width, int Height, const uint32_t* Bgra, size_t Stride)
{
  if (Width <= 0 || Height <= 0 || Bgra == nullptr)
    throw std::invalid_argument("EncodePng: empty image");
  if (Stride < static_cast<size_t>(Width) * 4)
    throw std::invalid_argument("EncodePng: stride smaller than a row");
  const size_t rowBytes = static_cast<size_t>(Width) * 3;
  // The filtered image (a filter byte per row) must fit in memory and IDAT's 31-bit length.
  if (static_cast<uint64_t>(rowBytes + 1) * static_cast<uint64_t>(Height) > 0x40000000u)
    throw std::invalid_argument("EncodePng: image too large");

  std::vector<uint8_t> filtered;
  filtered.reserve((rowBytes + 1) * static_cast<size_t>(Height));
  std::vector<uint8_t> prior(rowBytes, 0), row(rowBytes), sub(rowBytes), up(rowBytes);
  const uint8_t* source = reinterpret_cast<const uint8_t*>(Bgra);
  for (int y = 0; y < Height; ++y) {
    const uint32_t* pixels = reinterpret_cast<const uint32_t*>(source + static_cast<size_t>(y) * Stride);
    for (int x = 0; x < Width; ++x) {
      uint32_t p = pixels[x];
      row[3 * x] = static_cast<uint8_t>(p >> 16);
      row[3 * x + 1] = static_cast<uint8_t>(p >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(p);
    }
    for (size_t i = 0; i < rowBytes; ++i) {
      sub[i] = static_cast<uint8_t>(row[i] - (i >= 3 ? row[i - 3] : 0));
      up[i] = static_cast<uint8_t>(row[i] - prior[i]);
    }
    size_t sumNone = SumOfMagnitudes(row), sumSub = SumOfMagnitudes(sub), sumUp = SumOfMagnitudes(up);
    const std::vector<uint8_t>* chosen = &row;
    uint8_t filter = 0;
    if (sumSub < sumNone && sumSub <= sumUp) {
      chosen = &sub;
      filter = 1;
    } else if (sumUp < sumNone && sumUp < sumSub) {
      chosen = &up;
      filter = 2;
    }
    filtered.push_back(filter);
    filtered.insert(filtered.end(), chosen->begin(), chosen->end());
    prior.swap(row);
  }

  std::string header;
  AppendBigEndian(header, static_cast<uint32_t>(Width));
  AppendBigEndian(header, static_cast<uint32_t>(Height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, adaptive filters, no interlace

  std::string png("\x89PNG\r\n\x1A\n", 8);
  AppendChunk(png, "IHDR", header);
  AppendChunk(png, "IDAT", ZlibCompress(filtered.data(), filtered.size()));
  AppendChunk(png, "IEND", std::string());
  return png;
}
