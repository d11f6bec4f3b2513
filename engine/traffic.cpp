#include "engine/traffic.h"

#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

#include "dsp/number_text.h"
#include "engine/walsh.h"

namespace engine {

namespace {

constexpr double kGain = 0.25;

using SymbolTable = std::array<dsp::cplx, 16>;

// Symbols indexed by the bits of one symbol, the first bit most significant.
const std::array<SymbolTable, 3>& symbolTables() {
    static const auto tables = [] {
        std::array<SymbolTable, 3> t{};
        const double qpsk = 1.0 / std::sqrt(2.0);
        for (unsigned v = 0; v < 4; ++v) {
            const double i = 1.0 - 2.0 * ((v >> 1) & 1u);
            const double q = 1.0 - 2.0 * (v & 1u);
            t[0][v] = {i * qpsk, q * qpsk};
        }
        const double c = std::cos(std::numbers::pi / 8);
        const double s = std::sin(std::numbers::pi / 8);
        for (unsigned v = 0; v < 8; ++v) {
            const bool swap = (v >> 2) & 1u;
            const double i = (swap ? s : c) * (1.0 - 2.0 * ((v >> 1) & 1u));
            const double q = (swap ? c : s) * (1.0 - 2.0 * (v & 1u));
            t[1][v] = {i, q};
        }
        const double qam = 1.0 / std::sqrt(10.0);
        auto level = [](unsigned b1, unsigned b2) { return (3.0 - 2.0 * b1) * (1.0 - 2.0 * b2); };
        for (unsigned v = 0; v < 16; ++v) {
            const double i = level((v >> 3) & 1u, (v >> 2) & 1u);
            const double q = level((v >> 1) & 1u, v & 1u);
            t[2][v] = {i * qam, q * qam};
        }
        return t;
    }();
    return tables;
}

unsigned symbolIndex(std::span<const std::uint8_t> bits) {
    unsigned v = 0;
    for (std::uint8_t b : bits) v = (v << 1) | (b != 0 ? 1u : 0u);
    return v;
}

// In-place Walsh–Hadamard transform of 16 values: y(n) = sum_i x(i) W16(i, n).
void walshTransform16(dsp::cplx* x) {
    for (std::size_t h = 1; h < kTrafficStreams; h *= 2)
        for (std::size_t i = 0; i < kTrafficStreams; i += 2 * h)
            for (std::size_t j = i; j < i + h; ++j) {
                const dsp::cplx a = x[j];
                const dsp::cplx b = x[j + h];
                x[j] = a + b;
                x[j + h] = a - b;
            }
}

}  // namespace

int bitsPerSymbol(double format) {
    if (format == 1) return 2;
    if (format == 2) return 3;
    if (format == 3) return 4;
    throw std::invalid_argument("DATAformat = " + dsp::generalText(format) +
                                " is not a modulation format (1 QPSK, 2 8-PSK, 3 16-QAM)");
}

dsp::cplx Zuno_IQmap(std::span<const std::uint8_t> data, double format) {
    const int k = bitsPerSymbol(format);
    if (data.size() != static_cast<std::size_t>(k))
        throw std::invalid_argument("A symbol of DATAformat " + dsp::generalText(format) + " takes " + std::to_string(k) +
                                    " bits, got " + std::to_string(data.size()));
    return symbolTables()[static_cast<std::size_t>(k - 2)][symbolIndex(data)];
}

dsp::CVec Zuno_FwdTrfModulator(std::span<const std::uint8_t> input, double format) {
    const auto k = static_cast<std::size_t>(bitsPerSymbol(format));
    const SymbolTable& table = symbolTables()[k - 2];
    const std::size_t symbols = (input.size() + k - 1) / k;
    dsp::CVec out(symbols);
    for (std::size_t s = 0; s < symbols; ++s) {
        const std::size_t first = s * k;
        // The last symbol is padded with zero bits.
        const unsigned v = symbolIndex(input.subspan(first, std::min(k, input.size() - first)));
        const std::size_t missing = first + k > input.size() ? first + k - input.size() : 0;
        out[s] = table[v << missing];
    }
    return out;
}

dsp::CVec Zuno_FwdTrfRepSeq(const dsp::CVec& data, std::size_t reqLength) {
    if (reqLength < data.size()) return dsp::CVec(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(reqLength));
    if (data.empty()) throw std::invalid_argument("No traffic symbols to repeat to " + std::to_string(reqLength));
    dsp::CVec out;
    out.reserve(reqLength);
    while (out.size() + data.size() <= reqLength) out.insert(out.end(), data.begin(), data.end());
    out.insert(out.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(reqLength - out.size()));
    return out;
}

Streams Zuno_FwdTrfDemux(const dsp::CVec& data) {
    const std::size_t perRow = (data.size() + kTrafficStreams - 1) / kTrafficStreams;
    Streams rows(kTrafficStreams, dsp::CVec(perRow));
    for (std::size_t n = 0; n < data.size(); ++n) rows[n % kTrafficStreams][n / kTrafficStreams] = data[n];
    return rows;
}

Streams Zuno_FwdTrfWalshCover(const Streams& rows) {
    if (rows.size() != kTrafficStreams)
        throw std::invalid_argument("The traffic Walsh cover needs " + std::to_string(kTrafficStreams) +
                                    " streams, got " + std::to_string(rows.size()));
    const dsp::Matrix w = Zuno_WalshMatrix(static_cast<int>(kTrafficStreams));
    Streams out(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) out[i] = Zuno_WalshCover(rows[i], w.row(i));
    return out;
}

Streams Zuno_FwdTrfChnGain(const Streams& input) {
    Streams out(input);
    for (auto& row : out)
        for (auto& v : row) v *= kGain;
    return out;
}

dsp::CVec Zuno_FwdTrfSummer(const Streams& rows) {
    if (rows.empty()) return {};
    dsp::CVec out(rows.front().size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].size() != out.size())
            throw std::invalid_argument("Traffic stream " + std::to_string(i + 1) + " holds " +
                                        std::to_string(rows[i].size()) + " chips, stream 1 holds " +
                                        std::to_string(out.size()));
        for (std::size_t n = 0; n < out.size(); ++n) out[n] += rows[i][n];
    }
    return out;
}

// Equal to the chain of stages; demultiplexing and cover together are a 16-point Walsh transform
// of each group of 16 conjugated symbols.
dsp::CVec Zuno_FwdTrfChn(std::span<const std::uint8_t> data, double format, std::size_t len) {
    const dsp::CVec symbols = Zuno_FwdTrfRepSeq(Zuno_FwdTrfModulator(data, format), len);
    const std::size_t groups = (symbols.size() + kTrafficStreams - 1) / kTrafficStreams;
    dsp::CVec out(groups * kTrafficStreams);
    for (std::size_t n = 0; n < symbols.size(); ++n) out[n] = std::conj(symbols[n]) * kGain;
    for (std::size_t g = 0; g < groups; ++g) walshTransform16(out.data() + g * kTrafficStreams);
    return out;
}

}  // namespace engine
