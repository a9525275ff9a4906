#include "common/free_form_reader.h"

#include <gtest/gtest.h>

#include <charconv>
#include <sstream>
#include <string>
#include <vector>

namespace {

using common::FreeFormReader;
using common::ReadTarget;

constexpr int kIntBefore = -7;
constexpr double kRealBefore = -7.5;

// Targets of one read, described as "i r t5": whole number, real, text of 5.
struct Targets {
  std::vector<int> ints;
  std::vector<double> reals;
  std::vector<std::string> texts;
  std::vector<ReadTarget> list;
  std::vector<char> kinds;

  explicit Targets(const std::string& kinds_text) {
    std::istringstream in(kinds_text);
    std::string item;
    std::vector<std::size_t> lengths;
    while (in >> item) {
      kinds.push_back(item[0]);
      if (item[0] == 't') lengths.push_back(std::stoul(item.substr(1)));
    }
    ints.assign(kinds.size(), kIntBefore);
    reals.assign(kinds.size(), kRealBefore);
    texts.resize(kinds.size());
    std::size_t t = 0;
    for (std::size_t k = 0; k < kinds.size(); ++k) {
      if (kinds[k] == 'i') list.push_back(ReadTarget::Int(ints[k]));
      if (kinds[k] == 'r') list.push_back(ReadTarget::Real(reals[k]));
      if (kinds[k] == 't') {
        texts[k] = std::string(lengths[t], '~');
        list.push_back(ReadTarget::Text(texts[k], lengths[t++]));
      }
    }
  }

