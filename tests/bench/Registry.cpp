#include "Registry.h"

#include <stdexcept>

namespace bench {
namespace {

struct Key {
    HKEY h = nullptr;
    ~Key() { if (h) ::RegCloseKey(h); }
};

std::unique_ptr<ScopedKeySnapshot::Tree> ReadTree(HKEY key) {
    auto tree = std::make_unique<ScopedKeySnapshot::Tree>();
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameLen = sizeof(name);
        DWORD type = 0, size = 0;
        LONG rc = ::RegEnumValueA(key, i, name, &nameLen, nullptr, &type, nullptr, &size);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) throw std::runtime_error("RegEnumValue failed");
        ScopedKeySnapshot::Value v{type, std::vector<BYTE>(size)};
        DWORD got = size;
        ::RegQueryValueExA(key, name, nullptr, &type, v.data.empty() ? nullptr : v.data.data(), &got);
        v.data.resize(got);
        tree->values[name] = std::move(v);
    }
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLen = sizeof(name);
        LONG rc = ::RegEnumKeyExA(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) throw std::runtime_error("RegEnumKeyEx failed");
        Key sub;
        if (::RegOpenKeyExA(key, name, 0, KEY_READ, &sub.h) == ERROR_SUCCESS)
            tree->keys[name] = ReadTree(sub.h);
    }
    return tree;
}

void WriteTree(HKEY key, const ScopedKeySnapshot::Tree& tree) {
    for (const auto& [name, v] : tree.values)
        ::RegSetValueExA(key, name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    for (const auto& [name, sub] : tree.keys) {
        Key k;
        if (::RegCreateKeyExA(key, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k.h, nullptr) == ERROR_SUCCESS)
            WriteTree(k.h, *sub);
    }
}

Key CreateKey(HKEY root, const std::string& subkey) {
    Key k;
    LONG rc = ::RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k.h, nullptr);
    if (rc != ERROR_SUCCESS) throw std::runtime_error("RegCreateKeyEx failed: " + subkey);
    return k;
}

}  // namespace

ScopedKeySnapshot::ScopedKeySnapshot(HKEY root, std::string subkey) : root_(root), subkey_(std::move(subkey)) {
    Key k;
    if (::RegOpenKeyExA(root_, subkey_.c_str(), 0, KEY_READ, &k.h) == ERROR_SUCCESS) saved_ = ReadTree(k.h);
}

ScopedKeySnapshot::~ScopedKeySnapshot() {
    DeleteKeyTree(root_, subkey_);
    if (!saved_) return;
    Key k;
    if (::RegCreateKeyExA(root_, subkey_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k.h, nullptr) == ERROR_SUCCESS)
        WriteTree(k.h, *saved_);
}

ScopedAppDefaults::ScopedAppDefaults(std::string exeName)
    : key_("Software\\Wine\\AppDefaults\\" + exeName), snapshot_(HKEY_CURRENT_USER, key_) {}

void ScopedAppDefaults::SetWindowsVersion(const std::string& version) {
    SetString(HKEY_CURRENT_USER, key_, "Version", version);
}

void ScopedAppDefaults::SetDllOverride(const std::string& dll, const std::string& mode) {
    SetString(HKEY_CURRENT_USER, key_ + "\\DllOverrides", dll, mode);
}

void ScopedAppDefaults::RemoveDllOverride(const std::string& dll) {
    DeleteValue(HKEY_CURRENT_USER, key_ + "\\DllOverrides", dll);
}

bool KeyExists(HKEY root, const std::string& subkey) {
    Key k;
    return ::RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &k.h) == ERROR_SUCCESS;
}

void DeleteKeyTree(HKEY root, const std::string& subkey) {
    ::RegDeleteTreeA(root, subkey.c_str());
    ::RegDeleteKeyA(root, subkey.c_str());
}

void SetRaw(HKEY root, const std::string& subkey, const std::string& name, DWORD type, const void* data, DWORD size) {
    Key k = CreateKey(root, subkey);
    if (::RegSetValueExA(k.h, name.c_str(), 0, type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS)
        throw std::runtime_error("RegSetValueEx failed: " + name);
}

void SetDword(HKEY root, const std::string& subkey, const std::string& name, DWORD value) {
    SetRaw(root, subkey, name, REG_DWORD, &value, sizeof(value));
}

void SetString(HKEY root, const std::string& subkey, const std::string& name, const std::string& value) {
    SetRaw(root, subkey, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

void DeleteValue(HKEY root, const std::string& subkey, const std::string& name) {
    Key k;
    if (::RegOpenKeyExA(root, subkey.c_str(), 0, KEY_SET_VALUE, &k.h) == ERROR_SUCCESS)
        ::RegDeleteValueA(k.h, name.c_str());
}

std::optional<ScopedKeySnapshot::Value> ReadValue(HKEY root, const std::string& subkey, const std::string& name) {
    Key k;
    if (::RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &k.h) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExA(k.h, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    ScopedKeySnapshot::Value v{type, std::vector<BYTE>(size)};
    if (::RegQueryValueExA(k.h, name.c_str(), nullptr, &type, v.data.data(), &size) != ERROR_SUCCESS) return std::nullopt;
    v.data.resize(size);
    return v;
}

std::optional<DWORD> ReadDword(HKEY root, const std::string& subkey, const std::string& name) {
    auto v = ReadValue(root, subkey, name);
    if (!v || v->type != REG_DWORD || v->data.size() != sizeof(DWORD)) return std::nullopt;
    DWORD d;
    memcpy(&d, v->data.data(), sizeof(d));
    return d;
}

}  // namespace bench
