#include "hwio/onc_rpc.h"

#include <algorithm>

namespace hwio::rpc {

namespace {
constexpr std::uint32_t kRpcVersion = 2, kCallType = 0, kReplyType = 1, kAccepted = 0;
constexpr std::size_t kMaxAuthBytes = 400;
}  // namespace

std::string deviceErrorText(std::int32_t code) {
    switch (code) {
        case kSyntaxError: return "syntax error";
        case kDeviceNotAccessible: return "device not accessible";
        case kInvalidLink: return "invalid link identifier";
        case kParameterError: return "parameter error";
        case kOperationNotSupported: return "operation not supported";
        case kOutOfResources: return "out of resources";
        case 11: return "device locked by another link";
        case kIoTimeout: return "I/O timeout";
        case kIoError: return "I/O error";
        case kAbort: return "abort";
    }
    return "error " + std::to_string(code);
}

XdrWriter& XdrWriter::u32(std::uint32_t v) {
    const char b[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                       static_cast<char>(v)};
    out_.append(b, 4);
    return *this;
}

XdrWriter& XdrWriter::opaque(std::string_view bytes) {
    u32(static_cast<std::uint32_t>(bytes.size()));
    out_ += bytes;
    out_.append(padding(bytes.size()), '\0');
    return *this;
}

std::uint32_t XdrReader::u32() {
    if (in_.size() < 4) throw XdrError("the message ends early");
    const auto b = [this](int i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(in_[i])); };
    const std::uint32_t v = b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
    in_.remove_prefix(4);
    return v;
}

std::string_view XdrReader::opaque(std::size_t maxBytes) {
    const std::uint32_t n = u32();
    if (n > maxBytes) throw XdrError("a field of " + std::to_string(n) + " bytes is longer than allowed");
    if (in_.size() < n + padding(n)) throw XdrError("the message ends early");
    const std::string_view bytes = in_.substr(0, n);
    in_.remove_prefix(n + padding(n));
    return bytes;
}

std::string callHeader(std::uint32_t xid, std::uint32_t program, std::uint32_t version, std::uint32_t procedure) {
    XdrWriter w;
    w.u32(xid).u32(kCallType).u32(kRpcVersion).u32(program).u32(version).u32(procedure);
    w.u32(0).u32(0).u32(0).u32(0);  // no credentials, no verifier
    return w.bytes();
}

Call parseCall(std::string_view message) {
    XdrReader r(message);
    Call c;
    c.xid = r.u32();
    if (r.u32() != kCallType) throw XdrError("the message is not a call");
    if (r.u32() != kRpcVersion) throw XdrError("the call is not of RPC version 2");
    c.program = r.u32();
    c.version = r.u32();
    c.procedure = r.u32();
    for (int i = 0; i < 2; ++i) {  // credentials and verifier, whatever their flavour
        r.u32();
        r.opaque(kMaxAuthBytes);
    }
    c.arguments = r.rest();
    return c;
}

std::string reply(std::uint32_t xid, AcceptStatus status, std::string_view results) {
    XdrWriter w;
    w.u32(xid).u32(kReplyType).u32(kAccepted).u32(0).u32(0).u32(status);
    return w.bytes() + std::string(results);
}

Reply parseReply(std::string_view message) {
    XdrReader r(message);
    Reply out;
    out.xid = r.u32();
    if (r.u32() != kReplyType) throw XdrError("the message is not a reply");
    if (r.u32() != kAccepted) throw XdrError("the call was denied");
    r.u32();
    r.opaque(kMaxAuthBytes);
    out.status = static_cast<AcceptStatus>(r.u32());
    out.results = r.rest();
    return out;
}

std::string recordMark(std::size_t length) {
    XdrWriter w;
    w.u32(0x80000000u | static_cast<std::uint32_t>(length));
    return w.bytes();
}

std::size_t RecordReader::feed(const char* data, std::size_t n) {
    std::size_t i = 0;
    while (i < n && !ready_) {
        if (fragmentLeft_ == 0 && headerBytes_ < 4) {
            header_[headerBytes_++] = data[i++];
            if (headerBytes_ < 4) continue;
            XdrReader r(std::string_view(header_, 4));
            const std::uint32_t h = r.u32();
            lastFragment_ = (h & 0x80000000u) != 0;
            fragmentLeft_ = h & 0x7fffffffu;
            if (record_.size() + fragmentLeft_ > max_)
                throw XdrError("a record of more than " + std::to_string(max_) + " bytes");
            if (fragmentLeft_ == 0) headerBytes_ = 0;
            ready_ = fragmentLeft_ == 0 && lastFragment_;
            continue;
        }
        const std::size_t take = std::min(fragmentLeft_, n - i);
        record_.append(data + i, take);
        i += take;
        fragmentLeft_ -= take;
        if (fragmentLeft_ == 0) {
            headerBytes_ = 0;
            ready_ = lastFragment_;
        }
    }
    return i;
}

std::string RecordReader::take() {
    std::string out = std::move(record_);
    record_.clear();
    ready_ = false;
    return out;
}

}  // namespace hwio::rpc
