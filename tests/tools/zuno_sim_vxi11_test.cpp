// The simulator's VXI-11 core channel without sockets: the message exchange's query errors, END,
// partial reads, the status byte, device_clear and what a client cannot make it do.
#include <gmock/gmock.h>

#include "tools/zuno_sim_vxi11.h"
#include "zuno_version.h"

using namespace hwio::rpc;

namespace {

struct ReadResult {
    std::int32_t error = -1, reason = 0;
    std::string data;
};

// A client of one core channel, calling in records and reading the reply records.
class CoreClient {
public:
    explicit CoreClient(std::uint32_t maxWrite = 64) : channel(instrument, maxWrite) {}

    // The results of the call, or nothing while it waits.
    std::optional<std::string> call(std::uint32_t procedure, const std::string& args) {
        const std::string message = callHeader(++xid_, kCore, kCoreVersion, procedure) + args;
        return unpack(channel.feed((recordMark(message.size()) + message).data(), message.size() + 4, now));
    }
    std::optional<std::string> unpack(const std::string& records) {
        if (records.empty()) return std::nullopt;
        RecordReader reader(1 << 20);
        EXPECT_EQ(reader.feed(records.data(), records.size()), records.size());
        const std::string record = reader.take();
        const Reply r = parseReply(record);
        EXPECT_EQ(r.xid, xid_);
        EXPECT_EQ(r.status, kSuccess);
        return std::string(r.results);
    }

    std::int32_t link(const std::string& device = "inst0") {
        const std::string results = *call(kCreateLink, XdrWriter().i32(1).u32(0).u32(0).opaque(device).bytes());
        XdrReader r(results);
        const std::int32_t error = r.i32(), id = r.i32();
        r.u32();
        maxRecv = r.u32();
        return error == kNoError ? id : -error;
    }
    std::int32_t write(std::int32_t id, const std::string& data, bool end = true) {
        const std::string results =
            *call(kDeviceWrite, XdrWriter().i32(id).u32(1000).u32(0).i32(end ? kFlagEnd : 0).opaque(data).bytes());
        return XdrReader(results).i32();
    }
    std::optional<ReadResult> read(std::int32_t id, std::uint32_t size = 1000, std::int32_t flags = 0, char term = 0) {
        const auto results = call(kDeviceRead, XdrWriter().i32(id).u32(size).u32(1000).u32(0).i32(flags).i32(term).bytes());
        if (!results) return std::nullopt;
        return parse(*results);
    }
    static ReadResult parse(const std::string& results) {
        XdrReader r(results);
        ReadResult out;
        out.error = r.i32();
        out.reason = r.i32();
        out.data = std::string(r.opaque(1 << 20));
        return out;
    }
    std::string ask(std::int32_t id, const std::string& query) {
        write(id, query);
        const auto r = read(id);
        return r ? r->data : "(no answer)";
    }
    std::int32_t generic(std::uint32_t procedure, std::int32_t id) {
        const std::string results = *call(procedure, XdrWriter().i32(id).i32(0).u32(0).u32(0).bytes());
        return XdrReader(results).i32();
    }

    sim::Instrument instrument;
    sim::CoreChannel channel;
    sim::Clock::time_point now = sim::Clock::now();
    std::uint32_t maxRecv = 0;

private:
    std::uint32_t xid_ = 0;
};

}  // namespace

TEST(ZunoSimVxi11, QueryErrorsOfTheMessageExchange) {
    CoreClient c;
    const std::int32_t id = c.link();
    ASSERT_GT(id, 0);
    EXPECT_EQ(c.maxRecv, 64u);
    // An answer not read before the next message is dropped with -410.
    c.write(id, "*IDN?\n");
    EXPECT_EQ(c.ask(id, ":FREQ?\n"), "1000000000\n");
    // A read with nothing asked waits for its time-out, then reports one; -420 is queued.
    EXPECT_FALSE(c.read(id));
    EXPECT_TRUE(c.channel.due());
    const ReadResult late = CoreClient::parse(*c.unpack(c.channel.expire(c.now + std::chrono::seconds(2))));
    EXPECT_EQ(late.error, kIoTimeout);
    EXPECT_EQ(c.ask(id, ":SYST:ERR?;:SYST:ERR?;:SYST:ERR?"),
              "-410,\"Query INTERRUPTED\";-420,\"Query UNTERMINATED\";0,\"No error\"\n");
}

TEST(ZunoSimVxi11, EndReadsInPiecesAndTheStatusByte) {
    CoreClient c;
    const std::int32_t id = c.link();
    // END closes a message that has no line end; a message may come in several writes.
    c.write(id, ":FREQ 2", false);
    c.write(id, "e9");
    EXPECT_EQ(c.ask(id, ":FREQ?"), "2000000000\n");
    c.write(id, "*IDN?");
    const std::string results = *c.call(kDeviceReadStb, XdrWriter().i32(id).i32(0).u32(0).u32(0).bytes());
    XdrReader stb(results);
    EXPECT_EQ(stb.i32(), kNoError);
    EXPECT_EQ(stb.u32(), 0x10u) << "MAV: an answer waits";
    auto part = c.read(id, 4);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->data, "Zuno");
    EXPECT_EQ(part->reason, kReasonRequestCount);
    part = c.read(id, 1000, kFlagTermChar, ',');
    EXPECT_EQ(part->data, ",");
    EXPECT_EQ(part->reason, kReasonTermChar);
    part = c.read(id);
    EXPECT_EQ(part->data, "Simulated Signal Generator,SIM0001," + std::string(zuno::kVersion) + "\n");
    EXPECT_EQ(part->reason, kReasonEnd);
    // device_clear drops an answer nobody will read; device_local leaves remote control.
    c.write(id, "*IDN?");
    EXPECT_EQ(c.generic(kDeviceClear, id), kNoError);
    EXPECT_FALSE(c.read(id)) << "nothing to read after the clear";
    c.channel.expire(c.now + std::chrono::seconds(2));
    EXPECT_EQ(c.generic(kDeviceLocal, id), kNoError);
    EXPECT_THAT(c.instrument.stateJson(), testing::HasSubstr("\"remote\":false"));
}

TEST(ZunoSimVxi11, WhatAClientCannotDo) {
    CoreClient c;
    EXPECT_EQ(c.link("inst9"), -kDeviceNotAccessible);
    const std::int32_t id = c.link();
    EXPECT_EQ(c.write(id + 100, "*RST"), kInvalidLink);
    EXPECT_EQ(c.generic(kDestroyLink, id), kNoError);
    EXPECT_EQ(c.write(id, "*RST"), kInvalidLink) << "destroyed";
    // Arguments that do not fit their procedure are refused as garbage, the channel goes on.
    const std::string message = callHeader(99, kCore, kCoreVersion, kCreateLink) + XdrWriter().i32(1).bytes();
    const std::string reply = c.channel.feed((recordMark(message.size()) + message).data(), message.size() + 4, c.now);
    EXPECT_EQ(parseReply(reply.substr(4)).status, kGarbageArguments);
    // A record longer than any write is no RPC this channel serves: the connection closes.
    const std::string huge = recordMark(100000);
    EXPECT_EQ(c.channel.feed(huge.data(), huge.size(), c.now), "");
    EXPECT_TRUE(c.channel.broken());
}
