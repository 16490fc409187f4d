// Packet bytes both ways: request headers and bodies, received packets built here byte by byte,
// hostile lengths, stream framing, and the persisted request id counter.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/persistence/NSKeyedArchiver.h"
#include "platform/persistence/NSUserDefaults.h"
#include "push/Network/PUSHPacketFramer.h"
#include "push/Network/PUSHPacketReader.h"
#include "push/Network/PUSHReceivedPacket.h"
#include "push/Network/PUSHRequestIdCounter.h"
#include "push/Network/PUSHRequests.h"
#include "push/Network/PUSHSDKLogLevel.h"
#include "push/Network/PUSHSessionLink.h"
#include "push/Utilities/PUSHLog.h"
#include "testing/TempHome.h"
#include "testing/push/CapturingLogger.h"

namespace {

struct FakeLink : push::SessionLink {
    std::uint64_t nextRid = 0x0102030405060708ULL;
    std::uint64_t getRId(int) override { return nextRid; }
    std::uint32_t currentSessionID() const override { return 0xA1B2C3D4; }
    std::uint64_t currentUid() const override { return 0x1122334455667788ULL; }
    void sendRequest(const std::shared_ptr<PUSHRequest>&) override {}
    int acks = 0, logins = 0, tokenUploads = 0;
    void onAckOrRespReceived(const std::shared_ptr<PUSHReceivedPacketController>&) override { ++acks; }
    void onLoginRespond(const std::shared_ptr<PUSHLoginResponse>&) override { ++logins; }
    std::optional<std::string> onDeviceTokenUploaded() override { return ++tokenUploads, "ab01ff"; }
};

struct Builder {
    Bytes b;
    Builder& u8(std::uint64_t v) { return put(v, 1); }
    Builder& u16(std::uint64_t v) { return put(v, 2); }
    Builder& u32(std::uint64_t v) { return put(v, 4); }
    Builder& u64(std::uint64_t v) { return put(v, 8); }
    Builder& str(const std::string& s) { u16(s.size()); b.insert(b.end(), s.begin(), s.end()); return *this; }
    Builder& put(std::uint64_t v, int n) { for (int i = n - 1; i >= 0; --i) b.push_back(std::uint8_t(v >> (8 * i))); return *this; }
    // Incoming header; the length is patched by done().
    static Builder header(std::uint8_t command, std::uint8_t version = 1) { Builder x; x.u16(0).u8(version).u8(command).u64(77).u64(99); return x; }
    Bytes done() { b[0] = std::uint8_t(b.size() >> 8); b[1] = std::uint8_t(b.size()); return b; }
};

// A request as the fake link numbers it: the 24-byte header, then `body`.
Bytes expectedPacket(std::uint8_t version, std::uint8_t command, const Bytes& body = {})
{
    Builder x;
    x.u16(24 + body.size()).u8(version).u8(command).u64(0x0102030405060708ULL).u32(0xA1B2C3D4).u64(0x1122334455667788ULL);
    x.b.insert(x.b.end(), body.begin(), body.end());
    return x.b;
}

template <class T = PUSHReceivedPacketController>
std::shared_ptr<T> received(const Bytes& bytes)
{
    return std::dynamic_pointer_cast<T>(PUSHReceivedPacketController::packetWithBuffer(bytes.data(), bytes.size()));
}

using push_test_support::CapturingLogger;

class PacketCodec : public ::testing::Test {
protected:
    void SetUp() override
    {
        push::setCurrentSessionLink(link);
        PUSHLog::addLogger(logger);
    }
    void TearDown() override
    {
        PUSHLog::removeAllLoggers();
        PUSHLog::flushLog();
        push::setCurrentSessionLink({});
    }
    std::shared_ptr<FakeLink> link = std::make_shared<FakeLink>();
    std::shared_ptr<CapturingLogger> logger = std::make_shared<CapturingLogger>();
};

TEST_F(PacketCodec, RequestsCarryHeaderAndBigEndianBodies)
{
    auto heartbeat = PUSHHeartbeatRequest::create();
    EXPECT_EQ(heartbeat->packetData(), expectedPacket(3, 2));
    EXPECT_EQ(heartbeat->controlFlag(), 41);
    EXPECT_TRUE(heartbeat->loginRequired() && heartbeat->ackOrRespRequiredForVersion1() && heartbeat->hasHighPriority());

    auto login = PUSHLoginRequest::create();
    login->passwordMD5Hex = std::string(32, 'a');
    login->appKey = "key";
    EXPECT_EQ(login->packetData(), expectedPacket(12, 1, Builder().u8(0x69).u8(0).u8(0).u8(0).str(std::string(32, 'a')).u32(0x00020100).str("key").u8(1).b));

    auto token = PUSHDeviceTokenReportRequest::create();
    token->deviceToken = "ab";
    token->configApsEnvironment = 1;
    token->apsEnvironment = 2;
    EXPECT_EQ(token->packetData(), expectedPacket(2, 13, Builder().str("ab").u8(1).u8(2).b));
    EXPECT_EQ(token->controlFlag(), 21);

    // A blank token goes out as one space.
    auto registration = PUSHRegistrationRequest::create();
    registration->info = { "udid", "org.app", "appkey", "1.0", "17.0", "phone", "ch", "2.1.0", "", 1, 0 };
    const Bytes expected = expectedPacket(8, 0,
        Builder().str("udid$$ $$org.app$$appkey").str("1.0").str("17.0$$phone$$ $$ $$ch$$2.1.0").str(" ").u8(1).u8(0).u8(1).b);
    EXPECT_EQ(registration->packetData(), expected);
    EXPECT_EQ(registration->copy()->packetData(), expected);
}

TEST_F(PacketCodec, ReceiptAnswersMessageWithCommandPlusOne)
{
    auto message = received(Builder::header(3, 5).u8(9).u64(0xDEADBEEF).str("x").done());
    ASSERT_TRUE(message);
    auto receipt = PUSHMessageReceipt::create(*message, 9, 0xDEADBEEF, 99);
    Builder x;
    x.u16(24 + 11).u8(5).u8(4).u64(77).u32(0xA1B2C3D4).u64(0x1122334455667788ULL).u16(0).u8(9).u64(0xDEADBEEF);
    EXPECT_EQ(receipt->packetData(), x.b);
    EXPECT_EQ(receipt->controlFlag(), 25);

    auto wrapping = PUSHPlainRequest::create(1, 255, 0);
    EXPECT_EQ(PUSHMessageReceipt::create(*wrapping, 0, 0, 0)->protocolType(), 0);
}

TEST_F(PacketCodec, LengthLimitsAndOversizedStrings)
{
    auto sized = [](std::size_t total) {
        push::PacketWriter w;
        w.appendBytes(Bytes(total, 0).data(), total);
        return w;
    };
    EXPECT_TRUE(sized(7167).setPacketLen());
    EXPECT_FALSE(sized(7168).setPacketLen());
    EXPECT_FALSE(sized(1).setPacketLen());
    EXPECT_FALSE(sized(70000).setPacketLen());

    push::PacketWriter w;
    w.appendInt16(0);
    w.appendString(std::string(70000, 'z'));
    EXPECT_EQ(w.size(), 2u);
    EXPECT_FALSE(w.setPacketLen());

    int code = 0;
    auto tags = PUSHSetTagAlias::create();
    tags->tags = std::vector<std::string>(800, "abcdefghi");
    tags->onFailure = [&](std::uint64_t, int c) { code = c; };
    EXPECT_FALSE(tags->packetData());
    EXPECT_EQ(code, 6008);
}

TEST_F(PacketCodec, TagAliasBodyAndReplacementRule)
{
    auto tagsOnly = PUSHSetTagAlias::create();
    tagsOnly->appKey = "k";
    tagsOnly->tags = std::vector<std::string> { "a", "b" };
    auto packet = tagsOnly->packetData();
    ASSERT_TRUE(packet);
    std::string text(packet->begin() + 24 + 3 + 2, packet->end());
    EXPECT_NE(text.find("\"tags\":\"a,b\""), std::string::npos);
    EXPECT_NE(text.find("\"platform\":\"i\""), std::string::npos);
    EXPECT_EQ(text.find("alias"), std::string::npos);

    auto aliasOnly = PUSHSetTagAlias::create();
    aliasOnly->alias = "me";
    auto both = PUSHSetTagAlias::create();
    both->tags = std::vector<std::string> {};
    both->alias = "me";
    EXPECT_TRUE(tagsOnly->isEqualToRequest(*both));
    EXPECT_FALSE(aliasOnly->isEqualToRequest(*both));
    EXPECT_FALSE(tagsOnly->isEqualToRequest(*PUSHHeartbeatRequest::create()));
}

TEST_F(PacketCodec, TagAliasRequestsSurviveAKeyedArchive)
{
    using Tags = std::optional<std::vector<std::string>>;
    const std::tuple<const char*, Tags, std::optional<std::string>, std::uint64_t> cases[] = {
        { "tags and alias", std::vector<std::string> { "vip", "北京" }, "me", 2 },
        { "empty tags, no alias", std::vector<std::string> {}, std::nullopt, 1 },
        { "alias only", std::nullopt, "", 0 },
    };
    for (const auto& [name, tags, alias, type] : cases) {
        SCOPED_TRACE(name);
        auto request = PUSHSetTagAlias::create();
        request->setRid(0xFEDCBA9876543211ull);
        request->setUid(0x8000000000000001ull);
        request->tags = tags;
        request->alias = alias;
        request->type = type;
        auto bytes = NSKeyedArchiver::archivedDataWithRootObject(Value(request));
        ASSERT_TRUE(bytes);
        auto read = NSKeyedUnarchiver::unarchiveObjectWithData(*bytes).asObject<PUSHSetTagAlias>();
        ASSERT_TRUE(read);
        EXPECT_TRUE(read->rid() == request->rid() && read->uid() == request->uid());
        EXPECT_TRUE(read->version() == 4u && read->protocolType() == 10u && read->controlFlag() == request->controlFlag());
        EXPECT_TRUE(read->tags == tags && read->alias == alias && read->type == type);
    }
}

TEST_F(PacketCodec, ResponsesParseBodiesOnlyOnSuccess)
{
    auto login = received<PUSHLoginResponse>(Builder::header(1).u16(0).u32(42).u16(3).str("sk").u32(1700000000).done());
    ASSERT_TRUE(login);
    EXPECT_TRUE(login->rid() == 77u && login->uid() == 99u);
    EXPECT_EQ(login->serverTime(), 1700000000u); // the fields before it are read in the push server's tests
    login->handleReceipt();
    EXPECT_TRUE(link->acks == 1 && link->logins == 1);

    // A refusal's body past the error text is not read as a uid.
    auto reg = received<PUSHRegistrationResponse>(Builder::header(0).u16(1).str("denied").u64(5).done());
    ASSERT_TRUE(reg);
    EXPECT_EQ(reg->statusCode(), 1);
    EXPECT_EQ(reg->errorDescription(), "denied");
    EXPECT_EQ(reg->registeredUid(), 0u);
}

TEST_F(PacketCodec, AcceptedDeviceTokenIsLoggedWithTheTokenOnlyAtDebugLevel)
{
    for (std::uint16_t status : { 0, 1 }) {
        for (std::uint64_t level : { PUSH_LOG_LEVEL_INFO, PUSH_LOG_LEVEL_DEBUG }) {
            push::setSDKLogLevel(level);
            received(Builder::header(13).u16(status).done())->handleReceipt();
        }
    }
    push::setSDKLogLevel(PUSH_LOG_LEVEL_INFO);
    EXPECT_EQ(std::tuple(link->acks, link->tokenUploads), std::tuple(4, 2)); // a refusal stores no token
    EXPECT_EQ(logger->lines(),
        (std::vector<std::string> { "upload device token success", "upload device token success, token is : ab01ff" }));
}

TEST_F(PacketCodec, MessageKeepsLastLineAndStringsAreExact)
{
    auto message = received<PUSHMessageDispatchController>(Builder::header(3).u8(20).u64(8).str("first\n{\"message\":\"hi\"}").done());
    ASSERT_TRUE(message);
    EXPECT_EQ(message->recv_messageContent(), "{\"message\":\"hi\"}");

    Bytes raw = { 0, 5, 'a', 'b', 0, 'c', 'd', 0, 2, 0xC3, 0x28 };
    push::PacketReader reader(raw.data(), raw.size());
    EXPECT_EQ(reader.readString(), "ab");
    EXPECT_EQ(reader.readString(), std::nullopt); // not UTF-8
    EXPECT_FALSE(reader.overrun());
    EXPECT_EQ(reader.readString(), std::nullopt); // nothing left
    EXPECT_TRUE(reader.overrun());

    Bytes cut = { 0, 9, 'a', 0, 0, 0, 7 };
    push::PacketReader past(cut.data(), cut.size());
    EXPECT_EQ(past.readString(), std::nullopt);
    EXPECT_EQ(past.readUInt16(), 0);
}

TEST_F(PacketCodec, PacketsShorterThanTheirFieldsReadAsZerosAndMissingStrings)
{
    // A string whose count runs past the end reads as none, and every later field as 0; the
    // bare header of a reply reads as status 0 (the socket tests deliver such packets).
    auto cut = received<PUSHLoginResponse>(Builder::header(1).u16(0).u32(42).u16(3).u16(500).u32(9).done());
    ASSERT_TRUE(cut);
    EXPECT_EQ(std::tuple(cut->sessionID(), cut->serverVersion(), cut->sessionKey(), cut->serverTime()), std::tuple(42u, 3, "", 0u));
    auto message = received<PUSHMessageDispatchController>(Builder::header(3).u8(1).u64(1).u16(500).done());
    ASSERT_TRUE(message && message->recv_uniqueID() == 1 && message->recv_messageContent().empty());

    using push::DecodeError;
    const auto whole = Builder::header(19).u8(1).u8(2).u8(3).u64(4).done();
    DecodeError error = DecodeError::None;
    for (const Bytes& bytes : { Bytes { 0, 5, 1, 19, 0 }, Bytes(whole.begin(), whole.end() - 1) }) {
        EXPECT_FALSE(PUSHReceivedPacketController::decode(bytes.data(), bytes.size(), error));
        EXPECT_EQ(error, DecodeError::Truncated);
    }
    EXPECT_TRUE(logger->lines().empty());

    auto ignored = Builder::header(100).done();
    EXPECT_FALSE(PUSHReceivedPacketController::decode(ignored.data(), ignored.size(), error));
    EXPECT_TRUE(logger->lines().empty());
    auto unknown = Builder::header(2).done();
    EXPECT_FALSE(PUSHReceivedPacketController::decode(unknown.data(), unknown.size(), error));
    auto logs = logger->lines();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_NE(logs[0].find("receive unrecognized command"), std::string::npos);

    EXPECT_EQ(PUSHReceivedPacketController::expectedBufferLen(whole.data(), 2), 4u);
    EXPECT_EQ(PUSHReceivedPacketController::expectedBufferLen(whole.data(), 10), whole.size() - 10);
    EXPECT_EQ(PUSHReceivedPacketController::expectedBufferLen(whole.data(), whole.size()), 0u);
}

TEST(PacketFraming, SamePacketsHoweverTheStreamIsSplit)
{
    Bytes stream;
    std::vector<Bytes> sent;
    for (int i = 0; i < 5; ++i) {
        sent.push_back(Builder::header(3).u8(1).u64(i).str(std::string(i * 7, 'm')).done());
        stream.insert(stream.end(), sent.back().begin(), sent.back().end());
    }
    for (std::size_t chunk : { std::size_t(1), std::size_t(3), std::size_t(20), stream.size() }) {
        push::PacketFramer framer;
        std::vector<Bytes> got;
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            framer.append(stream.data() + at, std::min(chunk, stream.size() - at));
            Bytes packet;
            while (framer.next(packet) == push::PacketFramer::Status::Packet)
                got.push_back(packet);
        }
        EXPECT_EQ(got, sent) << "chunk " << chunk;
        EXPECT_EQ(framer.pending(), 0u);
    }
    // However short a declared length, it frames a packet; only a length of 0 loses the stream.
    push::PacketFramer framer;
    Bytes tiny = { 0, 2, 0, 3, 7, 0, 0, 0 };
    framer.append(tiny.data(), tiny.size());
    Bytes packet;
    for (const Bytes& expected : { Bytes { 0, 2 }, Bytes { 0, 3, 7 } })
        EXPECT_TRUE(framer.next(packet) == push::PacketFramer::Status::Packet && packet == expected);
    EXPECT_EQ(framer.next(packet), push::PacketFramer::Status::BadLength);
}

