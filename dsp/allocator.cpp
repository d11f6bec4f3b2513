#include "dsp/allocator.h"

#include <malloc.h>

namespace dsp {

void keepLargeBuffers() {
#ifdef M_MMAP_THRESHOLD
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
#endif
}

}  // namespace dsp
