#include "ComObject.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vnl {
namespace {

// -1: not yet decided (read VNL_COM_TRACE at the first trace), 0 off, 1 on.
LONG volatile g_trace = -1;

void FormatGuid(REFGUID guid, char (&text)[40]) noexcept {
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                  guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
}

}  // namespace

void EnableComTrace(bool on) noexcept { ::InterlockedExchange(&g_trace, on ? 1 : 0); }

bool ComTraceEnabled() noexcept {
    LONG state = g_trace;
    if (state < 0) {
        char value[8] = {};
        DWORD length = ::GetEnvironmentVariableA("VNL_COM_TRACE", value, sizeof value);
        state = (length > 0 && length < sizeof value && !(value[0] == '0' && value[1] == 0)) ? 1 : 0;
        ::InterlockedCompareExchange(&g_trace, state, -1);
    }
    return state > 0;
}

void ComTrace(const char* format, ...) noexcept {
    if (!ComTraceEnabled()) return;
    char line[512] = "vnl: ";
    va_list args;
    va_start(args, format);
    std::vsnprintf(line + 5, sizeof line - 7, format, args);
    va_end(args);
    size_t length = std::strlen(line);
    line[length] = '\n';
    line[length + 1] = 0;
    ::OutputDebugStringA(line);
}

HRESULT QueryInterfaceFromMap(void* object, const InterfaceMap& map, REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    const InterfaceEntry* entries = map.entries;
    if (!object || !entries || !entries[0].iid) return E_NOINTERFACE;

    const InterfaceEntry* found = nullptr;
    if (::IsEqualIID(iid, IID_IUnknown)) {
        found = &entries[0];
    } else {
        for (const InterfaceEntry* entry = entries; entry->iid; ++entry) {
            if (::IsEqualIID(iid, *entry->iid)) {
                found = entry;
                break;
            }
        }
    }
    if (!found) {
        if (ComTraceEnabled()) {
            char text[40];
            FormatGuid(iid, text);
            ComTrace("%s::QueryInterface: no %s", map.className, text);
        }
        return E_NOINTERFACE;
    }
    auto* itf = reinterpret_cast<IUnknown*>(static_cast<char*>(object) + found->offset);
    itf->AddRef();
    *out = itf;
    return S_OK;
}

}  // namespace vnl