  // Each target as text: whole numbers in decimal, reals in their shortest exact form, texts
  // as stored (an untouched text target shows its '~' filling).
  std::vector<std::string> Values() const {
    std::vector<std::string> v;
    for (std::size_t k = 0; k < kinds.size(); ++k) {
      if (kinds[k] == 'i') v.push_back(std::to_string(ints[k]));
      if (kinds[k] == 'r') {
        char buf[40];
        const auto res = std::to_chars(buf, buf + sizeof buf, reals[k]);
        v.emplace_back(buf, res.ptr);
      }
      if (kinds[k] == 't') v.push_back(texts[k]);
    }
    return v;
  }
};

struct ReadCase {
  const char* content;
  const char* targets;
  bool ok;
  std::vector<std::string> values;  // after the read, also after a failure
  int lines_read;
};

// -7 and -7.5 are the values the targets held before the read.
const ReadCase kReadCases[] = {
    // separators
    {"1 2 3\n", "i i i", true, {"1", "2", "3"}, 1},
    {"1,2,3", "i i i", true, {"1", "2", "3"}, 1},  // last line without line end
    {"1 , 2 ,3\n", "i i i", true, {"1", "2", "3"}, 1},
    {"\t1\t2\r\n", "i i", true, {"1", "2"}, 1},
    {"1\r2\r\n", "i i", true, {"1", "2"}, 1},
    // null values
    {"1,,3\n", "i i i", true, {"1", "-7", "3"}, 1},
    {"1 , , 3\n", "i i i", true, {"1", "-7", "3"}, 1},
    {",2\n", "i i", true, {"-7", "2"}, 1},
    {",,\n", "i i", true, {"-7", "-7"}, 1},
    {"1,\n2\n", "i i", true, {"1", "2"}, 2},  // a comma ending a line adds no null
    {"1,\n,3\n", "i i i", true, {"1", "-7", "3"}, 2},
    {"1\n,2\n", "i i", true, {"1", "2"}, 2},
    {"'a',,'c'\n", "t1 t1 t1", true, {"a", "~", "c"}, 1},
    // slash
    {"1 2 / 9\n", "i i i i", true, {"1", "2", "-7", "-7"}, 1},
    {"/\n", "i r", true, {"-7", "-7.5"}, 1},
    {"1,/\n", "i i", true, {"1", "-7"}, 1},
    {"abc/def\n", "t3 t3", true, {"abc", "~~~"}, 1},
    // repeat counts
    {"3*0\n", "i i i", true, {"0", "0", "0"}, 1},
    {"2*5 7\n", "i i i", true, {"5", "5", "7"}, 1},
    {"2* 7\n", "i i i", true, {"-7", "-7", "7"}, 1},
    {"2*,7\n", "i i i", true, {"-7", "-7", "7"}, 1},
    {"1 3*\n", "i i i", true, {"1", "-7", "-7"}, 1},
    {"5*1\n", "i i", true, {"1", "1"}, 1},
    {"99999999999999999999*4\n", "i i", true, {"4", "4"}, 1},
    {"2*0.25\n", "r r", true, {"0.25", "0.25"}, 1},
    {"2*ab\n", "t2 t2", true, {"ab", "ab"}, 1},
    {"2*'x y'\n", "t3 t3", true, {"x y", "x y"}, 1},
    {"0*1\n", "i", false, {"-7"}, 1},
    {"2*95.0\n", "i i", false, {"-7", "-7"}, 1},
    // lines: continuation, empty lines, rest of the last line, end of file
    {"1 2 this is a comment\n", "i i", true, {"1", "2"}, 1},
    {"1 2 3\n4 5\n", "i i i i", true, {"1", "2", "3", "4"}, 2},
    {"1\n\n   \n\r\n\t\n2\n", "i i", true, {"1", "2"}, 6},
    {"\n\n7\n", "i", true, {"7"}, 3},
    {"1\n", "i i", false, {"1", "-7"}, 1},
    {"", "i", false, {"-7"}, 0},
    {"\n \n", "i", false, {"-7"}, 2},
    // whole numbers
    {"+5 -5 007 -0\n", "i i i i", true, {"5", "-5", "7", "0"}, 1},
    {"2147483647 -2147483648\n", "i i", true, {"2147483647", "-2147483648"}, 1},
    {"2147483648\n", "i", false, {"-7"}, 1},
    {"-2147483649\n", "i", false, {"-7"}, 1},
    {"95.0\n", "i", false, {"-7"}, 1},
    {"95.\n", "i", false, {"-7"}, 1},
    {"95%\n", "i", false, {"-7"}, 1},
    {"1e3\n", "i", false, {"-7"}, 1},
    {"+\n", "i", false, {"-7"}, 1},
    {"- 5\n", "i i", false, {"-7", "-7"}, 1},
    {"x\n", "i", false, {"-7"}, 1},
    {"'5'\n", "i", false, {"-7"}, 1},
    {"1 2x 3\n", "i i i", false, {"1", "-7", "-7"}, 1},  // earlier values stay stored
    // reals
    {"0.5 .5 5. +5 -1e-301 7\n", "r r r r r r", true, {"0.5", "0.5", "5", "5", "-1e-301", "7"}, 1},
    {"1.5D2 2d-1 3E+2 4e0 -.5E-1\n", "r r r r r", true, {"150", "0.2", "300", "4", "-0.05"}, 1},
    {"1e-400\n", "r", true, {"0"}, 1},  // too small: zero
    {"1e400\n", "r", false, {"-7.5"}, 1},
    {"1e999999999999999999999\n", "r", false, {"-7.5"}, 1},
    {".\n", "r", false, {"-7.5"}, 1},
    {"e5\n", "r", false, {"-7.5"}, 1},
    {"1e\n", "r", false, {"-7.5"}, 1},
    {"1.5+3\n", "r", false, {"-7.5"}, 1},
    {"1..2\n", "r", false, {"-7.5"}, 1},
    {"0x10\n", "r", false, {"-7.5"}, 1},
    {"nan\n", "r", false, {"-7.5"}, 1},
    {"inf\n", "r", false, {"-7.5"}, 1},
    {"1,5\n", "r r", true, {"1", "5"}, 1},
    // texts
    {"M01 abc\n", "t5 t2", true, {"M01  ", "ab"}, 1},
    {"12A 5\n", "t3 i", true, {"12A", "5"}, 1},
    {"Loc1 2 0.25 AB\n", "t20 i r t2", true, {"Loc1                ", "2", "0.25", "AB"}, 1},
    {"'a b,c/d' x\n", "t10 t1", true, {"a b,c/d   ", "x"}, 1},
    {"'it''s' \"say \"\"hi\"\"\"\n", "t6 t10", true, {"it's  ", "say \"hi\"  "}, 1},
    {"\"it's\"\n", "t4", true, {"it's"}, 1},
    {"''\n", "t2", true, {"  "}, 1},
    {"'ab\ncd' x\n", "t5 t1", true, {"abcd ", "x"}, 2},  // quoted text over a line end
    {"'ab\n", "t3", false, {"~~~"}, 1},
    {"'ab'cd\n", "t4", false, {"~~~~"}, 1},
};

TEST(FreeFormReader, FollowsTheInputRules) {
  for (const ReadCase& c : kReadCases) {
    SCOPED_TRACE(testing::Message() << "content \"" << c.content << "\", targets " << c.targets);
    std::istringstream in(c.content);
    FreeFormReader reader(in);
    Targets t(c.targets);
    EXPECT_EQ(reader.Read(t.list), c.ok);
    EXPECT_EQ(t.Values(), c.values);
    EXPECT_EQ(reader.LinesRead(), c.lines_read);
  }
}

TEST(FreeFormReader, EachReadStartsOnTheLineAfterThePreviousOne) {
  std::istringstream in("1 2\n3 ignored\n\n4 5 a comment\n6\n");
  FreeFormReader reader(in);
  int a = 0, b = 0, c = 0;
  ASSERT_TRUE(reader.Read({ReadTarget::Int(a), ReadTarget::Int(b), ReadTarget::Int(c)}));
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(c, 3);
  EXPECT_EQ(reader.LinesRead(), 2);
  EXPECT_FALSE(reader.LastReadOnOneLine());
  ASSERT_TRUE(reader.Read({ReadTarget::Int(a)}));
  EXPECT_EQ(a, 4);  // the empty line is passed over, "5 a comment" ignored
  EXPECT_EQ(reader.LinesRead(), 4);
  EXPECT_TRUE(reader.LastReadOnOneLine());
  ASSERT_TRUE(reader.Read({ReadTarget::Int(a)}));
  EXPECT_EQ(a, 6);
  EXPECT_EQ(reader.LinesRead(), 5);
  EXPECT_FALSE(reader.Read({ReadTarget::Int(a)}));
  EXPECT_EQ(a, 6);
}

TEST(FreeFormReader, SlashEndsTheReadAndTheRestOfItsLine) {
  std::istringstream in("1 / 2 3\n4\n");
  FreeFormReader reader(in);
  int a = 0, b = 0;
  ASSERT_TRUE(reader.Read({ReadTarget::Int(a), ReadTarget::Int(b)}));
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 0);
  ASSERT_TRUE(reader.Read({ReadTarget::Int(b)}));
  EXPECT_EQ(b, 4);
  EXPECT_EQ(reader.LinesRead(), 2);
}

