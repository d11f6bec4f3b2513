#pragma once
// Discrete Fourier transforms of one length, planned once and run on many inputs.
#include <complex>
#include <cstddef>

namespace plots {

class Fft {
public:
    explicit Fft(std::size_t n);
    ~Fft();
    Fft(const Fft&) = delete;
    Fft& operator=(const Fft&) = delete;

    std::size_t size() const { return n_; }
    // Fill, run, read back: the transform works in place on this buffer.
    std::complex<double>* data() { return buffer_; }
    void run();

private:
    std::size_t n_;
    std::complex<double>* buffer_ = nullptr;
    void* plan_ = nullptr;
};

}  // namespace plots
