#include "dsp/fft.h"

#include <fftw3.h>

#include <map>
#include <new>
#include <mutex>
#include <stdexcept>
#include <string>
#include <tuple>

namespace dsp {

namespace {

// FFTW's planner is not thread-safe; executing a plan, also on other arrays, is. Planning costs
// about as much as a transform (the twiddle factors), so plans are kept per length, direction and
// the array's alignment, which a plan run on another array must share.
std::mutex& plannerMutex() {
    static std::mutex mutex;
    return mutex;
}

fftw_plan planFor(fftw_complex* io, int n, int sign) {
    // Never destroyed: a transform during another static object's destruction still finds it.
    static auto* plans = new std::map<std::tuple<int, int, int>, fftw_plan>;
    std::lock_guard lock(plannerMutex());
    fftw_plan& plan = (*plans)[{n, sign, fftw_alignment_of(reinterpret_cast<double*>(io))}];
    // FFTW_ESTIMATE leaves the array's contents alone.
    if (!plan) plan = fftw_plan_dft_1d(n, io, io, sign, FFTW_ESTIMATE);
    if (!plan) throw std::runtime_error("no transform plan for " + std::to_string(n) + " points");
    return plan;
}

void transform(CVec& x, int sign) {
    if (x.empty()) return;
    auto* io = reinterpret_cast<fftw_complex*>(x.data());
    fftw_execute_dft(planFor(io, static_cast<int>(x.size()), sign), io, io);
}

}  // namespace

void fft(CVec& x) { transform(x, FFTW_FORWARD); }

void ifft(CVec& x) {
    transform(x, FFTW_BACKWARD);
    const double scale = 1.0 / static_cast<double>(x.size());
    for (auto& v : x) v *= scale;
}

Fft::Fft(std::size_t n) : n_(n) {
    if (n == 0) return;
    buffer_ = reinterpret_cast<cplx*>(fftw_malloc(sizeof(fftw_complex) * n));
    if (!buffer_) throw std::bad_alloc();
    auto* io = reinterpret_cast<fftw_complex*>(buffer_);
    {
        std::lock_guard lock(plannerMutex());
        plan_ = fftw_plan_dft_1d(static_cast<int>(n), io, io, FFTW_FORWARD, FFTW_ESTIMATE);
    }
    if (!plan_) {
        fftw_free(buffer_);
        throw std::runtime_error("no transform plan for " + std::to_string(n) + " points");
    }
}

Fft::~Fft() {
    if (plan_) {
        std::lock_guard lock(plannerMutex());
        fftw_destroy_plan(static_cast<fftw_plan>(plan_));
    }
    if (buffer_) fftw_free(buffer_);
}

void Fft::run() {
    if (plan_) fftw_execute(static_cast<fftw_plan>(plan_));
}

}  // namespace dsp
