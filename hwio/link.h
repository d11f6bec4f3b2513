#pragma once
// The instrument I/O component's C++ side: link settings, the five operations by code, and
// their options (time-outs, another serial device, download progress).
#include <complex>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>

namespace hwio {

// Operation codes.
enum Code : std::int32_t { kPing = 1, kSend = 2, kQuery = 3, kDownload = 4, kLocal = 5 };

// Status values; 0 is success.
enum Status : std::int32_t {
    kOk = 0,
    kBadArgument = 1,
    kConnectFailed = 2,
    kTimeout = 3,
    kConnectionLost = 4,
    kBadReply = 5,
    kInstrumentError = 6,
    kCancelled = 7,
    kNoDriver = 8,
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

class Session;
class Transport;

// One connection for a sequence of operations (a download and its playback lines): opened by the
// first operation and kept while they succeed or fail only at the instrument; after the link
// itself failed, the next operation connects again.
class Link {
public:
    explicit Link(Config config, Options options = {});
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Code 2 sends `text` as a command, code 3 as a query; code 4 downloads `waveform`. Failures
    // of the link or the instrument come back as a status with a text for the user; only a call
    // that breaks this interface (an unknown code, no waveform for code 4) throws
    // std::invalid_argument.
    Result run(std::int32_t code, std::string_view text = {}, const Waveform* waveform = nullptr);

    // Read by every operation; clearErrors may change between them.
    Options& options() { return options_; }

private:
    Result perform(std::int32_t code, std::string_view text, const Waveform* waveform);

    const Config config_;
    Options options_;
    std::unique_ptr<Transport> transport_;
    std::unique_ptr<Session> session_;
};

// One operation on a link of its own.
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
