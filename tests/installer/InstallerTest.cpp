// VNLI.exe as a program, in a prefix of its own where setup has installed the
// product (VNLI /i) but no session has loaded the driver: what each switch
// does to the service key, the keyboard class's filter list, the driver file,
// the event source and running browsers, and its exit codes. Every test puts
// back what it changed.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "BenchPaths.h"
#include "Process.h"
#include "Registry.h"
#include "UniqueAny.h"
#include "Windows.h"

namespace {

using namespace std::string_literals;

const std::string kClassKey = "System\\CurrentControlSet\\Control\\Class\\{4D36E96B-E325-11CE-BFC1-08002BE10318}";
const std::wstring kClassKeyW = L"System\\CurrentControlSet\\Control\\Class\\{4D36E96B-E325-11CE-BFC1-08002BE10318}";
const std::string kServiceKey = "System\\CurrentControlSet\\Services\\VNLv2";
const std::string kSourceKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\VNLTB";
const std::wstring kSessionManagerW = L"System\\CurrentControlSet\\Control\\Session Manager";

std::string InstallerPath() { return bench::InstallDir() + "VNLI.exe"; }
std::string DriversDir() { return bench::System32Dir() + "\\drivers\\"; }
std::string Target() { return DriversDir() + "vnlv2.sys"; }
std::string Removal() { return DriversDir() + "vnlv2.remove"; }

bench::RunResult RunInstaller(const std::string& arguments, const std::string& program = InstallerPath(),
                              const char* winedebug = nullptr) {
    bench::RunOptions options;
    options.timeoutMs = 30000;
    if (winedebug != nullptr) options.env["WINEDEBUG"] = winedebug;
    return bench::RunProgram(bench::Quoted(program) + (arguments.empty() ? "" : " " + arguments), options);
}

// Raw values through the UTF-16 registry calls: the 8-bit ones would convert
// the multi-strings, malformed ones included.
struct Raw {
    DWORD type = 0;
    std::vector<BYTE> bytes;
    bool operator==(const Raw&) const = default;
};

std::optional<Raw> ReadRaw(const std::wstring& subkey, const wchar_t* name) {
    vnl::UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    Raw raw{type, std::vector<BYTE>(size)};
    if (::RegQueryValueExW(key.get(), name, nullptr, &type, raw.bytes.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    raw.bytes.resize(size);
    return raw;
}

void WriteRaw(const std::wstring& subkey, const wchar_t* name, const Raw& raw) {
    vnl::UniqueRegKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                                nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(key.get(), name, 0, raw.type, raw.bytes.data(), static_cast<DWORD>(raw.bytes.size())),
              ERROR_SUCCESS);
}

Raw MultiSz(const std::u16string& units, DWORD type = REG_MULTI_SZ) {
    Raw raw{type, {}};
    for (char16_t c : units) {
        raw.bytes.push_back(static_cast<BYTE>(c & 0xFF));
        raw.bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    return raw;
}

std::optional<Raw> FilterList() { return ReadRaw(kClassKeyW, L"UpperFilters"); }
void SetFilterList(const Raw& raw) { WriteRaw(kClassKeyW, L"UpperFilters", raw); }

std::vector<char> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}
bool FileExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Keeps a file's bytes (or its absence) and puts them back.
class ScopedFile {
public:
    explicit ScopedFile(std::string path) : path_(std::move(path)), existed_(FileExists(path_)) {
        if (existed_) bytes_ = FileBytes(path_);
    }
    ~ScopedFile() {
        ::SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path_.c_str());
        if (!existed_) return;
        std::ofstream out(path_, std::ios::binary);
        out.write(bytes_.data(), static_cast<std::streamsize>(bytes_.size()));
    }

private:
    std::string path_;
    bool existed_;
    std::vector<char> bytes_;
};

// Keeps one value (or its absence) and puts it back.
class ScopedRawValue {
public:
    ScopedRawValue(std::wstring subkey, const wchar_t* name)
        : subkey_(std::move(subkey)), name_(name), saved_(ReadRaw(subkey_, name)) {}
    ~ScopedRawValue() {
        if (saved_) { WriteRaw(subkey_, name_, *saved_); return; }
        vnl::UniqueRegKey key;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey_.c_str(), 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS)
            ::RegDeleteValueW(key.get(), name_);
    }

private:
    std::wstring subkey_;
    const wchar_t* name_;
    std::optional<Raw> saved_;
};

