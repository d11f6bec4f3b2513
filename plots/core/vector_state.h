#pragma once
// Painting code of the window system may leave the upper halves of the processor's AVX registers
// in use. Until they are cleared, every plain SSE instruction after it waits on them: the
// logarithms of a million samples take twenty times as long. The plots clear them before their
// long loops.
namespace plots {

void clearVectorState();

}  // namespace plots
