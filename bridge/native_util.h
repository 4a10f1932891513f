// NativeUtil: the one script object through which pages reach every native service. Its member
// table is the single list of what pages (and pellanor-cli) may call, in registration order.
#pragma once

#include "bridge/script_class.h"

namespace pellanor::bridge {

// The member table of NativeUtil. Each entry only converts arguments and calls the module that
// owns the work.
const ScriptClass& nativeUtilClass();

// The process-wide NativeUtil object, created on first use and never released; its binding is
// what the engine's global registration takes.
class NativeUtil {
public:
    static NativeUtil& instance();
    void* scriptObject() const { return m_binding; }

private:
    NativeUtil();
    void* m_binding;
};

}  // namespace pellanor::bridge
