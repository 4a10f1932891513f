// Passport building and the method entries of script-visible classes.
#include "bridge/script_class.h"

#include <mutex>
#include <stdexcept>
#include <utility>

namespace pellanor::bridge {

Member method(const char* name, std::vector<ParamKind> params,
              std::function<Result(const Arguments& arguments)> run) {
    return Member{name, MemberKind::Method, std::move(params),
                  [run = std::move(run)](void*, const Arguments& arguments) { return run(arguments); }};
}

Member property(const char* name, std::function<Result()> get) {
    return Member{name, MemberKind::Property, {},
                  [get = std::move(get)](void*, const Arguments&) { return get(); }};
}

ScriptClass::ScriptClass(const char* name, std::vector<Member> members)
    : m_name(name), m_members(std::move(members)) {
    for (const Member& member : m_members) {
        (member.kind == MemberKind::Method ? m_methods : m_properties).push_back(&member);
    }
    if (m_methods.size() > kMaxMethods || m_properties.size() > kMaxProperties) {
        throw std::length_error("a script class has more members than the entry tables hold");
    }
}

const Member* ScriptClass::find(const QString& name) const {
    for (const Member& member : m_members) {
        if (name == QLatin1String(member.name)) return &member;
    }
    return nullptr;
}

void* ScriptClass::bind(void* self) const {
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    m_bindings.push_back(Binding{this, self});
    return &m_bindings.back();
}

bool ScriptClass::invoke(const Member& member, void* self, const Arguments& arguments,
                         Result& result, QString& error) const {
    try {
        result = member.run(self, arguments);
        return true;
    } catch (const std::exception& exception) {
        error = QString::fromUtf8(exception.what());
    } catch (...) {
        error = QStringLiteral("unknown native error");
    }
    return false;
}

bool ScriptClass::callFromScript(const Member& member, void* self, std::uint32_t argc,
                                 const SciterValue* argv, SciterValue* out) const {
    std::vector<Argument> converted;
    converted.reserve(member.params.size());
    for (std::size_t i = 0; i < member.params.size(); ++i) {
        // The engine pads to the declared count; a short vector is read as undefined all the same.
        sciter::value argument = i < argc ? sciter::value::copyOf(argv[i]) : sciter::value();
        converted.push_back(fromScript(argument, member.params[i]));
    }
    Result result;
    QString error;
    sciter::value answer = invoke(member, self, Arguments(std::move(converted)), result, error)
                               ? toScript(result)
                               : sciter::value::error(error.toStdU16String());
    sciter::api()->ValueCopy(out, answer.raw());
    return true;
}

template <std::size_t I>
bool ScriptClass::methodEntry(void* object, std::uint32_t argc, const SciterValue* argv,
                              SciterValue* result) {
    const auto* binding = static_cast<const Binding*>(object);
    const ScriptClass& owner = *binding->owner;
    if (I >= owner.m_methods.size()) return false;
    return owner.callFromScript(*owner.m_methods[I], binding->self, argc, argv, result);
}

template <std::size_t I>
bool ScriptClass::propertyEntry(void* object, SciterValue* result) {
    const auto* binding = static_cast<const Binding*>(object);
    const ScriptClass& owner = *binding->owner;
    if (I >= owner.m_properties.size()) return false;
    return owner.callFromScript(*owner.m_properties[I], binding->self, 0, nullptr, result);
}

template <std::size_t... I>
const SciterMethodEntry* ScriptClass::methodEntries(std::index_sequence<I...>) {
    static const SciterMethodEntry entries[] = {&ScriptClass::methodEntry<I>...};
    return entries;
}

template <std::size_t... I>
const SciterPropertyGetter* ScriptClass::propertyEntries(std::index_sequence<I...>) {
    static const SciterPropertyGetter entries[] = {&ScriptClass::propertyEntry<I>...};
    return entries;
}

const SciterPassport* ScriptClass::passport() const {
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    if (m_passport) return m_passport.get();
    const SciterApi* api = sciter::api();
    const SciterMethodEntry* methods = methodEntries(std::make_index_sequence<kMaxMethods>());
    const SciterPropertyGetter* getters =
        propertyEntries(std::make_index_sequence<kMaxProperties>());
    for (std::size_t i = 0; i < m_methods.size(); ++i) {
        m_methodDefs.push_back(SciterMethodDef{api->SciterAtomValue(m_methods[i]->name),
                                               static_cast<std::uint32_t>(m_methods[i]->params.size()),
                                               methods[i]});
    }
    for (std::size_t i = 0; i < m_properties.size(); ++i) {
        m_propertyDefs.push_back(SciterPropertyDef{api->SciterAtomValue(m_properties[i]->name), getters[i]});
    }
    m_passport = std::make_unique<SciterPassport>(SciterPassport{
        api->SciterAtomValue(m_name), m_methodDefs.data(),
        static_cast<std::uint32_t>(m_methodDefs.size()), m_propertyDefs.data(),
        static_cast<std::uint32_t>(m_propertyDefs.size())});
    return m_passport.get();
}

}  // namespace pellanor::bridge
