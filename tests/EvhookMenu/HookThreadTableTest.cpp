#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "HookThreadTable.h"

namespace {

using vnl::HookThreadTable;

HHOOK FakeHook(UINT_PTR value) { return reinterpret_cast<HHOOK>(value); }

TEST(HookThreadTable, HooksAreFoundByThreadIdFirstEntryWinning) {
    auto table = std::make_unique<HookThreadTable>();
    table->Add(10);
    table->Add(20);
    table->Add(10);  // the same id again: the first entry is the one used
    EXPECT_EQ(table->Count(), 3u);
    table->SetHook(10, FakeHook(0x100));
    table->SetHook(20, FakeHook(0x200));
    table->SetHook(30, FakeHook(0x300));  // unknown: ignored
    EXPECT_EQ(table->GetHook(10), FakeHook(0x100));
    EXPECT_EQ(table->GetHook(20), FakeHook(0x200));
    EXPECT_EQ(table->GetHook(30), nullptr);
    EXPECT_FALSE(table->Contains(30));

    table->ForgetHook(FakeHook(0x100));
    EXPECT_EQ(table->GetHook(10), nullptr);
    EXPECT_EQ(table->GetHook(20), FakeHook(0x200));
}

TEST(HookThreadTable, KeepsTheMostRecentThreadsWhenFull) {
    auto table = std::make_unique<HookThreadTable>();
    for (DWORD id = 1; id <= HookThreadTable::kCapacity; ++id) table->Add(id);
    table->SetHook(1, FakeHook(0x1));
    EXPECT_EQ(table->Count(), HookThreadTable::kCapacity);

    table->Add(5001);  // the 3001st overwrites the oldest entry
    EXPECT_EQ(table->Count(), HookThreadTable::kCapacity);
    EXPECT_EQ(table->ThreadIdAt(0), 5001u);
    EXPECT_FALSE(table->Contains(1));
    EXPECT_EQ(table->GetHook(5001), nullptr) << "a new entry starts without a hook";
    EXPECT_EQ(table->ThreadIdAt(1), 2u);
    EXPECT_EQ(table->ThreadIdAt(HookThreadTable::kCapacity - 1), HookThreadTable::kCapacity);

    table->Add(5002);
    EXPECT_EQ(table->ThreadIdAt(1), 5002u);
    EXPECT_EQ(table->Count(), HookThreadTable::kCapacity);
    EXPECT_TRUE(table->Contains(HookThreadTable::kCapacity));
}

}  // namespace
