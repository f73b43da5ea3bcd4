// Decoding held keystrokes: the records come from the stand-in driver (the
// tests press keys on its control device), the layout is Wine's own US layout
// or, for dead keys, the tests' own layout.
#include <gtest/gtest.h>

#include <functional>

#include <windows.h>

#include <deque>
#include <vector>

#include "DeadKeyLayout.h"
#include "DriverChannel.h"
#include "DriverControl.h"
#include "KeyboardLayout.h"
#include "KeystrokeDecoder.h"

namespace {

struct Decoded {
    int result;
    int character;
    int virtualKey;
    int count;
};

class KeystrokeDecoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(control.IsOpen()) << "stand-in driver's control device missing";
        control.Reset();
        ASSERT_EQ(channel.Open(1), 0);
        ASSERT_EQ(channel.SetProtection(1, 0), 0);
        ::GetKeyboardState(savedKeyState_);
    }
    void TearDown() override { ::SetKeyboardState(savedKeyState_); }

    void Press(std::uint16_t scanCode, bool extended = false) {
        const auto passed = control.PressKey(scanCode, extended);
        ASSERT_TRUE(passed.has_value());
        ASSERT_EQ(passed->outcome, vnl::drv::kHeld);
    }

    Decoded Decode(int placeholder = '1') {
        Decoded d{0, placeholder, -7, -7};
        d.result = channel.DecodeProtectedKey(&d.character, &d.virtualKey, &d.count);
        return d;
    }

    // Sets this thread's Shift and NumLock as the system keeps them.
    static void SetThreadKeys(bool shift, bool numLock) {
        BYTE state[256] = {};
        ::GetKeyboardState(state);
        state[VK_SHIFT] = state[VK_LSHIFT] = shift ? 0x80 : 0;
        state[VK_NUMLOCK] = numLock ? 0x01 : 0;
        ::SetKeyboardState(state);
    }

    bench::DriverControl control;
    vnl::DriverChannel channel;

private:
    BYTE savedKeyState_[256] = {};
};

TEST(KeystrokeQueue, OnlyReleaseRecordsAreQueuedOldestFirst) {
    // Ten records, four with bit 0 set (one of them extended), the others
    // carrying every other flag combination.
    const std::uint16_t records[10][4] = {
        {0, 0x1E, 0x0, 0}, {0, 0x1E, 0x1, 0}, {0, 0x48, 0x2, 0}, {0, 0x48, 0x3, 0}, {0, 0x30, 0x4, 0},
        {0, 0x130, 0x5, 0}, {0, 0x2E, 0xFFFE, 0}, {0, 0x2E, 0xFFFF, 0}, {0, 0x12, 0x8, 0}, {0, 0x12, 0x0, 0},
    };
    std::deque<vnl::QueuedKey> queue{0x39};
    EXPECT_EQ(vnl::QueueReleasedKeys(reinterpret_cast<const unsigned char*>(records), sizeof records, queue), 4u);
    const std::deque<vnl::QueuedKey> expected{0x39, 0x1E, 0x48 | vnl::kQueuedExtended, 0x30,
                                              0x2E | vnl::kQueuedExtended};
    EXPECT_EQ(queue, expected);

    // A length that is not a whole number of records drops the partial one.
    std::deque<vnl::QueuedKey> partial;
    EXPECT_EQ(vnl::QueueReleasedKeys(reinterpret_cast<const unsigned char*>(records), 15, partial), 0u);
    EXPECT_EQ(vnl::QueueReleasedKeys(reinterpret_cast<const unsigned char*>(records), 23, partial), 1u);
}

