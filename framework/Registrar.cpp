#include "Registrar.h"

#include <new>
#include <string>
#include <vector>

#include "ComModule.h"
#include "ComObject.h"
#include "ErrorMacros.h"
#include "TypeLibrary.h"
#include "UniqueAny.h"

namespace vnl {
namespace {

using regscript::Key;
using regscript::KeyMark;
using regscript::Value;
using regscript::ValueType;

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string Utf8(const wchar_t* text, size_t length) {
    if (length == 0) return {};
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// Script resource bytes as UTF-8: UTF-16 with a byte-order mark, UTF-8 (with
// or without its mark), else the ANSI code page.
std::string ScriptText(const BYTE* data, DWORD size) {
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        return Utf8(reinterpret_cast<const wchar_t*>(data + 2), (size - 2) / 2);
    }
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        data += 3;
        size -= 3;
    }
    const char* text = reinterpret_cast<const char*>(data);
    if (size == 0) return {};
    if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, static_cast<int>(size), nullptr, 0) > 0) {
        return std::string(text, size);
    }
    int length = ::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(size), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(size), wide.data(), length);
    return Utf8(wide.data(), wide.size());
}

HKEY RootKey(regscript::Root root) noexcept {
    switch (root) {
    case regscript::Root::ClassesRoot: return HKEY_CLASSES_ROOT;
    case regscript::Root::LocalMachine: return HKEY_LOCAL_MACHINE;
    case regscript::Root::CurrentUser: return HKEY_CURRENT_USER;
    case regscript::Root::Users: return HKEY_USERS;
    }
    return HKEY_CLASSES_ROOT;
}

HRESULT LastErrorOr(DWORD fallback) noexcept {
    DWORD error = ::GetLastError();
    return HRESULT_FROM_WIN32(error != ERROR_SUCCESS ? error : fallback);
}

bool IsNotFound(LONG error) noexcept { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// Deletes `name` under `parent` with everything under it, deepest first.
// A key that does not exist counts as deleted.
LONG DeleteKeyTree(HKEY parent, const std::wstring& name) {
    {
        UniqueRegKey key;
        LONG error = ::RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, key.put());
        if (IsNotFound(error)) return ERROR_SUCCESS;
        RETURN_IF_WIN32_ERROR(error);
        std::vector<std::wstring> children;
        for (DWORD index = 0;; ++index) {
            wchar_t child[256];
            DWORD length = 256;
            error = ::RegEnumKeyExW(key.get(), index, child, &length, nullptr, nullptr, nullptr, nullptr);
            if (error == ERROR_NO_MORE_ITEMS) break;
            RETURN_IF_WIN32_ERROR(error);
            children.emplace_back(child, length);
        }
        for (const std::wstring& child : children) RETURN_IF_WIN32_ERROR(DeleteKeyTree(key.get(), child));
    }
    LONG error = ::RegDeleteKeyW(parent, name.c_str());
    return IsNotFound(error) ? ERROR_SUCCESS : error;
}

LONG WriteValue(HKEY key, const Value& value) {
    std::wstring name = Wide(value.name);
    const wchar_t* valueName = value.name.empty() ? nullptr : name.c_str();
    switch (value.type) {
    case ValueType::String:
    case ValueType::ExpandString: {
        std::wstring text = Wide(value.text);
        DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
        return ::RegSetValueExW(key, valueName, 0, value.type == ValueType::String ? REG_SZ : REG_EXPAND_SZ,
                                reinterpret_cast<const BYTE*>(text.c_str()), bytes);
    }
    case ValueType::Dword: {
        DWORD number = value.number;
        return ::RegSetValueExW(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    }
    case ValueType::Binary:
        return ::RegSetValueExW(key, valueName, 0, REG_BINARY, value.bytes.data(),
                                static_cast<DWORD>(value.bytes.size()));
    }
    return ERROR_INVALID_DATA;
}

LONG RegisterKey(HKEY parent, const Key& script) {
    std::wstring name = Wide(script.name);
    if (script.mark == KeyMark::Delete) return DeleteKeyTree(parent, name);
    if (script.mark == KeyMark::ForceRemove) RETURN_IF_WIN32_ERROR(DeleteKeyTree(parent, name));
    UniqueRegKey key;
    RETURN_IF_WIN32_ERROR(::RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr));
    for (const Value& value : script.values) RETURN_IF_WIN32_ERROR(WriteValue(key.get(), value));
    for (const Key& child : script.keys) RETURN_IF_WIN32_ERROR(RegisterKey(key.get(), child));
    return ERROR_SUCCESS;
}

bool IsEmptyKey(HKEY key) noexcept {
    DWORD subkeys = 0, values = 0;
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                           nullptr, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    return subkeys == 0 && values == 0;
}

