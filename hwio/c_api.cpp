// The C interface over the C++ operations.
#include <cstdlib>
#include <cstring>
#include <exception>

#include "hwio/hwio.h"
#include "hwio/link.h"

namespace {

char* copyText(const std::string& s) {
    char* out = static_cast<char*>(std::malloc(s.size() + 1));
    if (out) std::memcpy(out, s.c_str(), s.size() + 1);
    return out;
}

hwio::Config toConfig(const hwio_config& c) {
    hwio::Config out;
    out.type = c.type ? c.type : "";
    auto has = [&c](unsigned bit) { return (c.present & bit) != 0; };
    if (has(HWIO_HAS_GPIB_BOARD | HWIO_HAS_GPIB_PRIMARY | HWIO_HAS_GPIB_SECONDARY)) {
        auto& g = out.GPIB.emplace();
        if (has(HWIO_HAS_GPIB_BOARD)) g.board = c.gpib_board;
        if (has(HWIO_HAS_GPIB_PRIMARY)) g.primary = c.gpib_primary;
        if (has(HWIO_HAS_GPIB_SECONDARY)) g.secondary = c.gpib_secondary;
    }
    if (has(HWIO_HAS_RS232_PORT | HWIO_HAS_RS232_BAUDRATE | HWIO_HAS_RS232_HANDSHAKE)) {
        auto& r = out.RS232.emplace();
        if (has(HWIO_HAS_RS232_PORT)) r.port = c.rs232_port;
        if (has(HWIO_HAS_RS232_BAUDRATE)) r.baudrate = c.rs232_baudrate;
        if (has(HWIO_HAS_RS232_HANDSHAKE) && c.rs232_handshake) r.handshake = c.rs232_handshake;
    }
    if (has(HWIO_HAS_TCPIP_ADDRESS | HWIO_HAS_TCPIP_BOARD)) {
        auto& t = out.TCPIP.emplace();
        if (has(HWIO_HAS_TCPIP_ADDRESS) && c.tcpip_address) t.address = c.tcpip_address;
        if (has(HWIO_HAS_TCPIP_BOARD)) t.board = c.tcpip_board;
    }
    return out;
}

}  // namespace

extern "C" int32_t hwIO(int32_t code, const hwio_config* config, const char* text, const hwio_waveform* waveform,
                        char** response) {
    hwio::Result r;
    try {
        if (!config) throw std::invalid_argument("hwIO: no link settings");
        hwio::Waveform w;
        if (waveform) {
            if (!waveform->iq && waveform->count) throw std::invalid_argument("hwIO: the waveform has no samples");
            w.iq = {reinterpret_cast<const std::complex<double>*>(waveform->iq), waveform->count};
            if (waveform->marker1) w.marker1 = {waveform->marker1, waveform->count};
            if (waveform->marker2) w.marker2 = {waveform->marker2, waveform->count};
            w.norm = waveform->norm ? waveform->norm : "";
            w.scale = waveform->scale;
            w.name = waveform->name ? waveform->name : "";
        }
        r = hwio::hwIO(code, toConfig(*config), text ? text : "", waveform ? &w : nullptr);
    } catch (const std::exception& e) {
        r = {HWIO_BAD_ARGUMENT, e.what()};
    }
    if (response) *response = copyText(r.response);
    return r.status;
}

extern "C" void hwio_free(char* response) { std::free(response); }
