// Free-form (list-directed) reader shared by every reader of both programs.
//
// One call of Read() is one read: it starts at the beginning of the next
// unread line, takes as many values as its targets need (continuing over
// following lines, skipping empty ones) and ignores the rest of the line on
// which its last value stands, so a comment may follow the values.
//
// Separators: blanks, tabs, carriage returns, a comma with optional blanks
// around it, the end of a line. Two commas with nothing between them give a
// null value (target unchanged). "/" ends the read (remaining targets
// unchanged). "r*v" stands for r copies of v, "r*" for r null values.
// Text ends at the next blank, comma, slash or line end unless quoted with
// apostrophes or quotation marks (a doubled quote inside stands for one);
// it is cut or blank-padded to the target length. Whole-number targets take
// an optional sign and digits; a real target takes any real or whole form
// (exponent letters E or D). End of file before all values, and a value that
// does not convert, make Read() return false. A UTF-8 byte-order mark at the
// very start of the stream is passed over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace common {

struct ReadTarget {
  enum class Kind { Int, Real, Text };
  Kind kind;
  void* ptr;
  std::size_t length;  // text targets: fixed length (cut or padded)

  static ReadTarget Int(int& v) { return {Kind::Int, &v, 0}; }
  static ReadTarget Real(double& v) { return {Kind::Real, &v, 0}; }
  static ReadTarget Text(std::string& v, std::size_t len) { return {Kind::Text, &v, len}; }
};

class FreeFormReader {
 public:
  // A reader made on a stream that stands at its start passes over a
  // byte-order mark there; one made further on reads the bytes as they are.
  explicit FreeFormReader(std::istream& in);

  // One read into the targets in order. True when every target got a value
  // (or a null, or the read ended at "/"); false on end of file or a value
  // that does not convert. Values converted before a failure stay stored.
  bool Read(const std::vector<ReadTarget>& targets);

  // Number of lines consumed so far (the line on which the last read ended).
  int LinesRead() const { return lines_read_; }

  // True when the last read found all its values on the line where it
  // found its first one (empty lines before it do not count).
  bool LastReadOnOneLine() const { return first_value_line_ == lines_read_; }

  // True when a "/" ended the last read before all its targets had a value.
  bool LastReadEndedAtSlash() const { return ended_at_slash_; }

 private:
  bool NextLine(std::string& line);
  std::istream& in_;
  bool at_stream_start_ = false;
  int lines_read_ = 0;
  int first_value_line_ = 0;
  bool ended_at_slash_ = false;
};

// True when the text, trailing blanks removed, written unquoted between
// separators (as an assignment file or a sample-file line holds an
// identifier) is read back as one text value equal to it: it is not empty,
// holds no blank, tab, carriage return, comma or "/", does not begin with an
// apostrophe or quotation mark, and does not begin with digits followed by
// "*" (a repeat count).
bool ReadsBackUnquoted(std::string_view text);

// Convenience targets for arrays: one target per element of v[first..last].
void AppendInts(std::vector<ReadTarget>& t, std::vector<int>& v, int first, int last);
void AppendReals(std::vector<ReadTarget>& t, std::vector<double>& v, int first, int last);
void AppendTexts(std::vector<ReadTarget>& t, std::vector<std::string>& v, int first, int last,
                 std::size_t len);

}  // namespace common
