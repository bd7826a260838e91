#include "Catalogue.h"

#include <array>
#include <cstdio>

namespace zn::webhost {

namespace {

constexpr std::array kCatalogue{
    Goods{"card-jx-30", "游戏点卡", "征途风云 30元点卡", 3000},
    Goods{"card-mh-15", "游戏点卡", "仙侠传说 15元点卡", 1500},
    Goods{"card-wow-75", "游戏点卡", "星际远征 75元时间卡", 7500},
    Goods{"card-jw-50", "游戏点卡", "炫舞青春 50元点券", 5000},
    Goods{"topup-qb-10", "充值", "游戏平台币 10元", 1000},
    Goods{"topup-qb-30", "充值", "游戏平台币 30元", 3000},
    Goods{"topup-net-20", "充值", "上网时长 20元", 2000},
    Goods{"topup-net-50", "充值", "上网时长 50元（送5元）", 5000},
    Goods{"drink-cola", "饮料零食", "可乐 330ml", 300},
    Goods{"drink-tea", "饮料零食", "冰红茶 500ml", 300},
    Goods{"drink-redbull", "饮料零食", "功能饮料 250ml", 600},
    Goods{"snack-noodle", "饮料零食", "泡面（加肠）", 800},
};

}  // namespace

std::span<const Goods> Catalogue() {
    return kCatalogue;
}

const Goods* FindGoods(std::string_view id) {
    for (const Goods& goods : kCatalogue) {
        if (goods.id == id) {
            return &goods;
        }
    }
    return nullptr;
}

std::string FormatPrice(long long fen) {
    char text[48];
    std::snprintf(text, sizeof text, "%lld.%02lld元", fen / 100, fen % 100);
    return text;
}

}  // namespace zn::webhost
