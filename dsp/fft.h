#pragma once
// Discrete Fourier transforms (FFTW, estimated plans): whole vectors in place, and one length
// planned once for many inputs.
#include <cstddef>

#include "dsp/types.h"

namespace dsp {

// X(k) = sum x(t) e^{-j 2 pi k t / n}.
void fft(CVec& x);
// The inverse, scaled by 1/n so that ifft(fft(x)) == x.
void ifft(CVec& x);

// Forward transforms of one length with a plan of their own, freed with the object (the plots'
// spectra come in many lengths, which the shared plans of fft() would keep for good).
class Fft {
public:
    explicit Fft(std::size_t n);
    ~Fft();
    Fft(const Fft&) = delete;
    Fft& operator=(const Fft&) = delete;

    std::size_t size() const { return n_; }
    // Fill, run, read back: the transform works in place on this buffer.
    cplx* data() { return buffer_; }
    void run();

private:
    std::size_t n_;
    cplx* buffer_ = nullptr;
    void* plan_ = nullptr;
};

}  // namespace dsp
