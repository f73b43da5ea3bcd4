// VNLElev as a file: subsystem, version, icon and manifest.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "BenchPaths.h"
#include "VersionInfo.h"

namespace {

std::string HelperPath() { return bench::BinDir() + "\\VNLElev.exe"; }

struct DataFile {
    HMODULE module = ::LoadLibraryExA(HelperPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ~DataFile() { if (module) ::FreeLibrary(module); }
};

// The resource's bytes, or empty.
std::string Resource(HMODULE module, LPCSTR type, LPCSTR name) {
    HRSRC info = ::FindResourceA(module, name, type);
    if (!info) return {};
    HGLOBAL loaded = ::LoadResource(module, info);
    const char* data = static_cast<const char*>(::LockResource(loaded));
    return data ? std::string(data, ::SizeofResource(module, info)) : std::string();
}

TEST(ElevResources, GraphicalProgramWithVersionIconAndManifest) {
    DataFile file;
    ASSERT_NE(file.module, nullptr);

    // Graphical subsystem: no console is ever made for it.
    HANDLE image = ::CreateFileA(HelperPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(image, INVALID_HANDLE_VALUE);
    char headers[4096] = {};
    DWORD got = 0;
    ::ReadFile(image, headers, sizeof(headers), &got, nullptr);
    ::CloseHandle(image);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(headers);
    ASSERT_LT(static_cast<DWORD>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS32), got);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS32*>(headers + dos->e_lfanew);
    EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);

    auto version = bench::ReadVersionInfo(HelperPath());
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->fileVersion, "2.0.0.41");
    EXPECT_EQ(version->productVersion, "2.0.0.0");

    // Icon group 101: a header of three WORDs, then the count of images.
    std::string group = Resource(file.module, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, MAKEINTRESOURCEA(101));
    ASSERT_GE(group.size(), 6u);
    WORD count = 0;
    memcpy(&count, group.data() + 4, sizeof(count));
    EXPECT_EQ(count, 6);
    EXPECT_EQ(group.size(), 6u + 14u * count);

    std::string manifest = Resource(file.module, MAKEINTRESOURCEA(24) /* RT_MANIFEST */, MAKEINTRESOURCEA(1));
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos) << manifest;
}

}  // namespace
