// Fixed-width output fields shared by every writer of both programs.
// Numbers are right-aligned; a number that does not fit is a field of '*'
// (FmtIntAtLeast widens its field instead).
// Text is right-aligned in a wider field and cut to its leftmost characters
// in a narrower one.
#pragma once

#include <string>
#include <string_view>

namespace common {

std::string FmtInt(long long value, int width);                  // like Iw
// Like Iw, but a number too wide for the field widens it instead of turning
// into asterisks: for numbers whose digits matter more than the layout.
std::string FmtIntAtLeast(long long value, int width);
std::string FmtFixed(double value, int width, int decimals);     // like Fw.d
std::string FmtText(std::string_view text, int width);           // like Aw
std::string RepeatChar(char c, int count);

// Text helpers used around the fixed-width fields.
std::string TrimRight(std::string_view s);                       // trailing blanks removed
std::string TrimBoth(std::string_view s);
std::string AdjustLeft(std::string_view s);                      // leading blanks moved to the end
std::string AdjustRight(std::string_view s);                     // trailing blanks moved to the front
std::string PadRight(std::string_view s, std::size_t len);       // cut or blank-padded

// Round half away from zero.
long long RoundHalfAway(double x);

}  // namespace common
