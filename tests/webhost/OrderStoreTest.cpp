#include "OrderStore.h"

#include <gtest/gtest.h>

namespace zn::webhost {
namespace {

NewOrder OrderFrom(std::string seat) {
    NewOrder order;
    order.goodsName = "可乐";
    order.priceFen = 300;
    order.seat = std::move(seat);
    return order;
}

TEST(OrderStoreTest, SerialsIncreaseFromTheStartAndOrdersAreFoundByThem) {
    OrderStore store(10, 500000);
    const auto first = store.Add(OrderFrom("A01"));
    const auto second = store.Add(OrderFrom("A02"));
    EXPECT_EQ(first, 500000U);
    EXPECT_EQ(second, 500001U);
    ASSERT_TRUE(store.Find(second).has_value());
    EXPECT_EQ(store.Find(second)->seat, "A02");
    EXPECT_EQ(store.Find(second)->state, OrderState::Open);
    EXPECT_FALSE(store.Find(499999).has_value());
    EXPECT_FALSE(store.Find(500002).has_value());
}

TEST(OrderStoreTest, RandomStartsAreSixDigitSerials) {
    OrderStore store;
    const auto serial = store.Add(OrderFrom("A01"));
    EXPECT_GE(serial, 100000U);
    EXPECT_LT(serial, 1000000U);
}

TEST(OrderStoreTest, KeepsOnlyTheNewestOrdersUpToItsCapacity) {
    OrderStore store(3, 1);
    for (int i = 0; i < 5; ++i) {
        store.Add(OrderFrom("S" + std::to_string(i)));
    }
    EXPECT_EQ(store.Size(), 3U);
    EXPECT_FALSE(store.Find(1).has_value());
    EXPECT_FALSE(store.Find(2).has_value());
    EXPECT_TRUE(store.Find(3).has_value());
    EXPECT_FALSE(store.SetState(2, OrderState::Delivered));

    const auto recent = store.Recent(2);
    ASSERT_EQ(recent.size(), 2U);
    EXPECT_EQ(recent[0].serial, 5U);
    EXPECT_EQ(recent[1].serial, 4U);
    EXPECT_EQ(store.Recent(100).size(), 3U);
}

TEST(OrderStoreTest, StateChangesStick) {
    OrderStore store(3, 7);
    store.Add(OrderFrom("A01"));
    EXPECT_TRUE(store.SetState(7, OrderState::Cancelled));
    EXPECT_EQ(store.Find(7)->state, OrderState::Cancelled);
    EXPECT_STREQ(OrderStateText(OrderState::Cancelled), "已取消");
}

}  // namespace
}  // namespace zn::webhost
