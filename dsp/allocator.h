#pragma once

namespace dsp {

// Frames of up to tens of megabytes are allocated and freed on every calculation. Keeping such
// blocks in the heap, instead of handing them back to the system and faulting them in afresh,
// saves more time than the filtering itself. Programs call this once at start.
void keepLargeBuffers();

}  // namespace dsp
