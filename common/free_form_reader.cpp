// Free-form (list-directed) reader: one Read() call is one read.
#include "common/free_form_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <system_error>

namespace common {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsQuote(char c) { return c == '\'' || c == '"'; }
// Characters that end an unquoted value.
bool EndsValue(char c) { return IsBlank(c) || c == ',' || c == '/'; }

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::size_t SkipDigits(std::string_view s, std::size_t p) {
  while (p < s.size() && IsDigit(s[p])) ++p;
  return p;
}

// Whole number: optional sign and digits, within the range of int.
bool ParseInt(std::string_view s, int& out) {
  std::size_t p = 0;
  bool negative = false;
  if (p < s.size() && (s[p] == '+' || s[p] == '-')) negative = s[p++] == '-';
  if (p == s.size() || SkipDigits(s, p) != s.size()) return false;
  long long v = 0;
  for (; p < s.size(); ++p) {
    v = v * 10 + (s[p] - '0');
    if (v > 2147483648LL) return false;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<int>::max()) return false;
  out = static_cast<int>(v);
  return true;
}

// Decimal order of magnitude of digits "int.frac" times 10^exp10: positive
// for values of at least 1, zero or negative for values below 1.
long long Magnitude(std::string_view int_digits, std::string_view frac_digits, long long exp10) {
  const std::size_t first = int_digits.find_first_not_of('0');
  if (first != std::string_view::npos) {
    return static_cast<long long>(int_digits.size() - first) + exp10;
  }
  const std::size_t lead = frac_digits.find_first_not_of('0');
  return -static_cast<long long>(lead == std::string_view::npos ? 0 : lead) + exp10;
}

// Real: [sign] (digits [. [digits]] | . digits) [(E|e|D|d) [sign] digits].
// Infinities and NaN are not numbers a user writes into these files, so they
// are refused like any other unconvertible text; a value too large for a
// double is refused too, one too small becomes zero.
bool ParseReal(std::string_view s, double& out) {
  std::string buf;
  buf.reserve(s.size());
  std::size_t p = 0;
  bool negative = false;
  if (p < s.size() && (s[p] == '+' || s[p] == '-')) negative = s[p++] == '-';
  if (negative) buf += '-';
  std::size_t q = SkipDigits(s, p);
  const std::string_view int_digits = s.substr(p, q - p);
  std::string_view frac_digits;
  buf.append(int_digits);
  p = q;
  if (p < s.size() && s[p] == '.') {
    q = SkipDigits(s, p + 1);
    frac_digits = s.substr(p + 1, q - p - 1);
    buf.append(s.substr(p, q - p));
    p = q;
  }
  if (int_digits.empty() && frac_digits.empty()) return false;
  long long exp10 = 0;
  if (p < s.size()) {
    const char e = s[p];
    if (e != 'E' && e != 'e' && e != 'D' && e != 'd') return false;
    buf += 'e';
    ++p;
    bool exp_negative = false;
    if (p < s.size() && (s[p] == '+' || s[p] == '-')) {
      exp_negative = s[p] == '-';
      buf += s[p++];
    }
    q = SkipDigits(s, p);
    if (q == p || q != s.size()) return false;
    buf.append(s.substr(p, q - p));
    for (; p < q; ++p) exp10 = std::min(exp10 * 10 + (s[p] - '0'), 1000000000LL);
    if (exp_negative) exp10 = -exp10;
  }
  double v = 0.0;
  const auto res = std::from_chars(buf.data(), buf.data() + buf.size(), v);
  if (res.ptr != buf.data() + buf.size()) return false;
  if (res.ec == std::errc::result_out_of_range) {
    if (Magnitude(int_digits, frac_digits, exp10) > 0) return false;
    v = negative ? -0.0 : 0.0;
  } else if (res.ec != std::errc() || !std::isfinite(v)) {
    return false;
  }
  out = v;
  return true;
}

// Stores one value in a target; false when it does not convert.
bool Store(const ReadTarget& t, const std::string& text, bool quoted) {
  switch (t.kind) {
    case ReadTarget::Kind::Int:
      return !quoted && ParseInt(text, *static_cast<int*>(t.ptr));
    case ReadTarget::Kind::Real:
      return !quoted && ParseReal(text, *static_cast<double*>(t.ptr));
    case ReadTarget::Kind::Text: {
      std::string& dst = *static_cast<std::string*>(t.ptr);
      dst.assign(text, 0, text.size() < t.length ? text.size() : t.length);
      dst.resize(t.length, ' ');
      return true;
    }
  }
  return false;
}

}  // namespace

