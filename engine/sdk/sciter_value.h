// C++ side of the engine's values: an owning wrapper over SciterValue that calls through the API
// table the program installed with sciter::setApi. Header-only, so the program and tools need
// nothing but the table at run time.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/sdk/sciter_api.h"

namespace sciter {

namespace detail {
inline const SciterApi*& apiSlot() {
    static const SciterApi* table = nullptr;
    return table;
}
}  // namespace detail

// The table every wrapper calls through; set once, after the version check, before any value.
inline void setApi(const SciterApi* table) { detail::apiSlot() = table; }
inline const SciterApi* api() { return detail::apiSlot(); }

// Thrown by value::call when the script function threw or its page is gone.
class script_error final : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string toUtf8(const std::u16string& text);

class value final {
public:
    value() { api()->ValueInit(&m_data); }
    value(const value& other) {
        api()->ValueInit(&m_data);
        api()->ValueCopy(&m_data, &other.m_data);
    }
    value(value&& other) noexcept : m_data(other.m_data) { other.m_data = SciterValue{}; }
    value& operator=(value other) noexcept {
        std::swap(m_data, other.m_data);
        return *this;
    }
    ~value() { api()->ValueClear(&m_data); }

    explicit value(bool flag) : value() {
        api()->ValueIntDataSet(&m_data, flag ? 1 : 0, kValueBool);
    }
    explicit value(int number) : value() { api()->ValueIntDataSet(&m_data, number, kValueInt); }
    explicit value(double number) : value() { api()->ValueFloatDataSet(&m_data, number); }
    explicit value(const std::u16string& text, std::uint32_t units = kStringPlain) : value() {
        api()->ValueStringDataSet(&m_data, text.data(), static_cast<std::uint32_t>(text.size()),
                                  units);
    }

    // Without this, a string literal would pick the bool constructor.
    explicit value(const char16_t* text) : value(std::u16string(text)) {}

    static value null() {
        value result;
        api()->ValueNullSet(&result.m_data);
        return result;
    }
    static value symbol(const std::u16string& name) { return value(name, kStringSymbol); }
    static value error(const std::u16string& message) { return value(message, kStringError); }
    static value array() { return ofType(kValueArray); }
    static value map() { return ofType(kValueMap); }
    // A function value that runs `body` on whichever thread invokes it.
    static value function(std::function<value(const std::vector<value>&)> body);
    // Takes over a raw value (for results the engine filled in).
    static value adopt(SciterValue raw) {
        value result;
        result.m_data = raw;
        return result;
    }
    static value copyOf(const SciterValue& raw) {
        value result;
        api()->ValueCopy(&result.m_data, &raw);
        return result;
    }

    std::uint32_t type() const {
        std::uint32_t type = kValueUndefined, units = 0;
        api()->ValueType(&m_data, &type, &units);
        return type;
    }
    std::uint32_t units() const {
        std::uint32_t type = kValueUndefined, units = 0;
        api()->ValueType(&m_data, &type, &units);
        return units;
    }
    bool isUndefined() const { return type() == kValueUndefined; }
    bool isNull() const { return type() == kValueNull; }
    bool isBool() const { return type() == kValueBool; }
    bool isInt() const { return type() == kValueInt; }
    bool isFloat() const { return type() == kValueFloat; }
    bool isString() const { return type() == kValueString; }
    bool isSymbol() const { return isString() && units() == kStringSymbol; }
    bool isErrorString() const { return isString() && units() == kStringError; }
    bool isArray() const { return type() == kValueArray; }
    bool isMap() const { return type() == kValueMap; }
    bool isFunction() const { return type() == kValueFunction; }

    // The integer accessor: ints and booleans, anything else gives `fallback`.
    int getInt(int fallback = 0) const {
        std::int32_t out = 0;
        return api()->ValueIntData(&m_data, &out) == kValueOk ? out : fallback;
    }
    // The float accessor: floats and integers, anything else gives `fallback`.
    double getFloat(double fallback = 0.0) const {
        double out = 0;
        return api()->ValueFloatData(&m_data, &out) == kValueOk ? out : fallback;
    }
    // The characters of a string value; empty for anything else.
    std::u16string getString() const {
        const char16_t* chars = nullptr;
        std::uint32_t length = 0;
        if (api()->ValueStringData(&m_data, &chars, &length) != kValueOk) return {};
        return std::u16string(chars, length);
    }
    // The simple to-string conversion: strings as they are, a number as its text.
    std::u16string toString() const {
        value copy(*this);
        api()->ValueToString(&copy.m_data, kToStringSimple);
        return copy.getString();
    }

    int length() const {
        std::int32_t count = 0;
        api()->ValueElementsCount(&m_data, &count);
        return count;
    }
    value item(int n) const {
        SciterValue out{};
        api()->ValueNthElementValue(&m_data, n, &out);
        return adopt(out);
    }
    value key(int n) const {
        SciterValue out{};
        api()->ValueNthElementKey(&m_data, n, &out);
        return adopt(out);
    }
    value item(const value& key) const {
        SciterValue out{};
        api()->ValueGetValueOfKey(&m_data, &key.m_data, &out);
        return adopt(out);
    }
    void append(const value& item) { api()->ValueAppend(&m_data, &item.m_data); }
    void set(const value& key, const value& item) {
        api()->ValueSetValueToKey(&m_data, &key.m_data, &item.m_data);
    }
    // Map members keyed by symbol strings, as report maps are built.
    void set(const std::u16string& key, const value& item) { set(symbol(key), item); }

    // Runs a function value; throws script_error if the script threw or its page is gone.
    value call(const std::vector<value>& arguments = {}) const;

    const SciterValue* raw() const { return &m_data; }
    SciterValue* raw() { return &m_data; }

private:
    static value ofType(std::uint32_t type) {
        value result;
        // An empty container is made by appending to / keying into undefined.
        if (type == kValueArray) {
            api()->ValueAppend(&result.m_data, nullptr);
        } else {
            api()->ValueSetValueToKey(&result.m_data, nullptr, nullptr);
        }
        return result;
    }

    SciterValue m_data{};
};

inline value value::call(const std::vector<value>& arguments) const {
    std::vector<SciterValue> raw;
    raw.reserve(arguments.size());
    for (const value& argument : arguments) raw.push_back(*argument.raw());
    SciterValue out{};
    const std::int32_t status =
        api()->ValueInvoke(&m_data, static_cast<std::uint32_t>(raw.size()), raw.data(), &out);
    value result = adopt(out);
    if (status != kValueOk) throw script_error(toUtf8(result.getString()));
    return result;
}

namespace detail {
using NativeBody = std::function<value(const std::vector<value>&)>;

inline void invokeNative(void* tag, std::uint32_t argc, const SciterValue* argv,
                         SciterValue* result) {
    std::vector<value> arguments;
    arguments.reserve(argc);
    for (std::uint32_t i = 0; i < argc; ++i) arguments.push_back(value::copyOf(argv[i]));
    value answer = (*static_cast<NativeBody*>(tag))(arguments);
    api()->ValueCopy(result, answer.raw());
}

inline void releaseNative(void* tag) { delete static_cast<NativeBody*>(tag); }
}  // namespace detail

inline value value::function(std::function<value(const std::vector<value>&)> body) {
    value result;
    api()->ValueNativeFunctorSet(&result.m_data, detail::invokeNative, detail::releaseNative,
                                 new detail::NativeBody(std::move(body)));
    return result;
}

inline std::string toUtf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;  // a lone surrogate
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace sciter
