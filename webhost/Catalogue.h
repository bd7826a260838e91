#pragma once

#include <span>
#include <string>
#include <string_view>

namespace zn::webhost {

// One article of the shop; prices are in fen so that sums stay exact.
struct Goods {
    std::string_view id;
    std::string_view category;
    std::string_view name;
    int priceFen;
};

// The shop's articles, grouped by category in the order the shop shows them.
std::span<const Goods> Catalogue();

// The article with that id, or nullptr.
const Goods* FindGoods(std::string_view id);

// "30.00元".
std::string FormatPrice(long long fen);

}  // namespace zn::webhost
