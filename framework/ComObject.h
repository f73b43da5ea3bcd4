// The COM object base: reference counting, the interface map and the one
// QueryInterface every class shares.
//
// Usage:
//
//   class CWidget : public vnl::ComObjectRoot, public IWidget, public IDispatch... {
//   public:
//       VNL_BEGIN_INTERFACE_MAP(CWidget)
//           VNL_INTERFACE_ENTRY(IWidget)                 // also answers IUnknown
//           VNL_INTERFACE_ENTRY2(IDispatch, IWidget)     // IDispatch reached through IWidget
//       VNL_END_INTERFACE_MAP()
//
//       // Optional: runs after construction; a failure destroys the object and
//       // is what CreateInstance returns.
//       HRESULT FinalConstruct() noexcept;
//
//       // IWidget methods (noexcept, catch everything)...
//   };
//
//   vnl::ComPtr<vnl::ComObject<CWidget>> widget;
//   RETURN_IF_FAILED(vnl::ComObject<CWidget>::CreateInstance(widget.put()));
//   // or, as a class-table creator: vnl::ComObject<CWidget>::CreateInstance(iid, out)
//
// Every concrete class declares its own map (a class derived from one with a
// map declares a new one), since the offsets are those of the class named in
// VNL_BEGIN_INTERFACE_MAP. The class itself stays abstract: ComObject<T> supplies the IUnknown methods
// for every interface the class derives from, so the class never writes
// QueryInterface, AddRef or Release. Inside the class, `this` reaches them
// through any of its interfaces (static_cast<IWidget*>(this)->AddRef()).
//
// The interface map is one table per class, in the order the class declares
// it. QueryInterface walks it once: IUnknown is answered by the first entry, a
// listed interface by its entry, anything else with E_NOINTERFACE. The same
// interface always gives the same pointer (the object's address plus a fixed
// offset), so callers may compare pointers for identity. The out pointer is
// nulled before anything else.
//
// Reference counts use interlocked increments and decrements. Objects follow
// the single-threaded (apartment) model, but a reference may still be dropped
// on another thread (a test's worker, a watcher thread tearing down), and the
// interlocked count costs nothing that matters at the rates COM objects are
// created here.
//
// Every object made through ComObject<T> holds one lock on its module while it
// lives (ComModule.h), so DllCanUnloadNow answers S_FALSE while any lives.
//
// A trace line for each QueryInterface miss goes to OutputDebugString when
// tracing is on (EnableComTrace, or the environment variable VNL_COM_TRACE set
// to a non-empty value other than "0" when the first miss happens); Wine shows
// those lines with WINEDEBUG=+debugstr. Tracing is off by default.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

namespace vnl {

// One row of a class's interface map. A null `iid` ends the table.
struct InterfaceEntry {
    const IID* iid;
    std::ptrdiff_t offset;  // from the object's address to the interface pointer
};

// The interface map of one class: its name (for the trace) and its rows.
struct InterfaceMap {
    const char* className;
    const InterfaceEntry* entries;
};

// The shared QueryInterface. `object` is the address of the most derived
// class whose offsets `map` holds. Nulls `*out` first; E_POINTER without `out`.
HRESULT QueryInterfaceFromMap(void* object, const InterfaceMap& map, REFIID iid, void** out) noexcept;

// Switches the QueryInterface-miss trace on or off for this module.
void EnableComTrace(bool on) noexcept;
// True when the trace is on (by EnableComTrace or VNL_COM_TRACE).
bool ComTraceEnabled() noexcept;
// Writes "vnl: <text>\n" to the debugger output when the trace is on.
void ComTrace(const char* format, ...) noexcept;

// Offset of interface `Itf` (reached through `Via`) inside `Class`.
template <typename Class, typename Itf, typename Via = Itf>
std::ptrdiff_t InterfaceOffset() noexcept {
    // Any non-null, suitably aligned address works: only the difference counts.
    Class* object = reinterpret_cast<Class*>(0x1000);
    Itf* itf = static_cast<Itf*>(static_cast<Via*>(object));
    return reinterpret_cast<char*>(itf) - reinterpret_cast<char*>(object);
}

// Module lock count, kept by ComModule.cpp.
void LockModule() noexcept;
void UnlockModule() noexcept;

// The reference count shared by every object.
class ComObjectRoot {
public:
    ComObjectRoot() noexcept = default;
    ComObjectRoot(const ComObjectRoot&) = delete;
    ComObjectRoot& operator=(const ComObjectRoot&) = delete;

