#include "tools/zuno_sim_vxi11.h"

#include <algorithm>
#include <cctype>

namespace sim {

using namespace hwio::rpc;

namespace {

constexpr std::size_t kMaxDeviceName = 64;
constexpr std::uint32_t kDeviceTrigger = 14, kDeviceLock = 18, kDeviceUnlock = 19;
constexpr std::int32_t kOutOfResources = 9;
// Links of one connection; each holds a conversation, so a client may not open them without end.
constexpr std::size_t kMaxLinks = 64;

// Each procedure's results when the link is unknown: the error, then zeros in its other fields.
std::string invalidLink(std::uint32_t procedure) {
    XdrWriter w;
    w.i32(kInvalidLink);
    if (procedure == kDeviceWrite || procedure == kDeviceReadStb) w.u32(0);
    if (procedure == kDeviceRead) w.i32(0).opaque({});
    return w.bytes();
}

std::string error(std::int32_t code) { return XdrWriter().i32(code).bytes(); }

}  // namespace

std::string RpcChannel::feed(const char* data, std::size_t n, Clock::time_point now) {
    input_.append(data, n);
    return run(now);
}

std::string RpcChannel::expire(Clock::time_point now) {
    std::string out;
    if (const auto d = due(); d && now >= *d)
        if (const auto r = ripen(now)) out += recordMark(r->size()) + *r;
    return out + run(now);
}

std::string RpcChannel::run(Clock::time_point now) {
    std::string out;
    // One call at a time: those behind a waiting call wait too.
    while (!due() && !broken_) {
        try {
            input_.erase(0, reader_.feed(input_.data(), input_.size()));
            if (!reader_.ready()) break;
            const std::string record = reader_.take();
            if (const auto r = answer(parseCall(record), now)) out += recordMark(r->size()) + *r;
        } catch (const XdrError&) {
            broken_ = true;
            input_.clear();
        }
    }
    return out;
}

std::optional<std::string> PortmapperChannel::answer(const Call& c, Clock::time_point) {
    if (c.program != kPortmapper) return reply(c.xid, kProgramUnavailable);
    if (c.version != kPortmapperVersion)
        return reply(c.xid, kProgramMismatch, XdrWriter().u32(kPortmapperVersion).u32(kPortmapperVersion).bytes());
    if (c.procedure == kPortmapperNull) return reply(c.xid, kSuccess);
    if (c.procedure != kGetPort) return reply(c.xid, kProcedureUnavailable);
    try {
        XdrReader args(c.arguments);
        const std::uint32_t program = args.u32(), version = args.u32(), protocol = args.u32();
        const bool core = program == kCore && version == kCoreVersion && protocol == kProtocolTcp;
        return reply(c.xid, kSuccess, XdrWriter().u32(core ? corePort_ : 0).bytes());
    } catch (const XdrError&) {
        return reply(c.xid, kGarbageArguments);
    }
}

CoreChannel::CoreChannel(Instrument& instrument, std::uint32_t maxWrite)
    // A write's record: the call's header and fields around the data.
    : RpcChannel(maxWrite + 1024), inst_(instrument), maxWrite_(maxWrite) {}

std::optional<Clock::time_point> CoreChannel::due() const {
    if (!waiting_) return std::nullopt;
    return waiting_->due;
}

std::size_t CoreChannel::held() const {
    std::size_t n = RpcChannel::held();
    for (const auto& [id, link] : links_) n += link->held();
    return n;
}

std::string CoreChannel::createLink(XdrReader& args) {
    args.i32();  // the client's id
    args.u32();  // lock the device: there is no other to lock it from
    args.u32();
    std::string device(args.opaque(kMaxDeviceName));
    for (char& c : device) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    XdrWriter w;
    if (device != "inst0") return w.i32(kDeviceNotAccessible).i32(0).u32(0).u32(0).bytes();
    if (links_.size() >= kMaxLinks) return w.i32(kOutOfResources).i32(0).u32(0).u32(0).bytes();
    const std::int32_t id = nextLink_++;
    links_.emplace(id, std::make_unique<Exchange>(inst_));
    // No abort channel: a client ends an operation by closing the connection.
    return w.i32(kNoError).i32(id).u32(0).u32(maxWrite_).bytes();
}

std::optional<std::string> CoreChannel::read(Exchange& link, XdrReader& args, std::uint32_t xid,
                                             Clock::time_point now) {
    const std::uint32_t requested = std::min(args.u32(), maxWrite_);
    const std::uint32_t ioTimeout = args.u32();
    args.u32();
    const std::int32_t flags = args.i32();
    const char term = static_cast<char>(args.i32());
    link.resume();
    if (link.out.empty()) {
        // Nothing was asked: the reply never comes, and the read gives up after its time-out.
        inst_.reportError(-420, "Query UNTERMINATED");
        waiting_ = Waiting{xid, now + std::min<std::chrono::milliseconds>(std::chrono::milliseconds(ioTimeout), kMaxIoTimeout)};
        return std::nullopt;
    }
    std::size_t n = std::min<std::size_t>(requested == 0 ? 1 : requested, link.out.size());
    std::int32_t reason = 0;
    if (flags & kFlagTermChar)
        if (const auto at = link.out.find(term); at != std::string::npos && at < n) {
            n = at + 1;
            reason |= kReasonTermChar;
        }
    const std::string data = link.out.substr(0, n);
    link.out.erase(0, n);
    link.resume();
    // Everything that one write asked for is one message.
    if (link.out.empty()) reason |= kReasonEnd;
    else if (n == requested) reason |= kReasonRequestCount;
    return reply(xid, kSuccess, XdrWriter().i32(kNoError).i32(reason).opaque(data).bytes());
}

std::optional<std::string> CoreChannel::ripen(Clock::time_point) {
    const std::uint32_t xid = waiting_->xid;
    waiting_.reset();
    return reply(xid, kSuccess, XdrWriter().i32(kIoTimeout).i32(0).opaque({}).bytes());
}

std::optional<std::string> CoreChannel::answer(const Call& c, Clock::time_point now) {
    if (c.program != kCore) return reply(c.xid, kProgramUnavailable);
    if (c.version != kCoreVersion)
        return reply(c.xid, kProgramMismatch, XdrWriter().u32(kCoreVersion).u32(kCoreVersion).bytes());
    try {
        XdrReader args(c.arguments);
        if (c.procedure == kCreateLink) return reply(c.xid, kSuccess, createLink(args));
        const std::uint32_t p = c.procedure;
        const bool known = p == kDeviceWrite || p == kDeviceRead || p == kDeviceReadStb || p == kDeviceClear ||
                           p == kDeviceRemote || p == kDeviceLocal || p == kDestroyLink || p == kDeviceTrigger ||
                           p == kDeviceLock || p == kDeviceUnlock;
        if (!known) return reply(c.xid, kProcedureUnavailable);
        const std::int32_t id = args.i32();
        const auto it = links_.find(id);
        if (it == links_.end()) return reply(c.xid, kSuccess, invalidLink(p));
        Exchange& link = *it->second;
        switch (p) {
            case kDeviceWrite: {
                args.u32();  // I/O time-out: a write here never waits
                args.u32();
                const std::int32_t flags = args.i32();
                const std::string_view data = args.opaque(maxWrite_);
                // A new message before the last answer was read: that answer is dropped.
                if (!link.out.empty()) {
                    link.out.clear();
                    inst_.reportError(-410, "Query INTERRUPTED");
                }
                link.take(data.data(), data.size(), (flags & kFlagEnd) != 0);
                return reply(c.xid, kSuccess,
                             XdrWriter().i32(kNoError).u32(static_cast<std::uint32_t>(data.size())).bytes());
            }
            case kDeviceRead:
                return read(link, args, c.xid, now);
            case kDeviceReadStb:
                return reply(c.xid, kSuccess,
                             XdrWriter().i32(kNoError).u32(static_cast<std::uint32_t>(inst_.statusByte(!link.out.empty()))).bytes());
            case kDeviceClear:
                link.session.reset();
                link.in.clear();
                link.out.clear();
                link.endAfterIn = false;
                return reply(c.xid, kSuccess, error(kNoError));
            case kDeviceLocal:
                inst_.goToLocal();
                return reply(c.xid, kSuccess, error(kNoError));
            case kDestroyLink:
                links_.erase(it);
                return reply(c.xid, kSuccess, error(kNoError));
            case kDeviceTrigger:
                return reply(c.xid, kSuccess, error(kOperationNotSupported));
            default:  // remote, lock, unlock: nothing to do on an instrument with one front panel
                return reply(c.xid, kSuccess, error(kNoError));
        }
    } catch (const XdrError&) {
        return reply(c.xid, kGarbageArguments);
    }
}

}  // namespace sim
