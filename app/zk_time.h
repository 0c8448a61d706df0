// CZkTime: the local date and time, read from the program's clock when made and
// on SetToNow. It stamps the progress lines and heads the log file; taking the
// time from CurrentClock() lets a test fix the moment.
#pragma once

#include "platform/clock.h"

class CZkTime {
 public:
  CZkTime();
  virtual ~CZkTime() = default;

  void SetToNow();

  int GetYear() const { return time_.year; }
  int GetMonth() const { return time_.month; }
  int GetDay() const { return time_.day; }
  int GetHour() const { return time_.hour; }
  int GetMinute() const { return time_.minute; }
  int GetSecond() const { return time_.second; }

 private:
  platform::LocalTime time_;
};