    ULONG InternalAddRef() noexcept { return static_cast<ULONG>(::InterlockedIncrement(&refCount_)); }
    ULONG InternalRelease() noexcept { return static_cast<ULONG>(::InterlockedDecrement(&refCount_)); }
    // Keeps the object alive while it is being destroyed: a member that calls
    // back into the object during destruction takes and drops a reference
    // without the count reaching zero a second time.
    void StabilizeForDestruction() noexcept { refCount_ = 1; }

    // The class's own optional hooks (hidden by a class that declares them).
    HRESULT FinalConstruct() noexcept { return S_OK; }

protected:
    ~ComObjectRoot() = default;

private:
    LONG volatile refCount_ = 0;
};

// The concrete object: supplies IUnknown for every interface of T. With
// `Locks` false the object does not hold a module lock (class factories: a
// factory COM caches must not keep the module loaded; LockServer does that).
template <typename T, bool Locks = true>
class ComObject final : public T {
    static_assert(std::is_same_v<typename T::InterfaceMapClass, T>,
                  "the class declares its own interface map (VNL_BEGIN_INTERFACE_MAP)");

public:
    template <typename... Args>
    explicit ComObject(Args&&... args) : T(std::forward<Args>(args)...) {
        if constexpr (Locks) LockModule();
    }
    ~ComObject() {
        if constexpr (Locks) UnlockModule();
    }

    // Makes an object and returns it with one reference, owned by the caller.
    // E_OUTOFMEMORY when allocation fails, E_FAIL when the constructor throws,
    // the FinalConstruct result when that fails; `*out` is null on failure.
    template <typename... Args>
    static HRESULT CreateInstance(ComObject** out, Args&&... args) noexcept {
        if (!out) return E_POINTER;
        *out = nullptr;
        ComObject* object = nullptr;
        try {
            object = new ComObject(std::forward<Args>(args)...);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
        object->InternalAddRef();
        HRESULT hr = object->FinalConstruct();
        if (FAILED(hr)) {
            object->Release();
            return hr;
        }
        *out = object;
        return S_OK;
    }

    // Makes an object and asks it for `iid`: the creator form of the class
    // table. The object is destroyed again when it does not answer `iid`.
    static HRESULT CreateInstance(REFIID iid, void** out) noexcept {
        if (!out) return E_POINTER;
        *out = nullptr;
        ComObject* object = nullptr;
        HRESULT hr = CreateInstance(&object);
        if (FAILED(hr)) return hr;
        hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
        return QueryInterfaceFromMap(static_cast<T*>(this), T::GetInterfaceMap(), iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return this->InternalAddRef(); }
    STDMETHODIMP_(ULONG) Release() noexcept override {
        ULONG count = this->InternalRelease();
        if (count == 0) {
            this->StabilizeForDestruction();
            delete this;
        }
        return count;
    }
};

}  // namespace vnl

// The interface-map macros. Entries are listed in the order the class
// declares its interfaces; the first one also answers IUnknown.
#define VNL_BEGIN_INTERFACE_MAP(Class)                                            \
    using InterfaceMapClass = Class;                                              \
    static const ::vnl::InterfaceMap& GetInterfaceMap() noexcept {                \
        static const char* const className = #Class;                              \
        static const ::vnl::InterfaceEntry entries[] = {

// An interface the class derives from once.
#define VNL_INTERFACE_ENTRY(Itf)                                                  \
            {&__uuidof(Itf), ::vnl::InterfaceOffset<InterfaceMapClass, Itf>()},

// An interface reached through one of the class's bases (IDispatch through a
// dual interface, IOleWindow through IDeskBand...).
#define VNL_INTERFACE_ENTRY2(Itf, Via)                                            \
            {&__uuidof(Itf), ::vnl::InterfaceOffset<InterfaceMapClass, Itf, Via>()},

// An interface id answered with a given interface of the class, when the id
// has no __uuidof declaration of its own (a dispinterface id answered by the
// class's IDispatch, for one).
#define VNL_INTERFACE_ENTRY_IID(iidValue, Itf)                                    \
            {&(iidValue), ::vnl::InterfaceOffset<InterfaceMapClass, Itf>()},

#define VNL_END_INTERFACE_MAP()                                                   \
            {nullptr, 0}};                                                        \
        static const ::vnl::InterfaceMap map = {className, entries};               \
        return map;                                                               \
    }
