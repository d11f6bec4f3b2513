#pragma once
// The instrument I/O component's C++ side: link settings, the five operations by code, and
// what the C interface does not offer (time-outs, another serial device, download progress).
#include <complex>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>

#include "hwio/hwio.h"

namespace hwio {

enum Status : std::int32_t {
    kOk = HWIO_OK,
    kBadArgument = HWIO_BAD_ARGUMENT,
    kConnectFailed = HWIO_CONNECT_FAILED,
    kTimeout = HWIO_TIMEOUT,
    kConnectionLost = HWIO_CONNECTION_LOST,
    kBadReply = HWIO_BAD_REPLY,
    kInstrumentError = HWIO_INSTRUMENT_ERROR,
    kCancelled = HWIO_CANCELLED,
    kNoDriver = HWIO_NO_DRIVER,
};

// Link settings with whole-number fields; a missing sub-record or field takes its default.
struct Config {
    struct Gpib {
        std::optional<std::int32_t> board, primary, secondary;
        bool operator==(const Gpib&) const = default;
    };
    struct Rs232 {
        std::optional<std::int32_t> port, baudrate;
        std::optional<std::string> handshake;
        bool operator==(const Rs232&) const = default;
    };
    struct Tcpip {
        std::optional<std::string> address;
        std::optional<std::int32_t> board;
        bool operator==(const Tcpip&) const = default;
    };
    std::string type;
    std::optional<Gpib> GPIB;
    std::optional<Rs232> RS232;
    std::optional<Tcpip> TCPIP;
    bool operator==(const Config&) const = default;
};

struct Result {
    std::int32_t status = kOk;
    std::string response;
};

// What an operation is doing: connecting, sending (`done` of `total` bytes of a download; 0 of 0
// for a command line) or waiting for the instrument's answer.
enum class Stage { Connecting, Sending, Waiting };
// Called on the thread that runs the operation.
using Progress = std::function<void(Stage stage, std::size_t done, std::size_t total)>;

struct Options {
    // Seconds any step may wait without a byte moving: connecting, a reply (the instrument's
    // completion of a download included) or a write the link does not take.
    double timeout = 10;
    // Ends the operation at its next wait (within a tenth of a second) with status kCancelled.
    std::stop_token stop;
    std::string serialDevice;  // used instead of /dev/ttyS(port - 1) when set
    std::string gpibLibrary = "libgpib.so.0";
    // Where VXI-11 asks for the instrument's core channel when the address names no port.
    std::uint16_t portmapperPort = 111;
    Progress progress;
    std::size_t pieceBytes = 256 * 1024;  // download progress goes by pieces of this size
    // A send, query or download first clears errors other clients left in the instrument's
    // queue; false keeps them, so that the operation reports them (reading the queue back).
    bool clearErrors = true;
};

struct Waveform {
    std::span<const std::complex<double>> iq;
    std::span<const std::uint8_t> marker1;  // empty, or one 0/1 value per sample
    std::span<const std::uint8_t> marker2;
    std::string norm = "norm";
    double scale = 1;
    std::string name;
};

// Code 2 sends `text` as a command, code 3 as a query; code 4 downloads `waveform`. Failures of
// the link or the instrument come back as a status with a text for the user; only a call that
// breaks this interface (an unknown code, no waveform for code 4) throws std::invalid_argument.
Result hwIO(std::int32_t code, const Config& config, std::string_view text = {}, const Waveform* waveform = nullptr,
            const Options& options = {});

// Full scale of the 16-bit I/Q words sent to the instrument.
constexpr double kFullScale = 32767;

// The download's I/Q block: big-endian signed 16-bit I, Q per sample. "norm" brings the largest
// I or Q magnitude to scale x full scale; any other `norm` takes the values as fractions of full
// scale, clipped. Throws std::invalid_argument for a sample that is not a finite number.
std::string iqBytes(std::span<const std::complex<double>> iq, std::string_view norm, double scale);
// One byte per sample: bit 0 marker 1, bit 1 marker 2.
std::string markerBytes(std::span<const std::uint8_t> marker1, std::span<const std::uint8_t> marker2,
                        std::size_t count);

}  // namespace hwio
