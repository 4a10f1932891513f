// The engine's binary interface: the one table of entry points that `SciterAPI` returns, and the
// plain types those entries exchange. The program never links the engine; it loads the library at
// run time, asks for this table and calls through it, so nothing here may depend on Qt.
//
// Threads: every entry runs on the UI thread (the thread that ran the application init) unless its
// comment says "any thread"; from another thread it refuses (false, 0). kAppStop may be sent from
// any thread (it is queued to the UI thread).
//
// Application object: the engine makes a QApplication when a window or an option needs one. A
// program that makes its own must make a QApplication (a QCoreApplication cannot hold windows:
// SciterCreateWindow then gives 0).
#pragma once

#include <cstddef>
#include <cstdint>

// A window handle: a non-zero number for a live window, 0 for none.
using SciterWindow = std::intptr_t;

// A script value. Scalars live inline; strings, arrays, maps and functions hold a counted
// reference into the engine, so a value must be released with ValueClear (or the C++ wrapper).
struct SciterValue {
    std::uint32_t type;
    std::uint32_t units;
    std::uint64_t data;
};

enum SciterValueType : std::uint32_t {
    kValueUndefined = 0,
    kValueNull = 1,
    kValueBool = 2,
    kValueInt = 3,
    kValueFloat = 4,
    kValueString = 5,
    kValueArray = 6,
    kValueMap = 7,
    kValueFunction = 8,
};

// Units of a string value.
enum SciterStringUnits : std::uint32_t {
    kStringPlain = 0,
    kStringSymbol = 1,  // a name, such as a key or the "type" of a report map
    kStringError = 2,   // a script error; the page sees it as a thrown Error
};

enum SciterResult : std::int32_t {
    kValueOk = 0,
    kValueBadParameter = 1,
    kValueIncompatibleType = 2,
    kValueInvokeFailed = 3,  // the function threw, or its page is gone; the result holds the error
};

// Simple conversion of ValueToString: JSON-like text for containers, "true"/"false", numbers in
// their shortest form.
enum SciterToStringMode : std::uint32_t { kToStringSimple = 0 };

// Native function values: the engine calls `invoke` on the thread that invokes the value and
// `release` once the last copy is gone.
using SciterNativeInvoke = void (*)(void* tag, std::uint32_t argc, const SciterValue* argv,
                                    SciterValue* result);
using SciterNativeRelease = void (*)(void* tag);

// Script-visible objects. Names are atoms (SciterAtomValue); a method gets its declared number of
// arguments (missing ones are undefined, extra ones are dropped) and fills `result`.
using SciterMethodEntry = bool (*)(void* object, std::uint32_t argc, const SciterValue* argv,
                                   SciterValue* result);
using SciterPropertyGetter = bool (*)(void* object, SciterValue* result);

struct SciterMethodDef {
    std::uint64_t name;
    std::uint32_t params;
    SciterMethodEntry entry;
};

struct SciterPropertyDef {
    std::uint64_t name;
    SciterPropertyGetter getter;
};

struct SciterPassport {
    std::uint64_t name;
    const SciterMethodDef* methods;
    std::uint32_t methodCount;
    const SciterPropertyDef* properties;
    std::uint32_t propertyCount;
};

// Application commands of SciterExec.
enum SciterAppCommand : std::uint32_t {
    kAppLoop = 1,      // runs until the main window is gone or kAppStop; returns the exit code
    kAppInit = 2,      // p1: argument count, p2: const char16_t* const* arguments
    kAppShutdown = 3,  // closes every window and ends the engine's Qt objects; function calls
                       // that worker threads still wait for fail
    kAppStop = 4,      // ends a running loop with the exit code p1
};

// Process-wide options of SciterSetOption (window 0).
enum SciterOption : std::uint32_t {
    kOptionScriptFeatures = 1,  // bit set: file I/O, socket I/O, eval, system information
    kOptionFontSmoothing = 2,   // 3: subpixel smoothing
    kOptionMaxHttpDataMb = 3,   // largest HTTP body a page may load, in megabytes
    kOptionUxTheming = 4,       // 1: the engine's own theme for input elements
    kOptionPagesFolder = 5,     // value: const char16_t*, folder holding this://app items
    kOptionInspectorPort = 6,   // TCP port of the remote inspector of debug windows; 0 disables
};

// Window creation flags.
enum SciterWindowFlags : std::uint32_t {
    kWindowMain = 128,   // closing it ends the application loop
    kWindowPopup = 256,  // created top-most
    kWindowDebug = 512,  // reachable from the remote inspector
};

struct SciterRect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

// Window command of SciterWindowCommand and its state values.
enum SciterWindowCommandId : std::uint32_t { kWindowSetState = 1 };
enum SciterWindowState : std::uint32_t {
    kWindowStateHidden = 0,
    kWindowStateMinimized = 1,
    kWindowStateShown = 2,
    kWindowStateMaximized = 3,
};

