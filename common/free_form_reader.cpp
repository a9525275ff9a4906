// Placeholder until this step is built.
#include "common/free_form_reader.h"
#include <stdexcept>
namespace common {
bool FreeFormReader::Read(const std::vector<ReadTarget>&) { throw std::logic_error("internal error: not built"); }
bool FreeFormReader::NextLine(std::string&) { return false; }
void AppendInts(std::vector<ReadTarget>& t, std::vector<int>& v, int first, int last) { for (int i = first; i <= last; ++i) t.push_back(ReadTarget::Int(v[i])); }
void AppendReals(std::vector<ReadTarget>& t, std::vector<double>& v, int first, int last) { for (int i = first; i <= last; ++i) t.push_back(ReadTarget::Real(v[i])); }
void AppendTexts(std::vector<ReadTarget>& t, std::vector<std::string>& v, int first, int last, std::size_t len) { for (int i = first; i <= last; ++i) t.push_back(ReadTarget::Text(v[i], len)); }
}
