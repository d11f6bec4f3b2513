#pragma once
// The settings comparison that decides whether a waveform is stale.
#include "host/core/value.h"

namespace host {

// True when a and b are records with the same field names in the same order and equal field
// values. Empty values of any kind are equal; numeric arrays of equal size that differ somewhere
// still count as equal when both hold NaNs and the same number of them (NaN itself never equals
// anything). Anything that is not a record compares unequal.
bool compareStruct(const Value& a, const Value& b);

}  // namespace host
