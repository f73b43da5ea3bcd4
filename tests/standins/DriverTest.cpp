// The stand-in keyboard filter driver through its real devices under Wine:
// the enciphered envelope device "\\.\VNLV2" and the control device.
#include "Blowfish.h"
#include "DriverControl.h"
#include "DriverProtocol.h"
#include "Registry.h"
#include "UniqueAny.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using namespace vnl;
using namespace vnl::drv;

constexpr const char* kKeyboardClassKey =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96B-E325-11CE-BFC1-08002BE10318}";

// Stores UTF-16 bytes as they are (the ANSI registry calls would convert them).
void SetUpperFilters(DWORD type, const std::u16string& value) {
    vnl::UniqueRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKeyboardClassKey, 0, nullptr, 0, KEY_SET_VALUE,
                                             nullptr, key.put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.get(), L"UpperFilters", 0, type,
                                            reinterpret_cast<const BYTE*>(value.data()),
                                            static_cast<DWORD>(value.size() * sizeof(char16_t))));
}

std::uint32_t CallerTag() { return GetCurrentThreadId() + GetCurrentProcessId(); }

// A well-formed request for `operation`, deciphered (plain) form.
Bytes PlainRequest(std::uint32_t operation, std::uint32_t value = 0) {
    const OperationLayout* layout = FindOperation(operation);
    Bytes envelope(layout->totalLength);
    WriteRequestHeader(envelope.data(), *layout, CallerTag());
    if (layout->dataCapacity == kProtectCapacity) WriteEnvelopeWord(envelope.data(), kEnvData, value);
    return envelope;
}

Bytes Enciphered(Bytes plain) {
    EncipherBlocks(EnvelopeKey(), plain.data(), plain.size());
    return plain;
}

struct Reply {
    bool succeeded = false;
    DWORD error = 0;
    DWORD bytesReturned = 0;
    Bytes envelope;  // deciphered
    std::uint32_t status() const { return ReadEnvelopeWord(envelope.data(), kEnvStatus); }
    std::uint32_t dataLength() const { return ReadEnvelopeWord(envelope.data(), kEnvDataLength); }
    const unsigned char* data() const { return envelope.data() + kEnvData; }
};

// Sends `wire` as it is and deciphers what came back.
Reply Send(const Bytes& wire, DWORD outputLength) {
    bench::RawExchange raw = bench::SendToDriver(wire, outputLength);
    EXPECT_TRUE(raw.opened) << "cannot open \\\\.\\VNLV2, error " << raw.error;
    Reply reply;
    reply.succeeded = raw.succeeded;
    reply.error = raw.error;
    reply.bytesReturned = raw.bytesReturned;
    reply.envelope = raw.output;
    reply.envelope.resize(std::max<size_t>(reply.envelope.size(), kEnvelopeHeaderSize), 0);
    DecipherBlocks(EnvelopeKey(), reply.envelope.data(), raw.succeeded ? raw.bytesReturned : 0);
    return reply;
}

Reply Transact(std::uint32_t operation, std::uint32_t value = 0) {
    const Bytes wire = Enciphered(PlainRequest(operation, value));
    return Send(wire, static_cast<DWORD>(wire.size()));
}

std::vector<KeyRecord> Records(const Reply& reply) {
    std::vector<KeyRecord> records;
    for (std::uint32_t at = 0; at + sizeof(KeyRecord) <= reply.dataLength(); at += sizeof(KeyRecord))
        records.push_back({ReadEnvelopeHalf(reply.data(), at), ReadEnvelopeHalf(reply.data(), at + 2),
                           ReadEnvelopeHalf(reply.data(), at + 4), ReadEnvelopeHalf(reply.data(), at + 6)});
    return records;
}

