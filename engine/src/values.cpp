// Script values: scalars inline, everything else a counted payload shared by its copies.
#include "engine/src/values.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/src/invoke.h"

namespace engine {

namespace {

bool holdsPayload(const SciterValue& value) {
    return value.type == kValueString || value.type == kValueArray || value.type == kValueMap ||
           value.type == kValueFunction;
}

Payload* payloadOf(const SciterValue& value) {
    return holdsPayload(value) ? reinterpret_cast<Payload*>(static_cast<std::uintptr_t>(value.data))
                               : nullptr;
}

template <typename T>
T* payloadAs(const SciterValue& value, std::uint32_t type) {
    return value.type == type ? static_cast<T*>(payloadOf(value)) : nullptr;
}

void setPayload(SciterValue* value, std::uint32_t type, std::uint32_t units, Payload* payload) {
    valueClear(value);
    value->type = type;
    value->units = units;
    value->data = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(payload));
}

// Numbers print as JavaScript prints them: integral floats without a fraction, others in the
// shortest form that reads back to the same double.
QString numberText(double number) {
    if (std::isnan(number)) return QStringLiteral("NaN");
    if (std::isinf(number))
        return number > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (number == std::floor(number) && std::fabs(number) < 1e21) {
        return QString::number(number, 'f', 0);
    }
    return QString::number(number, 'g', QLocale::FloatingPointShortest);
}

QString simpleText(const SciterValue& value);

QString containerText(const SciterValue& value) {
    QStringList parts;
    if (auto* array = payloadAs<ArrayPayload>(value, kValueArray)) {
        for (const Value& item : array->items) parts << simpleText(item.raw());
        return QLatin1Char('[') + parts.join(QLatin1Char(',')) + QLatin1Char(']');
    }
    if (auto* map = payloadAs<MapPayload>(value, kValueMap)) {
        for (const auto& [key, item] : map->entries) {
            parts << simpleText(key.raw()) + QLatin1Char(':') + simpleText(item.raw());
        }
    }
    return QLatin1Char('{') + parts.join(QLatin1Char(',')) + QLatin1Char('}');
}

QString simpleText(const SciterValue& value) {
    switch (value.type) {
        case kValueNull:
            return QStringLiteral("null");
        case kValueBool:
            return value.data ? QStringLiteral("true") : QStringLiteral("false");
        case kValueInt:
            return QString::number(static_cast<std::int32_t>(value.data));
        case kValueFloat: {
            double number = 0;
            valueFloatData(&value, &number);
            return numberText(number);
        }
        case kValueString:
            return toQString(payloadAs<StringPayload>(value, kValueString)->text);
        case kValueArray:
        case kValueMap:
            return containerText(value);
        case kValueFunction:
            return QStringLiteral("[function]");
        default:
            return QStringLiteral("undefined");
    }
}

bool sameKey(const SciterValue& a, const SciterValue& b) {
    if (a.type != b.type) return false;
    if (a.type == kValueString) {
        return payloadAs<StringPayload>(a, kValueString)->text ==
               payloadAs<StringPayload>(b, kValueString)->text;
    }
    return holdsPayload(a) ? a.data == b.data : a.data == b.data && a.units == b.units;
}

}  // namespace

// --- Value -----------------------------------------------------------------------------------

Value::Value() = default;
Value::Value(const Value& other) { valueCopy(&m_raw, &other.m_raw); }
Value::Value(Value&& other) noexcept : m_raw(other.m_raw) { other.m_raw = SciterValue{}; }
Value& Value::operator=(Value other) noexcept {
    std::swap(m_raw, other.m_raw);
    return *this;
}
Value::~Value() { valueClear(&m_raw); }

Value Value::copyOf(const SciterValue& raw) {
    Value result;
    valueCopy(&result.m_raw, &raw);
    return result;
}

SciterValue Value::release() {
    SciterValue raw = m_raw;
    m_raw = SciterValue{};
    return raw;
}

FunctionPayload::~FunctionPayload() {
    if (nativeRelease) nativeRelease(nativeTag);
    if (window != 0) releasePageFunction(window, document, callback);
}

void setPageFunction(SciterValue* value, SciterWindow window, const QString& document,
                     int callback) {
    auto* payload = new FunctionPayload;
    payload->window = window;
    payload->document = document;
    payload->callback = callback;
    setPayload(value, kValueFunction, 0, payload);
}

