#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "JSON.h"
#include "Signals/SignalPostBody.h"

namespace vorn::tally {
namespace {

// 2026-12-08T08:17:26.75Z
const Date received(818410646.75);

SignalPostBody record(std::optional<double> floatValue = std::nullopt) {
    SignalPostBody body;
    body.receivedAt = received;
    body.appID = "APP";
    body.clientUser = "ab12";
    body.sessionID = "6A2F41A3-C54C-4C2B-9A1E-3B8F2D1C0E7F";
    body.type = "Space/created";
    body.floatValue = floatValue;
    body.payload = {{"mode", "fill"}, {"\xC3\xA9t\xC3\xA9", "\"quoted\""}};
    body.isTestMode = "true";
    return body;
}

TEST(SignalPostBodyTests, WireFormKeepsFieldOrderAndTextForms) {
    const auto encoded = tallyEncoder().encode(record());
    ASSERT_TRUE(encoded);
    EXPECT_EQ(*encoded,
              "{\"receivedAt\":\"2026-12-08T08:17:26+0000\",\"appID\":\"APP\","
              "\"clientUser\":\"ab12\",\"sessionID\":\"6A2F41A3-C54C-4C2B-9A1E-3B8F2D1C0E7F\","
              "\"type\":\"Space\\/created\",\"payload\":{\"mode\":\"fill\","
              "\"\xC3\xA9t\xC3\xA9\":\"\\\"quoted\\\"\"},\"isTestMode\":\"true\"}");
}

TEST(SignalPostBodyTests, FloatValueIsLeftOutOnlyWhenAbsent) {
    for (const auto& [value, keys] : std::vector<std::pair<std::optional<double>, std::size_t>>{
             {std::nullopt, 7u}, {0.0, 8u}}) {
        const auto parsed = json::parse(*tallyEncoder().encode(record(value)));
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->size(), keys);
        if (value) {
            EXPECT_EQ(json::asDouble(json::member(*parsed, "floatValue")), 0.0);
        }
    }
    SignalPostBody empty = record();
    empty.payload.clear();
    EXPECT_NE(tallyEncoder().encode(empty)->find("\"payload\":{}"), std::string::npos);
}

TEST(SignalPostBodyTests, BatchesAreArraysInOrder) {
    SignalPostBody second = record(2.5);
    second.type = "second";
    const auto batch = tallyEncoder().encode(std::vector{record(), second});
    const auto decoded = JSONDecoder{DateCoding::timestamp}.decodeArray(*batch);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->records.size(), 2u);
    EXPECT_EQ(decoded->records[1].type, "second");
    // The wire form keeps whole seconds only.
    EXPECT_EQ(decoded->records[0].receivedAt, Date(818410646.0));
    EXPECT_EQ(tallyEncoder().encode(std::vector<SignalPostBody>{}), "[]");
}

TEST(SignalPostBodyTests, DiskFormRoundTripsExactly) {
    const std::vector<SignalPostBody> records{record(), record(-0.125), record(1e-9)};
    const auto encoded = JSONEncoder{}.encode(records);
    ASSERT_TRUE(encoded);
    EXPECT_NE(encoded->find("\"receivedAt\":818410646.75,"), std::string::npos);
    const auto decoded = JSONDecoder{}.decodeArray(*encoded);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->rejected, 0u);
    EXPECT_EQ(decoded->records, records);
    EXPECT_FALSE(decoded->records[0].floatValue);
}

