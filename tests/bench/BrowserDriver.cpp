#include "BrowserDriver.h"

#include <cstdio>
#include <cstring>

#include "BenchPaths.h"
#include "DriverControl.h"
#include "Process.h"

namespace bench {

namespace {

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char c = text[++i];
            out.push_back(c == 'n' ? '\n' : c == 'r' ? '\r' : c);
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

void SendKey(WORD virtualKey, WORD scanCode, bool extended, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = scanCode;
    input.ki.dwFlags = (extended ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0);
    ::SendInput(1, &input, sizeof input);
}

}  // namespace

BrowserDriver::~BrowserDriver() {
    if (Running() && !Quit(10000) && process_) ::TerminateProcess(process_.get(), 1);
}

bool BrowserDriver::Running() const {
    return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

bool BrowserDriver::Start(const BrowserOptions& options) {
    static int serial = 0;
    char name[64];
    std::snprintf(name, sizeof name, "VarnelTestBrowser.%lu.%d", ::GetCurrentProcessId(), ++serial);
    pipeName_ = std::string("\\\\.\\pipe\\") + name;
    std::string command = Quoted(BinDir() + "\\iexplore.exe") + " --channel " + name;
    if (!options.pageRoot.empty()) command += " --root " + Quoted(options.pageRoot);
    if (options.tabs != 1) command += " --tabs " + std::to_string(options.tabs);
    if (!options.bands) command += " --no-bands";
    command += " " + Quoted(options.address);

    // The environment: ours with the options' variables set.
    std::map<std::string, std::string> env;
    if (char* block = ::GetEnvironmentStringsA()) {
        for (char* p = block; *p; p += std::strlen(p) + 1) {
            const char* eq = std::strchr(p + 1, '=');
            if (eq) env[std::string(p, static_cast<size_t>(eq - p))] = eq + 1;
        }
        ::FreeEnvironmentStringsA(block);
    }
    for (const auto& [k, v] : options.env) env[k] = v;
    std::string block;
    for (const auto& [k, v] : env) block += k + "=" + v + '\0';
    block += '\0';

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, block.data(), nullptr, &startup, &info))
        return false;
    ::CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    processId_ = info.dwProcessId;
    return Connect(options.readyTimeoutMs) && WaitForTabs(options.readyTimeoutMs);
}

bool BrowserDriver::Connect(DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < timeoutMs) {
        pipe_.reset(::CreateFileA(pipeName_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (pipe_) return true;
        if (!Running()) return false;
        if (::GetLastError() == ERROR_PIPE_BUSY) ::WaitNamedPipeA(pipeName_.c_str(), 1000);
        else ::Sleep(50);
    }
    return false;
}

BrowserReply BrowserDriver::Request(const std::vector<std::string>& args) {
    BrowserReply reply;
    if (!pipe_) {
        reply.text = "not connected";
        return reply;
    }
    std::string line;
    for (const auto& a : args) line += (line.empty() ? "" : "\t") + a;
    line += "\n";
    DWORD written = 0;
    if (!::WriteFile(pipe_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
        reply.text = "the channel is closed";
        return reply;
    }
    std::string received;
    char c;
    DWORD read = 0;
    while (::ReadFile(pipe_.get(), &c, 1, &read, nullptr) && read == 1 && c != '\n') received.push_back(c);
    const size_t tab = received.find('\t');
    const std::string status = received.substr(0, tab);
    reply.ok = status == "ok";
    reply.text = tab == std::string::npos ? "" : Unescape(received.substr(tab + 1));
    if (status.empty()) reply.text = "no reply";
    return reply;
}

bool BrowserDriver::WaitForTabs(DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < timeoutMs) {
        const BrowserReply list = Request({"list"});
        if (list.ok && !list.text.empty() && list.text.find(":loading:") == std::string::npos) return true;
        if (!Running()) return false;
        ::Sleep(50);
    }
    return false;
}

bool BrowserDriver::WaitForValue(const std::string& id, const std::string& expected, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    do {
        if (Value(id) == expected) return true;
        ::Sleep(30);
    } while (::GetTickCount() - start < timeoutMs);
    return false;
}

HWND BrowserDriver::Pane() {
    const BrowserReply r = Request({"pane"});
    return r.ok ? reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoull(r.text.c_str(), nullptr, 16))) : nullptr;
}

bool BrowserDriver::Type(DriverControl& keyboard, const std::string& text) {
    for (char ch : text) {
        const SHORT scan = ::VkKeyScanA(ch);
        if (scan == -1) return false;
        const WORD virtualKey = LOBYTE(scan);
        const bool shift = (HIBYTE(scan) & 1) != 0;
        const auto scanCode = static_cast<std::uint16_t>(::MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
        if (shift) SendKey(VK_SHIFT, 0x2A, false, false);
        const auto passed = keyboard.PressKey(scanCode);
        if (!passed || passed->outcome == vnl::drv::kSwallowed) {
            if (shift) SendKey(VK_SHIFT, 0x2A, false, true);
            return false;
        }
        const bool extended = (passed->flags & vnl::kKeyE0) != 0;
        const auto upKey = static_cast<WORD>(::MapVirtualKeyA(passed->makeCode, MAPVK_VSC_TO_VK));
        SendKey(upKey, passed->makeCode, extended, false);
        SendKey(upKey, passed->makeCode, extended, true);
        if (shift) SendKey(VK_SHIFT, 0x2A, false, true);
        // The pane has taken the key before the next one goes.
        if (HWND pane = Pane()) {
            DWORD_PTR result = 0;
            ::SendMessageTimeoutA(pane, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
        }
    }
    return true;
}

bool BrowserDriver::Quit(DWORD timeoutMs) {
    if (!process_) return true;
    if (Running() && pipe_) Request({"quit"});
    pipe_.reset();
    if (::WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
    ::GetExitCodeProcess(process_.get(), &exitCode_);
    return true;
}

}  // namespace bench
