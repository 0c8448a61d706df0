#include "app/zk_time.h"

CZkTime::CZkTime() : time_(platform::CurrentClock().Now()) {}

void CZkTime::SetToNow() { time_ = platform::CurrentClock().Now(); }
