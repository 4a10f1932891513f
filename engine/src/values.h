// Script values inside the engine: the counted payloads behind SciterValue, the table entries that
// read and build them, and their JSON transport form between a page and the native side.
#pragma once

#include <QJsonValue>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/sdk/sciter_api.h"

namespace engine {

// Owns one SciterValue (copy and clear through the value entries).
class Value final {
public:
    Value();
    Value(const Value& other);
    Value(Value&& other) noexcept;
    Value& operator=(Value other) noexcept;
    ~Value();
    static Value copyOf(const SciterValue& raw);

    const SciterValue& raw() const { return m_raw; }
    SciterValue& raw() { return m_raw; }
    SciterValue release();

private:
    SciterValue m_raw{};
};

// Heap part of strings, arrays, maps and functions; shared by every copy of a value.
struct Payload {
    virtual ~Payload() = default;
    std::atomic<int> references{1};
};

struct StringPayload final : Payload {
    std::u16string text;
};

struct ArrayPayload final : Payload {
    std::vector<Value> items;
};

struct MapPayload final : Payload {
    std::vector<std::pair<Value, Value>> entries;  // insertion order
};

// A page function (window, document, callback number) or a native function.
struct FunctionPayload final : Payload {
    ~FunctionPayload() override;
    SciterWindow window = 0;
    QString document;
    int callback = 0;
    SciterNativeInvoke nativeInvoke = nullptr;
    SciterNativeRelease nativeRelease = nullptr;
    void* nativeTag = nullptr;
};

void setPageFunction(SciterValue* value, SciterWindow window, const QString& document,
                     int callback);
const FunctionPayload* functionOf(const SciterValue& value);

// Transport form used by the page runtime: JSON with tagged objects for what JSON lacks
// ({"u":0} undefined, {"f":n} a page function, {"m":[[k,v],...]} a map, {"e":text} an error,
// {"y":text} a symbol string). Page functions decode as functions of (window, document).
QJsonValue toTransport(const SciterValue& value);
// The same, where a plain string `keepText` accepts travels as what it returns instead (a
// {"t":id} of a kept text); a string it declines (returns null) is written out as usual.
QJsonValue toTransport(const SciterValue& value,
                       const std::function<QJsonValue(const std::u16string&)>& keepText);
Value fromTransport(const QJsonValue& json, SciterWindow window, const QString& document);

QString toQString(const std::u16string& text);
std::u16string toU16(const QString& text);

// Table entries.
std::int32_t valueInit(SciterValue* value);
std::int32_t valueClear(SciterValue* value);
std::int32_t valueCopy(SciterValue* destination, const SciterValue* source);
std::int32_t valueType(const SciterValue* value, std::uint32_t* type, std::uint32_t* units);
std::int32_t valueIntData(const SciterValue* value, std::int32_t* out);
std::int32_t valueIntDataSet(SciterValue* value, std::int32_t data, std::uint32_t type);
std::int32_t valueFloatData(const SciterValue* value, double* out);
std::int32_t valueFloatDataSet(SciterValue* value, double data);
std::int32_t valueStringData(const SciterValue* value, const char16_t** chars,
                             std::uint32_t* length);
std::int32_t valueStringDataSet(SciterValue* value, const char16_t* chars, std::uint32_t length,
                                std::uint32_t units);
std::int32_t valueToString(SciterValue* value, std::uint32_t mode);
std::int32_t valueNullSet(SciterValue* value);
std::int32_t valueElementsCount(const SciterValue* value, std::int32_t* count);
std::int32_t valueNthElementValue(const SciterValue* value, std::int32_t n, SciterValue* out);
std::int32_t valueAppend(SciterValue* array, const SciterValue* item);
std::int32_t valueNthElementKey(const SciterValue* map, std::int32_t n, SciterValue* out);
std::int32_t valueSetValueToKey(SciterValue* map, const SciterValue* key, const SciterValue* item);
std::int32_t valueGetValueOfKey(const SciterValue* map, const SciterValue* key, SciterValue* out);
std::int32_t valueNativeFunctorSet(SciterValue* value, SciterNativeInvoke invoke,
                                   SciterNativeRelease release, void* tag);

}  // namespace engine
