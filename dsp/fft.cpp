#include "dsp/fft.h"

#include <fftw3.h>

#include <mutex>
#include <stdexcept>
#include <string>

namespace dsp {

namespace {

// FFTW's planner is not thread-safe; executing a plan is.
std::mutex& plannerMutex() {
    static std::mutex m;
    return m;
}

void transform(CVec& x, int sign) {
    if (x.empty()) return;
    auto* io = reinterpret_cast<fftw_complex*>(x.data());
    fftw_plan plan;
    {
        std::lock_guard lock(plannerMutex());
        plan = fftw_plan_dft_1d(static_cast<int>(x.size()), io, io, sign, FFTW_ESTIMATE);
    }
    if (!plan) throw std::runtime_error("no transform plan for " + std::to_string(x.size()) + " points");
    fftw_execute(plan);
    std::lock_guard lock(plannerMutex());
    fftw_destroy_plan(plan);
}

}  // namespace

void fft(CVec& x) { transform(x, FFTW_FORWARD); }

void ifft(CVec& x) {
    transform(x, FFTW_BACKWARD);
    const double scale = 1.0 / static_cast<double>(x.size());
    for (auto& v : x) v *= scale;
}

}  // namespace dsp