const FunctionPayload* functionOf(const SciterValue& value) {
    return payloadAs<FunctionPayload>(value, kValueFunction);
}

QString toQString(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<int>(text.size()));
}

std::u16string toU16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<std::size_t>(text.size()));
}

// --- table entries -----------------------------------------------------------------------------

std::int32_t valueInit(SciterValue* value) {
    if (!value) return kValueBadParameter;
    *value = SciterValue{};
    return kValueOk;
}

std::int32_t valueClear(SciterValue* value) {
    if (!value) return kValueBadParameter;
    if (Payload* payload = payloadOf(*value)) {
        if (payload->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete payload;
    }
    *value = SciterValue{};
    return kValueOk;
}

std::int32_t valueCopy(SciterValue* destination, const SciterValue* source) {
    if (!destination || !source) return kValueBadParameter;
    if (destination == source) return kValueOk;
    if (Payload* payload = payloadOf(*source)) {
        payload->references.fetch_add(1, std::memory_order_relaxed);
    }
    const SciterValue copy = *source;
    valueClear(destination);
    *destination = copy;
    return kValueOk;
}

std::int32_t valueType(const SciterValue* value, std::uint32_t* type, std::uint32_t* units) {
    if (!value) return kValueBadParameter;
    if (type) *type = value->type;
    if (units) *units = value->units;
    return kValueOk;
}

std::int32_t valueIntData(const SciterValue* value, std::int32_t* out) {
    if (!value || !out) return kValueBadParameter;
    if (value->type != kValueInt && value->type != kValueBool) {
        *out = 0;
        return kValueIncompatibleType;
    }
    *out = static_cast<std::int32_t>(value->data);
    return kValueOk;
}

std::int32_t valueIntDataSet(SciterValue* value, std::int32_t data, std::uint32_t type) {
    if (!value || (type != kValueInt && type != kValueBool)) return kValueBadParameter;
    valueClear(value);
    value->type = type;
    value->data = type == kValueBool ? (data != 0 ? 1u : 0u) : static_cast<std::uint32_t>(data);
    return kValueOk;
}

std::int32_t valueFloatData(const SciterValue* value, double* out) {
    if (!value || !out) return kValueBadParameter;
    if (value->type == kValueInt) {
        *out = static_cast<std::int32_t>(value->data);
        return kValueOk;
    }
    if (value->type != kValueFloat) {
        *out = 0;
        return kValueIncompatibleType;
    }
    std::memcpy(out, &value->data, sizeof(double));
    return kValueOk;
}

std::int32_t valueFloatDataSet(SciterValue* value, double data) {
    if (!value) return kValueBadParameter;
    valueClear(value);
    value->type = kValueFloat;
    std::memcpy(&value->data, &data, sizeof(double));
    return kValueOk;
}

std::int32_t valueStringData(const SciterValue* value, const char16_t** chars,
                             std::uint32_t* length) {
    if (!value || !chars || !length) return kValueBadParameter;
    auto* string = payloadAs<StringPayload>(*value, kValueString);
    if (!string) return kValueIncompatibleType;
    *chars = string->text.c_str();
    *length = static_cast<std::uint32_t>(string->text.size());
    return kValueOk;
}

std::int32_t valueStringDataSet(SciterValue* value, const char16_t* chars, std::uint32_t length,
                                std::uint32_t units) {
    if (!value || (!chars && length > 0) || units > kStringError) return kValueBadParameter;
    auto* payload = new StringPayload;
    if (chars) payload->text.assign(chars, length);
    setPayload(value, kValueString, units, payload);
    return kValueOk;
}

std::int32_t valueToString(SciterValue* value, std::uint32_t mode) {
    if (!value || mode != kToStringSimple) return kValueBadParameter;
    if (value->type == kValueString) return kValueOk;
    const std::u16string text = toU16(simpleText(*value));
    return valueStringDataSet(value, text.data(), static_cast<std::uint32_t>(text.size()),
                              kStringPlain);
}

std::int32_t valueNullSet(SciterValue* value) {
    if (!value) return kValueBadParameter;
    valueClear(value);
    value->type = kValueNull;
    return kValueOk;
}

std::int32_t valueElementsCount(const SciterValue* value, std::int32_t* count) {
    if (!value || !count) return kValueBadParameter;
    if (auto* array = payloadAs<ArrayPayload>(*value, kValueArray)) {
        *count = static_cast<std::int32_t>(array->items.size());
    } else if (auto* map = payloadAs<MapPayload>(*value, kValueMap)) {
        *count = static_cast<std::int32_t>(map->entries.size());
    } else {
        *count = 0;
    }
    return kValueOk;
}

std::int32_t valueNthElementValue(const SciterValue* value, std::int32_t n, SciterValue* out) {
    if (!value || !out || n < 0) return kValueBadParameter;
    if (auto* array = payloadAs<ArrayPayload>(*value, kValueArray)) {
        if (static_cast<std::size_t>(n) >= array->items.size()) return kValueBadParameter;
        return valueCopy(out, &array->items[n].raw());
    }
    if (auto* map = payloadAs<MapPayload>(*value, kValueMap)) {
        if (static_cast<std::size_t>(n) >= map->entries.size()) return kValueBadParameter;
        return valueCopy(out, &map->entries[n].second.raw());
    }
    return kValueIncompatibleType;
}

// Appending to undefined makes an array; a null item only makes sure the array exists.
std::int32_t valueAppend(SciterValue* array, const SciterValue* item) {
    if (!array) return kValueBadParameter;
    if (array->type == kValueUndefined) setPayload(array, kValueArray, 0, new ArrayPayload);
    auto* payload = payloadAs<ArrayPayload>(*array, kValueArray);
    if (!payload) return kValueIncompatibleType;
    if (item) payload->items.push_back(Value::copyOf(*item));
    return kValueOk;
}

std::int32_t valueNthElementKey(const SciterValue* map, std::int32_t n, SciterValue* out) {
    if (!map || !out || n < 0) return kValueBadParameter;
    auto* payload = payloadAs<MapPayload>(*map, kValueMap);
    if (!payload) return kValueIncompatibleType;
    if (static_cast<std::size_t>(n) >= payload->entries.size()) return kValueBadParameter;
    return valueCopy(out, &payload->entries[n].first.raw());
}

// Keying into undefined makes a map; a null key only makes sure the map exists. Setting an
// existing key replaces its value in place, keeping the first insertion's position.
std::int32_t valueSetValueToKey(SciterValue* map, const SciterValue* key, const SciterValue* item) {
    if (!map) return kValueBadParameter;
    if (map->type == kValueUndefined) setPayload(map, kValueMap, 0, new MapPayload);
    auto* payload = payloadAs<MapPayload>(*map, kValueMap);
    if (!payload) return kValueIncompatibleType;
    if (!key) return kValueOk;
    const Value newItem = item ? Value::copyOf(*item) : Value();
    for (auto& entry : payload->entries) {
        if (sameKey(entry.first.raw(), *key)) {
            entry.second = newItem;
            return kValueOk;
        }
    }
    payload->entries.emplace_back(Value::copyOf(*key), newItem);
    return kValueOk;
}

std::int32_t valueGetValueOfKey(const SciterValue* map, const SciterValue* key, SciterValue* out) {
    if (!map || !key || !out) return kValueBadParameter;
    auto* payload = payloadAs<MapPayload>(*map, kValueMap);
    if (!payload) return kValueIncompatibleType;
    for (const auto& entry : payload->entries) {
        if (sameKey(entry.first.raw(), *key)) return valueCopy(out, &entry.second.raw());
    }
    valueClear(out);
    return kValueOk;
}

std::int32_t valueNativeFunctorSet(SciterValue* value, SciterNativeInvoke invoke,
                                   SciterNativeRelease release, void* tag) {
    if (!value || !invoke) return kValueBadParameter;
    auto* payload = new FunctionPayload;
    payload->nativeInvoke = invoke;
    payload->nativeRelease = release;
    payload->nativeTag = tag;
    setPayload(value, kValueFunction, 0, payload);
    return kValueOk;
}

// --- transport -------------------------------------------------------------------------------

QJsonValue toTransport(const SciterValue& value) { return toTransport(value, {}); }

QJsonValue toTransport(const SciterValue& value,
                       const std::function<QJsonValue(const std::u16string&)>& keepText) {
    switch (value.type) {
        case kValueNull:
            return QJsonValue::Null;
        case kValueBool:
            return value.data != 0;
        case kValueInt:
            return static_cast<std::int32_t>(value.data);
        case kValueFloat: {
            double number = 0;
            valueFloatData(&value, &number);
            return number;
        }
        case kValueString: {
            const std::u16string& raw = payloadAs<StringPayload>(value, kValueString)->text;
            if (keepText && value.units == kStringPlain) {
                const QJsonValue kept = keepText(raw);
                if (!kept.isNull()) return kept;
            }
            const QString text = toQString(raw);
            if (value.units == kStringError) return QJsonObject{{"e", text}};
            if (value.units == kStringSymbol) return QJsonObject{{"y", text}};
            return text;
        }
        case kValueArray: {
            QJsonArray items;
            for (const Value& item : payloadAs<ArrayPayload>(value, kValueArray)->items) {
                items.append(toTransport(item.raw(), keepText));
            }
            return items;
        }
        case kValueMap: {
            QJsonArray entries;
            for (const auto& [key, item] : payloadAs<MapPayload>(value, kValueMap)->entries) {
                entries.append(
                    QJsonArray{simpleText(key.raw()), toTransport(item.raw(), keepText)});
            }
            return QJsonObject{{"m", entries}};
        }
        case kValueFunction: {
            const FunctionPayload* function = functionOf(value);
            return QJsonObject{{"f", function->window != 0 ? function->callback : -1},
                               {"d", function->document}};
        }
        default:
            return QJsonObject{{"u", 0}};
    }
}

namespace {

Value stringValue(const QString& text, std::uint32_t units) {
    Value result;
    const std::u16string chars = toU16(text);
    valueStringDataSet(&result.raw(), chars.data(), static_cast<std::uint32_t>(chars.size()),
                       units);
    return result;
}

Value numberValue(double number) {
    Value result;
    const bool integral = number == std::floor(number) &&
                          number >= std::numeric_limits<std::int32_t>::min() &&
                          number <= std::numeric_limits<std::int32_t>::max();
    if (integral) {
        valueIntDataSet(&result.raw(), static_cast<std::int32_t>(number), kValueInt);
    } else {
        valueFloatDataSet(&result.raw(), number);
    }
    return result;
}

Value taggedValue(const QJsonObject& object, SciterWindow window, const QString& document) {
    Value result;
    if (object.contains("f")) {
        setPageFunction(&result.raw(), window, document, object.value("f").toInt());
    } else if (object.contains("e")) {
        result = stringValue(object.value("e").toString(), kStringError);
    } else if (object.contains("y")) {
        result = stringValue(object.value("y").toString(), kStringSymbol);
    } else if (object.contains("m")) {
        valueSetValueToKey(&result.raw(), nullptr, nullptr);
        for (const QJsonValue& entry : object.value("m").toArray()) {
            const QJsonArray pair = entry.toArray();
            const Value key = stringValue(pair.at(0).toString(), kStringPlain);
            const Value item = fromTransport(pair.at(1), window, document);
            valueSetValueToKey(&result.raw(), &key.raw(), &item.raw());
        }
    }
    return result;  // {"u":...} and anything unknown: undefined
}

}  // namespace

// Whole JavaScript numbers within int32 become integers, as the page's numbers are untyped.
Value fromTransport(const QJsonValue& json, SciterWindow window, const QString& document) {
    Value result;
    switch (json.type()) {
        case QJsonValue::Null:
            valueNullSet(&result.raw());
            break;
        case QJsonValue::Bool:
            valueIntDataSet(&result.raw(), json.toBool() ? 1 : 0, kValueBool);
            break;
        case QJsonValue::Double:
            result = numberValue(json.toDouble());
            break;
        case QJsonValue::String:
            result = stringValue(json.toString(), kStringPlain);
            break;
        case QJsonValue::Array:
            valueAppend(&result.raw(), nullptr);
            for (const QJsonValue& item : json.toArray()) {
                const Value element = fromTransport(item, window, document);
                valueAppend(&result.raw(), &element.raw());
            }
            break;
        case QJsonValue::Object:
            result = taggedValue(json.toObject(), window, document);
            break;
        default:
            break;
    }
    return result;
}

}  // namespace engine