// Removes what `script` adds under `parent`; returns the first failure but
// goes on with the rest.
LONG UnregisterKey(HKEY parent, const Key& script) {
    if (script.mark == KeyMark::Delete) return ERROR_SUCCESS;
    std::wstring name = Wide(script.name);
    if (!script.HoldsNoRemove()) return DeleteKeyTree(parent, name);

    LONG first = ERROR_SUCCESS;
    auto keep = [&first](LONG error) {
        if (error != ERROR_SUCCESS && !IsNotFound(error) && first == ERROR_SUCCESS) first = error;
    };
    bool empty = false;
    {
        UniqueRegKey key;
        LONG error = ::RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, key.put());
        if (IsNotFound(error)) return ERROR_SUCCESS;
        RETURN_IF_WIN32_ERROR(error);
        for (const Key& child : script.keys) keep(UnregisterKey(key.get(), child));
        for (const Value& value : script.values) {
            std::wstring valueName = Wide(value.name);
            keep(::RegDeleteValueW(key.get(), value.name.empty() ? nullptr : valueName.c_str()));
        }
        empty = script.mark != KeyMark::NoRemove && IsEmptyKey(key.get());
    }
    if (empty) keep(::RegDeleteKeyW(parent, name.c_str()));
    return first;
}

HRESULT ApplyScript(const regscript::Script& script, RegistryScriptMode mode) {
    LONG first = ERROR_SUCCESS;
    for (const regscript::RootBlock& block : script.roots) {
        HKEY root = RootKey(block.root);
        for (const Key& key : block.keys) {
            if (mode == RegistryScriptMode::Register) {
                RETURN_IF_FAILED(HRESULT_FROM_WIN32(RegisterKey(root, key)));
            } else {
                LONG error = UnregisterKey(root, key);
                if (error != ERROR_SUCCESS && first == ERROR_SUCCESS) first = error;
            }
        }
    }
    return HRESULT_FROM_WIN32(first);
}

}  // namespace

HRESULT ApplyRegistryScriptText(std::string_view text, RegistryScriptMode mode,
                                std::span<const regscript::Replacement> replacements) noexcept try {
    regscript::Script script;
    regscript::ParseError error;
    if (!regscript::ParseRegistryScript(text, replacements, script, &error)) {
        ComTrace("registry script, line %u: %s", static_cast<unsigned>(error.line), error.message.c_str());
        return VNL_E_REGISTRY_SCRIPT_SYNTAX;
    }
    return ApplyScript(script, mode);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
} catch (...) {
    return E_FAIL;
}

HRESULT ApplyRegistryScript(HMODULE module, UINT resourceId, RegistryScriptMode mode,
                            std::span<const regscript::Replacement> extra) noexcept try {
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(resourceId), L"REGISTRY");
    if (!found) return LastErrorOr(ERROR_RESOURCE_NAME_NOT_FOUND);
    HGLOBAL loaded = ::LoadResource(module, found);
    const BYTE* data = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    if (!data) return LastErrorOr(ERROR_RESOURCE_DATA_NOT_FOUND);
    std::string text = ScriptText(data, ::SizeofResource(module, found));

    std::wstring path = ModulePath(module);
    if (path.empty()) return LastErrorOr(ERROR_MOD_NOT_FOUND);
    std::vector<regscript::Replacement> replacements;
    replacements.push_back({"MODULE", Utf8(path.data(), path.size())});
    replacements.insert(replacements.end(), extra.begin(), extra.end());
    return ApplyRegistryScriptText(text, mode, replacements);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
} catch (...) {
    return E_FAIL;
}

HRESULT RegisterModuleServer() noexcept {
    HMODULE module = ComModuleInstance();
    for (const ClassEntry& entry : ComModuleClasses()) {
        if (entry.registryScript == 0) continue;
        RETURN_IF_FAILED(ApplyRegistryScript(module, entry.registryScript, RegistryScriptMode::Register));
    }
    if (ComModuleLibId()) RETURN_IF_FAILED(RegisterModuleTypeLibrary(module));
    return S_OK;
}

HRESULT UnregisterModuleServer() noexcept {
    HMODULE module = ComModuleInstance();
    HRESULT first = S_OK;
    auto keep = [&first](HRESULT hr) {
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
    };
    for (const ClassEntry& entry : ComModuleClasses()) {
        if (entry.registryScript == 0) continue;
        keep(ApplyRegistryScript(module, entry.registryScript, RegistryScriptMode::Unregister));
    }
    if (ComModuleLibId()) keep(UnregisterModuleTypeLibrary(module));
    return first;
}

}  // namespace vnl
