// Conversions between engine values, JSON values and the native arguments of bridged methods.
#include "bridge/script_values.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <cmath>
#include <limits>

#include "log/logger.h"
#include "log/qt_format.h"

namespace pellanor::bridge {

namespace {

QString fromU16(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<int>(text.size()));
}

bool isWholeInt32(double number) {
    return std::isfinite(number) && number == std::floor(number) &&
           number >= std::numeric_limits<std::int32_t>::min() &&
           number <= std::numeric_limits<std::int32_t>::max();
}

sciter::value variantToScript(const QVariant& item);

sciter::value toScriptList(const QVariantList& items) {
    sciter::value array = sciter::value::array();
    for (const QVariant& item : items) array.append(variantToScript(item));
    return array;
}

sciter::value variantToScript(const QVariant& item) {
    switch (static_cast<QMetaType::Type>(item.type())) {
        case QMetaType::Bool:
            return sciter::value(item.toBool());
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::UShort:
            return sciter::value(item.toInt());
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Float: {
            const double number = item.toDouble();
            return isWholeInt32(number) ? sciter::value(static_cast<int>(number))
                                        : sciter::value(number);
        }
        case QMetaType::QVariantMap:
            return pellanor::bridge::toScript(item.toMap());
        case QMetaType::QVariantList:
        case QMetaType::QStringList:
            return toScriptList(item.toList());
        default:
            if (!item.isValid()) return sciter::value();
            if (item.isNull() && item.type() != QVariant::String) return sciter::value::null();
            return sciter::value(item.toString().toStdU16String());
    }
}

// Keeps the page's function value and calls it from whichever thread reports. A report the page
// cannot take (it threw, or its window is gone) is logged; the worker goes on to its end.
ReportFunction scriptCallback(const sciter::value& function) {
    if (!function.isFunction()) {
        return [](const QVariantMap& event) {
            logging::info("NativeUtil", "report {} dropped: the callback is not a function",
                          event.value(QStringLiteral("type")).toString());
        };
    }
    return [function](const QVariantMap& event) {
        try {
            function.call({toScript(event)});
        } catch (const sciter::script_error& error) {
            logging::info("NativeUtil", "report {} not delivered: {}",
                          event.value(QStringLiteral("type")).toString(), error.what());
        }
    };
}

ScriptFunction laterCall(const sciter::value& function) {
    return [function](const QVariantList& arguments, QString& error) {
        if (!function.isFunction()) {
            error = QStringLiteral("not a function");
            return false;
        }
        std::vector<sciter::value> values;
        for (const QVariant& argument : arguments) values.push_back(variantToScript(argument));
        try {
            function.call(values);
            return true;
        } catch (const sciter::script_error& thrown) {
            error = QString::fromUtf8(thrown.what());
            return false;
        }
    };
}

}  // namespace

QString numberText(double number) {
    if (std::isnan(number)) return QStringLiteral("NaN");
    if (std::isinf(number))
        return number > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (number == std::floor(number) && std::fabs(number) < 1e21) {
        return QString::number(number, 'f', 0);
    }
    return QString::number(number, 'g', QLocale::FloatingPointShortest);
}

Argument fromScript(const sciter::value& value, ParamKind kind) {
    switch (kind) {
        case ParamKind::Text:
            return fromU16(value.isString() ? value.getString() : value.toString());
        case ParamKind::Integer:
            return value.getInt(0);
        case ParamKind::Float:
            return value.getFloat(0.0);
        case ParamKind::Function:
            return scriptCallback(value);
        case ParamKind::Callable:
            return laterCall(value);
    }
    return QString();
}

sciter::value toScript(const Result& result) {
    struct Visitor {
        sciter::value operator()(std::monostate) const { return sciter::value(); }
        sciter::value operator()(bool flag) const { return sciter::value(flag); }
        sciter::value operator()(int number) const { return sciter::value(number); }
        sciter::value operator()(double number) const { return sciter::value(number); }
        sciter::value operator()(const QString& text) const {
            return sciter::value(text.toStdU16String());
        }
    };
    return std::visit(Visitor{}, result);
}

sciter::value toScript(const QVariantMap& event) {
    static const QString kTypeKey = QStringLiteral("type");
    sciter::value map = sciter::value::map();
    for (auto it = event.cbegin(); it != event.cend(); ++it) {
        sciter::value item = it.key() == kTypeKey
                                 ? sciter::value::symbol(it.value().toString().toStdU16String())
                                 : variantToScript(it.value());
        map.set(it.key().toStdU16String(), item);
    }
    return map;
}

Argument fromJson(const QJsonValue& value, ParamKind kind, bool present) {
    switch (kind) {
        case ParamKind::Text:
            if (!present) return QStringLiteral("undefined");
            if (value.isString()) return value.toString();
            if (value.isDouble()) return numberText(value.toDouble());
            if (value.isBool())
                return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
            if (value.isNull()) return QStringLiteral("null");
            return QString::fromUtf8(
                value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                                : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
        case ParamKind::Integer:
            if (value.isBool()) return value.toBool() ? 1 : 0;
            return value.isDouble() && isWholeInt32(value.toDouble())
                       ? static_cast<int>(value.toDouble())
                       : 0;
        case ParamKind::Float:
            return value.isDouble() ? value.toDouble() : 0.0;
        case ParamKind::Function:
            break;
        case ParamKind::Callable:
            return ScriptFunction([](const QVariantList&, QString&) { return true; });
    }
    return ReportFunction([](const QVariantMap&) {});
}

QJsonValue toJson(const Result& result) {
    struct Visitor {
        QJsonValue operator()(std::monostate) const { return QJsonValue(QJsonValue::Undefined); }
        QJsonValue operator()(bool flag) const { return flag; }
        QJsonValue operator()(int number) const { return number; }
        QJsonValue operator()(double number) const { return number; }
        QJsonValue operator()(const QString& text) const { return text; }
    };
    return std::visit(Visitor{}, result);
}

}  // namespace pellanor::bridge
