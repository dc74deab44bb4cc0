// Small functions shared by the whole game: text and number conversion, word
// splitting, integer and rectangle arrays, splitting rectangles into disjoint
// redraw cells, vector angles, and the two ways the game keeps its own files
// unreadable to a casual eye (the keyed 8-byte block scrambler for game
// parameters and saved games, the character rotation for high scores).
//
// None of these report errors: malformed numbers read as the documented
// values, missing markers give empty strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/OrvRandom.h"
#include "base/OrvStream.h"
#include "base/OrvTypes.h"

class TOrvParser;

// The key the game parameters and saved games are scrambled with.
inline constexpr std::string_view GameFileKey = "wqpme83]";
// What GetWord returns when the text has fewer words than asked for.
inline constexpr std::string_view EndOfWords = "%&";

// ---- Text and numbers ----

// The 32-bit integer at the start of S: leading blanks and tabs skipped, an
// optional "+" or "-", then decimal digits, or hexadecimal digits after "$",
// "x", "X" or "0x". Reading stops at the first character that is not a digit
// and the value read so far is then returned WITHOUT its sign ("-7a" is 7,
// "12px" is 12); empty or non-numeric text is 0. A digit that would take the
// value out of range stops the reading the same way. Hexadecimal values take
// all 32 bits ("$FFFFFFFF" is -1), as colour values are written that way.
int32_t ValInt(std::string_view S);

// The value of the whole of S as a decimal number ("." separator, optional
// sign, optional exponent, leading blanks allowed); 0 when S is empty, is not
// a number as a whole (trailing blanks count against it) or is out of range.
double ValFloat(std::string_view S);

// "true" or "false".
std::string BoolToText(bool B);

// S as it can be shown on a terminal: control bytes (the zero byte, escape
// and DEL included) and the backslash become \xNN, so a crafted name cannot
// send escape sequences or break lines. Other bytes, UTF-8 included, stay.
std::string PrintableText(std::string_view S);

// The N-th word of S (N from 1), words being runs of bytes other than blank
// and tab; "%&" when S has fewer than N words; empty for N <= 0.
std::string GetWord(std::string_view S, int N);

// The number of words of S, counting stops early at a word that is itself
// "%&" (as asking GetWord for successive words would). Not limited to 255.
int WordCount(std::string_view S);

// The text between the end of the first occurrence of Open and the start of
// the first occurrence of Close; empty when either is missing or Close
// starts before Open ends.
std::string TextBetweenFirst(std::string_view S, std::string_view Open, std::string_view Close);

// The value of Name="value" inside S: the text after the first occurrence of
// Name followed by =" up to the next double quote; empty when that pattern or
// the closing quote is missing. A plain substring search, so Name may match
// the tail of a longer attribute name.
std::string AttrValueOf(std::string_view S, std::string_view Name);

// ---- Integer arrays ----

// Appends V.
void AddInt(TIntegers& A, int32_t V);
// Inserts V at index I, moving later elements up; appends when I is past the
// last index, inserts at the front when I is negative.
void InsertInt(TIntegers& A, int32_t V, int I);
// Removes the element at index I; does nothing when I is out of range.
void DeleteInt(int I, TIntegers& A);
// Whether some element equals V.
bool IntInArray(int32_t V, const TIntegers& A);
// The first index of V, or -1.
int IndexOfInt(const TIntegers& A, int32_t V);
// The smallest element; 2147483647 for an empty array.
int32_t MinInt(const TIntegers& A);

// A random index into A where each element is the weight of its index: with
// S the sum of the weights and R uniform in 1..S, the first index whose
// running sum reaches R. Negative weights count as 0, so the result is always
// a valid index of a positive weight; when no weight is positive (or A is
// empty) the result is 0. Sums are 64-bit and cannot overflow.
int WeightedIndex(const TIntegers& A, TOrvRandom& Random);

// ---- Geometry ----

// Whether P lies in R, all four edges counting as inside.
bool PointInRect(const TRect& R, const TPoint& P);
// Appends R.
void AddRect(TRects& Rects, const TRect& R);

// Appends to Cells rectangles whose union covers the union of Rects, by
// cutting the plane 0..10000 into columns and rows at the rectangles' edges
// and keeping the grid cells some rectangle covers. Edges are lines between
// pixels here: a rectangle spans Left..Right and Top..Bottom continuously,
// and neighbouring cells share an edge value. With at most 32 rectangles the
// cells are disjoint and their union equals that of Rects (clipped to
// 0..10000); with more, rectangles share mask bits and cells may cover more
// than the union; past 249 rectangles they are handled in groups whose cells
// may overlap each other. Empty or inverted rectangles are ignored.
void RectsToCells(TRects& Cells, const TRects& Rects);

// The angle in radians of the vector (X, Y): atan(Y / X) for X > 0,
// atan(Y / X) + pi for X < 0, pi / 2 for X = 0 whatever Y is.
double VectorAngle(const TPoint& P);
double VectorAngle(double X, double Y);

// ---- Scrambling ----

// Writes the scrambled form of Source into Dest (or, given scrambled bytes,
// the plain form: the operation is its own inverse with the same key). The
// length never changes. Dest ends at position 0 and Source is emptied (unless
// Source and Dest are the same stream, which then holds the result). An empty
// key stands for a fixed one-character key.
void ScrambleStream(TMemoryStream& Source, TMemoryStream& Dest, std::string_view Key);

// Whether the bytes of Stream are plain text: bytes of 32 and above, tab and
// CR are plain; LF only right after a CR; any other byte below 32 is not. An
// empty stream is plain.
bool IsPlainText(const TMemoryStream& Stream);

// The character rotation of the high-score file: bytes 32..255 are rotated
// by 51 places within that range (Up for writing, Down for reading); bytes
// below 32 are left alone. RotateTextDown(RotateTextUp(S)) == S.
std::string RotateTextUp(std::string_view S);
std::string RotateTextDown(std::string_view S);

// ---- Scrambled XML documents ----

// Loads a document that may be plain or scrambled with Key into Parser: the
// bytes are parsed as they are when they are plain text, unscrambled first
// otherwise. The file variant throws OrvException "Cannot open file " +
// FileName when it cannot be read; parse errors propagate from the parser.
// The stream variant reads the whole of Stream from its start.
void LoadScrambledXML(TOrvParser& Parser, const std::string& FileName, std::string_view Key);
void LoadScrambledXML(TOrvParser& Parser, TMemoryStream& Stream, std::string_view Key);

// Saves Parser's document scrambled with Key to FileName, through a
// temporary file renamed over the target. Throws OrvException "Cannot write
// file " + FileName on failure (the old file is then untouched).
void SaveScrambledXML(TOrvParser& Parser, const std::string& FileName, std::string_view Key);
