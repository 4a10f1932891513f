// The built-in window operations of pages. Frameless windows have no caption to drag or buttons
// to press, so pages do it through these.
#include "engine/src/host_window.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QScreen>
#include <QWindow>

#include <functional>
#include <map>

#include "engine/src/host.h"
#include "engine/src/window.h"

namespace engine {

namespace {

int intArgument(const std::vector<Value>& arguments, std::size_t index) {
    std::int32_t out = 0;
    if (index < arguments.size()) valueIntData(&arguments[index].raw(), &out);
    return out;
}

Value rectMap(const QRect& rect) {
    Value map;
    const std::pair<const char*, int> fields[] = {
        {"x", rect.x()}, {"y", rect.y()}, {"width", rect.width()}, {"height", rect.height()}};
    for (const auto& [name, number] : fields) {
        Value key, item;
        const std::u16string text = toU16(QString::fromLatin1(name));
        valueStringDataSet(&key.raw(), text.data(), static_cast<std::uint32_t>(text.size()),
                           kStringPlain);
        valueIntDataSet(&item.raw(), number, kValueInt);
        valueSetValueToKey(&map.raw(), &key.raw(), &item.raw());
    }
    return map;
}

Value boolValue(bool flag) {
    Value value;
    valueIntDataSet(&value.raw(), flag ? 1 : 0, kValueBool);
    return value;
}

using Operation = std::function<Value(Window&, const std::vector<Value>&)>;

const std::map<QString, std::pair<int, Operation>>& operations() {
    static const std::map<QString, std::pair<int, Operation>> table = {
        {"show",
         {0,
          [](Window& w, const auto&) {
              w.showCommand(kShowShow);
              w.raise();
              return Value();
          }}},
        {"hide",
         {0,
          [](Window& w, const auto&) {
              w.showCommand(kShowHide);
              return Value();
          }}},
        {"minimize",
         {0,
          [](Window& w, const auto&) {
              w.showCommand(kShowMinimize);
              return Value();
          }}},
        {"restore",
         {0,
          [](Window& w, const auto&) {
              w.showCommand(kShowRestore);
              return Value();
          }}},
        {"close",
         {0,
          [](Window& w, const auto&) {
              w.close();
              return Value();
          }}},
        {"isMinimized", {0, [](Window& w, const auto&) { return boolValue(w.isMinimized()); }}},
        {"move",
         {4,
          [](Window& w, const std::vector<Value>& a) {
              w.setGeometry(intArgument(a, 0), intArgument(a, 1), intArgument(a, 2),
                            intArgument(a, 3));
              return Value();
          }}},
        {"geometry", {0, [](Window& w, const auto&) { return rectMap(w.geometry()); }}},
        {"workArea",
         {0,
          [](Window& w, const auto&) {
              QScreen* screen = w.screen() ? w.screen() : QGuiApplication::primaryScreen();
              return rectMap(screen ? screen->availableGeometry() : QRect());
          }}},
        {"startMove",
         {0,
          [](Window& w, const auto&) {
              QWindow* handle = w.windowHandle();
              return boolValue(handle && handle->startSystemMove());
          }}},
        {"arguments",
         {0,
          [](Window&, const auto&) {
              Value list;
              valueAppend(&list.raw(), nullptr);
              for (const QString& argument : Host::instance().arguments()) {
                  Value item;
                  const std::u16string text = toU16(argument);
                  valueStringDataSet(&item.raw(), text.data(),
                                     static_cast<std::uint32_t>(text.size()), kStringPlain);
                  valueAppend(&list.raw(), &item.raw());
              }
              return list;
          }}},
    };
    return table;
}

}  // namespace

QJsonObject hostWindowPassport() {
    QJsonArray methods;
    for (const auto& [name, entry] : operations()) methods.append(QJsonArray{name, entry.first});
    return QJsonObject{{"name", "HostWindow"},
                       {"target", kHostWindowTarget},
                       {"methods", methods},
                       {"properties", QJsonArray()}};
}

bool callHostWindow(SciterWindow window, const QString& operation,
                    const std::vector<Value>& arguments, Value& result) {
    const auto found = operations().find(operation);
    if (found == operations().end()) return false;
    Host* host = Host::existing();
    Window* target = host ? host->window(window) : nullptr;
    if (target && !target->isDestroying()) result = found->second.second(*target, arguments);
    return true;
}

}  // namespace engine