std::u16string EntryName(const Reply& reply, size_t index) {
    std::u16string name;
    const size_t base = index * sizeof(FilterEntry) + 4;
    for (size_t u = 0; u < kFilterNameUnits; ++u) {
        const char16_t unit = static_cast<char16_t>(ReadEnvelopeHalf(reply.data(), base + 2 * u));
        if (unit == 0) break;
        name.push_back(unit);
    }
    return name;
}

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(control_.IsOpen()) << "control device missing, error " << GetLastError();
        ASSERT_TRUE(control_.Reset());
    }
    void TearDown() override { control_.Reset(); }

    // Switches protection on and holds `count` keys (scan codes 0x10 upwards).
    void HoldKeys(int count) {
        ASSERT_EQ(0u, Transact(VNL_OP_PROTECT_ON, 1).status());
        for (int i = 0; i < count; ++i) {
            const auto result = control_.PressKey(static_cast<std::uint16_t>(0x10 + i % 0x40));
            ASSERT_TRUE(result);
            ASSERT_EQ(kHeld, result->outcome);
        }
    }

    bench::DriverControl control_;
};

TEST_F(DriverTest, EachOperationIsAnsweredAndLogged) {
    ASSERT_TRUE(control_.SetFilters({bench::MakeFilterEntry(L"\\Driver\\kbdclass")}));
    struct Case {
        std::uint32_t operation;
        std::uint32_t value;
        std::uint32_t dataLength;
        std::uint32_t protectionAfter;
    };
    const Case cases[] = {
        {VNL_OP_PROTECT_ON, 0x00010A2Cu, 0, 1},
        {VNL_OP_FETCH_KEYS, 0, 0, 1},
        {VNL_OP_LIST_FILTERS, 0, 788, 1},
        {VNL_OP_PROTECT_OFF, 0xFF7018C3u, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        const Reply reply = Transact(c.operation, c.value);
        ASSERT_TRUE(reply.succeeded) << reply.error;
        EXPECT_EQ(FindOperation(c.operation)->totalLength, reply.bytesReturned);
        EXPECT_EQ(0u, reply.status());
        EXPECT_EQ(c.dataLength, reply.dataLength());

        const DriverState state = control_.State();
        EXPECT_EQ(c.protectionAfter, state.protectionOn);
        const LogEntry last = control_.ReadLog().back();
        EXPECT_EQ(c.operation, last.operation);
        EXPECT_EQ(CallerTag(), last.callerTag);
        EXPECT_EQ(c.value, last.callerValue);
        EXPECT_EQ(FindOperation(c.operation)->totalLength, last.envelopeSize);
        EXPECT_EQ(1u, last.headerValid);
        EXPECT_EQ(1u, last.reservedClear);
        EXPECT_EQ(GetCurrentProcessId(), last.processId);
        EXPECT_EQ(GetCurrentThreadId(), last.threadId);
    }
    const DriverState state = control_.State();
    EXPECT_EQ(0xFF7018C3u, state.callerValue);
    EXPECT_EQ(CallerTag(), state.callerTag);
    EXPECT_EQ(4u, state.validEnvelopes);
    EXPECT_EQ(0u, state.invalidEnvelopes);
}

// A keyboard stack's records: press then release, only the release with the
// break bit, extended keys with the E0 bit and their base make code.
TEST_F(DriverTest, HeldKeystrokesComeAsPressAndReleaseRecords) {
    ASSERT_EQ(0u, Transact(VNL_OP_PROTECT_ON, 7).status());
    ASSERT_EQ(kHeld, control_.PressKey(0x1E)->outcome);        // A
    ASSERT_EQ(kHeld, control_.PressKey(0x48, true)->outcome);  // Up arrow
    EXPECT_EQ(4u, control_.State().heldRecords);

    const std::vector<KeyRecord> records = Records(Transact(VNL_OP_FETCH_KEYS));
    const std::uint16_t expected[][2] = {{0x1E, 0}, {0x1E, kKeyBreak}, {0x48, kKeyE0}, {0x48, kKeyE0 | kKeyBreak}};
    ASSERT_EQ(4u, records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(expected[i][0], records[i].makeCode) << i;
        EXPECT_EQ(expected[i][1], records[i].flags) << i;
        EXPECT_EQ(0u, records[i].unitNumber);
    }
    EXPECT_EQ(0u, control_.State().heldRecords);
}

TEST_F(DriverTest, TenRecordsPerReplyOldestFirstRestNextTime) {
    ASSERT_NO_FATAL_FAILURE(HoldKeys(7));  // 14 records
    const std::vector<KeyRecord> first = Records(Transact(VNL_OP_FETCH_KEYS));
    ASSERT_EQ(10u, first.size());
    for (size_t i = 0; i < first.size(); ++i) EXPECT_EQ(0x10 + i / 2, first[i].makeCode) << i;
    const std::vector<KeyRecord> second = Records(Transact(VNL_OP_FETCH_KEYS));
    ASSERT_EQ(4u, second.size());
    EXPECT_EQ(0x15, second[0].makeCode);
    EXPECT_EQ(0x16, second[3].makeCode);
    EXPECT_EQ(kKeyBreak, second[3].flags);
    EXPECT_TRUE(Records(Transact(VNL_OP_FETCH_KEYS)).empty());
}

TEST_F(DriverTest, PlaceholderDigitsWhileHoldingTheKeyItselfOtherwise) {
    auto passed = control_.PressKey(0x1E);
    ASSERT_TRUE(passed);
    EXPECT_EQ(kPassedThrough, passed->outcome);
    EXPECT_EQ(0x1E, passed->makeCode);
    EXPECT_EQ(0, passed->flags);
    passed = control_.PressKey(0x4B, true);  // Left arrow
    EXPECT_EQ(0x4B, passed->makeCode);
    EXPECT_EQ(kKeyE0, passed->flags);
    EXPECT_EQ(0u, control_.State().heldRecords);

    ASSERT_EQ(0u, Transact(VNL_OP_PROTECT_ON).status());
    for (std::uint16_t expected : {0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x02}) {
        const auto held = control_.PressKey(0x4B, true);
        ASSERT_TRUE(held);
        EXPECT_EQ(kHeld, held->outcome);
        EXPECT_EQ(expected, held->makeCode);
        EXPECT_EQ(0, held->flags);
    }

    // Switching off drops what is held; later keys go up as themselves.
    ASSERT_EQ(0u, Transact(VNL_OP_PROTECT_OFF).status());
    EXPECT_EQ(0u, control_.State().heldRecords);
    EXPECT_TRUE(Records(Transact(VNL_OP_FETCH_KEYS)).empty());
    EXPECT_EQ(0x1E, control_.PressKey(0x1E)->makeCode);

    for (std::uint16_t bad : {0x00, 0x80, 0xE0}) EXPECT_FALSE(control_.PressKey(bad)) << bad;
}

TEST_F(DriverTest, KeystrokesBeyondCapacityAreSwallowedNotPassedUp) {
    ASSERT_NO_FATAL_FAILURE(HoldKeys(static_cast<int>(kHeldRecordCapacity / 2)));
    const auto swallowed = control_.PressKey(0x1E);
    ASSERT_TRUE(swallowed);
    EXPECT_EQ(kSwallowed, swallowed->outcome);
    EXPECT_EQ(0, swallowed->makeCode);
    EXPECT_EQ(kHeldRecordCapacity, control_.State().heldRecords);
    EXPECT_EQ(10u, Records(Transact(VNL_OP_FETCH_KEYS)).size());
    EXPECT_EQ(kHeld, control_.PressKey(0x1E)->outcome);
}

TEST_F(DriverTest, DefaultListingNamesTheKeyboardClassUpperFilters) {
    bench::ScopedKeySnapshot restore(HKEY_LOCAL_MACHINE, kKeyboardClassKey);
    struct Case {
        const char* label;
        DWORD type;
        std::u16string value;  // as stored, terminators included
        std::vector<std::u16string> names;
    };
    const std::u16string longName(500, u'x');
    const Case cases[] = {
        {"two filters", REG_MULTI_SZ, std::u16string(u"kbdclass\0vnlfilt\0\0", 18), {u"\\Driver\\kbdclass", u"\\Driver\\vnlfilt"}},
        {"no final empty string", REG_MULTI_SZ, std::u16string(u"kbdclass\0", 9), {u"\\Driver\\kbdclass"}},
        {"wrong type", REG_SZ, std::u16string(u"kbdclass\0", 9), {}},
        {"empty list", REG_MULTI_SZ, std::u16string(u"\0", 1), {}},
        {"twelve filters, ten listed", REG_MULTI_SZ,
         std::u16string(u"a\0b\0c\0d\0e\0f\0g\0h\0i\0j\0k\0l\0\0", 25),
         {u"\\Driver\\a", u"\\Driver\\b", u"\\Driver\\c", u"\\Driver\\d", u"\\Driver\\e", u"\\Driver\\f", u"\\Driver\\g",
          u"\\Driver\\h", u"\\Driver\\i", u"\\Driver\\j"}},
        {"overlong name is cut", REG_MULTI_SZ, longName + std::u16string(u"\0\0", 2),
         {(u"\\Driver\\" + longName).substr(0, kFilterNameUnits - 1)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_NO_FATAL_FAILURE(SetUpperFilters(c.type, c.value));
        const Reply reply = Transact(VNL_OP_LIST_FILTERS);
        ASSERT_TRUE(reply.succeeded);
        EXPECT_EQ(0u, reply.status());
        ASSERT_EQ(c.names.size() * sizeof(FilterEntry), reply.dataLength());
        for (size_t i = 0; i < c.names.size(); ++i) {
            EXPECT_EQ(1u, ReadEnvelopeWord(reply.data(), i * sizeof(FilterEntry))) << i;
            EXPECT_EQ(c.names[i], EntryName(reply, i)) << i;
        }
    }
    bench::DeleteValue(HKEY_LOCAL_MACHINE, kKeyboardClassKey, "UpperFilters");
    EXPECT_EQ(0u, Transact(VNL_OP_LIST_FILTERS).dataLength());
}

TEST_F(DriverTest, ListingSetThroughControlIsSentRaw) {
    ASSERT_TRUE(control_.SetFilters({bench::MakeFilterEntry(L"\\Driver\\kbdclass"), bench::MakeFilterEntry(L"\\Driver\\old", 0)}));
    Reply reply = Transact(VNL_OP_LIST_FILTERS);
    ASSERT_EQ(2 * sizeof(FilterEntry), reply.dataLength());
    EXPECT_EQ(0u, ReadEnvelopeWord(reply.data(), sizeof(FilterEntry)));
    EXPECT_EQ(u"\\Driver\\old", EntryName(reply, 1));

    ASSERT_TRUE(control_.SetFilters({bench::MakeFilterEntry(L"\\Driver\\kbdclass")}, 789));
    reply = Transact(VNL_OP_LIST_FILTERS);
    EXPECT_EQ(789u, reply.dataLength());
    EXPECT_EQ(u"\\Driver\\kbdclass", EntryName(reply, 0));
    EXPECT_EQ(0u, ReadEnvelopeWord(reply.data(), sizeof(FilterEntry)));  // past the one entry: zero

    ASSERT_TRUE(control_.UseDefaultFilters());
    std::vector<FilterEntry> eleven(11, bench::MakeFilterEntry(L"x"));
    EXPECT_FALSE(control_.SetFilters(eleven));
}

// Refused envelopes get a reply with an error status (or a failed call when
// no reply fits), and the driver keeps answering afterwards.
TEST_F(DriverTest, MalformedEnvelopesAreRefusedWithoutHarm) {
    auto withWord = [](std::uint32_t operation, size_t offset, std::uint32_t value) {
        Bytes plain = PlainRequest(operation);
        WriteEnvelopeWord(plain.data(), offset, value);
        return Enciphered(plain);
    };
    auto resized = [](std::uint32_t operation, size_t size) {
        Bytes plain = PlainRequest(operation);
        plain.resize(size, 0);
        return Enciphered(plain);
    };
    struct Case {
        const char* label;
        Bytes wire;
        DWORD outputLength;
        std::uint32_t status;  // 0: the call itself fails
    };
    const Case cases[] = {
        {"empty", {}, 128, kReplyBadLength},
        {"shorter than a header", resized(VNL_OP_FETCH_KEYS, 40), 128, kReplyBadLength},
        {"not whole blocks", resized(VNL_OP_FETCH_KEYS, 130), 136, kReplyBadLength},
        {"beyond the capacity", resized(VNL_OP_LIST_FILTERS, kEnvelopeCapacity + 8), 8248, kReplyBadLength},
        {"fixed word 1", withWord(VNL_OP_FETCH_KEYS, kEnvFixedWord1, 2), 128, kReplyBadHeader},
        {"fixed word 4", withWord(VNL_OP_FETCH_KEYS, kEnvFixedWord4, 0), 128, kReplyBadHeader},
        {"magic", withWord(VNL_OP_PROTECT_ON, kEnvFixedWord6, 4568), 56, kReplyBadHeader},
        {"unknown operation", withWord(VNL_OP_FETCH_KEYS, kEnvOperation, IOCTL_VNL_TRANSACT), 128, kReplyUnknownOperation},
        {"total length word", withWord(VNL_OP_FETCH_KEYS, kEnvTotalLength, 136), 128, kReplyBadHeader},
        {"capacity word", withWord(VNL_OP_FETCH_KEYS, kEnvDataLength, 88), 128, kReplyBadHeader},
        {"another operation's size", resized(VNL_OP_PROTECT_ON, kFetchKeysLength), 128, kReplyBadHeader},
        {"not enciphered", PlainRequest(VNL_OP_FETCH_KEYS), 128, kReplyBadHeader},
        {"no room for a reply", Enciphered(PlainRequest(VNL_OP_FETCH_KEYS)), 40, 0},
    };
    ASSERT_NO_FATAL_FAILURE(HoldKeys(1));
    std::uint32_t refused = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Reply reply = Send(c.wire, c.outputLength);
        ++refused;
        if (c.status == 0) {
            EXPECT_FALSE(reply.succeeded);
            EXPECT_EQ(0u, reply.bytesReturned);
            continue;
        }
        ASSERT_TRUE(reply.succeeded) << reply.error;
        EXPECT_LE(reply.bytesReturned, c.outputLength);
        EXPECT_EQ(0u, reply.bytesReturned % 8);
        EXPECT_EQ(c.status, reply.status());
        EXPECT_EQ(0u, reply.dataLength());
        EXPECT_EQ(0u, control_.ReadLog().back().headerValid);
    }
    const DriverState state = control_.State();
    EXPECT_EQ(refused - 1, state.invalidEnvelopes);  // "no room" was well-formed
    EXPECT_EQ(2u, state.heldRecords);                // nothing refused touched the held keys
    EXPECT_EQ(2u, Records(Transact(VNL_OP_FETCH_KEYS)).size());
}

TEST_F(DriverTest, OnlyTheTransactCodeIsAccepted) {
    const Bytes wire = Enciphered(PlainRequest(VNL_OP_FETCH_KEYS));
    for (DWORD code : {VNL_OP_FETCH_KEYS, VNL_OP_PROTECT_ON, 0x220000u, IOCTL_VNLCTL_RESET, 0x222428u}) {
        const bench::RawExchange raw = bench::SendToDriver(wire, 128, code);
        ASSERT_TRUE(raw.opened);
        EXPECT_FALSE(raw.succeeded) << std::hex << code;
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FUNCTION), raw.error) << std::hex << code;
    }
    EXPECT_EQ(0u, control_.State().validEnvelopes + control_.State().invalidEnvelopes);
}