TEST(RequestIdCounter, ARestartNeverRepeatsAnIdHandedOutAndAFreshStartIsOdd)
{
    testing_support::TempHome home;
    auto defaults = NSUserDefaults::standardUserDefaults();
    // However many ids a process handed out before it ended without a word, the next one
    // starts past all of them: the stored counter runs a block ahead.
    for (std::uint64_t used : { 1u, 10u, 63u, 64u, 65u, 200u }) {
        SCOPED_TRACE(used);
        defaults->setObject(Value(std::uint64_t(7)), push::kSessionIdKey);
        std::vector<std::uint64_t> handedOut;
        {
            push::RequestIdCounter counter(defaults);
            for (std::uint64_t i = 0; i < used; ++i)
                handedOut.push_back(counter.next());
        }
        NSUserDefaults::resetStandardUserDefaults(); // a new process reads the file
        defaults = NSUserDefaults::standardUserDefaults();
        const std::uint64_t next = push::RequestIdCounter(defaults).next();
        EXPECT_EQ(std::count(handedOut.begin(), handedOut.end(), next), 0);
        EXPECT_GT(next, handedOut.back());
        EXPECT_LE(next, handedOut.back() + 2 * push::RequestIdCounter::kReservedIds);
    }

    defaults->removeObjectForKey(push::kSessionIdKey);
    const auto first = push::RequestIdCounter(defaults).next();
    EXPECT_TRUE(first % 2 == 1 && first <= 65535u) << first;
}

} // namespace
