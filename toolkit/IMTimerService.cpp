#include "toolkit/IMTimerService.h"

namespace {
IMTimerService* timerService = nullptr;  // main thread only
}

IMTimerService* GetTimerService()
{
    return timerService;
}
void SetTimerService(IMTimerService* service)
{
    timerService = service;
}
