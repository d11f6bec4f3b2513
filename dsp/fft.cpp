#include "dsp/fft.h"

#include <fftw3.h>

#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <tuple>

namespace dsp {

namespace {

// FFTW's planner is not thread-safe; executing a plan, also on other arrays, is. Planning costs
// about as much as a transform (the twiddle factors), so plans are kept per length, direction and
// the array's alignment, which a plan run on another array must share.
fftw_plan planFor(fftw_complex* io, int n, int sign) {
    static std::mutex mutex;
    // Never destroyed: a transform during another static object's destruction still finds it.
    static auto* plans = new std::map<std::tuple<int, int, int>, fftw_plan>;
    std::lock_guard lock(mutex);
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

}  // namespace dsp
