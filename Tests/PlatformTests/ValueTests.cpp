#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "Value.h"

namespace vorn::platform {
namespace {

struct NumberCase {
    const char* name;
    Value value;
    std::optional<std::int64_t> int64;
    std::optional<std::int32_t> int32;
    std::optional<std::uint32_t> uint32;
    std::optional<bool> truth;
};

TEST(ValueTest, NumbersConvertOnlyWhenExactAndInRange) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<NumberCase> cases = {
        {"integer", Value::integer(5), 5, 5, 5u, true},
        {"zero", Value::integer(0), 0, 0, 0u, false},
        {"negative", Value::integer(-1), -1, -1, std::nullopt, true},
        {"uint32 max", Value::integer(4294967295LL), 4294967295LL, std::nullopt, 4294967295u, true},
        {"just past int32", Value::integer(2147483648LL), 2147483648LL, std::nullopt, 2147483648u,
         true},
        {"past uint32", Value::integer(4294967296LL), 4294967296LL, std::nullopt, std::nullopt,
         true},
        {"whole real", Value::real(3.0), 3, 3, 3u, true},
        {"fraction", Value::real(3.5), std::nullopt, std::nullopt, std::nullopt, true},
        {"negative zero", Value::real(-0.0), 0, 0, 0u, false},
        {"2^63 is out of range", Value::real(9223372036854775808.0), std::nullopt, std::nullopt,
         std::nullopt, true},
        {"-2^63 is in range", Value::real(-9223372036854775808.0),
         std::numeric_limits<std::int64_t>::min(), std::nullopt, std::nullopt, true},
        {"nan", Value::real(std::nan("")), std::nullopt, std::nullopt, std::nullopt, true},
        {"infinity", Value::real(inf), std::nullopt, std::nullopt, std::nullopt, true},
        {"boolean", Value::boolean(true), std::nullopt, std::nullopt, std::nullopt, true},
        {"string", Value::string("5"), std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        {"null", Value(), std::nullopt, std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value.asInt64(), c.int64);
        EXPECT_EQ(c.value.asInt32(), c.int32);
        EXPECT_EQ(c.value.asUInt32(), c.uint32);
        EXPECT_EQ(c.value.numberBoolValue(), c.truth);
    }
}

TEST(ValueTest, KindsDoNotConvertIntoOneAnother) {
    EXPECT_EQ(Value::boolean(false).asBoolean(), false);
    EXPECT_FALSE(Value::integer(1).asBoolean());
    EXPECT_FALSE(Value::boolean(true).asDouble());
    EXPECT_EQ(Value::integer(7).asDouble(), 7.0);
    EXPECT_TRUE(Value::boolean(true).isNumber());
    EXPECT_FALSE(Value::string("x").isNumber());

    EXPECT_EQ(Value::string("file:///a").asURL(), nullptr);
    EXPECT_EQ(*Value::url("file:///a").asURL(), "file:///a");
    EXPECT_EQ(Value::url("file:///a").asString(), nullptr);
    EXPECT_NE(Value::string("file:///a"), Value::url("file:///a"));

    EXPECT_FALSE(Value::point({1, 2}).asSize());
    EXPECT_EQ(Value::size({3, 4}).asSize(), (Size{3, 4}));
    EXPECT_TRUE(Value::element(nullptr).isNull());
}

TEST(ValueTest, DictionariesAndArraysCompareDeeplyAndElementsByIdentity) {
    const Value a =
        Value::dictionary({{"k", Value::array({Value::integer(1), Value::string("s")})}});
    const Value b =
        Value::dictionary({{"k", Value::array({Value::integer(1), Value::string("s")})}});
    const Value c = Value::dictionary({{"k", Value::array({Value::integer(2)})}});
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    ASSERT_NE(a.member("k"), nullptr);
    EXPECT_EQ(a.member("missing"), nullptr);
    EXPECT_EQ(Value::integer(1).member("k"), nullptr);

    auto token = std::make_shared<ElementToken>();
    EXPECT_EQ(Value::element(token), Value::element(token));
    EXPECT_NE(Value::element(token), Value::element(std::make_shared<ElementToken>()));
}

TEST(ValueTest, DescriptionsAreReadable) {
    EXPECT_EQ(Value::dictionary({{"X", Value::integer(1)}, {"Y", Value::real(2.5)}}).description(),
              "{X=1, Y=2.5}");
    EXPECT_EQ(Value::size({800, 600}).description(), "(800x600)");
    EXPECT_EQ(Value::point({10, 20}).description(), "(10,20)");
}

}  // namespace
}  // namespace vorn::platform
