// Script-visible classes: a table of members (methods with their parameter kinds, read-only
// properties) from which the engine's passport is built, and the binding of one native object to
// such a table. Every method entry converts its arguments by the table, runs the member and turns
// its result into an engine value; an escaping exception becomes an engine error value, which the
// page sees as a thrown error, so nothing ever unwinds into the engine.
#pragma once

#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "bridge/script_values.h"
#include "engine/sdk/sciter_api.h"

namespace pellanor::bridge {

enum class MemberKind { Method, Property };

struct Member {
    const char* name;
    MemberKind kind;
    std::vector<ParamKind> params;
    // `self` is the object the class is bound to (see ScriptClass::bind).
    std::function<Result(void* self, const Arguments& arguments)> run;
};

// A member that does not need its object, as most NativeUtil methods are.
Member method(const char* name, std::vector<ParamKind> params,
              std::function<Result(const Arguments& arguments)> run);
Member property(const char* name, std::function<Result()> get);

class ScriptClass {
public:
    ScriptClass(const char* name, std::vector<Member> members);
    ScriptClass(const ScriptClass&) = delete;
    ScriptClass& operator=(const ScriptClass&) = delete;

    const char* name() const { return m_name; }
    const std::vector<Member>& members() const { return m_members; }
    const Member* find(const QString& name) const;

    // The object the engine hands to the entries for `self`. It must outlive every page that
    // can call it; the class keeps the bindings it made.
    void* bind(void* self) const;

    // Built on first use, after the engine's table is installed (names are engine atoms).
    const SciterPassport* passport() const;

    // Runs a member with converted arguments, catching what escapes (the message is returned
    // in `error`). Both the engine entries and pellanor-cli go through here.
    bool invoke(const Member& member, void* self, const Arguments& arguments, Result& result,
                QString& error) const;

    // Upper bounds of the entry tables; a class with more members is refused at construction.
    static constexpr std::size_t kMaxMethods = 160;
    static constexpr std::size_t kMaxProperties = 32;

private:
    struct Binding {
        const ScriptClass* owner;
        void* self;
    };
    template <std::size_t I>
    static bool methodEntry(void* object, std::uint32_t argc, const SciterValue* argv,
                            SciterValue* result);
    template <std::size_t I>
    static bool propertyEntry(void* object, SciterValue* result);
    template <std::size_t... I>
    static const SciterMethodEntry* methodEntries(std::index_sequence<I...>);
    template <std::size_t... I>
    static const SciterPropertyGetter* propertyEntries(std::index_sequence<I...>);

    bool callFromScript(const Member& member, void* self, std::uint32_t argc,
                        const SciterValue* argv, SciterValue* out) const;

    const char* m_name;
    std::vector<Member> m_members;
    std::vector<const Member*> m_methods;
    std::vector<const Member*> m_properties;
    mutable std::deque<Binding> m_bindings;
    mutable std::vector<SciterMethodDef> m_methodDefs;
    mutable std::vector<SciterPropertyDef> m_propertyDefs;
    mutable std::unique_ptr<SciterPassport> m_passport;
};

}  // namespace pellanor::bridge
