#pragma once
// The calendar time of the machine's time zone for a count of seconds since 1970.

#include <cstdint>
#include <ctime>

std::tm LocalCalendarTime(std::int64_t seconds);
