#include "instrument/core/link_ops.h"

#include <cmath>
#include <limits>

namespace instrument {

namespace {

std::int32_t toInt32(double x) {
    if (std::isnan(x)) return 0;
    const double r = std::round(x);
    if (r >= std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (r <= std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(r);
}

}  // namespace

hwio::Config linkConfig(const model::Configuration& config) {
    hwio::Config out;
    out.type = config.type;
    out.GPIB = hwio::Config::Gpib{toInt32(config.GPIB.board), toInt32(config.GPIB.primary),
                                  toInt32(config.GPIB.secondary)};
    out.RS232 = hwio::Config::Rs232{toInt32(config.RS232.port), toInt32(config.RS232.baudrate), config.RS232.handshake};
    out.TCPIP = hwio::Config::Tcpip{config.TCPIP.address, toInt32(config.TCPIP.board)};
    return out;
}

hwio::Result hwPing(hwio::Link& link) { return link.run(hwio::kPing); }

hwio::Result hwSend(hwio::Link& link, std::string_view command) { return link.run(hwio::kSend, command); }

hwio::Result hwQuery(hwio::Link& link, std::string_view query) { return link.run(hwio::kQuery, query); }

hwio::Result hwDownload(hwio::Link& link, const dsp::CVec& data, const std::array<dsp::Bits, 2>& markers,
                        const std::string& filename) {
    hwio::Waveform w;
    w.iq = data;
    w.marker1 = markers[0];
    w.marker2 = markers[1];
    w.name = filename;
    return link.run(hwio::kDownload, {}, &w);
}

hwio::Result hwReturnLocal(hwio::Link& link) { return link.run(hwio::kLocal); }

hwio::Result VerifyComm(hwio::Link& link) { return hwPing(link); }

}  // namespace instrument
