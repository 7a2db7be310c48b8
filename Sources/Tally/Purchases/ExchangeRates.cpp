#include "Purchases/ExchangeRates.h"

#include <array>

namespace vorn::tally {
namespace {

// Units per US dollar, each row marked with where its rate comes from:
// - given: the fourteen reference rates the table is defined by, as they stand (EUR, GBP, JPY,
//   CHF, CNY, KWD, IRR, LBP, BMD, PAB, SAR, AED, XOF, XAF);
// - pegged: the currencies held by law at a fixed parity to the dollar, the euro or the pound
//   (the Croatian kuna by its conversion rate to the euro), computed from that parity and the
//   anchor's row, so that a price converts alike in either currency;
// - estimated: every other currency, a level of about mid-February 2025 written down without a
//   published source to check it against. Expect a few percent of error, more for currencies
//   that moved fast (ARS, VES, NGN, EGP); currencies that follow an estimated one (the rand, the
//   Australian, Hong Kong and Singapore dollars, the Indian rupee, the Danish krone) are
//   estimates too.
// A price converted with it is an estimate for reports, never an amount charged.
constexpr double eur = 0.9533;
constexpr double gbp = 0.7948;

constexpr RateBasis given = RateBasis::given;
constexpr RateBasis pegged = RateBasis::pegged;
constexpr RateBasis estimated = RateBasis::estimated;

constexpr std::array<ExchangeRate, 161> rates = {{
    {"AED", 3.6725, given},
    {"AFN", 73.6104, estimated},
    {"ALL", 94.9287, estimated},
    {"AMD", 396.7521, estimated},
    {"ANG", 1.79, pegged},
    {"AOA", 919.4321, estimated},
    {"ARS", 1055.75, estimated},
    {"AUD", 1.5745, estimated},
    {"AWG", 1.79, pegged},
    {"AZN", 1.7, estimated},
    {"BAM", 1.95583 * eur, pegged},
    {"BBD", 2.0, pegged},
    {"BDT", 121.5302, estimated},
    {"BGN", 1.95583 * eur, pegged},
    {"BHD", 0.376, pegged},
    {"BIF", 2955.7781, estimated},
    {"BMD", 1.0, given},
    {"BND", 1.3431, estimated},
    {"BOB", 6.9234, estimated},
    {"BRL", 5.7056, estimated},
    {"BSD", 1.0, pegged},
    {"BTN", 86.8612, estimated},
    {"BWP", 13.7942, estimated},
    {"BYN", 3.2752, estimated},
    {"BZD", 2.0, pegged},
    {"CAD", 1.4189, estimated},
    {"CDF", 2846.2413, estimated},
    {"CHF", 0.8997, given},
    {"CLP", 946.3521, estimated},
    {"CNY", 7.2626, given},
    {"COP", 4119.2847, estimated},
    {"CRC", 507.3014, estimated},
    {"CUP", 24.0, estimated},
    {"CVE", 110.265 * eur, pegged},
    {"CZK", 23.9312, estimated},
    {"DJF", 177.721, pegged},
    {"DKK", 7.1111, estimated},
    {"DOP", 61.9215, estimated},
    {"DZD", 135.1214, estimated},
    {"EGP", 50.5703, estimated},
    {"ERN", 15.0, pegged},
    {"ETB", 127.3612, estimated},
    {"EUR", eur, given},
    {"FJD", 2.3055, estimated},
    {"FKP", gbp, pegged},
    {"FOK", 7.1111, estimated},
    {"GBP", gbp, given},
    {"GEL", 2.8195, estimated},
    {"GGP", gbp, pegged},
    {"GHS", 15.4521, estimated},
    {"GIP", gbp, pegged},
    {"GMD", 72.5818, estimated},
    {"GNF", 8620.4127, estimated},
    {"GTQ", 7.7168, estimated},
    {"GYD", 209.2956, estimated},
    {"HKD", 7.7863, estimated},
    {"HNL", 25.5307, estimated},
    {"HRK", 7.5345 * eur, pegged},
    {"HTG", 130.9845, estimated},
    {"HUF", 383.2134, estimated},
    {"IDR", 16291.3572, estimated},
    {"ILS", 3.5547, estimated},
    {"IMP", gbp, pegged},
    {"INR", 86.8612, estimated},
    {"IQD", 1309.6421, estimated},
    {"IRR", 41993.216, given},
    {"ISK", 139.6187, estimated},
    {"JEP", gbp, pegged},
    {"JMD", 157.6432, estimated},
    {"JOD", 0.709, pegged},
    {"JPY", 152.3479, given},
    {"KES", 129.2503, estimated},
    {"KGS", 87.4508, estimated},
    {"KHR", 4011.2659, estimated},
    {"KID", 1.5745, estimated},
    {"KMF", 491.96775 * eur, pegged},
    {"KRW", 1443.9632, estimated},
    {"KWD", 0.3085, given},
    {"KYD", 1.0 / 1.2, pegged},
    {"KZT", 501.9541, estimated},
    {"LAK", 21834.1928, estimated},
    {"LBP", 89500.0, given},
    {"LKR", 296.5804, estimated},
    {"LRD", 198.9612, estimated},
    {"LSL", 18.3841, estimated},
    {"LYD", 4.9047, estimated},
    {"MAD", 9.9925, estimated},
    {"MDL", 18.7613, estimated},
    {"MGA", 4708.6217, estimated},
    {"MKD", 58.6391, estimated},
    {"MMK", 2099.1846, estimated},
    {"MNT", 3448.6102, estimated},
    {"MOP", 8.0199, estimated},
    {"MRU", 39.8718, estimated},
    {"MUR", 46.5623, estimated},
    {"MVR", 15.4518, estimated},
    {"MWK", 1739.4213, estimated},
    {"MXN", 20.3512, estimated},
    {"MYR", 4.4561, estimated},
    {"MZN", 63.8652, estimated},
    {"NAD", 18.3841, estimated},
    {"NGN", 1504.8732, estimated},
    {"NIO", 36.7902, estimated},
    {"NOK", 11.1473, estimated},
    {"NPR", 138.9779, estimated},
    {"NZD", 1.7462, estimated},
    {"OMR", 0.3845, pegged},
    {"PAB", 1.0, given},
    {"PEN", 3.6912, estimated},
    {"PGK", 4.0317, estimated},
    {"PHP", 57.9523, estimated},
    {"PKR", 279.6145, estimated},
    {"PLN", 3.9718, estimated},
    {"PYG", 7893.4136, estimated},
    {"QAR", 3.64, pegged},
    {"RON", 4.7451, estimated},
    {"RSD", 111.6573, estimated},
    {"RUB", 89.6127, estimated},
    {"RWF", 1404.9361, estimated},
    {"SAR", 3.75, given},
    {"SBD", 8.4876, estimated},
    {"SCR", 14.3952, estimated},
    {"SDG", 510.2387, estimated},
    {"SEK", 10.7103, estimated},
    {"SGD", 1.3431, estimated},
    {"SHP", gbp, pegged},
    {"SLE", 22.8142, estimated},
    {"SLL", 22814.1642, estimated},
    {"SOS", 571.4926, estimated},
    {"SRD", 35.2874, estimated},
    {"SSP", 4421.5371, estimated},
    {"STN", 24.5 * eur, pegged},
    {"SYP", 12927.4153, estimated},
    {"SZL", 18.3841, estimated},
    {"THB", 33.7128, estimated},
    {"TJS", 10.9316, estimated},
    {"TMT", 3.4996, estimated},
    {"TND", 3.1714, estimated},
    {"TOP", 2.3718, estimated},
    {"TRY", 36.2349, estimated},
    {"TTD", 6.7618, estimated},
    {"TVD", 1.5745, estimated},
    {"TWD", 32.7691, estimated},
    {"TZS", 2553.4012, estimated},
    {"UAH", 41.6312, estimated},
    {"UGX", 3677.8523, estimated},
    {"UYU", 43.4905, estimated},
    {"UZS", 12956.2084, estimated},
    {"VES", 62.5411, estimated},
    {"VND", 25496.3125, estimated},
    {"VUV", 121.8432, estimated},
    {"WST", 2.8103, estimated},
    {"XAF", 625.3371, given},
    {"XCD", 2.7, pegged},
    {"XDR", 0.7631, estimated},
    {"XOF", 625.3371, given},
    {"XPF", 1000.0 / 8.38 * eur, pegged},
    {"YER", 247.6124, estimated},
    {"ZAR", 18.3841, estimated},
    {"ZMW", 28.1026, estimated},
    {"ZWL", 26.5984, estimated},
}};

}  // namespace

std::span<const ExchangeRate> currencyCodeToOneUSDExchangeRate() {
    return rates;
}

std::optional<double> oneUSDExchangeRate(std::string_view currencyCode) {
    for (const auto& rate : rates) {
        if (rate.currencyCode == currencyCode) {
            return rate.unitsPerUSD;
        }
    }
    return std::nullopt;
}

}  // namespace vorn::tally
