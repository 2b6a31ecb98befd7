#include "platform/core/Clock.h"

namespace veltry {

namespace {
std::shared_ptr<Clock>& current()
{
    static std::shared_ptr<Clock> clock = std::make_shared<SystemClock>();
    return clock;
}
} // namespace

const Clock& Clock::instance()
{
    return *current();
}

void Clock::setInstance(std::shared_ptr<Clock> clock)
{
    current() = clock ? std::move(clock) : std::make_shared<SystemClock>();
}

} // namespace veltry