TEST_F(KeystrokeDecoderTest, CharactersThatAreNotPlaceholdersOrNoProtectionAreLeftAlone) {
    Press(0x1E);
    struct Case { const char* name; bool protection; int character; };
    const Case cases[] = {
        {"digit with protection off", false, '7'},
        {"letter with protection on", true, 'a'},
        {"punctuation with protection on", true, '.'},
        {"not a character of the layout", true, 0xE9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        channel.SetProtection(c.protection, 0);
        const Decoded d = Decode(c.character);
        EXPECT_EQ(d.result, -1);
        EXPECT_EQ(d.character, c.character);
        EXPECT_EQ(d.virtualKey, -7);
        EXPECT_EQ(d.count, -7);
    }
    for (const auto& entry : control.ReadLog()) EXPECT_NE(entry.operation, vnl::VNL_OP_FETCH_KEYS);

    int character = '1', virtualKey = 0;
    EXPECT_EQ(channel.DecodeProtectedKey(&character, &virtualKey, nullptr), -1);
}

TEST_F(KeystrokeDecoderTest, KeysDecodeThroughTheLayoutWithShiftAndNumLock) {
    struct Case {
        const char* name;
        std::uint16_t scanCode;
        bool extended;
        bool shift;
        bool numLock;
        int character;
        int virtualKey;
        int count;
    };
    const Case cases[] = {
        {"letter", 0x1E, false, false, false, 'a', 0, 1},
        {"capital", 0x1E, false, true, false, 'A', 0, 1},
        {"space", 0x39, false, false, false, ' ', 0, 1},
        {"keypad 1 with NumLock", 0x4F, false, false, true, '1', 0, 1},
        {"keypad 0 with NumLock", 0x52, false, false, true, '0', 0, 1},
        {"keypad 1 without NumLock is End", 0x4F, false, false, false, 0, VK_END, 0},
        {"keypad minus ignores NumLock", 0x4A, false, false, true, '-', 0, 1},
        {"keypad plus ignores NumLock", 0x4E, false, false, true, '+', 0, 1},
        {"arrow up", 0x48, true, false, false, 0, VK_UP, 0},
        {"arrow up with NumLock is still an arrow", 0x48, true, false, true, 0, VK_UP, 0},
        {"delete with NumLock is still delete", 0x53, true, false, true, 0, VK_DELETE, 0},
        {"F1", 0x3B, false, false, false, 0, VK_F1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetThreadKeys(c.shift, c.numLock);
        Press(c.scanCode, c.extended);
        const Decoded d = Decode('3');
        EXPECT_EQ(d.result, 0);
        EXPECT_EQ(d.character, c.character);
        EXPECT_EQ(d.virtualKey, c.virtualKey);
        EXPECT_EQ(d.count, c.count);
    }
}

TEST_F(KeystrokeDecoderTest, HeldKeysComeOutOldestFirstAndAnEmptyFetchRepeatsTheLast) {
    SetThreadKeys(false, false);
    Press(0x1E);  // a
    Press(0x30);  // b
    Press(0x2E);  // c
    std::vector<int> characters;
    for (int i = 0; i < 4; ++i) characters.push_back(Decode('1' + i).character);
    EXPECT_EQ(characters, (std::vector<int>{'a', 'b', 'c', 'c'}));
    EXPECT_EQ(control.State().heldRecords, 0u);

    // A change of protection empties the queue whatever the exchange's
    // outcome: what was fetched and not yet decoded is gone, and the last key
    // repeats.
    struct Case { const char* label; std::function<void()> before; int result; };
    const Case cases[] = {
        {"exchange succeeds", [] {}, 0},
        {"exchange fails", [&] { control.FailNextExchange(); }, -1},
        {"channel closed", [&] { channel.Close(); }, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_EQ(channel.Open(1), 0);
        ASSERT_EQ(channel.SetProtection(1, 0), 0);
        Press(0x12);  // e
        Press(0x13);  // r
        EXPECT_EQ(Decode().character, 'e');
        c.before();
        EXPECT_EQ(channel.SetProtection(1, 0), c.result);
        EXPECT_EQ(Decode().character, 'e') << "the fetched r survived the change of protection";
        control.Reset();
    }
}

TEST_F(KeystrokeDecoderTest, ExchangeFailuresAndErrorStatusesStillUseWhatArrived) {
    SetThreadKeys(false, false);
    Press(0x1E);
    EXPECT_EQ(Decode().character, 'a');
    Press(0x30);
    control.FailNextExchange();
    EXPECT_EQ(Decode().character, 'a') << "failed fetch: the previous key again";
    control.SetNextReply(5);
    EXPECT_EQ(Decode().character, 'b') << "records of a reply with an error status are used";
}

TEST_F(KeystrokeDecoderTest, ClosedChannelWithProtectionOnRepeatsTheLastKey) {
    SetThreadKeys(false, false);
    Press(0x1E);
    EXPECT_EQ(Decode().character, 'a');
    channel.Close();
    const Decoded d = Decode();
    EXPECT_EQ(d.result, 0);
    EXPECT_EQ(d.character, 'a');
}

// Dead keys, on the tests' own layout. Before each decode the placeholder is
// translated by the system, which uses up a dead key held in the layout; the
// decoder has to put it back.
TEST_F(KeystrokeDecoderTest, DeadKeysComposeWithTheNextKey) {
    testlayout::DeadKeyLayoutScope layout;
    struct Stroke {
        std::uint16_t scanCode;
        bool extended;
        bool shift;
        Decoded expected;
    };
    struct Case {
        const char* name;
        std::vector<Stroke> strokes;
    };
    const Decoded dead = {-2, 0, 0, -1};
    const Case cases[] = {
        {"acute then e", {{0x28, false, false, dead}, {0x12, false, false, {0, 0xE9, 0, 1}}}},
        {"acute then shifted e", {{0x28, false, false, dead}, {0x12, false, true, {0, 0xC9, 0, 1}}}},
        {"grave then e", {{0x29, false, false, dead}, {0x12, false, false, {0, 0xE8, 0, 1}}}},
        {"acute then x cannot compose", {{0x28, false, false, dead}, {0x2D, false, false, {0, 'x', 0, 2}}}},
        {"Shift released after the dead key", {{0x28, false, true, dead}, {0x12, false, false, {0, 0xEB, 0, 1}}}},
        {"circumflex (shifted grave) then e", {{0x29, false, true, dead}, {0x12, false, false, {0, 0xEA, 0, 1}}}},
        {"an arrow keeps the dead key pending",
         {{0x28, false, false, dead}, {0x4B, true, false, {0, 0, VK_LEFT, 0}}, {0x12, false, false, {0, 0xE9, 0, 1}}}},
        {"an unshifted arrow keeps the dead key's Shift",
         {{0x28, false, true, dead}, {0x4B, true, false, {0, 0, VK_LEFT, 0}}, {0x12, false, false, {0, 0xEB, 0, 1}}}},
        {"composed key clears the dead key", {{0x28, false, false, dead}, {0x12, false, false, {0, 0xE9, 0, 1}},
                                              {0x12, false, false, {0, 'e', 0, 1}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int step = 0;
        for (const Stroke& s : c.strokes) {
            SCOPED_TRACE(::testing::Message() << "stroke " << step++);
            testlayout::Current().shiftDown = s.shift;
            Press(s.scanCode, s.extended);
            testlayout::PlaceholderTranslated();
            const Decoded d = Decode();
            EXPECT_EQ(d.result, s.expected.result);
            EXPECT_EQ(d.character, s.expected.character);
            EXPECT_EQ(d.virtualKey, s.expected.virtualKey);
            EXPECT_EQ(d.count, s.expected.count);
        }
    }
}

}  // namespace
