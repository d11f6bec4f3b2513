#pragma once
// Stores that bypass the cache, for large results written once and read much later.
#include "dsp/types.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace dsp {

inline void streamStore(cplx* to, double re, double im) {
#ifdef __SSE2__
    _mm_stream_pd(reinterpret_cast<double*>(to), _mm_set_pd(im, re));
#else
    *to = {re, im};
#endif
}

// Orders the streamed stores before anything that follows.
inline void streamFence() {
#ifdef __SSE2__
    _mm_sfence();
#endif
}

}  // namespace dsp
