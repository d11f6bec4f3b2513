#pragma once
// The link operations every instrument command goes through, on one open link (hwio::Link) made
// from the `configuration` record by linkConfig.
#include <array>
#include <string>
#include <string_view>

#include "dsp/types.h"
#include "hwio/link.h"
#include "model/records.h"

namespace instrument {

// The link fields of `config` as the I/O component takes them, numbers rounded to 32-bit
// integers (halves away from zero, saturating, NaN as 0).
hwio::Config linkConfig(const model::Configuration& config);

hwio::Result hwPing(hwio::Link& link);
hwio::Result hwSend(hwio::Link& link, std::string_view command);
hwio::Result hwQuery(hwio::Link& link, std::string_view query);
// The component always normalises: the largest I or Q magnitude becomes full scale.
hwio::Result hwDownload(hwio::Link& link, const dsp::CVec& data, const std::array<dsp::Bits, 2>& markers,
                        const std::string& filename);
hwio::Result hwReturnLocal(hwio::Link& link);
// The connection check: exactly what the ping returns.
hwio::Result VerifyComm(hwio::Link& link);

}  // namespace instrument
