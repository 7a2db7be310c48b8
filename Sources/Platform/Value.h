#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "Geometry.h"

namespace vorn::platform {

// A backend's handle on one accessibility element. Backends derive their own; holding a copy of
// the pointer keeps the element usable, and an element whose object has gone fails every call.
class ElementToken {
public:
    virtual ~ElementToken() = default;
};

using Element = std::shared_ptr<const ElementToken>;

// A loosely typed value as the platform hands it over: window-list entries, the session
// dictionary, accessibility attribute values, screen device descriptions. Immutable; copies share
// their arrays and dictionaries. The readers never convert across kinds except where stated, so
// that each caller decides what counts as absent.
class Value {
public:
    enum class Kind {
        null,
        boolean,
        integer,
        real,
        string,
        url,
        array,
        dictionary,
        element,
        point,
        size
    };

    using Array = std::vector<Value>;
    using Dictionary = std::map<std::string, Value, std::less<>>;

    Value() = default;

    static Value boolean(bool value);
    static Value integer(std::int64_t value);
    static Value real(double value);
    static Value string(std::string value);
    // A URL, held as its absolute string ("file:///tmp/a.txt").
    static Value url(std::string absoluteString);
    static Value array(Array items);
    static Value dictionary(Dictionary entries);
    static Value dictionary(std::initializer_list<std::pair<const std::string, Value>> entries);
    // A null element gives the null value.
    static Value element(Element element);
    // Accessibility values of the point and size kinds.
    static Value point(Point point);
    static Value size(Size size);

    Kind kind() const;
    bool isNull() const { return kind() == Kind::null; }
    // Booleans, integers and reals are all numbers.
    bool isNumber() const;

    // Only a value of the boolean kind.
    std::optional<bool> asBoolean() const;
    // The truth of any number: a boolean as it is, another number when it is not zero.
    std::optional<bool> numberBoolValue() const;
    // An integer in range, or a real that is finite, whole and in range. Booleans do not convert.
    std::optional<std::int64_t> asInt64() const;
    std::optional<std::int32_t> asInt32() const;
    std::optional<std::uint32_t> asUInt32() const;
    // An integer or a real, including non-finite reals; booleans do not convert.
    std::optional<double> asDouble() const;
    const std::string* asString() const;
    // The absolute string of a URL value.
    const std::string* asURL() const;
    const Array* asArray() const;
    const Dictionary* asDictionary() const;
    // The entry of a dictionary; null when this is no dictionary or the key is absent.
    const Value* member(std::string_view key) const;
    const Element* asElement() const;
    std::optional<Point> asPoint() const;
    std::optional<Size> asSize() const;

    // A short rendering for logs and call records.
    std::string description() const;

    // Deep equality; elements compare by identity.
    friend bool operator==(const Value& a, const Value& b);

private:
    struct UrlText {
        std::string text;
        friend bool operator==(const UrlText&, const UrlText&) = default;
    };
    using Storage = std::variant<std::monostate,
                                 bool,
                                 std::int64_t,
                                 double,
                                 std::string,
                                 UrlText,
                                 std::shared_ptr<const Array>,
                                 std::shared_ptr<const Dictionary>,
                                 Element,
                                 Point,
                                 Size>;

    explicit Value(Storage storage)
        : m_storage(std::move(storage)) {}

    Storage m_storage;
};

std::string_view kindName(Value::Kind kind);

}  // namespace vorn::platform