// Host callback: asked for the data of every this://app and res: URL a window loads. The host
// answers by calling SciterDataReady(window, url, ...) before returning kLoadOk; kLoadDefault
// leaves the URL to the engine (this://app items are then read from the pages folder).
enum SciterLoadResult : std::uint32_t { kLoadDefault = 0, kLoadOk = 1, kLoadDiscard = 2 };
struct SciterLoadRequest {
    SciterWindow window;
    const char16_t* url;
};
using SciterHostCallback = std::uint32_t (*)(const SciterLoadRequest* request, void* param);

// Page notifications for a window's event handler.
enum SciterEventKind : std::uint32_t {
    kEventDocumentReady = 1,  // name: the page URL
    kEventCustom = 2,         // name: the custom event's name
};
using SciterEventHandler = void (*)(SciterWindow window, std::uint32_t kind, const char16_t* name,
                                    void* tag);

// Window messages. Hooks see them before the engine's default handling; registered messages get
// ids from SciterRegisterMessage.
enum SciterMessage : std::uint32_t {
    kMessageDestroy = 0x0002,
    kMessageClose = 0x0010,       // a close request (user or program); default: destroy
    kMessageSysCommand = 0x0112,  // wparam: the command
    kMessageFirstRegistered = 0xC000,
};
inline constexpr std::uintptr_t kSysCommandClose = 0xF060;
inline constexpr SciterWindow kBroadcastWindow = 0xFFFF;  // SciterPostMessage to every window

using SciterHookProc = std::intptr_t (*)(SciterWindow window, std::uint32_t message,
                                         std::uintptr_t wparam, std::intptr_t lparam,
                                         std::uintptr_t hookId, void* data);
using SciterTimerProc = void (*)(SciterWindow window, std::uintptr_t timerId);

enum SciterShowCommand : std::uint32_t {
    kShowHide = 0,
    kShowNormal = 1,
    kShowMinimize = 2,
    kShowRestore = 3,
    kShowShow = 4,  // shows without changing the minimised or normal state
};

enum SciterZOrder : std::uint32_t { kZOrderKeep = 0, kZOrderTopMost = 1, kZOrderNotTopMost = 2 };

enum SciterMouseButton : std::uint32_t {
    kMouseLeft = 1,
    kMouseRight = 2,
    kMouseMiddle = 3,
    kMouseExtra = 4,
};
// Tray icon clicks arrive as button-up events; the outside-click hook sees button-down events.
using SciterTrayProc = void (*)(SciterWindow owner, std::uint32_t button, void* data);
using SciterMouseProc = void (*)(std::uint32_t button, std::int32_t x, std::int32_t y, void* data);

// Why SciterMouseHookInstall refused: the Windows error codes of the system hook it stands for,
// so that a caller logs the same numbers on every system.
enum SciterHookError : std::uint32_t {
    kHookErrorNotReady = 21,       // ERROR_NOT_READY: no engine or application object to watch
    kHookErrorNoProcedure = 1427,  // ERROR_INVALID_FILTER_PROC: no procedure given
    kHookErrorWrongThread = 1444,  // ERROR_INVALID_THREAD_ID: called off the UI thread
};

struct SciterApi {
    std::uint32_t version;  // of this table's layout

    std::uint32_t (*SciterVersion)(std::uint32_t component);
    std::intptr_t (*SciterExec)(std::uint32_t command, std::intptr_t p1, std::intptr_t p2);
    bool (*SciterSetOption)(SciterWindow window, std::uint32_t option, std::uintptr_t value);
    std::uintptr_t (*SciterGetOption)(SciterWindow window, std::uint32_t option);

    // Archives: a refused block (bad magic, truncated, corrupt) opens as 0.
    std::uintptr_t (*SciterOpenArchive)(const std::uint8_t* data, std::size_t length);
    bool (*SciterGetArchiveItem)(std::uintptr_t archive, const char16_t* path,
                                 const std::uint8_t** data, std::size_t* length);
    bool (*SciterCloseArchive)(std::uintptr_t archive);

    // Atoms and script objects.
    std::uint64_t (*SciterAtomValue)(const char* name);
    bool (*SciterSetGlobalAsset)(void* object, const SciterPassport* passport);
    bool (*SciterSetWindowAsset)(SciterWindow window, void* object, const SciterPassport* passport);

    // Windows.
    SciterWindow (*SciterCreateWindow)(std::uint32_t flags, const SciterRect* frame,
                                       SciterWindow parent);
    bool (*SciterSetCallback)(SciterWindow window, SciterHostCallback callback, void* param);
    bool (*SciterDataReady)(SciterWindow window, const char16_t* url, const std::uint8_t* data,
                            std::size_t length);
    bool (*SciterWindowAttachEventHandler)(SciterWindow window, SciterEventHandler handler,
                                           void* tag);
    bool (*SciterLoadFile)(SciterWindow window, const char16_t* url);
    bool (*SciterWindowCommand)(SciterWindow window, std::uint32_t command, std::uintptr_t value);
    // Any thread. Posted events reach the document as a CustomEvent of that name; the window
    // kBroadcastWindow stands for every window (an event without a target element).
    bool (*SciterFireEvent)(SciterWindow window, const char16_t* name, bool post);

