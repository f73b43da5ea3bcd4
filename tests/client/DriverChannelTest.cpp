// The driver channel against the stand-in driver: what goes over the wire
// (the driver deciphers and logs every envelope), what comes back, and how
// failures and odd replies are handled.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "DriverChannel.h"
#include "DriverControl.h"
#include "DriverEnvelope.h"

namespace {

using vnl::DriverChannel;

std::uint32_t ThisThreadTag() { return ::GetCurrentThreadId() + ::GetCurrentProcessId(); }


class DriverChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(control.IsOpen()) << "stand-in driver's control device missing";
        control.Reset();
        ASSERT_EQ(channel.Open(1), 0);
    }

    bench::DriverControl control;
    DriverChannel channel;
};

TEST_F(DriverChannelTest, EveryOperationGoesOutAsAValidEnvelopeWithThisThreadsTag) {
    unsigned char data[vnl::kListFiltersCapacity];
    std::uint32_t length = 0;
    struct Case {
        const char* name;
        std::function<int()> run;
        std::uint32_t operation;
        std::uint32_t size;
        std::uint32_t callerValue;
    };
    const Case cases[] = {
        {"protection on", [&] { return channel.SetProtection(1, 0x00012345); }, vnl::VNL_OP_PROTECT_ON, 56, 0x00012345},
        {"protection off at unload", [&] { return channel.SetProtection(0, 0xFF7018C3); }, vnl::VNL_OP_PROTECT_OFF,
         56, 0xFF7018C3},
        {"fetch", [&] { return channel.FetchKeystrokes(data, &length); }, vnl::VNL_OP_FETCH_KEYS, 128, 0},
        {"list", [&] { return channel.ListKeyboardFilters(data, &length); }, vnl::VNL_OP_LIST_FILTERS, 7928, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        control.Reset();
        EXPECT_EQ(c.run(), 0);
        const auto log = control.ReadLog();
        ASSERT_EQ(log.size(), 1u);
        const auto& entry = log.back();
        EXPECT_EQ(entry.operation, c.operation);
        EXPECT_EQ(entry.envelopeSize, c.size);
        EXPECT_EQ(entry.envelopeSize % 8, 0u);
        EXPECT_EQ(entry.headerValid, 1u);
        EXPECT_EQ(entry.reservedClear, 1u);
        EXPECT_EQ(entry.callerTag, ThisThreadTag());
        EXPECT_EQ(entry.callerTag, entry.threadId + entry.processId);
        EXPECT_EQ(entry.callerValue, c.callerValue);
    }
}

TEST_F(DriverChannelTest, ProtectionReachesTheDriver) {
    EXPECT_EQ(channel.SetProtection(1, 77), 0);
    EXPECT_TRUE(channel.ProtectionOn());
    EXPECT_EQ(control.State().protectionOn, 1u);
    EXPECT_EQ(control.State().callerValue, 77u);
    EXPECT_EQ(channel.SetProtection(0, 0), 0);
    EXPECT_FALSE(channel.ProtectionOn());
    EXPECT_EQ(control.State().protectionOn, 0u);
}

TEST_F(DriverChannelTest, ClosedChannelSendsNothingButStillRecordsProtection) {
    EXPECT_EQ(channel.Close(), 0);
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_EQ(channel.Close(), 0) << "closing a closed channel";

    EXPECT_EQ(channel.SetProtection(1, 0), -1);
    EXPECT_TRUE(channel.ProtectionOn());
    unsigned char data[vnl::kFetchKeysCapacity];
    std::uint32_t length = 0xDEADBEEF;
    EXPECT_EQ(channel.FetchKeystrokes(data, &length), -1);
    EXPECT_EQ(channel.ListKeyboardFilters(data, &length), -1);
    EXPECT_EQ(length, 0xDEADBEEFu) << "length written on a closed channel";
    EXPECT_TRUE(control.ReadLog().empty());
}

TEST_F(DriverChannelTest, FailedExchangeReturnsMinusOneAndLeavesTheLengthAlone) {
    control.FailExchanges(2);
    std::vector<unsigned char> data(vnl::kFetchKeysCapacity);
    std::uint32_t length = 0xDEADBEEF;
    EXPECT_EQ(channel.FetchKeystrokes(data.data(), &length), -1);
    EXPECT_EQ(length, 0xDEADBEEFu);
    EXPECT_EQ(channel.SetProtection(1, 0), -1);
    EXPECT_TRUE(channel.ProtectionOn());
    EXPECT_EQ(channel.FetchKeystrokes(data.data(), &length), 0) << "the channel works again after a failure";
    EXPECT_EQ(length, 0u);
}

TEST_F(DriverChannelTest, ErrorStatusIsReturnedWithTheRepliesRecords) {
    ASSERT_EQ(channel.SetProtection(1, 0), 0);
    ASSERT_TRUE(control.PressKey(0x1E, false));
    control.SetNextReply(5, std::nullopt);
    unsigned char data[vnl::kFetchKeysCapacity] = {};
    std::uint32_t length = 0;
    EXPECT_EQ(channel.FetchKeystrokes(data, &length), 5);
    ASSERT_EQ(length, 16u) << "a press and a release record";
    vnl::KeyRecord records[2];
    std::memcpy(records, data, sizeof records);
    EXPECT_EQ(records[0].makeCode, 0x1E);
    EXPECT_EQ(records[1].makeCode, 0x1E);
    EXPECT_EQ(records[1].flags & vnl::kKeyBreak, vnl::kKeyBreak);
}

TEST_F(DriverChannelTest, ReplyClaimingMoreDataThanTheCapacityIsCut) {
    struct Case { bool list; std::uint32_t claimed; std::uint32_t expected; };
    const Case cases[] = {
        {false, 81, 80}, {false, 8192, 80}, {false, 0xFFFFFFFF, 80}, {false, 80, 80},
        {true, 7881, 7880}, {true, 0x80000000, 7880}, {true, 789, 789},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.list ? "list" : "fetch") << " claiming " << c.claimed);
        // A guard zone after the destination catches any copy past the capacity.
        const std::uint32_t capacity = c.list ? vnl::kListFiltersCapacity : vnl::kFetchKeysCapacity;
        std::vector<unsigned char> destination(capacity + 64, 0xA5);
        std::uint32_t length = 0;
        control.SetNextReply(std::nullopt, c.claimed);
        const int result = c.list ? channel.ListKeyboardFilters(destination.data(), &length)
                                  : channel.FetchKeystrokes(destination.data(), &length);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(length, c.expected);
        for (std::uint32_t i = capacity; i < destination.size(); ++i)
            ASSERT_EQ(destination[i], 0xA5) << "written past the capacity at " << i;
    }
}

