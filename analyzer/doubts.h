#pragma once
// The analyzer's checks of its own reading: each one that fails is a sentence for the user, and
// a reading with any is not reported as a success.
#include <cstddef>
#include <string>
#include <vector>

#include "analyzer/content.h"
#include "analyzer/result.h"

namespace analyzer {

// A reading of the same samples from another start that the traffic bits match less well than
// the one chosen, but not clearly worse.
struct NearReading {
    Reading reading;
    std::size_t bitErrors = 0;
};

// `slots`: the slot readings behind `r` (slot 1 first); `near`: the readings its traffic bits
// match less well, but within a tenth of errors.
std::vector<std::string> doubtsOf(const Result& r, const std::vector<SlotReading>& slots,
                                  const std::vector<NearReading>& near);

// Whether `errors` bit errors are within the noise of `fewest`: alternatives that fit as well.
bool fitsAsWell(std::size_t errors, std::size_t fewest);

}  // namespace analyzer
