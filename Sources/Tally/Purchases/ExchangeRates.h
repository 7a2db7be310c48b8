#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace vorn::tally {

struct ExchangeRate {
    std::string_view currencyCode;  // ISO 4217
    double unitsPerUSD;             // units of the currency worth one US dollar
};

// The built-in exchange rates of 161 currencies, the US dollar itself not among them; fixed
// for the life of the program.
std::span<const ExchangeRate> currencyCodeToOneUSDExchangeRate();
// The units of the currency worth one US dollar; none for a code missing from the table.
std::optional<double> oneUSDExchangeRate(std::string_view currencyCode);

}  // namespace vorn::tally
