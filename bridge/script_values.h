// What a script-visible method receives and gives back once its arguments are converted: the
// native side of the bridge. One converter turns engine values into these, another turns JSON
// values (pellanor-cli) into the same, so a method behaves alike whichever front end called it.
#pragma once

#include <QJsonValue>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <variant>
#include <vector>

#include "engine/sdk/sciter_value.h"

namespace pellanor::bridge {

// How a parameter is read. Booleans use the integer accessor, as the engine does. Function: a
// worker's report callback (ReportFunction); Callable: a function the UI thread calls later and
// whose failure the caller logs itself (ScriptFunction).
enum class ParamKind { Text, Integer, Float, Function, Callable };

// A script callback as native code holds it: callable from any thread with one report map.
using ReportFunction = std::function<void(const QVariantMap& event)>;

// A script function kept for a later call (setTimeoutOnce, download reports). It runs with the
// given arguments (maps as report maps are converted) and answers false with the error text in
// `error` when it threw, its page is gone, or the value was not a function at all. Any thread;
// from the UI thread it must not be called inside a page's own native call.
using ScriptFunction = std::function<bool(const QVariantList& arguments, QString& error)>;

using Argument = std::variant<QString, int, double, ReportFunction, ScriptFunction>;
using Result = std::variant<std::monostate, bool, int, double, QString>;

class Arguments {
public:
    Arguments() = default;
    explicit Arguments(std::vector<Argument> values) : m_values(std::move(values)) {}

    // Each accessor expects the kind the method's table entry declared for that position.
    const QString& text(std::size_t index) const { return std::get<QString>(m_values.at(index)); }
    int integer(std::size_t index) const { return std::get<int>(m_values.at(index)); }
    bool flag(std::size_t index) const { return integer(index) != 0; }
    double number(std::size_t index) const { return std::get<double>(m_values.at(index)); }
    const ReportFunction& callback(std::size_t index) const {
        return std::get<ReportFunction>(m_values.at(index));
    }
    const ScriptFunction& function(std::size_t index) const {
        return std::get<ScriptFunction>(m_values.at(index));
    }
    std::size_t size() const { return m_values.size(); }

private:
    std::vector<Argument> m_values;
};

// Engine front end. A text parameter takes a string's characters as they are and any other value
// through the engine's simple to-string; integer and float parameters use the engine's accessors
// (0 for anything they do not take); a function parameter keeps a copy of the value and invokes it
// with the report map, whose keys and "type" value become symbols.
Argument fromScript(const sciter::value& value, ParamKind kind);
sciter::value toScript(const Result& result);
sciter::value toScript(const QVariantMap& event);

// JSON front end, mirroring the engine's rules: numbers take the engine's text form, whole
// numbers are integers and others floats, booleans are integers for integer parameters. A
// missing argument is `undefined`, as in a page. Arrays and objects given for a text parameter
// pass as their compact JSON text, which is how structured input travels.
Argument fromJson(const QJsonValue& value, ParamKind kind, bool present = true);
QJsonValue toJson(const Result& result);

// The engine's text form of a number: whole numbers without a fraction, others in the shortest
// form that reads back the same.
QString numberText(double number);

}  // namespace pellanor::bridge
