#include "Value.h"

#include <cmath>
#include <limits>
#include <sstream>

namespace vorn::platform {
namespace {

template <typename Int>
std::optional<Int> integerFrom(std::int64_t value) {
    if (value < static_cast<std::int64_t>(std::numeric_limits<Int>::min())
        || (value > 0 && static_cast<std::uint64_t>(value) > std::numeric_limits<Int>::max())) {
        return std::nullopt;
    }
    return static_cast<Int>(value);
}

}  // namespace

Value Value::boolean(bool value) {
    return Value(Storage(std::in_place_type<bool>, value));
}

Value Value::integer(std::int64_t value) {
    return Value(Storage(std::in_place_type<std::int64_t>, value));
}

Value Value::real(double value) {
    return Value(Storage(std::in_place_type<double>, value));
}

Value Value::string(std::string value) {
    return Value(Storage(std::in_place_type<std::string>, std::move(value)));
}

Value Value::url(std::string absoluteString) {
    return Value(Storage(std::in_place_type<UrlText>, UrlText{std::move(absoluteString)}));
}

Value Value::array(Array items) {
    return Value(Storage(std::in_place_type<std::shared_ptr<const Array>>,
                         std::make_shared<const Array>(std::move(items))));
}

Value Value::dictionary(Dictionary entries) {
    return Value(Storage(std::in_place_type<std::shared_ptr<const Dictionary>>,
                         std::make_shared<const Dictionary>(std::move(entries))));
}

Value Value::dictionary(std::initializer_list<std::pair<const std::string, Value>> entries) {
    return dictionary(Dictionary(entries));
}

Value Value::element(Element element) {
    if (!element) {
        return Value();
    }
    return Value(Storage(std::in_place_type<Element>, std::move(element)));
}

Value Value::point(Point point) {
    return Value(Storage(std::in_place_type<Point>, point));
}

Value Value::size(Size size) {
    return Value(Storage(std::in_place_type<Size>, size));
}

Value::Kind Value::kind() const {
    return std::visit(
        [](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>) {
                return Kind::boolean;
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return Kind::integer;
            } else if constexpr (std::is_same_v<T, double>) {
                return Kind::real;
            } else if constexpr (std::is_same_v<T, std::string>) {
                return Kind::string;
            } else if constexpr (std::is_same_v<T, UrlText>) {
                return Kind::url;
            } else if constexpr (std::is_same_v<T, std::shared_ptr<const Array>>) {
                return Kind::array;
            } else if constexpr (std::is_same_v<T, std::shared_ptr<const Dictionary>>) {
                return Kind::dictionary;
            } else if constexpr (std::is_same_v<T, Element>) {
                return Kind::element;
            } else if constexpr (std::is_same_v<T, Point>) {
                return Kind::point;
            } else if constexpr (std::is_same_v<T, Size>) {
                return Kind::size;
            } else {
                return Kind::null;
            }
        },
        m_storage);
}

bool Value::isNumber() const {
    const Kind k = kind();
    return k == Kind::boolean || k == Kind::integer || k == Kind::real;
}

std::optional<bool> Value::asBoolean() const {
    if (const auto* b = std::get_if<bool>(&m_storage)) {
        return *b;
    }
    return std::nullopt;
}

std::optional<bool> Value::numberBoolValue() const {
    if (const auto* b = std::get_if<bool>(&m_storage)) {
        return *b;
    }
    if (const auto* i = std::get_if<std::int64_t>(&m_storage)) {
        return *i != 0;
    }
    if (const auto* d = std::get_if<double>(&m_storage)) {
        return *d != 0;
    }
    return std::nullopt;
}

std::optional<std::int64_t> Value::asInt64() const {
    if (const auto* i = std::get_if<std::int64_t>(&m_storage)) {
        return *i;
    }
    if (const auto* d = std::get_if<double>(&m_storage)) {
        // 2^63 itself is out of range, so the upper test is strict.
        constexpr double limit = 9223372036854775808.0;
        if (std::isfinite(*d) && std::trunc(*d) == *d && *d >= -limit && *d < limit) {
            return static_cast<std::int64_t>(*d);
        }
    }
    return std::nullopt;
}

