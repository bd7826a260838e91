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
    EXPECT_EQ(store.Move(2, OrderState::Delivered), ChangeResult::Unknown);

    const auto recent = store.Recent(2);
    ASSERT_EQ(recent.size(), 2U);
    EXPECT_EQ(recent[0].serial, 5U);
    EXPECT_EQ(recent[1].serial, 4U);
    EXPECT_EQ(store.Recent(100).size(), 3U);
}

TEST(OrderStoreTest, OrdersMoveOnlyAsABackOfficeAllows) {
    OrderStore store(10, 1);
    for (int i = 0; i < 3; ++i) {
        store.Add(OrderFrom("A01"));
    }
    EXPECT_EQ(store.RecordReSend(1), ChangeResult::NotAllowed) << "nothing was sent yet";
    EXPECT_EQ(store.Move(1, OrderState::DeliveryFailed), ChangeResult::Done);
    EXPECT_EQ(store.RecordReSend(1), ChangeResult::Done);
    EXPECT_EQ(store.Move(1, OrderState::Delivered), ChangeResult::Done) << "completed again";
    EXPECT_EQ(store.RecordReSend(1), ChangeResult::Done);
    EXPECT_EQ(store.Find(1)->resends, 2);
    EXPECT_EQ(store.Move(1, OrderState::Cancelled), ChangeResult::NotAllowed) << "delivered";

    EXPECT_EQ(store.Move(2, OrderState::Cancelled), ChangeResult::Done);
    EXPECT_EQ(store.Move(2, OrderState::Delivered), ChangeResult::NotAllowed);
    EXPECT_EQ(store.Move(2, OrderState::DeliveryFailed), ChangeResult::NotAllowed);
    EXPECT_EQ(store.RecordReSend(2), ChangeResult::NotAllowed);
    EXPECT_EQ(store.Move(2, OrderState::Cancelled), ChangeResult::Done) << "no change";
    EXPECT_EQ(store.Find(2)->state, OrderState::Cancelled);
    EXPECT_STREQ(OrderStateText(OrderState::Cancelled), "已取消");

    EXPECT_EQ(store.Move(3, OrderState::Open), ChangeResult::Done) << "no change";
    EXPECT_EQ(store.Move(3, OrderState::Delivered), ChangeResult::Done);
    EXPECT_EQ(store.Move(3, OrderState::Open), ChangeResult::NotAllowed);
}

}  // namespace
}  // namespace zn::webhost