// Everything a run of the installer may change in the prefix.
class Installer : public ::testing::Test {
protected:
    bench::ScopedKeySnapshot service_{HKEY_LOCAL_MACHINE, kServiceKey};
    bench::ScopedKeySnapshot keyboardClass_{HKEY_LOCAL_MACHINE, kClassKey};
    bench::ScopedKeySnapshot source_{HKEY_LOCAL_MACHINE, kSourceKey};
    bench::ScopedKeySnapshot machine_{HKEY_LOCAL_MACHINE, bench::kMachineKey};
    ScopedRawValue pendingRenames_{kSessionManagerW, L"PendingFileRenameOperations"};
    ScopedFile target_{Target()};
    ScopedFile removal_{Removal()};
};

const std::string kUsageText =
    "Varnel Driver Installer\n\nUsage:vnli [/u] [/i]\n/i\tInstall Varnel Driver\n/u\tUninstall Varnel Driver";

// The usage box, and that it is all that happens: neither the filter list
// nor the service key is touched.
TEST_F(Installer, AnythingButOneKnownSwitchShowsTheUsageBox) {
    struct Case {
        const char* arguments;
        DWORD exitCode;
    };
    const Case cases[] = {{"", 0}, {"/iu", 0}, {"i", 0}, {"-i", 0}, {"/z", 0}, {"/i /u", 0}, {"/?", 1}};
    SetFilterList(MultiSz(u"kbdclass\0\0"s));
    bench::DeleteKeyTree(HKEY_LOCAL_MACHINE, kServiceKey);
    for (const auto& c : cases) {
        SCOPED_TRACE("arguments: "s + c.arguments);
        bench::WindowWatcher box("VNLI Usage");
        bench::RunResult run = RunInstaller(c.arguments);
        ASSERT_TRUE(box.Wait()) << "no usage box";
        EXPECT_EQ(box.Text(), kUsageText);
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(FilterList(), MultiSz(u"kbdclass\0\0"s));
        EXPECT_FALSE(bench::KeyExists(HKEY_LOCAL_MACHINE, kServiceKey));
    }
}

