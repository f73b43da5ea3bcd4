// VNLTB.dll as a file and as a COM server: exports and resources, registration
// through regsvr32, refusal in the system shell, and what unloading it tells
// the driver.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include <commctrl.h>

#include "BandTestSupport.h"
#include "BenchPaths.h"
#include "BrowserDriver.h"
#include "Process.h"
#include "Registry.h"
#include "DriverControl.h"
#include "DriverProtocol.h"
#include "TrayEvent.h"

using namespace bandtest;

namespace {

const std::string kClassId = "{CB7DC2DA-D8C9-4004-8548-1E24AA7D46DE}";
const std::string kClassKey = "CLSID\\" + kClassId;
const std::string kToolbarKey = "Software\\Microsoft\\Internet Explorer\\Toolbar";
const GUID kLibId = {0x5297E905, 0x1DFB, 0x4A9C, {0x98, 0x71, 0xA4, 0xF9, 0x5F, 0xD5, 0x89, 0x45}};

std::string BandDll() { return bench::BinDir() + "\\VNLTB.dll"; }

std::string ReadText(HKEY root, const std::string& key, const std::string& name) {
    auto value = bench::ReadValue(root, key, name);
    if (!value || value->type != REG_SZ) return "<missing>";
    return std::string(reinterpret_cast<const char*>(value->data.data()));
}

DWORD Regsvr32(const std::string& flags) {
    return bench::RunProgram("regsvr32.exe " + flags + " " + bench::Quoted(BandDll())).exitCode;
}

TEST(BandModule, ExportsAndResources) {
    HMODULE module = ::LoadLibraryExA(BandDll().c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    ASSERT_TRUE(module) << ::GetLastError();
    for (const char* name : {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer",
                             "DllInstall"}) {
        EXPECT_TRUE(::GetProcAddress(module, name)) << name;
    }
    struct Resource {
        const wchar_t* type;
        UINT id;
    };
    const Resource resources[] = {
        {L"TYPELIB", 1}, {L"REGISTRY", 101}, {MAKEINTRESOURCEW(241), 201}, {MAKEINTRESOURCEW(4), 209}, {MAKEINTRESOURCEW(24), 2},
    };
    for (const Resource& r : resources) {
        EXPECT_TRUE(::FindResourceW(module, MAKEINTRESOURCEW(r.id), r.type)) << r.id;
    }
    HRSRC toolbar = ::FindResourceW(module, MAKEINTRESOURCEW(201), MAKEINTRESOURCEW(241));
    ASSERT_TRUE(toolbar);
    const WORD* words = static_cast<const WORD*>(::LockResource(::LoadResource(module, toolbar)));
    const WORD expected[] = {1, 16, 16, 6, 10768, 10769, 10776, 32780, 32781, 32790};
    ASSERT_EQ(::SizeofResource(module, toolbar), sizeof(expected));
    for (size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(words[i], expected[i]) << i;

    struct Text {
        UINT id;
        const wchar_t* text;
    };
    for (const Text& t : {Text{10768, L"HomePage"}, Text{10769, L"Activate"}, Text{10776, L"Manage"}}) {
        wchar_t buffer[64] = {};
        ::LoadStringW(module, t.id, buffer, 64);
        EXPECT_STREQ(buffer, t.text);
    }
    HMENU menu = ::LoadMenuW(module, MAKEINTRESOURCEW(209));
    ASSERT_TRUE(menu);
    HMENU more = ::GetSubMenu(menu, 0);
    const int items[] = {32785, -1, 32786, 32791, 32787};
    ASSERT_EQ(::GetMenuItemCount(more), 5);
    for (int i = 0; i < 5; ++i) {
        if (items[i] < 0) {
            EXPECT_EQ(::GetMenuState(more, i, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
        } else {
            EXPECT_EQ(static_cast<int>(::GetMenuItemID(more, i)), items[i]);
        }
    }
    ::DestroyMenu(menu);
    ::FreeLibrary(module);
}

TEST(BandModule, RegisterAndUnregisterWithRegsvr32) {
    ASSERT_EQ(Regsvr32("/s"), 0u);
    struct Value {
        HKEY root;
        std::string key;
        std::string name;
        std::string data;
    };
    const Value values[] = {
        {HKEY_CLASSES_ROOT, "VNLToolBar.VNLToolBand.1", "", "VNLToolBand"},
        {HKEY_CLASSES_ROOT, "VNLToolBar.VNLToolBand.1\\CLSID", "", kClassId},
        {HKEY_CLASSES_ROOT, "VNLToolBar.VNLToolBand", "", "VNLToolBand"},
        {HKEY_CLASSES_ROOT, "VNLToolBar.VNLToolBand\\CLSID", "", kClassId},
        {HKEY_CLASSES_ROOT, "VNLToolBar.VNLToolBand\\CurVer", "", "VNLToolBar.VNLToolBand.1"},
        {HKEY_CLASSES_ROOT, kClassKey + "\\ProgID", "", "VNLToolBar.VNLToolBand.1"},
        {HKEY_CLASSES_ROOT, kClassKey + "\\VersionIndependentProgID", "", "VNLToolBar.VNLToolBand"},
        {HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {HKEY_CLASSES_ROOT, kClassKey + "\\TypeLib", "", "{5297E905-1DFB-4A9C-9871-A4F95FD58945}"},
    };
    for (const Value& v : values) EXPECT_EQ(ReadText(v.root, v.key, v.name), v.data) << v.key << " " << v.name;

    // The name the browser lists the toolbar under: the resource library's product name.
    std::wstring product = ResourceLibraryString(212);
    ASSERT_FALSE(product.empty());
    EXPECT_EQ(ReadText(HKEY_CLASSES_ROOT, kClassKey, ""), std::string(product.begin(), product.end()));
    EXPECT_TRUE(bench::SamePath(ReadText(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", ""), BandDll()));
    auto toolbarValue = bench::ReadValue(HKEY_LOCAL_MACHINE, kToolbarKey, kClassId);
    ASSERT_TRUE(toolbarValue);
    EXPECT_EQ(toolbarValue->type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(toolbarValue->data, std::vector<BYTE>{0});

    // The type library through the system's calls.
    ITypeLib* library = nullptr;
    ASSERT_EQ(::LoadRegTypeLib(kLibId, 1, 0, 0, &library), S_OK);
    BSTR name = nullptr, help = nullptr;
    EXPECT_EQ(library->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"TOOLBANDLib");
    EXPECT_STREQ(help, L"VNLToolBand 1.0 Type Library");
    ::SysFreeString(name);
    ::SysFreeString(help);
    ITypeInfo* info = nullptr;
    const IID kToolBandInterface = {0x95B92D92, 0x8B7D, 0x4A19, {0xA3, 0xF1, 0x43, 0x11, 0x3B, 0x4D, 0xBC, 0xAF}};
    EXPECT_EQ(library->GetTypeInfoOfGuid(kToolBandInterface, &info), S_OK);
    if (info) info->Release();
    library->Release();

    ASSERT_EQ(Regsvr32("/u /s"), 0u);
    for (const std::string& gone : {std::string("VNLToolBar.VNLToolBand.1"), std::string("VNLToolBar.VNLToolBand"),
                                    kClassKey}) {
        EXPECT_FALSE(bench::KeyExists(HKEY_CLASSES_ROOT, gone)) << gone;
    }
    EXPECT_FALSE(bench::ReadValue(HKEY_LOCAL_MACHINE, kToolbarKey, kClassId));
    EXPECT_TRUE(bench::KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_TRUE(bench::KeyExists(HKEY_LOCAL_MACHINE, kToolbarKey)) << "the browser's key is kept";
    library = nullptr;
    EXPECT_NE(::LoadRegTypeLib(kLibId, 1, 0, 0, &library), S_OK);
    if (library) library->Release();
}

TEST(BandModule, RefusesTheSystemShellInAnyLetterCase) {
    const std::string folder = bench::TestsDir() + "\\shell_names";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    struct Case {
        const char* name;
        DWORD exitCode;
    };
    const Case cases[] = {
        {"explorer.exe", 3}, {"EXPLORER.EXE", 3}, {"Explorer.Exe", 3}, {"explorer2.exe", 0}, {"iexplore.exe", 0},
    };
    for (const Case& c : cases) {
        const std::string copy = folder + "\\" + c.name;
        ::DeleteFileA(copy.c_str());
        ASSERT_TRUE(::CopyFileA((bench::TestsDir() + "\\band_probe.exe").c_str(), copy.c_str(), FALSE)) << c.name;
        auto run = bench::RunProgram(bench::Quoted(copy) + " load " + bench::Quoted(BandDll()));
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name << ": " << run.out;
        ::DeleteFileA(copy.c_str());
    }
    ::RemoveDirectoryA(folder.c_str());
}

TEST(BandModule, UnloadingSwitchesProtectionOffUnlessTheTrayHoldsIt) {
    constexpr std::uint32_t kDetachValue = 0xFF7018C3;
    const std::string probe = bench::Quoted(bench::TestsDir() + "\\band_probe.exe") + " detach " +
                              bench::Quoted(BandDll());
    ASSERT_TRUE(ResetDriverLog());
    auto run = bench::RunProgram(probe);
    ASSERT_EQ(run.exitCode, 0u) << run.out;
    auto calls = ProtectionCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_FALSE(calls.back().on);
    EXPECT_EQ(calls.back().value, kDetachValue) << "the module's last word to the driver";

    // The desktop program holds protection: closing the band and unloading leave it alone.
    std::string hold = bench::Quoted(bench::BinDir() + "\\VNLD.exe") + " hold";
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(::CreateProcessA(nullptr, hold.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    for (int i = 0; i < 500 && !vnl::IsTrayEventSignalled(); ++i) ::Sleep(10);
    ASSERT_TRUE(vnl::IsTrayEventSignalled());
    ASSERT_TRUE(ResetDriverLog());
    run = bench::RunProgram(probe);
    bench::RunProgram(bench::Quoted(bench::BinDir() + "\\VNLD.exe") + " quit");
    ::WaitForSingleObject(pi.hProcess, 10000);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    EXPECT_EQ(run.exitCode, 0u) << run.out;
    for (const ProtectionCall& call : ProtectionCalls()) {
        EXPECT_NE(call.value, kDetachValue);
        EXPECT_EQ(call.value, 0u) << "only the first band's switch-off when it opens the channel";
    }
}

// The band's toolbar windows in process `pid`. Named callbacks: a 32-bit
// build cannot pass a lambda where the system wants a WINAPI procedure.
struct ToolbarSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectBandToolbar(HWND child, LPARAM data) {
    wchar_t name[64] = {};
    ::GetClassNameW(child, name, 64);
    if (!wcscmp(name, L"VnlBandToolBar")) reinterpret_cast<ToolbarSearch*>(data)->found.push_back(child);
    return TRUE;
}

BOOL CALLBACK SearchProcessWindow(HWND top, LPARAM data) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(top, &owner);
    if (owner == reinterpret_cast<ToolbarSearch*>(data)->pid) ::EnumChildWindows(top, CollectBandToolbar, data);
    return TRUE;
}

std::vector<HWND> BandToolbars(DWORD pid) {
    ToolbarSearch search{pid, {}};
    ::EnumWindows(SearchProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST(BandInBrowser, LoadsFromTheToolbarKeyInTwoTabsOfOneWindow) {
    bench::ScopedKeySnapshot toolbarKey(HKEY_LOCAL_MACHINE, kToolbarKey);
    bench::ScopedKeySnapshot lowKey(HKEY_CURRENT_USER, bench::kWritableUserKey);
    bench::SetDword(HKEY_CURRENT_USER, bench::kWritableUserKey, "AlwaysSecure", 0);
    ASSERT_EQ(Regsvr32("/s"), 0u);
    ASSERT_TRUE(ResetDriverLog());
    DWORD pid = 0;
    {
        bench::BrowserDriver browser;
        bench::BrowserOptions options;
        options.pageRoot = bench::TestsDir();
        options.tabs = 2;
        ASSERT_TRUE(browser.Start(options));
        pid = browser.ProcessId();
        EXPECT_NE(browser.Request({"@0.0", "bands"}).text.find(kClassId + ":shown:visible"), std::string::npos);
        EXPECT_NE(browser.Request({"@0.1", "bands"}).text.find(kClassId + ":hidden:invisible"), std::string::npos);
        const std::vector<HWND> toolbars = BandToolbars(pid);
        ASSERT_EQ(toolbars.size(), 2u) << "one band per tab";
        EXPECT_EQ(::GetAncestor(toolbars[0], GA_ROOT), ::GetAncestor(toolbars[1], GA_ROOT));
        for (HWND toolbar : toolbars) {
            EXPECT_EQ(::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0), 3);
            EXPECT_EQ(::SendMessageW(toolbar, TB_COMMANDTOINDEX, 10769, 0), 1) << "Activate";
            EXPECT_EQ(::SendMessageW(toolbar, TB_COMMANDTOINDEX, 10776, 0), 2);
        }
        EXPECT_TRUE(browser.Quit());
    }
    // What the browser's process told the driver: protection off as the first
    // band opened the channel, off with one toolbar when the window's last band
    // closed (the window's and the process's last), and the module's last word.
    std::vector<std::uint32_t> values;
    bench::DriverControl control;
    for (const auto& entry : control.ReadLog()) {
        if (entry.processId != pid) continue;
        EXPECT_NE(entry.operation, vnl::VNL_OP_PROTECT_ON);
        if (entry.operation == vnl::VNL_OP_PROTECT_OFF) values.push_back(entry.callerValue);
    }
    ASSERT_EQ(values.size(), 4u);
    EXPECT_EQ(values[0], 0u);
    EXPECT_NE(values[1], 0u);
    EXPECT_EQ(values[1], values[2]) << "both from the band that closed last";
    EXPECT_EQ(values[3], 0xFF7018C3u);
    EXPECT_EQ(Regsvr32("/u /s"), 0u);
}

}  // namespace