TEST_F(DriverChannelTest, ShortReplyIsAFailedExchangeNotPhantomRecords) {
    // The driver returns only the first `returned` bytes of its reply to a
    // fetch that carries one keystroke (a press and a release, 16 data bytes).
    struct Case { std::uint32_t returned; int result; };
    const Case cases[] = {
        {0, -1}, {8, -1}, {47, -1}, {48, -1},   // header missing or data missing
        {56, -1}, {63, -1},                     // one record of two; a block written only in part
        {64, 0}, {128, 0},                      // header and both records
    };
    ASSERT_EQ(channel.SetProtection(1, 0), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.returned << " bytes returned");
        ASSERT_TRUE(control.PressKey(0x1E, false));
        ASSERT_TRUE(control.SetNextReply(std::nullopt, std::nullopt, c.returned));
        unsigned char data[vnl::kFetchKeysCapacity];
        std::memset(data, 0xA5, sizeof data);
        std::uint32_t length = 0xDEADBEEF;
        EXPECT_EQ(channel.FetchKeystrokes(data, &length), c.result);
        if (c.result == 0) {
            EXPECT_EQ(length, 16u);
            EXPECT_EQ(data[2], 0x1E) << "the press record's make code";
        } else {
            EXPECT_EQ(length, 0xDEADBEEFu) << "length written for a short reply";
            EXPECT_EQ(data[0], 0xA5) << "records copied from a short reply";
        }
        ASSERT_EQ(control.Reset(), true);
        ASSERT_EQ(channel.SetProtection(1, 0), 0);
    }
    // A protection reply carries no data: its header alone is whole.
    ASSERT_TRUE(control.SetNextReply(std::nullopt, std::nullopt, 48));
    EXPECT_EQ(channel.SetProtection(0, 0), 0);
    ASSERT_TRUE(control.SetNextReply(std::nullopt, std::nullopt, 40));
    EXPECT_EQ(channel.SetProtection(0, 0), -1);
}

TEST_F(DriverChannelTest, NullArgumentsAreRefusedWithoutAnExchange) {
    std::uint32_t length = 0;
    unsigned char data[vnl::kFetchKeysCapacity];
    EXPECT_EQ(channel.FetchKeystrokes(nullptr, &length), -1);
    EXPECT_EQ(channel.FetchKeystrokes(data, nullptr), -1);
    EXPECT_EQ(channel.ListKeyboardFilters(nullptr, &length), -1);
    EXPECT_TRUE(control.ReadLog().empty());
}

