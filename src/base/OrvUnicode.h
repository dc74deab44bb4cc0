// Conversions between UTF-8 (how every text is stored in files and passed
// around) and UTF-16 (how fonts and text controls hold their characters: one
// glyph per 16-bit unit).
#pragma once

#include <string>
#include <string_view>

// The UTF-16 form of UTF-8 text. Malformed bytes (stray continuation bytes,
// truncated or overlong sequences, encoded surrogates, values past U+10FFFF)
// each become U+FFFD; characters beyond U+FFFF become surrogate pairs. Never
// fails; the result is owned by the caller.
std::u16string Utf8ToUtf16(std::string_view text);

// The UTF-8 form of UTF-16 text. A surrogate that is not part of a pair
// becomes U+FFFD. Never fails.
std::string Utf16ToUtf8(std::u16string_view text);