    // Window services.
    std::uint32_t (*SciterRegisterMessage)(const char* name);              // any thread
    bool (*SciterPostMessage)(SciterWindow window, std::uint32_t message,  // any thread
                              std::uintptr_t wparam, std::intptr_t lparam);
    bool (*SciterHookAdd)(SciterWindow window, SciterHookProc proc, std::uintptr_t id, void* data);
    bool (*SciterHookRemove)(SciterWindow window, SciterHookProc proc, std::uintptr_t id);
    // From inside a hook: hands the message to the next hook, or to the default handling.
    std::intptr_t (*SciterHookPassOn)(SciterWindow window, std::uint32_t message,
                                      std::uintptr_t wparam, std::intptr_t lparam);
    bool (*SciterSetTimer)(SciterWindow window, std::uintptr_t id, std::uint32_t milliseconds,
                           SciterTimerProc proc);
    bool (*SciterKillTimer)(SciterWindow window, std::uintptr_t id);
    bool (*SciterShowWindow)(SciterWindow window, std::uint32_t show);
    bool (*SciterSetForeground)(SciterWindow window);
    bool (*SciterIsWindow)(SciterWindow window);
    bool (*SciterIsVisible)(SciterWindow window);
    bool (*SciterIsMinimized)(SciterWindow window);
    bool (*SciterWindowRect)(SciterWindow window, SciterRect* rect);
    // Moves (unless move is false), sets the z-order and shows or hides (show: kShowHide,
    // kShowShow, or anything else to leave visibility as it is).
    bool (*SciterPlaceWindow)(SciterWindow window, std::uint32_t zOrder, bool move, std::int32_t x,
                              std::int32_t y, std::uint32_t show, bool activate);
    bool (*SciterSetToolWindow)(SciterWindow window, bool toolWindow);
    bool (*SciterSetTitle)(SciterWindow window, const char16_t* title);
    bool (*SciterTrayIconSet)(SciterWindow owner, const std::uint8_t* image, std::size_t length,
                              const char16_t* tooltip, SciterTrayProc proc, void* data);
    bool (*SciterTrayIconRemove)(SciterWindow owner);
    // 0 when refused; `error` (may be null) then gets a SciterHookError, else 0.
    std::uintptr_t (*SciterMouseHookInstall)(SciterMouseProc proc, void* data,
                                             std::uint32_t* error);
    bool (*SciterMouseHookRemove)(std::uintptr_t hook);
    bool (*SciterCursorPosition)(std::int32_t* x, std::int32_t* y);
    std::int32_t (*SciterMonitorCount)();
    bool (*SciterMonitorWorkArea)(std::int32_t x, std::int32_t y, SciterRect* area);

    // Values (any thread).
    std::int32_t (*ValueInit)(SciterValue* value);
    std::int32_t (*ValueClear)(SciterValue* value);
    std::int32_t (*ValueCopy)(SciterValue* destination, const SciterValue* source);
    std::int32_t (*ValueType)(const SciterValue* value, std::uint32_t* type, std::uint32_t* units);
    std::int32_t (*ValueIntData)(const SciterValue* value, std::int32_t* out);
    std::int32_t (*ValueIntDataSet)(SciterValue* value, std::int32_t data, std::uint32_t type);
    std::int32_t (*ValueFloatData)(const SciterValue* value, double* out);
    std::int32_t (*ValueFloatDataSet)(SciterValue* value, double data);
    std::int32_t (*ValueStringData)(const SciterValue* value, const char16_t** chars,
                                    std::uint32_t* length);
    std::int32_t (*ValueStringDataSet)(SciterValue* value, const char16_t* chars,
                                       std::uint32_t length, std::uint32_t units);
    std::int32_t (*ValueToString)(SciterValue* value, std::uint32_t mode);
    std::int32_t (*ValueNullSet)(SciterValue* value);
    std::int32_t (*ValueElementsCount)(const SciterValue* value, std::int32_t* count);
    std::int32_t (*ValueNthElementValue)(const SciterValue* value, std::int32_t n,
                                         SciterValue* out);
    std::int32_t (*ValueAppend)(SciterValue* array, const SciterValue* item);
    std::int32_t (*ValueNthElementKey)(const SciterValue* map, std::int32_t n, SciterValue* out);
    std::int32_t (*ValueSetValueToKey)(SciterValue* map, const SciterValue* key,
                                       const SciterValue* item);
    std::int32_t (*ValueGetValueOfKey)(const SciterValue* map, const SciterValue* key,
                                       SciterValue* out);
    std::int32_t (*ValueNativeFunctorSet)(SciterValue* value, SciterNativeInvoke invoke,
                                          SciterNativeRelease release, void* tag);
    // Any thread; blocks until the function has run on the UI thread in its page. A thrown error
    // or a closed page gives kValueInvokeFailed with the error as the result, and so does a call
    // from the UI thread while the function's page waits for a native call of its own (the page
    // could not run it before that call returned), or a call the engine shut down under.
    std::int32_t (*ValueInvoke)(const SciterValue* function, std::uint32_t argc,
                                const SciterValue* argv, SciterValue* result);
};

inline constexpr std::uint32_t kSciterApiLayout = 2;

extern "C" {
using SciterApiEntry = const SciterApi* (*)();
}