TEST(SignalPostBodyTests, DecodingRequiresEveryFieldButFloatValue) {
    const auto complete = *json::parse(*JSONEncoder{}.encode(record(1.0)));
    EXPECT_TRUE(JSONDecoder{}.decode(complete));
    for (const char* key :
         {"receivedAt", "appID", "clientUser", "sessionID", "type", "payload", "isTestMode"}) {
        auto missing = complete;
        missing.erase(key);
        EXPECT_FALSE(JSONDecoder{}.decode(missing)) << key;
        auto mistyped = complete;
        mistyped[key] = json::Value::array();
        EXPECT_FALSE(JSONDecoder{}.decode(mistyped)) << key;
    }
    auto withoutNumber = complete;
    withoutNumber.erase("floatValue");
    EXPECT_FALSE(JSONDecoder{}.decode(withoutNumber)->floatValue);
    auto nullNumber = complete;
    nullNumber["floatValue"] = nullptr;
    EXPECT_FALSE(JSONDecoder{}.decode(nullNumber)->floatValue);
    auto textNumber = complete;
    textNumber["floatValue"] = "1";
    EXPECT_FALSE(JSONDecoder{}.decode(textNumber));
    auto numericPayload = complete;
    numericPayload["payload"]["count"] = 3;
    EXPECT_FALSE(JSONDecoder{}.decode(numericPayload));
    auto extra = complete;
    extra["unknown"] = true;
    EXPECT_EQ(JSONDecoder{}.decode(extra), JSONDecoder{}.decode(complete));
}

TEST(SignalPostBodyTests, ArraysKeepTheirValidRecords) {
    const std::string good = *JSONEncoder{}.encode(record());
    const auto decoded =
        JSONDecoder{}.decodeArray("[" + good + ",{\"type\":\"x\"},7," + good + "]");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->records.size(), 2u);
    EXPECT_EQ(decoded->rejected, 2u);
    for (const char* notAnArray : {"", "{}", "[", "null", "\"[]\""}) {
        EXPECT_FALSE(JSONDecoder{}.decodeArray(notAnArray)) << notAnArray;
    }
}

TEST(SignalPostBodyTests, UnwritableValuesFailTheEncoding) {
    const double bad[] = {std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::quiet_NaN()};
    for (double value : bad) {
        EXPECT_FALSE(JSONEncoder{}.encode(record(value)));
        EXPECT_FALSE(tallyEncoder().encode(std::vector{record(), record(value)}));
    }
    SignalPostBody farFuture = record();
    farFuture.receivedAt = Date(1e300);
    EXPECT_FALSE(JSONEncoder{}.encode(farFuture));
    EXPECT_FALSE(tallyEncoder().encode(farFuture));
    EXPECT_FALSE(JSONDecoder{}.decodeArray("[{\"receivedAt\":1e300}]")->records.size());
}

TEST(SignalPostBodyTests, Timestamps) {
    const std::pair<Date, const char*> formatted[] = {
        {Date::fromUnix(0), "1970-01-01T00:00:00+0000"},
        {Date::fromUnix(-0.5), "1969-12-31T23:59:59+0000"},
        {Date(0), "2001-01-01T00:00:00+0000"},
        {Date::fromUnix(253402300799.9), "9999-12-31T23:59:59+0000"},
    };
    for (const auto& [date, text] : formatted) {
        EXPECT_EQ(formatTimestamp(date), text);
    }
    EXPECT_FALSE(formatTimestamp(Date::fromUnix(253402300800.0)));
    EXPECT_FALSE(formatTimestamp(Date(std::nan(""))));

    EXPECT_EQ(parseTimestamp("2026-12-08T08:17:26+0000"), Date(818410646.0));
    EXPECT_EQ(parseTimestamp("2026-12-08T09:47:26+0130"), Date(818410646.0));
    EXPECT_EQ(parseTimestamp("2026-12-08T03:17:26-0500"), Date(818410646.0));
    for (const char* bad :
         {"2026-02-30T00:00:00+0000", "2026-12-08T24:00:00+0000", "2026-12-08 08:17:26+0000",
          "2026-12-08T08:17:26Z", "2026-12-08T08:17:26+00:00", "0000-01-01T00:00:00+0000"}) {
        EXPECT_FALSE(parseTimestamp(bad)) << bad;
    }
}

}  // namespace
}  // namespace vorn::tally
