#include "base/SFunctions.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "base/OrvException.h"
#include "base/OrvParser.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Stands in for an empty scrambling key.
constexpr char DefaultScrambleKey = 'M';

}  // namespace

// ---- Text and numbers ----

int32_t ValInt(std::string_view S) {
    size_t i = 0;
    while (i < S.size() && IsBlank(S[i])) ++i;
    bool negative = false;
    if (i < S.size() && (S[i] == '+' || S[i] == '-')) {
        negative = S[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < S.size() && (S[i] == '$' || S[i] == 'x' || S[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < S.size() && S[i] == '0' && (S[i + 1] == 'x' || S[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }

    // Magnitudes are gathered unsigned: a negative decimal may reach 2^31,
    // a hexadecimal value all 32 bits.
    const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    const uint64_t base = hex ? 16 : 10;
    uint64_t value = 0;
    bool complete = true;
    for (; i < S.size(); ++i) {
        const int d = hex ? HexDigit(S[i]) : ((S[i] >= '0' && S[i] <= '9') ? S[i] - '0' : -1);
        if (d < 0 || value * base + static_cast<uint64_t>(d) > limit) {
            complete = false;
            break;
        }
        value = value * base + static_cast<uint64_t>(d);
    }
    if (!complete || !negative) {
        // A stopped reading keeps the digits but not the sign; 2^31 itself
        // only fits with the sign, so it cannot be the value here.
        if (!hex && value > 0x7FFFFFFFull) value = 0x7FFFFFFFull;
        return static_cast<int32_t>(static_cast<uint32_t>(value));
    }
    return static_cast<int32_t>(0u - static_cast<uint32_t>(value));
}

double ValFloat(std::string_view S) {
    size_t i = 0;
    while (i < S.size() && IsBlank(S[i])) ++i;
    const size_t start = i;
    if (i < S.size() && (S[i] == '+' || S[i] == '-')) ++i;
    size_t digits = 0;
    while (i < S.size() && S[i] >= '0' && S[i] <= '9') ++i, ++digits;
    if (i < S.size() && S[i] == '.') {
        ++i;
        while (i < S.size() && S[i] >= '0' && S[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return 0.0;
    if (i < S.size() && (S[i] == 'e' || S[i] == 'E')) {
        ++i;
        if (i < S.size() && (S[i] == '+' || S[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < S.size() && S[i] >= '0' && S[i] <= '9') ++i, ++expDigits;
        if (expDigits == 0) return 0.0;
    }
    if (i != S.size()) return 0.0;

    // from_chars takes neither a leading "+" nor a bare trailing "."; both
    // are fine in the game's files.
    std::string text(S.substr(start));
    if (text[0] == '+') text.erase(0, 1);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        const size_t dot = text.find('.');
        if (dot == std::string::npos) return 0.0;
        text.insert(dot + 1, "0");
        const auto [end2, ec2] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (ec2 != std::errc() || end2 != text.data() + text.size()) return 0.0;
    }
    return value;
}

std::string BoolToText(bool B) {
    return B ? "true" : "false";
}

std::string PrintableText(std::string_view S) {
    std::string out;
    out.reserve(S.size());
    for (const char c : S) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127 || c == '\\') {
            static const char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::string GetWord(std::string_view S, int N) {
    if (N <= 0) return std::string();
    size_t pos = 0;
    std::string result;
    for (int counter = 0; counter != N; ++counter) {
        if (pos >= S.size()) {
            // Past the end every further word is the end marker.
            return std::string(EndOfWords);
        }
        while (pos < S.size() && IsBlank(S[pos])) ++pos;
        if (pos >= S.size()) return std::string(EndOfWords);
        const size_t begin = pos;
        while (pos < S.size() && !IsBlank(S[pos])) ++pos;
        result.assign(S.substr(begin, pos - begin));
    }
    return result;
}

int WordCount(std::string_view S) {
    int count = 0;
    size_t pos = 0;
    for (;;) {
        while (pos < S.size() && IsBlank(S[pos])) ++pos;
        if (pos >= S.size()) return count;
        const size_t begin = pos;
        while (pos < S.size() && !IsBlank(S[pos])) ++pos;
        // A word spelled like the end marker is taken for it.
        if (S.substr(begin, pos - begin) == EndOfWords) return count;
        ++count;
    }
}

std::string TextBetweenFirst(std::string_view S, std::string_view Open, std::string_view Close) {
    const size_t open = S.find(Open);
    const size_t close = S.find(Close);
    if (open == std::string_view::npos || close == std::string_view::npos) return std::string();
    const size_t from = open + Open.size();
    if (close < from) return std::string();
    return std::string(S.substr(from, close - from));
}

std::string AttrValueOf(std::string_view S, std::string_view Name) {
    std::string pattern(Name);
    pattern += "=\"";
    const size_t at = S.find(pattern);
    if (at == std::string_view::npos) return std::string();
    const size_t from = at + pattern.size();
    const size_t quote = S.find('"', from);
    if (quote == std::string_view::npos) return std::string();
    return std::string(S.substr(from, quote - from));
}

// ---- Integer arrays ----

void AddInt(TIntegers& A, int32_t V) {
    A.push_back(V);
}

void InsertInt(TIntegers& A, int32_t V, int I) {
    if (I < 0) I = 0;
    if (static_cast<size_t>(I) >= A.size()) {
        A.push_back(V);
        return;
    }
    A.insert(A.begin() + I, V);
}

void DeleteInt(int I, TIntegers& A) {
    if (I < 0 || static_cast<size_t>(I) >= A.size()) return;
    A.erase(A.begin() + I);
}

bool IntInArray(int32_t V, const TIntegers& A) {
    return IndexOfInt(A, V) >= 0;
}

int IndexOfInt(const TIntegers& A, int32_t V) {
    for (size_t i = 0; i < A.size(); ++i) {
        if (A[i] == V) return static_cast<int>(i);
    }
    return -1;
}

int32_t MinInt(const TIntegers& A) {
    int32_t m = std::numeric_limits<int32_t>::max();
    for (int32_t v : A) m = std::min(m, v);
    return m;
}

int WeightedIndex(const TIntegers& A, TOrvRandom& Random) {
    // At most 2^31 elements of at most 2^31 each: the sum fits 63 bits.
    uint64_t sum = 0;
    for (int32_t w : A) sum += w > 0 ? static_cast<uint64_t>(w) : 0;
    if (sum == 0) return 0;

    // R uniform in 1..sum, by rejection so large sums carry no bias.
    const uint64_t span = sum;
    const uint64_t bound = std::numeric_limits<uint64_t>::max() - std::numeric_limits<uint64_t>::max() % span;
    uint64_t draw = 0;
    do {
        draw = (static_cast<uint64_t>(Random.Next()) << 32) | Random.Next();
    } while (draw >= bound);
    const uint64_t r = draw % span + 1;

    uint64_t running = 0;
    for (size_t i = 0; i < A.size(); ++i) {
        running += A[i] > 0 ? static_cast<uint64_t>(A[i]) : 0;
        if (running >= r) return static_cast<int>(i);
    }
    return 0;  // not reached: the running sum ends at sum >= r
}

// ---- Geometry ----

bool PointInRect(const TRect& R, const TPoint& P) {
    return P.X >= R.Left && P.X <= R.Right && P.Y >= R.Top && P.Y <= R.Bottom;
}

void AddRect(TRects& Rects, const TRect& R) {
    Rects.push_back(R);
}

namespace {

// One column or row of the cell grid and the bits of the rectangles that
// span it.
struct TCellInterval {
    int32_t Low = 0;
    int32_t High = 0;
    uint32_t Mask = 0;
};

// The interval list of one axis, of fixed capacity: every rectangle adds at
// most two intervals, which is why a call handles at most 249 rectangles.
class TIntervalList {
public:
    static constexpr size_t Capacity = 500;
    static constexpr int32_t PlaneLow = 0;
    static constexpr int32_t PlaneHigh = 10000;

    TIntervalList() { items_[0] = TCellInterval{PlaneLow, PlaneHigh, 0}; }

    size_t Size() const { return size_; }
    const TCellInterval& operator[](size_t i) const { return items_[i]; }

    // Marks the span low..high with bit: intervals inside it take the bit,
    // the intervals its ends fall into are cut there.
    void AddSpan(int32_t low, int32_t high, uint32_t bit) {
        for (size_t i = 0; i < size_; ++i) {
            if (low <= items_[i].Low && high >= items_[i].High) items_[i].Mask |= bit;
        }
        // The interval cut at the low end gives its upper part the bit; it is
        // remembered with its mask from before this span, so that a cut at the
        // high end inside it can restore exactly that mask to the part beyond.
        size_t split = size_;
        uint32_t splitMaskBefore = 0;
        for (size_t i = 0; i < size_; ++i) {
            if (items_[i].Low < low && low < items_[i].High) {
                splitMaskBefore = items_[i].Mask;
                Append(TCellInterval{low, items_[i].High, items_[i].Mask | bit});
                items_[i].High = low;
                split = size_ - 1;
                break;
            }
        }
        for (size_t i = 0; i < size_; ++i) {
            if (items_[i].Low < high && high < items_[i].High) {
                // Only the part below the cut lies in the span. The part above
                // keeps the mask it had before this span: clearing the bit
                // outright would also drop an earlier rectangle that shares
                // the bit (bits repeat every 32 rectangles).
                const uint32_t before = (i == split) ? splitMaskBefore : items_[i].Mask;
                Append(TCellInterval{items_[i].Low, high, before | bit});
                items_[i].Low = high;
                items_[i].Mask = before;
                break;
            }
        }
    }

private:
    void Append(const TCellInterval& item) {
        // AddSpan appends at most twice and callers stay within the batch
        // size, so this never fills up; the check keeps a broken caller from
        // writing past the end.
        if (size_ < Capacity) items_[size_++] = item;
    }

    std::array<TCellInterval, Capacity> items_{};
    size_t size_ = 1;
};

// The described algorithm for one group of at most MaxRectsPerCall
// rectangles.
void RectsToCellsBatch(TRects& Cells, const TRects& Rects, size_t first, size_t last) {
    TIntervalList xs;
    TIntervalList ys;
    size_t k = 0;
    for (size_t i = first; i < last; ++i) {
        const TRect& r = Rects[i];
        if (r.Left >= r.Right || r.Top >= r.Bottom) continue;
        const uint32_t bit = 1u << (k % 32);
        ++k;
        xs.AddSpan(r.Left, r.Right, bit);
        ys.AddSpan(r.Top, r.Bottom, bit);
    }
    for (size_t y = 0; y < ys.Size(); ++y) {
        for (size_t x = 0; x < xs.Size(); ++x) {
            if ((xs[x].Mask & ys[y].Mask) != 0) Cells.push_back(TRect{xs[x].Low, ys[y].Low, xs[x].High, ys[y].High});
        }
    }
}

}  // namespace

void RectsToCells(TRects& Cells, const TRects& Rects) {
    constexpr size_t MaxRectsPerCall = (TIntervalList::Capacity - 2) / 2;  // 249
    for (size_t first = 0; first < Rects.size(); first += MaxRectsPerCall) {
        RectsToCellsBatch(Cells, Rects, first, std::min(Rects.size(), first + MaxRectsPerCall));
    }
}

double VectorAngle(const TPoint& P) {
    return VectorAngle(static_cast<double>(P.X), static_cast<double>(P.Y));
}

double VectorAngle(double X, double Y) {
    if (X > 0) return std::atan(Y / X);
    if (X < 0) return std::atan(Y / X) + std::numbers::pi;
    return std::numbers::pi / 2;
}

// ---- Scrambling ----

namespace {

// Treats the block as an 8x8 bit matrix and mirrors it: bit b of output byte
// m is bit m of input byte b. Its own inverse. Done on the block as one
// 64-bit word (byte i at bits 8i..8i+7, so matrix element (i, j) is bit
// 8i + j) by swapping ever larger sub-blocks across the diagonal.
std::array<uint8_t, 8> TransposeBits(const std::array<uint8_t, 8>& B) {
    uint64_t x = 0;
    for (int i = 0; i < 8; ++i) x |= static_cast<uint64_t>(B[i]) << (8 * i);
    uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
    x ^= t ^ (t << 28);
    std::array<uint8_t, 8> C{};
    for (int i = 0; i < 8; ++i) C[i] = static_cast<uint8_t>(x >> (8 * i));
    return C;
}

}  // namespace

void ScrambleStream(TMemoryStream& Source, TMemoryStream& Dest, std::string_view Key) {
    const std::string_view key = Key.empty() ? std::string_view(&DefaultScrambleKey, 1) : Key;
    std::array<uint8_t, 8> K{};
    for (size_t i = 0; i < 8; ++i) K[i] = static_cast<uint8_t>(key[i % key.size()]);

    // Copied first so that Source and Dest may be the same stream.
    const std::vector<uint8_t> input = Source.Bytes();
    std::vector<uint8_t> output(input.size());
    size_t pos = 0;
    for (; pos + 8 <= input.size(); pos += 8) {
        std::array<uint8_t, 8> B{};
        for (size_t i = 0; i < 8; ++i) B[i] = input[pos + i] ^ K[i];
        const std::array<uint8_t, 8> C = TransposeBits(B);
        for (size_t i = 0; i < 8; ++i) output[pos + i] = C[i] ^ K[i];
    }
    for (size_t i = 0; pos + i < input.size(); ++i) output[pos + i] = input[pos + i] ^ K[i];

    if (&Source != &Dest) Source.Clear();
    Dest.Clear();
    Dest.Bytes() = std::move(output);
    Dest.Seek(0);
}

bool IsPlainText(const TMemoryStream& Stream) {
    const uint8_t* p = Stream.Data();
    for (size_t i = 0; i < Stream.Size(); ++i) {
        const uint8_t c = p[i];
        if (c >= 32 || c == 9 || c == 13) continue;
        if (c == 10 && i > 0 && p[i - 1] == 13) continue;
        return false;
    }
    return true;
}

std::string RotateTextUp(std::string_view S) {
    std::string out(S);
    for (char& ch : out) {
        const uint8_t c = static_cast<uint8_t>(ch);
        if (c < 32) continue;
        ch = static_cast<char>(c <= 204 ? c + 51 : c - 173);
    }
    return out;
}

std::string RotateTextDown(std::string_view S) {
    std::string out(S);
    for (char& ch : out) {
        const uint8_t c = static_cast<uint8_t>(ch);
        if (c < 32) continue;
        ch = static_cast<char>(c >= 83 ? c - 51 : c + 173);
    }
    return out;
}

// ---- Scrambled XML documents ----

void LoadScrambledXML(TOrvParser& Parser, const std::string& FileName, std::string_view Key) {
    TMemoryStream file;
    // Scrambling keeps the size, so the document's own cap holds for the file.
    file.LoadFromFile(FileName, TOrvParser::MaxDocumentSize);
    LoadScrambledXML(Parser, file, Key);
}

namespace {

// Text with any line ends: no byte below 32 but tab, LF and CR.
bool IsTextWithAnyLineEnds(const TMemoryStream& Stream) {
    const uint8_t* p = Stream.Data();
    for (size_t i = 0; i < Stream.Size(); ++i) {
        if (p[i] < 32 && p[i] != 9 && p[i] != 10 && p[i] != 13) return false;
    }
    return true;
}

}  // namespace

void LoadScrambledXML(TOrvParser& Parser, TMemoryStream& Stream, std::string_view Key) {
    // The whole stream is judged and parsed from its start; the caller's
    // bytes are left as they were, only the position moves to the end.
    TMemoryStream whole(Stream.Bytes());
    Stream.Seek(Stream.Size());
    if (IsPlainText(whole)) {
        Parser.LoadFromStream(whole);
        return;
    }
    TMemoryStream copy(whole.Bytes());
    TMemoryStream plain;
    ScrambleStream(copy, plain, Key);
    // A file edited by hand with bare LF line ends is not "plain" by the
    // strict test, yet unscrambling it gives noise: such a file is read as it
    // is when unscrambling does not give text.
    if (!IsTextWithAnyLineEnds(plain) && IsTextWithAnyLineEnds(whole)) {
        Parser.LoadFromStream(whole);
        return;
    }
    Parser.LoadFromStream(plain);
}

void SaveScrambledXML(TOrvParser& Parser, const std::string& FileName, std::string_view Key) {
    TMemoryStream text;
    Parser.SaveToStream(text);
    TMemoryStream scrambled;
    ScrambleStream(text, scrambled, Key);
    scrambled.SaveToFile(FileName);
}
