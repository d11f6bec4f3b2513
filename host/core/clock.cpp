#include "host/core/clock.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <thread>

namespace host {

ClockReading SystemClock::now() {
    const auto t = std::chrono::system_clock::now();
    const std::time_t secs = std::chrono::system_clock::to_time_t(t);
    std::tm local{};
    localtime_r(&secs, &local);
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count() % 1000000;
    return {double(local.tm_year + 1900), double(local.tm_mon + 1), double(local.tm_mday), double(local.tm_hour),
            double(local.tm_min), local.tm_sec + micros / 1e6};
}

double SystemClock::elapsed() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void SystemClock::pause(double seconds) {
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

std::string clock2str(const ClockReading& c) {
    static const char* const months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                         "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const int month = static_cast<int>(c[1]);
    const char* name = month >= 1 && month <= 12 ? months[month - 1] : "???";
    char text[64];
    std::snprintf(text, sizeof text, "%02d%s%d %d:%02d:%02d", static_cast<int>(c[2]), name, static_cast<int>(c[0]),
                  static_cast<int>(c[3]), static_cast<int>(c[4]), static_cast<int>(std::floor(c[5])));
    return text;
}

}  // namespace host