TEST_F(DriverChannelTest, TwoThreadsExchangingAtOnceNeverMixTheirEnvelopes) {
    constexpr int kPerThread = 2000;
    std::atomic<int> failures{0};
    std::atomic<std::uint32_t> workerTag{0};
    const auto exchange = [&](int i) {
        unsigned char data[vnl::kFetchKeysCapacity];
        std::uint32_t length = 0;
        const int result = (i % 2 == 0) ? channel.SetProtection(i % 4 == 0, static_cast<std::uint32_t>(i))
                                        : channel.FetchKeystrokes(data, &length);
        if (result != 0) ++failures;
    };
    std::thread worker([&] {
        workerTag = ThisThreadTag();
        for (int i = 0; i < kPerThread; ++i) exchange(i);
    });
    for (int i = 0; i < kPerThread; ++i) exchange(i + 1);
    worker.join();

    EXPECT_EQ(failures.load(), 0);
    const auto state = control.State();
    EXPECT_EQ(state.invalidEnvelopes, 0u);
    EXPECT_EQ(state.validEnvelopes, 2u * kPerThread);
    for (const auto& entry : control.ReadLog()) {
        EXPECT_EQ(entry.headerValid, 1u);
        EXPECT_TRUE(entry.callerTag == ThisThreadTag() || entry.callerTag == workerTag.load());
    }
}

TEST(DriverChannelOpen, MissingDeviceGivesTheSystemErrorAndLeavesTheChannelClosed) {
    for (const int skipCheck : {0, 1}) {
        SCOPED_TRACE(::testing::Message() << "skip-check flag " << skipCheck);
        DriverChannel channel;
        {
            bench::ScopedDriverStopped stopped;
            ASSERT_TRUE(stopped.stopped()) << "the driver's service could not be stopped";
            EXPECT_EQ(channel.Open(skipCheck), ERROR_FILE_NOT_FOUND);
        }
        EXPECT_FALSE(channel.IsOpen());
        EXPECT_EQ(channel.SetProtection(1, 0), -1) << "the device is back, but the channel never opened";
        EXPECT_TRUE(channel.ProtectionOn());
        // Nothing listed: the check, when it runs, finds nothing untrusted.
        bench::DriverControl control;
        ASSERT_TRUE(control.SetFilters({}));
        EXPECT_EQ(channel.Open(skipCheck), 0) << "opens once the device is back";
        control.UseDefaultFilters();
    }
}

// The handles this process holds. Wine answers GetProcessHandleCount with 0,
// so the handle table is probed instead: its values are small multiples of 4.
DWORD HandleCount() {
    DWORD count = 0, flags = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4)
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    return count;
}

// Reopening replaces the handle held before, and a failed reopen still closes
// it: the process never holds more than one handle to the device.
TEST(DriverChannelOpen, ReopenClosesTheHandleHeldBefore) {
    DriverChannel channel;
    ASSERT_EQ(channel.Open(1), 0);
    const DWORD open = HandleCount();
    ASSERT_EQ(channel.Open(1), 0);
    EXPECT_EQ(HandleCount(), open) << "a successful reopen kept the old handle";
    {
        bench::ScopedDriverStopped stopped;
        ASSERT_TRUE(stopped.stopped());
        const DWORD beforeFailedOpen = HandleCount();
        EXPECT_EQ(channel.Open(1), ERROR_FILE_NOT_FOUND);
        EXPECT_FALSE(channel.IsOpen());
        EXPECT_EQ(HandleCount(), beforeFailedOpen - 1) << "a failed reopen kept the old handle";
    }
}

// The module's own channel, through the plain functions.
TEST(ModuleDriverChannel, OpensProtectsAndCloses) {
    bench::DriverControl control;
    ASSERT_TRUE(control.IsOpen());
    control.Reset();
    ASSERT_TRUE(control.SetFilters({}));  // nothing for the check to find
    EXPECT_EQ(vnl::OpenDriverChannel(0), 0);
    EXPECT_EQ(vnl::OpenDriverChannel(1), 0) << "opening again replaces the handle";
    EXPECT_EQ(vnl::SetDriverProtection(1, 0x4242), 0);
    EXPECT_EQ(control.State().callerValue, 0x4242u);
    EXPECT_TRUE(vnl::ModuleDriverChannel().ProtectionOn());
    EXPECT_EQ(vnl::SetDriverProtection(0, 0), 0);
    EXPECT_EQ(vnl::CloseDriverChannel(), 0);
    EXPECT_EQ(vnl::CloseDriverChannel(), 0);
    EXPECT_EQ(vnl::SetDriverProtection(1, 0), -1);
    control.UseDefaultFilters();
}

}  // namespace