// Each list goes through /i (or /I), a second /i, then /u.
TEST_F(Installer, FilterListThroughInstallTwiceAndUninstall) {
    const std::u16string longItem(252, u'f');  // 252 + 2 units + 12 bytes: exactly 520
    struct Case {
        const char* label;
        const char* installSwitch;
        Raw before;
        DWORD installExit;
        Raw installed;       // after both installations
        Raw uninstalled;
    };
    const Raw one = MultiSz(u"kbdclass\0\0"s);
    const Raw withItem = MultiSz(u"VNLv2\0kbdclass\0\0"s);
    const Case cases[] = {
        {"one other filter", "/i", one, 0, withItem, one},
        {"upper-case switch", "/I", one, 0, withItem, one},
        {"lower-case item present", "/i", MultiSz(u"vnlv2\0kbdclass\0\0"s), 0, MultiSz(u"vnlv2\0kbdclass\0\0"s), one},
        {"item behind another filter", "/i", MultiSz(u"kbdclass\0VNLv2\0\0"s), 0, MultiSz(u"kbdclass\0VNLv2\0\0"s), one},
        {"a name that only begins with it", "/i", MultiSz(u"VNLv2x\0\0"s), 0, MultiSz(u"VNLv2\0VNLv2x\0\0"s),
         MultiSz(u"VNLv2x\0\0"s)},
        {"no final empty string", "/i", MultiSz(u"kbdclass\0"s), 0, withItem, one},
        {"fills the 520 bytes exactly", "/i", MultiSz(longItem + u"\0\0"s), 0,
         MultiSz(u"VNLv2\0"s + longItem + u"\0\0"s), MultiSz(longItem + u"\0\0"s)},
        {"too long for the item behind it", "/i", MultiSz(longItem + u"f\0\0"s), ERROR_INSUFFICIENT_BUFFER,
         MultiSz(longItem + u"f\0\0"s), MultiSz(longItem + u"f\0\0"s)},
        {"not a multi-string", "/i", MultiSz(u"kbdclass\0"s, REG_SZ), ERROR_INVALID_DATA,
         MultiSz(u"kbdclass\0"s, REG_SZ), MultiSz(u"kbdclass\0"s, REG_SZ)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        SetFilterList(c.before);
        for (int run = 0; run < 2; ++run) {
            bench::RunResult install = RunInstaller(c.installSwitch);
            ASSERT_FALSE(install.timedOut);
            EXPECT_EQ(install.exitCode, c.installExit) << "installation " << run + 1;
            EXPECT_EQ(FilterList(), c.installed) << "installation " << run + 1;
        }
        bench::RunResult uninstall = RunInstaller("/u");
        EXPECT_EQ(uninstall.exitCode, 0u);
        EXPECT_EQ(FilterList(), c.uninstalled);
    }
}

// A list longer than the 520-byte buffer cannot be read whole: the
// installation is refused, the removal fails with the read's error, and the
// list stays as it was.
TEST_F(Installer, ListLongerThanTheBufferIsLeftAlone) {
    const Raw tooLong = MultiSz(std::u16string(300, u'f') + u"\0\0"s);
    SetFilterList(tooLong);
    EXPECT_EQ(RunInstaller("/i").exitCode, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(FilterList(), tooLong);
    EXPECT_EQ(RunInstaller("/u").exitCode, static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(FilterList(), tooLong);
}

TEST_F(Installer, InstallWritesTheServiceAndCopiesTheDriverOverAReadOnlyOne) {
    bench::DeleteKeyTree(HKEY_LOCAL_MACHINE, kServiceKey);
    {
        std::ofstream stale(Target(), std::ios::binary | std::ios::trunc);
        stale << "an older driver";
    }
    ASSERT_TRUE(::SetFileAttributesA(Target().c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));

    bench::RunResult run = RunInstaller("/i");
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    for (const char* name : {"Type", "ErrorControl", "Start"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(bench::ReadDword(HKEY_LOCAL_MACHINE, kServiceKey, name), 1u);
    }
    EXPECT_FALSE(bench::ReadValue(HKEY_LOCAL_MACHINE, kServiceKey, "ImagePath")) << "no image path is written";
    EXPECT_EQ(FileBytes(Target()), FileBytes(bench::InstallDir() + "vnlv2.sys"));
    EXPECT_EQ(::GetFileAttributesA(Target().c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u)
        << "the copy's attributes are made normal";
}

// Both ways through the removal: with a service key (and the subkeys the
// system adds to it) and without one. Either way the file goes under the
// removal name, replacing an older one, marked for deletion at restart.
TEST_F(Installer, UninstallRenamesTheDriverFileWithOrWithoutAServiceKey) {
    for (bool withService : {true, false}) {
        SCOPED_TRACE(withService ? "with a service key" : "without a service key");
        ASSERT_EQ(RunInstaller("/i").exitCode, 0u);
        bench::DeleteKeyTree(HKEY_LOCAL_MACHINE, kServiceKey);
        if (withService) {
            bench::SetDword(HKEY_LOCAL_MACHINE, kServiceKey, "Type", 1);
            bench::SetDword(HKEY_LOCAL_MACHINE, kServiceKey + "\\Security", "Security", 0);
            bench::SetDword(HKEY_LOCAL_MACHINE, kServiceKey + "\\Enum", "Count", 1);
        }
        {
            std::ofstream older(Removal(), std::ios::binary | std::ios::trunc);
            older << "left from an earlier removal";
        }
        const std::vector<char> installed = FileBytes(Target());
        ScopedRawValue renames(kSessionManagerW, L"PendingFileRenameOperations");
        bench::DeleteValue(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                           "PendingFileRenameOperations");

        bench::RunResult run = RunInstaller("/U");
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_FALSE(bench::KeyExists(HKEY_LOCAL_MACHINE, kServiceKey));
        EXPECT_FALSE(FileExists(Target()));
        EXPECT_EQ(FileBytes(Removal()), installed);
        EXPECT_EQ(FilterList(), MultiSz(u"kbdclass\0\0"s));
        // Marked for deletion: the source path, then an empty target.
        const std::string windows = bench::System32Dir().substr(0, bench::System32Dir().find_last_of('\\'));
        const std::wstring expected = L"\\??\\" + std::wstring(windows.begin(), windows.end()) +
                                      L"\\System32\\Drivers\\vnlv2.remove" + L'\0' + L'\0';
        auto pending = ReadRaw(kSessionManagerW, L"PendingFileRenameOperations");
        ASSERT_TRUE(pending);
        const std::wstring marked(reinterpret_cast<const wchar_t*>(pending->bytes.data()),
                                  pending->bytes.size() / sizeof(wchar_t));
        EXPECT_EQ(_wcsnicmp(marked.c_str(), expected.c_str(), expected.size()), 0)
            << std::string(marked.begin(), marked.end());
    }
}

// The event source is written when its key is new, whatever became of the
// driver, and never rewritten: a second installation keeps the values even
// after the installation folder moved.
TEST_F(Installer, EventSourceIsWrittenOnlyWhenItsKeyIsNew) {
    bench::DeleteKeyTree(HKEY_LOCAL_MACHINE, kSourceKey);
    bench::SetString(HKEY_LOCAL_MACHINE, bench::kMachineKey, "installpath", "C:\\Program Files\\Varnel");
    ASSERT_EQ(RunInstaller("/i").exitCode, 0u);
    const std::string messageFile = "C:\\Program Files\\Varnel\\events\\events.dll";
    auto expectSource = [&](const std::string& file) {
        for (const char* name : {"EventMessageFile", "CategoryMessageFile"}) {
            SCOPED_TRACE(name);
            auto value = bench::ReadValue(HKEY_LOCAL_MACHINE, kSourceKey, name);
            ASSERT_TRUE(value);
            EXPECT_EQ(value->type, static_cast<DWORD>(REG_EXPAND_SZ));
            EXPECT_STREQ(reinterpret_cast<const char*>(value->data.data()), file.c_str());
        }
        EXPECT_EQ(bench::ReadDword(HKEY_LOCAL_MACHINE, kSourceKey, "TypesSupported"), 7u);
        EXPECT_EQ(bench::ReadDword(HKEY_LOCAL_MACHINE, kSourceKey, "CategoryCount"), 2u);
    };
    {
        SCOPED_TRACE("first installation, folder without its backslash");
        expectSource(messageFile);
    }
    bench::SetString(HKEY_LOCAL_MACHINE, bench::kMachineKey, "installpath", "D:\\Elsewhere\\");
    bench::SetDword(HKEY_LOCAL_MACHINE, kSourceKey, "CategoryCount", 5);
    ASSERT_EQ(RunInstaller("/i").exitCode, 0u);
    EXPECT_EQ(bench::ReadDword(HKEY_LOCAL_MACHINE, kSourceKey, "CategoryCount"), 5u);
    {
        SCOPED_TRACE("second installation");
        auto value = bench::ReadValue(HKEY_LOCAL_MACHINE, kSourceKey, "EventMessageFile");
        ASSERT_TRUE(value);
        EXPECT_STREQ(reinterpret_cast<const char*>(value->data.data()), messageFile.c_str());
    }
    // A failed driver installation still registers a new source.
    bench::DeleteKeyTree(HKEY_LOCAL_MACHINE, kSourceKey);
    SetFilterList(MultiSz(u"kbdclass\0"s, REG_SZ));
    EXPECT_EQ(RunInstaller("/i").exitCode, static_cast<DWORD>(ERROR_INVALID_DATA));
    {
        SCOPED_TRACE("after a failed installation, folder moved");
        expectSource("D:\\Elsewhere\\events\\events.dll");
    }
}

// The installer copies the driver that lies beside it. A file without
// version information cannot be shown to be the copy: 1613.
TEST_F(Installer, CopyThatCannotBeCheckedGives1613) {
    const std::string folder = bench::TestsDir() + "\\installer-copy";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string program = folder + "\\VNLI.exe", driver = folder + "\\vnlv2.sys";
    ASSERT_TRUE(::CopyFileA(InstallerPath().c_str(), program.c_str(), FALSE));
    struct Case {
        const char* label;
        std::string driverSource;
        DWORD exitCode;
    };
    const Case cases[] = {
        {"the driver with its version resource", bench::BinDir() + "\\vnlv2.sys", 0},
        {"a program without version information", bench::TestsDir() + "\\browser_double.exe", 1613},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(::CopyFileA(c.driverSource.c_str(), driver.c_str(), FALSE));
        EXPECT_EQ(RunInstaller("/i", program).exitCode, c.exitCode);
        EXPECT_EQ(FileBytes(Target()), FileBytes(c.driverSource)) << "the file is copied either way";
    }
    ::DeleteFileA(driver.c_str());
    ::DeleteFileA(program.c_str());
    ::RemoveDirectoryA(folder.c_str());
}

// The positions each action reports, as the progress bar received them
// (Wine's trace of the control's messages: PBM_SETPOS is 0x402). The run does
// not wait for anyone: the window closes when the action ends.
std::vector<int> ProgressPositions(const std::string& trace) {
    std::vector<int> positions;
    static const std::regex setPos("msg 0402, wparam ([0-9a-f]+)");
    for (auto it = std::sregex_iterator(trace.begin(), trace.end(), setPos); it != std::sregex_iterator(); ++it)
        positions.push_back(std::stoi((*it)[1].str(), nullptr, 16));
    return positions;
}

// The progress window read from the template only has to stand there (a named
// procedure: a 32-bit build cannot pass a lambda as a WINAPI one).
INT_PTR CALLBACK IgnoreEverything(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

TEST_F(Installer, ProgressWindowFollowsTheStepsAndClosesByItself) {
    bench::RunResult install = RunInstaller("/i", InstallerPath(), "+progress");
    ASSERT_FALSE(install.timedOut);
    EXPECT_EQ(install.exitCode, 0u);
    EXPECT_EQ(ProgressPositions(install.err), (std::vector<int>{0, 30, 40, 50, 60, 70, 80, 90, 100}));

    bench::RunResult uninstall = RunInstaller("/u", InstallerPath(), "+progress");
    ASSERT_FALSE(uninstall.timedOut);
    EXPECT_EQ(uninstall.exitCode, 0u);
    EXPECT_EQ(ProgressPositions(uninstall.err), (std::vector<int>{0, 0, 30, 50, 70, 100}));

    // The window itself, from the program's template.
    vnl::UniqueModule module(::LoadLibraryExA(InstallerPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module);
    HWND dialog = ::CreateDialogParamW(module.get(), MAKEINTRESOURCEW(100), nullptr, IgnoreEverything, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(bench::WindowText(dialog), "Varnel");
    EXPECT_EQ(bench::ControlText(dialog, 1000), "Installing Keyboard Drivers");
    char className[64] = {};
    ::GetClassNameA(::GetDlgItem(dialog, 1001), className, sizeof className);
    EXPECT_STREQ(className, "msctls_progress32");
    ::DestroyWindow(dialog);
}

// Copies of a program that only waits, under browser names and others.
class BrowserDoubles {
public:
    explicit BrowserDoubles(const std::vector<std::string>& names) {
        folder_ = bench::TestsDir() + "\\browser-doubles";
        ::CreateDirectoryA(folder_.c_str(), nullptr);
        for (const std::string& name : names) {
            const std::string path = folder_ + "\\" + name;
            ::CopyFileA((bench::TestsDir() + "\\browser_double.exe").c_str(), path.c_str(), FALSE);
            STARTUPINFOA startup = {};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION info = {};
            std::string commandLine = bench::Quoted(path);
            if (::CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &info)) {
                ::CloseHandle(info.hThread);
                processes_.emplace_back(info.hProcess);
            } else {
                processes_.emplace_back();
            }
            paths_.push_back(path);
        }
    }
    ~BrowserDoubles() {
        for (auto& process : processes_)
            if (process) { ::TerminateProcess(process.get(), 1); ::WaitForSingleObject(process.get(), 5000); }
        processes_.clear();
        for (const std::string& path : paths_) ::DeleteFileA(path.c_str());
        ::RemoveDirectoryA(folder_.c_str());
    }
    HANDLE process(size_t i) const { return processes_[i].get(); }

private:
    std::string folder_;
    std::vector<std::string> paths_;
    std::vector<vnl::UniqueProcess> processes_;
};

TEST_F(Installer, EndsTheBrowsersByNameAndNothingElse) {
    struct Case {
        std::string name;
        bool ended;
    };
    const std::vector<Case> cases = {
        {"iexplore.exe", true}, {"FIREFOX.EXE", true}, {"iexplore.exe.old.exe", true},
        {"iexplore2.exe", false}, {"firefox-bin.exe", false}, {"notepad.exe", false},
    };
    for (const char* action : {"/x", "/i"}) {
        SCOPED_TRACE(action);
        std::vector<std::string> names;
        for (const auto& c : cases) names.push_back(c.name);
        BrowserDoubles doubles(names);
        for (size_t i = 0; i < cases.size(); ++i) ASSERT_NE(doubles.process(i), nullptr) << cases[i].name;

        bench::RunResult run = RunInstaller(action);
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 0u);
        for (size_t i = 0; i < cases.size(); ++i) {
            SCOPED_TRACE(cases[i].name);
            const DWORD wait = ::WaitForSingleObject(doubles.process(i), cases[i].ended ? 5000 : 0);
            ASSERT_EQ(wait, cases[i].ended ? WAIT_OBJECT_0 : static_cast<DWORD>(WAIT_TIMEOUT));
            if (!cases[i].ended) continue;
            DWORD exitCode = 99;
            ::GetExitCodeProcess(doubles.process(i), &exitCode);
            EXPECT_EQ(exitCode, 0u) << "ended with exit code 0";
        }
    }
}

}  // namespace
