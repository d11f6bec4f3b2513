#pragma once
// Clock readings, a stopwatch and pauses, behind an interface so that tests can drive time.
#include <array>
#include <string>

namespace host {

// [year month day hour minute seconds], seconds with their fraction.
using ClockReading = std::array<double, 6>;

class Clock {
public:
    virtual ~Clock() = default;
    virtual ClockReading now() = 0;
    // Monotonic seconds since an arbitrary origin, for stopwatches.
    virtual double elapsed() = 0;
    virtual void pause(double seconds) = 0;
};

// The machine's local time; pause sleeps.
class SystemClock : public Clock {
public:
    ClockReading now() override;
    double elapsed() override;
    void pause(double seconds) override;
};

// "03DEC2001 9:05:03": two-digit day, month in capitals, year, hour without leading zero,
// two-digit minute, whole seconds with two digits.
std::string clock2str(const ClockReading& c);

}  // namespace host