TEST_F(DriverTest, InjectedStatusLengthAndFailureApplyOnce) {
    ASSERT_NO_FATAL_FAILURE(HoldKeys(1));
    ASSERT_TRUE(control_.SetNextReply(5u));
    Reply reply = Transact(VNL_OP_FETCH_KEYS);
    EXPECT_EQ(5u, reply.status());
    EXPECT_EQ(2u, Records(reply).size());  // the data still comes with the status
    EXPECT_EQ(0u, Transact(VNL_OP_FETCH_KEYS).status());

    ASSERT_TRUE(control_.SetNextReply(std::nullopt, 9000u));
    reply = Transact(VNL_OP_FETCH_KEYS);
    EXPECT_EQ(0u, reply.status());
    EXPECT_EQ(9000u, reply.dataLength());
    EXPECT_EQ(kFetchKeysLength, reply.bytesReturned);

    // A failed exchange changes nothing: the held keys wait for the next fetch.
    ASSERT_EQ(kHeld, control_.PressKey(0x1E)->outcome);
    ASSERT_TRUE(control_.FailNextExchange());
    reply = Transact(VNL_OP_FETCH_KEYS);
    EXPECT_FALSE(reply.succeeded);
    EXPECT_EQ(1u, control_.State().failedExchanges);
    EXPECT_EQ(2u, Records(Transact(VNL_OP_FETCH_KEYS)).size());
}

