// Passports become page objects through the runtime; calls come back here by name.
#include "engine/src/script_objects.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWindow>

#include <exception>
#include <vector>

#include "engine/src/host_window.h"
#include "engine/src/runtime_source.h"
#include "engine/src/values.h"
#include "engine/src/window.h"

namespace engine {

namespace {

constexpr char kWindowTarget[] = "$window";

QJsonObject passportJson(const SciterPassport& passport, const QString& target) {
    const Host& host = Host::instance();
    QJsonArray methods, properties;
    for (std::uint32_t i = 0; i < passport.methodCount; ++i) {
        methods.append(QJsonArray{QString::fromUtf8(host.atomName(passport.methods[i].name)),
                                  static_cast<int>(passport.methods[i].params)});
    }
    for (std::uint32_t i = 0; i < passport.propertyCount; ++i) {
        properties.append(QString::fromUtf8(host.atomName(passport.properties[i].name)));
    }
    return QJsonObject{{"name", QString::fromUtf8(host.atomName(passport.name))},
                       {"target", target},
                       {"methods", methods},
                       {"properties", properties}};
}

QByteArray failure(const QString& message) {
    return QJsonDocument(QJsonObject{{"x", message}}).toJson(QJsonDocument::Compact);
}

QByteArray success(const SciterValue& result) {
    return QJsonDocument(QJsonObject{{"v", toTransport(result)}}).toJson(QJsonDocument::Compact);
}

std::optional<Asset> findAsset(Host& host, SciterWindow window, const QString& target) {
    if (target == QLatin1String(kWindowTarget)) {
        Window* owner = host.window(window);
        if (!owner || !owner->asset().passport) return {};
        return owner->asset();
    }
    return host.globalAsset(target.toUtf8());
}

// Calls a passport entry with exactly its declared number of arguments.
QByteArray callAsset(Host& host, const Asset& asset, const QString& member, bool property,
                     const std::vector<Value>& arguments) {
    const SciterPassport& passport = *asset.passport;
    // Names are compared as atoms: one lookup per call instead of one per passport entry.
    const std::uint64_t name = host.findAtom(member.toUtf8());
    Value result;
    bool ok = false;
    bool found = false;
    if (property) {
        for (std::uint32_t i = 0; i < passport.propertyCount && !found; ++i) {
            if (name == 0 || passport.properties[i].name != name) continue;
            found = true;
            ok = passport.properties[i].getter(asset.object, &result.raw());
        }
    } else {
        for (std::uint32_t i = 0; i < passport.methodCount && !found; ++i) {
            const SciterMethodDef& method = passport.methods[i];
            if (name == 0 || method.name != name) continue;
            found = true;
            std::vector<SciterValue> argv(method.params, SciterValue{});
            for (std::uint32_t n = 0; n < method.params && n < arguments.size(); ++n) {
                argv[n] = arguments[n].raw();
            }
            ok = method.entry(asset.object, method.params, argv.data(), &result.raw());
        }
    }
    if (!found) return failure(QStringLiteral("no native member named ") + member);
    if (!ok) return failure(QStringLiteral("native member ") + member + QStringLiteral(" failed"));
    return success(result.raw());
}

}  // namespace

QString runtimeScript(SciterWindow window, const Asset& windowAsset) {
    Host& host = Host::instance();
    QJsonArray objects;
    for (const Asset& asset : host.globalAssets()) {
        QJsonObject passport = passportJson(*asset.passport, QString());
        passport.insert("target", passport.value("name"));
        objects.append(passport);
    }
    QJsonObject config{
        {"window", static_cast<double>(window)},
        {"objects", objects},
        {"hostWindow", hostWindowPassport()},
        {"windowObject", windowAsset.passport
                             ? QJsonValue(passportJson(*windowAsset.passport, kWindowTarget))
                             : QJsonValue(QJsonValue::Null)}};
    QString source = QString::fromUtf8(kRuntimeSource);
    source.replace(QLatin1String("/*CONFIG*/"),
                   QString::fromUtf8(QJsonDocument(config).toJson(QJsonDocument::Compact)));
    return source;
}

QByteArray answerCall(const QUrlQuery& query) {
    Host* host = Host::existing();
    if (!host) return failure(QStringLiteral("the engine is not running"));
    const SciterWindow window = query.queryItemValue("w").toLongLong();
    const QString document = query.queryItemValue("d", QUrl::FullyDecoded);
    const QString target = query.queryItemValue("o", QUrl::FullyDecoded);
    const QString member = query.queryItemValue("m", QUrl::FullyDecoded);
    const bool property = query.queryItemValue("k") == QLatin1String("get");
    // Arguments the parser cannot take (nested deeper than it allows, say) must not reach the
    // method as undefined ones: the page learns that the call was not made.
    QJsonParseError parsed{};
    const QJsonDocument list =
        QJsonDocument::fromJson(query.queryItemValue("a", QUrl::FullyDecoded).toUtf8(), &parsed);
    if (parsed.error != QJsonParseError::NoError || !list.isArray()) {
        return failure(QStringLiteral("the arguments of ") + target + QLatin1Char('.') + member +
                       QStringLiteral(" cannot be read: ") + parsed.errorString());
    }
    const QJsonArray json = list.array();
    std::vector<Value> arguments;
    for (const QJsonValue& item : json) arguments.push_back(fromTransport(item, window, document));

    // The page is blocked until we answer; see Host::pageWaitsForNative.
    struct CallScope {
        Host& host;
        SciterWindow window;
        ~CallScope() { host.leaveCall(window); }
    } scope{*host, window};
    host->enterCall(window);
    try {
        if (target == QLatin1String(kHostWindowTarget)) {
            Value result;
            if (!callHostWindow(window, member, arguments, result)) {
                return failure(QStringLiteral("no window operation named ") + member);
            }
            return success(result.raw());
        }
        const std::optional<Asset> asset = findAsset(*host, window, target);
        if (!asset) return failure(QStringLiteral("no native object named ") + target);
        return callAsset(*host, *asset, member, property, arguments);
    } catch (const std::exception& error) {
        return failure(QString::fromUtf8(error.what()));
    } catch (...) {
        return failure(QStringLiteral("native call failed"));
    }
}

}  // namespace engine