// The readers refuse an individual line whose read a "/" ended before its
// last value; a "/" after the values the read needs is never reached.
TEST(FreeFormReader, TellsWhetherASlashEndedTheReadEarly) {
  const struct {
    const char* content;
    bool early;
  } cases[] = {
      {"1 2 3\n", false},        {"1 2/3\n", true},      {"1 2 3 / comment\n", false},
      {"1 2 3/4\n", false},      {"/\n", true},          {"1,,/\n", true},
      {"1 2\n/\n", true},        {"'a/b' 2 3\n", false}, {"1 2 3*\n", false},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.content);
    FreeFormReader reader(in);
    Targets t("t3 i i");
    EXPECT_TRUE(reader.Read(t.list)) << c.content;
    EXPECT_EQ(reader.LastReadEndedAtSlash(), c.early) << c.content;
  }
  // The flag belongs to the last read only.
  std::istringstream in("1 /\n2 3\n");
  FreeFormReader reader(in);
  Targets t("i i");
  ASSERT_TRUE(reader.Read(t.list));
  EXPECT_TRUE(reader.LastReadEndedAtSlash());
  ASSERT_TRUE(reader.Read(t.list));
  EXPECT_FALSE(reader.LastReadEndedAtSlash());
}

// A UTF-8 byte-order mark is passed over at the very start of a stream
// only; anywhere else its bytes are text like any other.
TEST(FreeFormReader, PassesOverAByteOrderMarkAtTheStartOnly) {
  const std::string bom = "\xEF\xBB\xBF";
  {
    std::istringstream in(bom + "'My data' comment\n" + bom + "7\n");
    FreeFormReader reader(in);
    Targets name("t8"), number("i");
    ASSERT_TRUE(reader.Read(name.list));
    EXPECT_EQ(name.texts[0], "My data ");
    EXPECT_FALSE(reader.Read(number.list));  // a mark on line 2 is no number
  }
  {
    std::istringstream in(bom + "\n\n5\n");
    FreeFormReader reader(in);
    Targets number("i");
    ASSERT_TRUE(reader.Read(number.list));
    EXPECT_EQ(number.ints[0], 5);
    EXPECT_EQ(reader.LinesRead(), 3);
  }
  {
    std::istringstream in("1\n" + bom + "x\n");
    std::string first;
    std::getline(in, first);
    FreeFormReader later(in);  // made after the start of the stream
    Targets text("t4");
    ASSERT_TRUE(later.Read(text.list));
    EXPECT_EQ(text.texts[0], bom + "x");
  }
}

