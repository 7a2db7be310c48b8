#include <limits>

#include <gtest/gtest.h>

#include "JSON.h"

namespace vorn {
namespace {

TEST(JSONWriterTests, PrettyFormMatchesTheFileConvention) {
    json::Value v = json::Value::object();
    v["b"] = json::Value::array();
    v["a"] = json::Value{{"z", 1}, {"path", "/x/y"}};
    v["c"] = json::Value::array({json::Value::object(), 2.5});
    EXPECT_EQ(*json::writePretty(v),
              "{\n"
              "  \"a\" : {\n"
              "    \"path\" : \"\\/x\\/y\",\n"
              "    \"z\" : 1\n"
              "  },\n"
              "  \"b\" : [\n"
              "\n"
              "  ],\n"
              "  \"c\" : [\n"
              "    {\n"
              "\n"
              "    },\n"
              "    2.5\n"
              "  ]\n"
              "}");
    EXPECT_EQ(*json::writeCompact(v), R"({"a":{"path":"\/x\/y","z":1},"b":[],"c":[{},2.5]})");
}

// The same value, once given piece by piece and once as a tree, is the same text: nesting,
// separators, empty containers at every depth, and whole subtrees given as one value.
TEST(JSONWriterTests, EmitterWritesWhatTheTreeWould) {
    json::Emitter out;
    out.beginObject();
    out.key("a");
    out.beginArray();
    out.beginObject();
    out.endObject();
    out.beginArray();
    out.endArray();
    EXPECT_TRUE(out.value(json::Value{{"k", "/v"}, {"n", 2.5}}));
    out.beginArray();
    EXPECT_TRUE(out.value(1));
    EXPECT_TRUE(out.value(json::Value::array()));
    out.endArray();
    out.endArray();
    out.key("b");
    EXPECT_TRUE(out.value(json::Value::object()));
    out.key("c");
    out.beginObject();
    out.key("d");
    EXPECT_TRUE(out.value(nullptr));
    out.endObject();
    out.endObject();
    const json::Value tree = {
        {"a", json::Value::array({json::Value::object(), json::Value::array(),
                                  json::Value{{"k", "/v"}, {"n", 2.5}},
                                  json::Value::array({1, json::Value::array()})})},
        {"b", json::Value::object()},
        {"c", json::Value{{"d", nullptr}}}};
    EXPECT_EQ(out.take(), json::writePretty(tree));

    json::Emitter empty;
    empty.beginArray();
    empty.endArray();
    EXPECT_EQ(empty.take(), json::writePretty(json::Value::array()));

    json::Emitter unwritable;
    unwritable.beginArray();
    EXPECT_FALSE(unwritable.value(std::numeric_limits<double>::infinity()));
}

TEST(JSONWriterTests, NumbersAndStrings) {
    const auto text = [](const json::Value& v) { return *json::writeCompact(v); };
    EXPECT_EQ(text(160.0), "160");
    EXPECT_EQ(text(-0.0), "0");
    EXPECT_EQ(text(0.1), "0.1");
    EXPECT_EQ(text(786134412.123), "786134412.123");
    EXPECT_EQ(text(1e20), "1e+20");
    EXPECT_EQ(text(1e-7), "1e-07");
    EXPECT_EQ(text(-42), "-42");
    EXPECT_EQ(text("caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x98\x80"),
              "\"caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x98\x80\"");
    EXPECT_EQ(text("q\"b\\n\nt\t\x01"), R"("q\"b\\n\nt\t\u0001")");
    EXPECT_EQ(text("\xED\xA0\x80 \xC0\xAF"),
              "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_FALSE(json::writeCompact(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(json::writePretty(json::Value{{"w", std::numeric_limits<double>::infinity()}}));
}

TEST(JSONParseTests, RejectsMalformedAndDeepInputWithoutThrowing) {
    EXPECT_TRUE(json::parse(R"({"a":[1,2,{"b":null}]})"));
    EXPECT_FALSE(json::parse("{"));
    EXPECT_FALSE(json::parse("{\"a\":\"\xFF\"}"));
    EXPECT_FALSE(json::parse(std::string(100000, '[')));
    EXPECT_TRUE(json::parse(R"(["[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[["])", 4));
    EXPECT_FALSE(json::parse("[[[[[1]]]]]", 4));
}

TEST(JSONReaderTests, ConversionsAreStrict) {
    const auto v = *json::parse(R"({"i":3,"f":3.0,"h":3.5,"s":"3","b":true,"n":-1,"big":1e308})");
    EXPECT_EQ(json::asInt(json::member(v, "i")), 3);
    EXPECT_EQ(json::asInt(json::member(v, "f")), 3);
    EXPECT_FALSE(json::asInt(json::member(v, "h")));
    EXPECT_FALSE(json::asInt(json::member(v, "s")));
    EXPECT_FALSE(json::asInt(json::member(v, "b")));
    EXPECT_FALSE(json::asBool(json::member(v, "i")));
    EXPECT_FALSE(json::asUInt32(json::member(v, "n")));
    EXPECT_EQ(json::asDouble(json::member(v, "big")), 1e308);
    EXPECT_FALSE(json::asInt(json::member(v, "big")));
    // A number beyond the range of a double makes the text unreadable, not infinite.
    EXPECT_FALSE(json::parse(R"({"w":1e400})"));
    EXPECT_FALSE(json::asInt(json::member(v, "missing")));
    EXPECT_EQ(json::member(json::Value::array(), "x"), nullptr);
}

}  // namespace
}  // namespace vorn
