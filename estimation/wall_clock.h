// Local date and time of day for the start-up wait and the run's time stamps.
#pragma once

#include <string>

namespace estimation {

struct LocalStamp {
  int Year = 0, Month = 0, Day = 0;
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// The current local date and time, to the millisecond.
LocalStamp LocalNow();

// Milliseconds since local midnight of a time of day.
long long MsOfDay(const LocalStamp& t);

// Milliseconds from one time-of-day reading to a later one; a later reading
// that is smaller lies on the next day (the wait spans midnight).
long long ElapsedMsOfDay(long long first, long long now);

// "CCYYMMDD" and "hhmmss.sss".
std::string DateText(const LocalStamp& t);
std::string TimeText(const LocalStamp& t);

}  // namespace estimation