// A header followed by records, the way the sample file is read: text
// items, counts, arrays filled through the Append helpers, and a record
// whose values run over two lines.
TEST(FreeFormReader, ReadsArraysOverSeveralLines) {
  std::istringstream in(
      "'My data set'  dataset name\r\n"
      "3               number of loci\r\n"
      "L1, L2, L3\r\n"
      "0.01 0.02\r\n"
      "   0.03\r\n"
      "ind1 1 2  3*0 comment\r\n");
  FreeFormReader reader(in);
  std::string name;
  int loci = 0;
  ASSERT_TRUE(reader.Read({ReadTarget::Text(name, 20)}));
  ASSERT_TRUE(reader.Read({ReadTarget::Int(loci)}));
  ASSERT_EQ(loci, 3);
  std::vector<std::string> ids(4);
  std::vector<common::ReadTarget> t;
  common::AppendTexts(t, ids, 1, 3, 4);
  ASSERT_TRUE(reader.Read(t));
  std::vector<double> rates(4, -1.0);
  t.clear();
  common::AppendReals(t, rates, 1, 3);
  ASSERT_TRUE(reader.Read(t));
  std::string id;
  std::vector<int> codes(6, 9);
  t = {ReadTarget::Text(id, 6)};
  common::AppendInts(t, codes, 1, 5);
  ASSERT_TRUE(reader.Read(t));

  EXPECT_EQ(name, "My data set         ");
  EXPECT_EQ(ids, (std::vector<std::string>{"", "L1  ", "L2  ", "L3  "}));
  EXPECT_EQ(rates, (std::vector<double>{-1.0, 0.01, 0.02, 0.03}));
  EXPECT_EQ(id, "ind1  ");
  EXPECT_EQ(codes, (std::vector<int>{9, 1, 2, 0, 0, 0}));
  EXPECT_EQ(reader.LinesRead(), 6);
}

TEST(FreeFormReader, ReadsALargeTableLineByLine) {
  constexpr int kLines = 2000;
  constexpr int kValues = 40;
  std::string content;
  for (int i = 1; i <= kLines; ++i) {
    content += "id" + std::to_string(i);
    for (int v = 1; v <= kValues; ++v) content += ' ' + std::to_string(i % 7 + v);
    content += '\n';
  }
  std::istringstream in(content);
  FreeFormReader reader(in);
  std::string id;
  std::vector<int> row(kValues + 1);
  std::vector<ReadTarget> t{ReadTarget::Text(id, 20)};
  common::AppendInts(t, row, 1, kValues);
  for (int i = 1; i <= kLines; ++i) {
    ASSERT_TRUE(reader.Read(t));
    ASSERT_EQ(id.substr(0, 2 + std::to_string(i).size()), "id" + std::to_string(i));
    ASSERT_EQ(row[kValues], i % 7 + kValues);
  }
  EXPECT_FALSE(reader.Read(t));
  EXPECT_EQ(reader.LinesRead(), kLines);
}

}  // namespace
