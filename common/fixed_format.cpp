// Placeholder until this step is built.
#include "common/fixed_format.h"
#include <stdexcept>
namespace common {
std::string FmtInt(long long, int) { throw std::logic_error("internal error: not built"); }
std::string FmtFixed(double, int, int) { throw std::logic_error("internal error: not built"); }
std::string FmtText(std::string_view, int) { throw std::logic_error("internal error: not built"); }
std::string RepeatChar(char c, int n) { return std::string(static_cast<std::size_t>(n > 0 ? n : 0), c); }
std::string TrimRight(std::string_view) { throw std::logic_error("internal error: not built"); }
std::string TrimBoth(std::string_view) { throw std::logic_error("internal error: not built"); }
std::string AdjustLeft(std::string_view) { throw std::logic_error("internal error: not built"); }
std::string AdjustRight(std::string_view) { throw std::logic_error("internal error: not built"); }
std::string PadRight(std::string_view, std::size_t) { throw std::logic_error("internal error: not built"); }
long long RoundHalfAway(double) { throw std::logic_error("internal error: not built"); }
}
