#include "plots/core/fft.h"

#include <fftw3.h>
#include <new>
#include <stdexcept>
#include <string>

namespace plots {

Fft::Fft(std::size_t n) : n_(n) {
    if (n == 0) return;
    buffer_ = reinterpret_cast<std::complex<double>*>(fftw_malloc(sizeof(fftw_complex) * n));
    if (!buffer_) throw std::bad_alloc();
    auto* io = reinterpret_cast<fftw_complex*>(buffer_);
    // Measuring plans takes far longer than the transforms themselves at these lengths.
    plan_ = fftw_plan_dft_1d(static_cast<int>(n), io, io, FFTW_FORWARD, FFTW_ESTIMATE);
    if (!plan_) {
        fftw_free(buffer_);
        throw std::runtime_error("no transform plan for " + std::to_string(n) + " points");
    }
}

Fft::~Fft() {
    if (plan_) fftw_destroy_plan(static_cast<fftw_plan>(plan_));
    if (buffer_) fftw_free(buffer_);
}

void Fft::run() {
    if (plan_) fftw_execute(static_cast<fftw_plan>(plan_));
}

}  // namespace plots
