// An identifier leaves the programs unquoted: the companion writes it into
// the assignment files, and a replicate's sample file holds it at the start
// of an individual line. The main program reads both back as free-form
// values. The readers accept an identifier only when that round trip gives
// it back as itself; each case here is written the way the programs write
// it and read back the way they read it, and the rule must agree with the
// round trip both ways.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "common/fixed_format.h"
#include "common/free_form_reader.h"
#include "estimation/pass_tables.h"
#include "pairwise/assignment.h"

namespace {

// Both assignment-file fields hold the identifier once, among other rows.
bool ReadsBackFromAnAssignmentFile(const std::string& id) {
  const std::string text = pairwise::AssignmentHeader() + "\n" +
                           pairwise::AssignmentRow(id, "P1", "95% ") + "\n" +
                           pairwise::AssignmentRow("O1", id, "90% ") + "\n" +
                           pairwise::AssignmentRow("O2", "P2", "50% ") + "\n";
  std::istringstream in(text);
  const auto rows = estimation::ReadAssignments(in, 0);
  const auto is = [](const std::string& read, const std::string& want) {
    return common::TrimRight(read) == want;
  };
  return rows.size() == 3 && is(rows[0].OffspringID, id) && is(rows[0].ParentID, "P1") &&
         is(rows[1].OffspringID, "O1") && is(rows[1].ParentID, id) &&
         is(rows[2].OffspringID, "O2") && is(rows[2].ParentID, "P2");
}

// The main program's re-read of the sample file: fourteen header lines,
// then the identifier, sex and age at the start of each individual line.
bool ReadsBackFromASampleFileLine(const std::string& id) {
  std::string text;
  for (int i = 1; i <= 14; ++i) text += "h\n";
  text += id + " 1 2 10 11\nNext 2 0 10 11\n";
  std::istringstream in(text);
  const estimation::SampleRoster r = estimation::ReadSampleRoster(in, 2, 0);
  return r.ID[1] == common::PadRight(id, 20) && r.Sex[1] == 1 && r.Age[1] == 2 &&
         r.ID[2] == common::PadRight("Next", 20) && r.Sex[2] == 2;
}

struct IdCase {
  const char* name;
  std::string id;  // as stored: at most 20 characters
  bool accepted;
};

const IdCase kCases[] = {
    {"letters and digits", "M03168", true},
    {"digits only", "12345", true},
    {"twenty characters", "ABCDEFGHIJKLMNOPQRST", true},
    {"punctuation", "F-03.a_b#1!(x)", true},
    {"apostrophe inside", "O'Brien", true},
    {"quotation mark inside", "a\"b", true},
    {"asterisk not after digits", "A*2", true},
    {"asterisk first", "*A", true},
    {"sign before digits and asterisk", "+3*A", true},
    {"bytes beyond ASCII", "Ind\xC3\xA9", true},
    {"two identifiers", "M03168 F03033", false},
    {"leading blank", " M03168", false},
    {"tab", "M03\t168", false},
    {"carriage return", "M03\r168", false},
    {"comma", "M03,168", false},
    {"slash", "108/114", false},
    {"apostrophe first", "'M03168", false},
    {"quotation mark first", "\"M03168", false},
    {"repeat form", "3*M03168", false},
    {"one copy", "1*M03168", false},
    {"nulls", "12*", false},
    {"zero copies", "0*A", false},
    {"blank", "", false},
};

TEST(IdentifierRoundTrip, RuleAgreesWithWritingAndReadingBack) {
  for (const IdCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(common::ReadsBackUnquoted(c.id), c.accepted);
    EXPECT_EQ(common::ReadsBackUnquoted(common::PadRight(c.id, 20)), c.accepted);
    EXPECT_EQ(ReadsBackFromAnAssignmentFile(c.id) && ReadsBackFromASampleFileLine(c.id),
              c.accepted);
  }
}

}  // namespace
