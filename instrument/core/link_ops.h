#pragma once
// The link operations every instrument command goes through. Each takes the link settings as
// a record (the `configuration` record or one read from the connection dialog), brings its
// numeric fields into whole-number form and hands the request to the I/O component.
#include <array>
#include <string>
#include <string_view>

#include "dsp/types.h"
#include "host/core/value.h"
#include "hwio/link.h"

namespace instrument {

// The link fields of `config` that exist, numbers rounded to 32-bit integers (halves away from
// zero, saturating, NaN as 0); a missing sub-record or field stays missing. Throws
// std::invalid_argument naming a field that holds something other than a number or text.
hwio::Config formatconfig(const host::Value& config);

hwio::Result hwPing(const host::Value& config, const hwio::Options& options = {});
hwio::Result hwSend(const host::Value& config, std::string_view command, const hwio::Options& options = {});
hwio::Result hwQuery(const host::Value& config, std::string_view query, const hwio::Options& options = {});
// The fourth and fifth arguments are accepted and not used: the component always gets "norm", 1.
hwio::Result hwDownload(const host::Value& config, const dsp::CVec& data, const std::array<dsp::Bits, 2>& markers,
                        const host::Value& norm, const host::Value& scale, const std::string& filename,
                        const hwio::Options& options = {});
hwio::Result hwReturnLocal(const host::Value& config, const hwio::Options& options = {});
// The connection check: exactly what the ping returns.
hwio::Result VerifyComm(const host::Value& config, const hwio::Options& options = {});

}  // namespace instrument
