// Fixed-width output fields: right-aligned numbers, asterisks when too wide.
#include "common/fixed_format.h"

#include <cmath>
#include <charconv>
#include <limits>

namespace common {

namespace {

std::string Stars(int width) { return RepeatChar('*', width); }

// Right-aligns text in a field; a text that is too long gives asterisks.
std::string RightAlignOrStars(const std::string& text, int width) {
  const auto w = static_cast<std::size_t>(width);
  if (text.size() > w) return Stars(width);
  return std::string(w - text.size(), ' ') + text;
}

}  // namespace

// Iw: a zero or negative width gives the shortest form (as I0 does).
std::string FmtInt(long long value, int width) {
  std::string text = std::to_string(value);
  if (width <= 0) return text;
  return RightAlignOrStars(text, width);
}

std::string FmtIntAtLeast(long long value, int width) {
  std::string text = std::to_string(value);
  if (width <= 0 || text.size() >= static_cast<std::size_t>(width)) return text;
  return RightAlignOrStars(text, width);
}

// Fw.d: correctly rounded decimals, always a decimal point. The leading zero
// before the point is optional and is dropped only when the field is one
// character short for it. A zero or negative width gives the shortest form.
std::string FmtFixed(double value, int width, int decimals) {
  if (decimals < 0) decimals = 0;
  if (!std::isfinite(value)) return Stars(width > 0 ? width : 1);
  // Exact decimal expansion, correctly rounded (the same digits as "%.*f").
  std::string text(static_cast<std::size_t>(decimals) + 330, '\0');
  const auto res = std::to_chars(text.data(), text.data() + text.size(), value,
                                 std::chars_format::fixed, decimals);
  text.resize(static_cast<std::size_t>(res.ptr - text.data()));
  if (decimals == 0) text += '.';
  if (width <= 0) return text;
  const auto w = static_cast<std::size_t>(width);
  if (text.size() == w + 1) {
    if (text.compare(0, 2, "0.") == 0) {
      text.erase(0, 1);
    } else if (text.compare(0, 3, "-0.") == 0) {
      text.erase(1, 1);
    }
  }
  return RightAlignOrStars(text, width);
}

// Aw: right-aligned in a wider field, the leftmost characters in a narrower.
std::string FmtText(std::string_view text, int width) {
  if (width <= 0) return std::string();
  const auto w = static_cast<std::size_t>(width);
  if (text.size() >= w) return std::string(text.substr(0, w));
  return std::string(w - text.size(), ' ') + std::string(text);
}

std::string RepeatChar(char c, int count) {
  return std::string(static_cast<std::size_t>(count > 0 ? count : 0), c);
}

std::string TrimRight(std::string_view s) {
  const std::size_t end = s.find_last_not_of(' ');
  if (end == std::string_view::npos) return std::string();
  return std::string(s.substr(0, end + 1));
}

std::string TrimBoth(std::string_view s) {
  const std::size_t begin = s.find_first_not_of(' ');
  if (begin == std::string_view::npos) return std::string();
  const std::size_t end = s.find_last_not_of(' ');
  return std::string(s.substr(begin, end - begin + 1));
}

std::string AdjustLeft(std::string_view s) {
  const std::size_t begin = s.find_first_not_of(' ');
  if (begin == std::string_view::npos) return std::string(s);
  return std::string(s.substr(begin)) + std::string(begin, ' ');
}

std::string AdjustRight(std::string_view s) {
  const std::size_t end = s.find_last_not_of(' ');
  if (end == std::string_view::npos) return std::string(s);
  return std::string(s.size() - end - 1, ' ') + std::string(s.substr(0, end + 1));
}

std::string PadRight(std::string_view s, std::size_t len) {
  if (s.size() >= len) return std::string(s.substr(0, len));
  return std::string(s) + std::string(len - s.size(), ' ');
}

// Half away from zero; beyond the range of long long the result is clamped,
// and a NaN gives 0.
long long RoundHalfAway(double x) {
  if (std::isnan(x)) return 0;
  const double r = std::round(x);
  // 2^63 is exactly representable; every double below it converts safely.
  constexpr double kLimit = 9223372036854775808.0;
  if (r >= kLimit) return std::numeric_limits<long long>::max();
  if (r < -kLimit) return std::numeric_limits<long long>::min();
  return static_cast<long long>(r);
}

}  // namespace common