TEST_F(DriverTest, LogKeepsTheNewestEntriesOldestFirst) {
    const std::uint32_t sent = kLogCapacity + 6;
    for (std::uint32_t i = 0; i < sent; ++i) ASSERT_EQ(0u, Transact(VNL_OP_PROTECT_ON, i).status());
    const std::vector<LogEntry> log = control_.ReadLog();
    ASSERT_EQ(kLogCapacity, log.size());
    EXPECT_EQ(6u, log.front().callerValue);
    EXPECT_EQ(sent - 1, log.back().callerValue);
    EXPECT_EQ(sent, control_.State().loggedEnvelopes);
}

TEST_F(DriverTest, ResetReturnsToTheStartingState) {
    ASSERT_NO_FATAL_FAILURE(HoldKeys(2));
    ASSERT_TRUE(control_.SetFilters({bench::MakeFilterEntry(L"\\Driver\\set")}, 789));
    ASSERT_TRUE(control_.SetNextReply(5u, 1u));
    ASSERT_TRUE(control_.FailExchanges(3));
    Send({1, 2, 3}, 64);

    ASSERT_TRUE(control_.Reset());
    const DriverState state = control_.State();
    EXPECT_EQ(0u, state.protectionOn);
    EXPECT_EQ(0u, state.callerValue);
    EXPECT_EQ(0u, state.heldRecords);
    EXPECT_EQ(0u, state.validEnvelopes + state.invalidEnvelopes + state.failedExchanges + state.loggedEnvelopes);
    EXPECT_TRUE(control_.ReadLog().empty());

    bench::ScopedKeySnapshot restore(HKEY_LOCAL_MACHINE, kKeyboardClassKey);
    ASSERT_NO_FATAL_FAILURE(SetUpperFilters(REG_MULTI_SZ, std::u16string(u"kbdclass\0\0", 10)));
    const Reply reply = Transact(VNL_OP_LIST_FILTERS);
    ASSERT_TRUE(reply.succeeded);  // no pending failure
    EXPECT_EQ(0u, reply.status());  // no pending status
    EXPECT_EQ(sizeof(FilterEntry), reply.dataLength());  // the registry listing again
    EXPECT_EQ(u"\\Driver\\kbdclass", EntryName(reply, 0));
    EXPECT_EQ(0x1E, control_.PressKey(0x1E)->makeCode);  // protection is off
}

}  // namespace
