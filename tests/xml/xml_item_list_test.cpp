// The sorted cache: growth in steps of 100 slots, lazy sort, first-of-equals search.
#include "tkv/xml_item_list.h"

#include "tkv/xml_tag.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

struct Item {
    explicit Item(const std::wstring& n, int t = 0) : name(n.c_str()), tag(t) {}
    TKV::CXMLToken name;
    int tag;
};

using List = TKV::CXMLItemList<Item>;

TEST(CXMLItemList, GrowsByAHundredSlotsSortsLazilyAndFindsEveryNameAtItsRun) {
    List list;
    std::vector<Item> items;
    items.reserve(100);
    for (int i = 0; i < 100; ++i)
        items.emplace_back(L"n" + std::to_wstring(i));
    for (int i = 0; i < 99; ++i)
        ASSERT_EQ(i, list.Add(&items[i], false));
    EXPECT_EQ(100, list.Capacity());
    EXPECT_EQ(99, list.Add(&items[99], false));
    EXPECT_EQ(200, list.Capacity());
    // Entries arrive in random order with many duplicates; every name must be found at the first
    // entry of its run once the list has sorted itself, and owned entries are deleted.
    std::mt19937 rng(7);
    std::vector<std::wstring> names;
    for (int i = 0; i < 2000; ++i) {
        names.push_back(std::to_wstring(rng() % 300));
        list.Add(new Item(names.back(), i), true);
    }
    for (const auto& n : names) {
        Item* found = list.Find(n.c_str());
        ASSERT_NE(nullptr, found);
        EXPECT_EQ(0, found->name.Order(n.c_str()));
        int i = list.FindIndex(n.c_str());
        EXPECT_TRUE(i == 0 || list.At(i - 1)->name.Order(n.c_str()) != 0) << "not first of its run";
    }
    for (int i = 1; i < list.Count(); ++i)
        ASSERT_LE(list.At(i - 1)->name, list.At(i)->name);
    EXPECT_EQ(nullptr, list.Find(L"x"));
    list.Clear();
    EXPECT_EQ(0, list.Capacity());
    EXPECT_EQ(nullptr, list.Find(L"1"));
}

}  // namespace
