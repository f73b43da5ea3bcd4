#include "BenchPaths.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

namespace bench {

std::string TestsDir() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s = path;
    return s.substr(0, s.find_last_of('\\'));
}

std::string BinDir() {
    std::string tests = TestsDir();
    return tests.substr(0, tests.find_last_of('\\')) + "\\bin";
}

std::string System32Dir() {
    char path[MAX_PATH] = {};
    ::GetSystemDirectoryA(path, MAX_PATH);
    return path;
}

std::string InstallDir() { return "C:\\Program Files\\Varnel\\"; }

bool SamePath(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace bench
