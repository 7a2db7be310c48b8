#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace vorn::tally {

// Where a row's rate comes from (see ExchangeRates.cpp).
enum class RateBasis {
    given,      // one of the fourteen reference rates
    pegged,     // a fixed parity to the dollar, the euro or the pound
    estimated,  // a level of about mid-February 2025, not checked against a published source
};

struct ExchangeRate {
    std::string_view currencyCode;  // ISO 4217
    double unitsPerUSD;             // units of the currency worth one US dollar
    RateBasis basis;
};

// The built-in exchange rates of 161 currencies, the US dollar itself not among them; fixed
// for the life of the program. Only the given and pegged rows are exact; the others are
// estimates.
std::span<const ExchangeRate> currencyCodeToOneUSDExchangeRate();
// The units of the currency worth one US dollar; none for a code missing from the table.
std::optional<double> oneUSDExchangeRate(std::string_view currencyCode);

}  // namespace vorn::tally
