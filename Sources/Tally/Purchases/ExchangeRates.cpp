#include "Purchases/ExchangeRates.h"

#include <array>

namespace vorn::tally {
namespace {

// Units per US dollar, from one daily snapshot of published reference rates (14 February
// 2025). Currencies pegged to the dollar, the euro, the pound, the rand, the Australian dollar,
// the Danish krone or the Indian rupee follow their anchor's rate of that day. Prices converted
// with it are estimates for reports, never amounts charged.
constexpr std::array<ExchangeRate, 161> rates = {{
    {"AED", 3.6725},     {"AFN", 73.6104},    {"ALL", 94.9287},   {"AMD", 396.7521},
    {"ANG", 1.79},       {"AOA", 919.4321},   {"ARS", 1055.75},   {"AUD", 1.5745},
    {"AWG", 1.79},       {"AZN", 1.7},        {"BAM", 1.8645},    {"BBD", 2.0},
    {"BDT", 121.5302},   {"BGN", 1.8645},     {"BHD", 0.376},     {"BIF", 2955.7781},
    {"BMD", 1.0},        {"BND", 1.3431},     {"BOB", 6.9234},    {"BRL", 5.7056},
    {"BSD", 1.0},        {"BTN", 86.8612},    {"BWP", 13.7942},   {"BYN", 3.2752},
    {"BZD", 2.0},        {"CAD", 1.4189},     {"CDF", 2846.2413}, {"CHF", 0.8997},
    {"CLP", 946.3521},   {"CNY", 7.2626},     {"COP", 4119.2847}, {"CRC", 507.3014},
    {"CUP", 24.0},       {"CVE", 105.1179},   {"CZK", 23.9312},   {"DJF", 177.721},
    {"DKK", 7.1111},     {"DOP", 61.9215},    {"DZD", 135.1214},  {"EGP", 50.5703},
    {"ERN", 15.0},       {"ETB", 127.3612},   {"EUR", 0.9533},    {"FJD", 2.3055},
    {"FKP", 0.7948},     {"FOK", 7.1111},     {"GBP", 0.7948},    {"GEL", 2.8195},
    {"GGP", 0.7948},     {"GHS", 15.4521},    {"GIP", 0.7948},    {"GMD", 72.5818},
    {"GNF", 8620.4127},  {"GTQ", 7.7168},     {"GYD", 209.2956},  {"HKD", 7.7863},
    {"HNL", 25.5307},    {"HRK", 7.1828},     {"HTG", 130.9845},  {"HUF", 383.2134},
    {"IDR", 16291.3572}, {"ILS", 3.5547},     {"IMP", 0.7948},    {"INR", 86.8612},
    {"IQD", 1309.6421},  {"IRR", 41993.216},  {"ISK", 139.6187},  {"JEP", 0.7948},
    {"JMD", 157.6432},   {"JOD", 0.709},      {"JPY", 152.3479},  {"KES", 129.2503},
    {"KGS", 87.4508},    {"KHR", 4011.2659},  {"KID", 1.5745},    {"KMF", 468.9983},
    {"KRW", 1443.9632},  {"KWD", 0.3085},     {"KYD", 0.8333},    {"KZT", 501.9541},
    {"LAK", 21834.1928}, {"LBP", 89500.0},    {"LKR", 296.5804},  {"LRD", 198.9612},
    {"LSL", 18.3841},    {"LYD", 4.9047},     {"MAD", 9.9925},    {"MDL", 18.7613},
    {"MGA", 4708.6217},  {"MKD", 58.6391},    {"MMK", 2099.1846}, {"MNT", 3448.6102},
    {"MOP", 8.0199},     {"MRU", 39.8718},    {"MUR", 46.5623},   {"MVR", 15.4518},
    {"MWK", 1739.4213},  {"MXN", 20.3512},    {"MYR", 4.4561},    {"MZN", 63.8652},
    {"NAD", 18.3841},    {"NGN", 1504.8732},  {"NIO", 36.7902},   {"NOK", 11.1473},
    {"NPR", 138.9779},   {"NZD", 1.7462},     {"OMR", 0.3845},    {"PAB", 1.0},
    {"PEN", 3.6912},     {"PGK", 4.0317},     {"PHP", 57.9523},   {"PKR", 279.6145},
    {"PLN", 3.9718},     {"PYG", 7893.4136},  {"QAR", 3.64},      {"RON", 4.7451},
    {"RSD", 111.6573},   {"RUB", 89.6127},    {"RWF", 1404.9361}, {"SAR", 3.75},
    {"SBD", 8.4876},     {"SCR", 14.3952},    {"SDG", 510.2387},  {"SEK", 10.7103},
    {"SGD", 1.3431},     {"SHP", 0.7948},     {"SLE", 22.8142},   {"SLL", 22814.1642},
    {"SOS", 571.4926},   {"SRD", 35.2874},    {"SSP", 4421.5371}, {"STN", 23.3563},
    {"SYP", 12927.4153}, {"SZL", 18.3841},    {"THB", 33.7128},   {"TJS", 10.9316},
    {"TMT", 3.4996},     {"TND", 3.1714},     {"TOP", 2.3718},    {"TRY", 36.2349},
    {"TTD", 6.7618},     {"TVD", 1.5745},     {"TWD", 32.7691},   {"TZS", 2553.4012},
    {"UAH", 41.6312},    {"UGX", 3677.8523},  {"UYU", 43.4905},   {"UZS", 12956.2084},
    {"VES", 62.5411},    {"VND", 25496.3125}, {"VUV", 121.8432},  {"WST", 2.8103},
    {"XAF", 625.3371},   {"XCD", 2.7},        {"XDR", 0.7631},    {"XOF", 625.3371},
    {"XPF", 113.7613},   {"YER", 247.6124},   {"ZAR", 18.3841},   {"ZMW", 28.1026},
    {"ZWL", 26.5984},
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
