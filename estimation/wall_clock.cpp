#include "estimation/wall_clock.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace estimation {

namespace {
constexpr long long kMsPerDay = 24LL * 60 * 60 * 1000;
}  // namespace

LocalStamp LocalNow() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t secs = system_clock::to_time_t(now);
  const auto since_second = now - system_clock::from_time_t(secs);
  long long ms = duration_cast<milliseconds>(since_second).count();
  if (ms < 0) ms = 0;  // to_time_t may round up on some libraries
  if (ms > 999) ms = 999;
  std::tm tm{};
  localtime_r(&secs, &tm);
  LocalStamp t;
  t.Year = tm.tm_year + 1900;
  t.Month = tm.tm_mon + 1;
  t.Day = tm.tm_mday;
  t.Hour = tm.tm_hour;
  t.Minute = tm.tm_min;
  t.Second = tm.tm_sec;
  t.Millisecond = static_cast<int>(ms);
  return t;
}

long long MsOfDay(const LocalStamp& t) {
  return ((static_cast<long long>(t.Hour) * 60 + t.Minute) * 60 + t.Second) * 1000 +
         t.Millisecond;
}

long long ElapsedMsOfDay(long long first, long long now) {
  return now >= first ? now - first : now + kMsPerDay - first;
}

std::string DateText(const LocalStamp& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", t.Year, t.Month, t.Day);
  return buf;
}

std::string TimeText(const LocalStamp& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d%02d%02d.%03d", t.Hour, t.Minute, t.Second,
                t.Millisecond);
  return buf;
}

}  // namespace estimation
