#include "platform/LocalTime.h"

std::tm LocalCalendarTime(std::int64_t seconds)
{
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local {};
    ::localtime_s(&local, &time);
    return local;
}