std::optional<std::int32_t> Value::asInt32() const {
    if (auto wide = asInt64()) {
        return integerFrom<std::int32_t>(*wide);
    }
    return std::nullopt;
}

std::optional<std::uint32_t> Value::asUInt32() const {
    if (auto wide = asInt64()) {
        return integerFrom<std::uint32_t>(*wide);
    }
    return std::nullopt;
}

std::optional<double> Value::asDouble() const {
    if (const auto* i = std::get_if<std::int64_t>(&m_storage)) {
        return static_cast<double>(*i);
    }
    if (const auto* d = std::get_if<double>(&m_storage)) {
        return *d;
    }
    return std::nullopt;
}

const std::string* Value::asString() const {
    return std::get_if<std::string>(&m_storage);
}

const std::string* Value::asURL() const {
    if (const auto* u = std::get_if<UrlText>(&m_storage)) {
        return &u->text;
    }
    return nullptr;
}

const Value::Array* Value::asArray() const {
    if (const auto* a = std::get_if<std::shared_ptr<const Array>>(&m_storage)) {
        return a->get();
    }
    return nullptr;
}

const Value::Dictionary* Value::asDictionary() const {
    if (const auto* d = std::get_if<std::shared_ptr<const Dictionary>>(&m_storage)) {
        return d->get();
    }
    return nullptr;
}

const Value* Value::member(std::string_view key) const {
    const Dictionary* entries = asDictionary();
    if (entries == nullptr) {
        return nullptr;
    }
    auto it = entries->find(key);
    return it == entries->end() ? nullptr : &it->second;
}

const Element* Value::asElement() const {
    return std::get_if<Element>(&m_storage);
}

std::optional<Point> Value::asPoint() const {
    if (const auto* p = std::get_if<Point>(&m_storage)) {
        return *p;
    }
    return std::nullopt;
}

std::optional<Size> Value::asSize() const {
    if (const auto* s = std::get_if<Size>(&m_storage)) {
        return *s;
    }
    return std::nullopt;
}

std::string Value::description() const {
    std::ostringstream out;
    switch (kind()) {
        case Kind::null:
            out << "null";
            break;
        case Kind::boolean:
            out << (*asBoolean() ? "true" : "false");
            break;
        case Kind::integer:
            out << *asInt64();
            break;
        case Kind::real:
            out << std::get<double>(m_storage);
            break;
        case Kind::string:
            out << '"' << *asString() << '"';
            break;
        case Kind::url:
            out << "<" << *asURL() << ">";
            break;
        case Kind::array: {
            out << '[';
            const char* separator = "";
            for (const Value& item : *asArray()) {
                out << separator << item.description();
                separator = ", ";
            }
            out << ']';
            break;
        }
        case Kind::dictionary: {
            out << '{';
            const char* separator = "";
            for (const auto& [key, item] : *asDictionary()) {
                out << separator << key << '=' << item.description();
                separator = ", ";
            }
            out << '}';
            break;
        }
        case Kind::element:
            out << "<element>";
            break;
        case Kind::point: {
            const Point p = *asPoint();
            out << '(' << p.x << ',' << p.y << ')';
            break;
        }
        case Kind::size: {
            const Size s = *asSize();
            out << '(' << s.width << 'x' << s.height << ')';
            break;
        }
    }
    return out.str();
}

bool operator==(const Value& a, const Value& b) {
    if (a.kind() != b.kind()) {
        return false;
    }
    if (const auto* x = a.asArray()) {
        return *x == *b.asArray();
    }
    if (const auto* x = a.asDictionary()) {
        return *x == *b.asDictionary();
    }
    return a.m_storage == b.m_storage;
}

std::string_view kindName(Value::Kind kind) {
    switch (kind) {
        case Value::Kind::null:
            return "null";
        case Value::Kind::boolean:
            return "boolean";
        case Value::Kind::integer:
            return "integer";
        case Value::Kind::real:
            return "real";
        case Value::Kind::string:
            return "string";
        case Value::Kind::url:
            return "url";
        case Value::Kind::array:
            return "array";
        case Value::Kind::dictionary:
            return "dictionary";
        case Value::Kind::element:
            return "element";
        case Value::Kind::point:
            return "point";
        case Value::Kind::size:
            return "size";
    }
    return "null";
}

}  // namespace vorn::platform