FreeFormReader::FreeFormReader(std::istream& in) : in_(in) {
  at_stream_start_ = in_.tellg() == std::streampos(0);
}

bool FreeFormReader::NextLine(std::string& line) {
  if (!std::getline(in_, line)) return false;
  // Editors on some systems begin a UTF-8 file with a byte-order mark; it is
  // no part of the first value.
  if (lines_read_ == 0 && at_stream_start_ && line.starts_with(kByteOrderMark))
    line.erase(0, kByteOrderMark.size());
  ++lines_read_;
  return true;
}

// Scans the line with a cursor. State between values: after_comma is true
// at the start of the read and right after a comma, so a further comma there
// is a null value; a line end counts as a blank, so a comma that ends a line
// does not add a null before the values of the next line.
bool FreeFormReader::Read(const std::vector<ReadTarget>& targets) {
  std::string line;
  ended_at_slash_ = false;
  if (!NextLine(line)) return false;
  first_value_line_ = lines_read_;
  bool found_value = false;
  std::size_t pos = 0;
  std::size_t next = 0;  // index of the next target
  bool after_comma = true;
  while (next < targets.size()) {
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos == line.size()) {
      if (!NextLine(line)) return false;
      if (!found_value) first_value_line_ = lines_read_;
      pos = 0;
      continue;
    }
    found_value = true;
    const char c = line[pos];
    if (c == '/') {
      ended_at_slash_ = true;
      return true;
    }
    if (c == ',') {
      ++pos;
      if (after_comma) ++next;  // null value
      after_comma = true;
      continue;
    }
    after_comma = false;

    // Repeat count "r*": digits directly followed by an asterisk.
    std::size_t repeat = 1;
    const std::size_t star = SkipDigits(line, pos);
    if (star > pos && star < line.size() && line[star] == '*') {
      repeat = 0;
      for (std::size_t p = pos; p < star; ++p) {
        repeat = repeat * 10 + static_cast<std::size_t>(line[p] - '0');
        if (repeat > targets.size()) repeat = targets.size() + 1;  // enough for any read
      }
      if (repeat == 0) return false;
      pos = star + 1;
      if (pos == line.size() || EndsValue(line[pos])) {  // r null values
        next += std::min(repeat, targets.size() - next);
        continue;
      }
    }

    std::string text;
    bool quoted = false;
    if (IsQuote(line[pos])) {
      // Quoted text may hold blanks, commas and slashes; a doubled quote is
      // one quote; a line end inside the quotes continues on the next line.
      quoted = true;
      const char q = line[pos++];
      for (;;) {
        if (pos == line.size()) {
          if (!NextLine(line)) return false;
          pos = 0;
          continue;
        }
        if (line[pos] == q) {
          if (pos + 1 < line.size() && line[pos + 1] == q) {
            text += q;
            pos += 2;
            continue;
          }
          ++pos;
          break;
        }
        text += line[pos++];
      }
      if (pos < line.size() && !EndsValue(line[pos])) return false;
    } else {
      std::size_t end = pos;
      while (end < line.size() && !EndsValue(line[end])) ++end;
      text.assign(line, pos, end - pos);
      pos = end;
    }
    for (std::size_t k = 0; k < repeat && next < targets.size(); ++k) {
      if (!Store(targets[next++], text, quoted)) return false;
    }
  }
  return true;
}

bool ReadsBackUnquoted(std::string_view text) {
  const std::size_t end = text.find_last_not_of(' ');
  if (end == std::string_view::npos) return false;  // nothing would be written
  text = text.substr(0, end + 1);
  for (const char c : text)
    if (EndsValue(c)) return false;
  if (IsQuote(text[0])) return false;
  const std::size_t star = SkipDigits(text, 0);
  return !(star > 0 && star < text.size() && text[star] == '*');
}

void AppendInts(std::vector<ReadTarget>& t, std::vector<int>& v, int first, int last) {
  for (int i = first; i <= last; ++i) t.push_back(ReadTarget::Int(v[static_cast<std::size_t>(i)]));
}

void AppendReals(std::vector<ReadTarget>& t, std::vector<double>& v, int first, int last) {
  for (int i = first; i <= last; ++i) t.push_back(ReadTarget::Real(v[static_cast<std::size_t>(i)]));
}

void AppendTexts(std::vector<ReadTarget>& t, std::vector<std::string>& v, int first, int last,
                 std::size_t len) {
  for (int i = first; i <= last; ++i) {
    t.push_back(ReadTarget::Text(v[static_cast<std::size_t>(i)], len));
  }
}

}  // namespace common
