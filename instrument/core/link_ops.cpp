#include "instrument/core/link_ops.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace instrument {

namespace {

std::int32_t toInt32(double x) {
    if (std::isnan(x)) return 0;
    const double r = std::round(x);
    if (r >= std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (r <= std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(r);
}

const host::Value* subRecord(const host::Value& config, std::string_view name) {
    const host::Value* v = config.find(name);
    return v && v->isRecord() ? v : nullptr;
}

void number(const host::Value& record, std::string_view path, std::string_view name, std::optional<std::int32_t>& out) {
    const host::Value* v = record.find(name);
    if (!v || v->isEmpty()) return;
    if (!v->isNumeric() || v->numel() != 1 || v->isComplex())
        throw std::invalid_argument("configuration." + std::string(path) + "." + std::string(name) +
                                    " must be one number, not " + v->describe());
    out = toInt32(v->real().front());
}

void text(const host::Value& record, std::string_view path, std::string_view name, std::optional<std::string>& out) {
    const host::Value* v = record.find(name);
    if (!v) return;
    if (!v->isText())
        throw std::invalid_argument("configuration." + std::string(path) + "." + std::string(name) +
                                    " must be text, not " + v->describe());
    out = v->text();
}

}  // namespace

hwio::Config formatconfig(const host::Value& config) {
    if (!config.isRecord()) throw std::invalid_argument("the link settings must be a record, not " + config.describe());
    hwio::Config out;
    if (const host::Value* t = config.find("type")) {
        if (!t->isText()) throw std::invalid_argument("configuration.type must be text, not " + t->describe());
        out.type = t->text();
    }
    if (const host::Value* g = subRecord(config, "GPIB")) {
        auto& o = out.GPIB.emplace();
        number(*g, "GPIB", "board", o.board);
        number(*g, "GPIB", "primary", o.primary);
        number(*g, "GPIB", "secondary", o.secondary);
    }
    if (const host::Value* r = subRecord(config, "RS232")) {
        auto& o = out.RS232.emplace();
        number(*r, "RS232", "port", o.port);
        number(*r, "RS232", "baudrate", o.baudrate);
        text(*r, "RS232", "handshake", o.handshake);
    }
    if (const host::Value* t = subRecord(config, "TCPIP")) {
        auto& o = out.TCPIP.emplace();
        text(*t, "TCPIP", "address", o.address);
        number(*t, "TCPIP", "board", o.board);
    }
    return out;
}

hwio::Result hwPing(const host::Value& config, const hwio::Options& options) {
    return hwio::hwIO(HWIO_PING, formatconfig(config), {}, nullptr, options);
}

hwio::Result hwSend(const host::Value& config, std::string_view command, const hwio::Options& options) {
    return hwio::hwIO(HWIO_SEND, formatconfig(config), command, nullptr, options);
}

hwio::Result hwQuery(const host::Value& config, std::string_view query, const hwio::Options& options) {
    return hwio::hwIO(HWIO_QUERY, formatconfig(config), query, nullptr, options);
}

hwio::Result hwDownload(const host::Value& config, const dsp::CVec& data, const std::array<dsp::Bits, 2>& markers,
                        const host::Value&, const host::Value&, const std::string& filename,
                        const hwio::Options& options) {
    hwio::Waveform w;
    w.iq = data;
    w.marker1 = markers[0];
    w.marker2 = markers[1];
    w.norm = "norm";
    w.scale = 1;
    w.name = filename;
    return hwio::hwIO(HWIO_DOWNLOAD, formatconfig(config), {}, &w, options);
}

hwio::Result hwReturnLocal(const host::Value& config, const hwio::Options& options) {
    return hwio::hwIO(HWIO_LOCAL, formatconfig(config), {}, nullptr, options);
}

hwio::Result VerifyComm(const host::Value& config, const hwio::Options& options) { return hwPing(config, options); }

}  // namespace instrument
