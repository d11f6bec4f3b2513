#pragma once
// ONC RPC as VXI-11 uses it over TCP: XDR words, call and reply messages without
// authentication, and record marking. The I/O component's VXI-11 client and zuno-sim's server
// both speak through it.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace hwio::rpc {

inline constexpr std::uint32_t kPortmapper = 100000, kPortmapperVersion = 2;
inline constexpr std::uint32_t kPortmapperNull = 0, kGetPort = 3;
inline constexpr std::uint32_t kProtocolTcp = 6;

inline constexpr std::uint32_t kCore = 0x0607AF, kCoreVersion = 1;
enum CoreProcedure : std::uint32_t {
    kCreateLink = 10,
    kDeviceWrite = 11,
    kDeviceRead = 12,
    kDeviceReadStb = 13,
    kDeviceClear = 15,
    kDeviceRemote = 16,
    kDeviceLocal = 17,
    kDestroyLink = 23,
};
// device_write and device_read flags; device_read reasons.
inline constexpr std::int32_t kFlagEnd = 8, kFlagTermChar = 128;
inline constexpr std::int32_t kReasonRequestCount = 1, kReasonTermChar = 2, kReasonEnd = 4;
// The core channel's error codes that matter here.
enum DeviceError : std::int32_t {
    kNoError = 0,
    kSyntaxError = 1,
    kDeviceNotAccessible = 3,
    kInvalidLink = 4,
    kParameterError = 5,
    kOperationNotSupported = 8,
    kOutOfResources = 9,
    kIoTimeout = 15,
    kIoError = 17,
    kAbort = 23,
};
// "I/O timeout" for 15, "error 42" for a code without a name.
std::string deviceErrorText(std::int32_t code);

class XdrError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class XdrWriter {
public:
    XdrWriter& u32(std::uint32_t v);
    XdrWriter& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
    // Length, bytes, zero padding to a multiple of four.
    XdrWriter& opaque(std::string_view bytes);
    const std::string& bytes() const { return out_; }

private:
    std::string out_;
};

// Reads a message; every read past its end throws XdrError.
class XdrReader {
public:
    explicit XdrReader(std::string_view in) : in_(in) {}
    std::uint32_t u32();
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    std::string_view opaque(std::size_t maxBytes);
    // What is not read yet.
    std::string_view rest() const { return in_; }

private:
    std::string_view in_;
};

// The padding after `n` opaque bytes.
inline std::size_t padding(std::size_t n) { return (4 - n % 4) % 4; }

enum AcceptStatus : std::uint32_t {
    kSuccess = 0,
    kProgramUnavailable = 1,
    kProgramMismatch = 2,
    kProcedureUnavailable = 3,
    kGarbageArguments = 4,
};

// The header of a call; its arguments follow.
std::string callHeader(std::uint32_t xid, std::uint32_t program, std::uint32_t version, std::uint32_t procedure);
struct Call {
    std::uint32_t xid = 0, program = 0, version = 0, procedure = 0;
    std::string_view arguments;
};
Call parseCall(std::string_view message);

// An accepted reply; `results` follow its status (for kProgramMismatch: the lowest and highest
// version served).
std::string reply(std::uint32_t xid, AcceptStatus status, std::string_view results = {});
struct Reply {
    std::uint32_t xid = 0;
    AcceptStatus status = kSuccess;
    std::string_view results;
};
// Throws XdrError for a message that is no reply or a denied one.
Reply parseReply(std::string_view message);

// The four bytes before a message of `length` bytes sent as one last fragment.
std::string recordMark(std::size_t length);

// Collects records from a byte stream, fragment by fragment, refusing any longer than `maxBytes`.
class RecordReader {
public:
    explicit RecordReader(std::size_t maxBytes) : max_(maxBytes) {}
    // Takes bytes up to the end of the next record; returns how many it took. Throws XdrError
    // for a record that is too long.
    std::size_t feed(const char* data, std::size_t n);
    bool ready() const { return ready_; }
    // The completed record; the reader then starts on the next.
    std::string take();
    // Bytes of the record so far.
    std::size_t held() const { return record_.size(); }

private:
    std::size_t max_;
    std::string record_;
    char header_[4] = {};
    std::size_t headerBytes_ = 0;
    std::size_t fragmentLeft_ = 0;
    bool lastFragment_ = false;
    bool ready_ = false;
};

}  // namespace hwio::rpc
