// Registry fixtures for tests: every change a test makes is undone when the
// fixture goes out of scope, so tests can run in any order in one prefix.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace bench {

// Takes a copy of a whole key tree (values and subkeys) and puts it back as it
// was when destroyed: a key that did not exist is deleted again.
class ScopedKeySnapshot {
public:
    ScopedKeySnapshot(HKEY root, std::string subkey);
    ~ScopedKeySnapshot();
    ScopedKeySnapshot(const ScopedKeySnapshot&) = delete;
    ScopedKeySnapshot& operator=(const ScopedKeySnapshot&) = delete;

    struct Value { DWORD type; std::vector<BYTE> data; };
    struct Tree {
        std::map<std::string, Value> values;
        std::map<std::string, std::unique_ptr<Tree>> keys;
    };

private:
    HKEY root_;
    std::string subkey_;
    std::unique_ptr<Tree> saved_;  // null: the key did not exist
};

// Per-program Wine settings (HKCU\Software\Wine\AppDefaults\<exe>), restored
// when destroyed. Wine reads them when a process starts, so they affect the
// programs a test starts afterwards.
class ScopedAppDefaults {
public:
    explicit ScopedAppDefaults(std::string exeName);
    // "winxp", "win7", "win10"...
    void SetWindowsVersion(const std::string& version);
    // "native", "builtin", "" (disabled)...
    void SetDllOverride(const std::string& dll, const std::string& mode);
    void RemoveDllOverride(const std::string& dll);

private:
    std::string key_;
    ScopedKeySnapshot snapshot_;
};

// Small direct helpers. Paths are "SOFTWARE\\..." under the given root.
bool KeyExists(HKEY root, const std::string& subkey);
void DeleteKeyTree(HKEY root, const std::string& subkey);
void SetDword(HKEY root, const std::string& subkey, const std::string& name, DWORD value);
void SetString(HKEY root, const std::string& subkey, const std::string& name, const std::string& value);
void SetRaw(HKEY root, const std::string& subkey, const std::string& name, DWORD type, const void* data, DWORD size);
void DeleteValue(HKEY root, const std::string& subkey, const std::string& name);
// The value's type and bytes, or nothing when the key or value is missing.
std::optional<ScopedKeySnapshot::Value> ReadValue(HKEY root, const std::string& subkey, const std::string& name);
std::optional<DWORD> ReadDword(HKEY root, const std::string& subkey, const std::string& name);

// The machine settings key and the per-user settings keys of both system-version paths.
inline constexpr const char* kMachineKey = "SOFTWARE\\Quellin\\Varnel";
inline constexpr const char* kUserKey = "Software\\VNL";
// Where the stand-in browser's writable per-user root lies under HKCU.
inline constexpr const char* kWritableRoot = "Software\\Microsoft\\Internet Explorer\\LowRegistry";
inline constexpr const char* kWritableUserKey = "Software\\Microsoft\\Internet Explorer\\LowRegistry\\Software\\VNL";

}  // namespace bench
