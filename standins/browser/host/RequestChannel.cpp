#include "RequestChannel.h"

#include <vector>

#include "BrowserApp.h"
#include "BrowserTab.h"
#include "Text.h"
#include "UniqueAny.h"

namespace vnl::browser {

namespace {

constexpr DWORD kRequestTimeoutMs = 60000;

std::string Escape(const std::wstring& text) {
    std::string out;
    for (char c : WideToUtf8(text)) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out.push_back(c);
    }
    return out;
}

std::vector<std::wstring> Split(const std::wstring& line) {
    std::vector<std::wstring> out;
    const wchar_t separator = line.find(L'\t') != std::wstring::npos ? L'\t' : L' ';
    size_t i = 0;
    while (i <= line.size()) {
        size_t end = line.find(separator, i);
        if (end == std::wstring::npos) end = line.size();
        if (end > i) out.push_back(line.substr(i, end - i));
        i = end + 1;
    }
    return out;
}

bool SendTo(HWND window, UINT message, void* request) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(window, message, 0, reinterpret_cast<LPARAM>(request), SMTO_NORMAL,
                                 kRequestTimeoutMs, &result) != 0;
}

}  // namespace

std::wstring RequestChannel::DefaultName() { return L"VarnelBrowser." + std::to_wstring(::GetCurrentProcessId()); }

RequestChannel::RequestChannel(std::wstring pipeName, HWND appWindow)
    : pipeName_(L"\\\\.\\pipe\\" + pipeName), appWindow_(appWindow), stop_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = std::thread([this] { Serve(); });
}

RequestChannel::~RequestChannel() {
    ::SetEvent(stop_);
    // Wakes a ConnectNamedPipe that waits for a client.
    UniqueFileHandle wake(::CreateFileW(pipeName_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (thread_.joinable()) thread_.join();
    ::CloseHandle(stop_);
}

void RequestChannel::Serve() {
    while (::WaitForSingleObject(stop_, 0) != WAIT_OBJECT_0) {
        UniqueFileHandle pipe(::CreateNamedPipeW(pipeName_.c_str(), PIPE_ACCESS_DUPLEX,
                                                 PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                                 PIPE_UNLIMITED_INSTANCES, 1 << 16, 1 << 16, 0, nullptr));
        if (!pipe) return;
        if (!::ConnectNamedPipe(pipe.get(), nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) continue;
        if (::WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0) return;
        std::string buffer;
        char chunk[4096];
        for (;;) {
            DWORD read = 0;
            if (!::ReadFile(pipe.get(), chunk, sizeof chunk, &read, nullptr) || read == 0) break;
            buffer.append(chunk, read);
            if (buffer.size() > (1u << 20)) break;  // a line that long is no request
            size_t newline;
            bool quit = false;
            while ((newline = buffer.find('\n')) != std::string::npos) {
                std::string line = buffer.substr(0, newline);
                buffer.erase(0, newline + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                quit = quit || line == "quit";
                const std::string reply = Handle(line) + "\n";
                DWORD written = 0;
                ::WriteFile(pipe.get(), reply.data(), static_cast<DWORD>(reply.size()), &written, nullptr);
            }
            if (quit) break;
        }
        ::FlushFileBuffers(pipe.get());
        ::DisconnectNamedPipe(pipe.get());
    }
}

std::string RequestChannel::Handle(const std::string& line) {
    std::vector<std::wstring> args = Split(Utf8ToWide(line));
    AppRequest app;
    if (!args.empty() && args[0].size() > 1 && args[0][0] == L'@') {
        const std::wstring target = args[0].substr(1);
        const size_t dot = target.find(L'.');
        app.window = _wtoi(target.substr(0, dot).c_str());
        if (dot != std::wstring::npos) app.tab = _wtoi(target.substr(dot + 1).c_str());
        args.erase(args.begin());
    }
    if (args.empty()) return "error\tempty request";
    const std::wstring verb = ToLower(args[0]);
    auto reply = [](bool ok, const std::wstring& text) { return std::string(ok ? "ok\t" : "error\t") + Escape(text); };

    static const wchar_t* const kAppVerbs[] = {L"newwindow", L"newtab", L"selecttab", L"closetab", L"closewindow",
                                              L"quit", L"frame"};
    for (const wchar_t* v : kAppVerbs) {
        if (verb != v) continue;
        app.args = args;
        if (!SendTo(appWindow_, WM_VNL_APP, &app)) return reply(false, L"the browser does not answer");
        return reply(app.ok, app.reply);
    }
    if (verb == L"list") {
        app.args = {L"tabs"};
        if (!SendTo(appWindow_, WM_VNL_APP, &app)) return reply(false, L"the browser does not answer");
        std::wstring out;
        for (const TabTarget& t : app.targets) {
            std::wstring address;
            if (t.tabWindow) {
                TabRequest request;
                request.args = {L"address"};
                if (SendTo(t.tabWindow, WM_VNL_REQUEST, &request)) address = request.reply;
            }
            if (!out.empty()) out += L'\t';
            out += std::to_wstring(t.window) + L"." + std::to_wstring(t.tab) + (t.front ? L":front" : L":back") +
                   (t.tabWindow ? L":ready:" : L":loading:") + address;
        }
        return reply(true, out);
    }
    // Everything else runs on the tab's own thread.
    app.args = {L"resolve"};
    if (!SendTo(appWindow_, WM_VNL_APP, &app)) return reply(false, L"the browser does not answer");
    if (!app.ok || app.targets.empty()) return reply(false, app.reply);
    const HWND tab = app.targets[0].tabWindow;
    if (!tab) return reply(false, L"the tab is still being made");
    TabRequest request;
    request.args = args;
    if (!SendTo(tab, WM_VNL_REQUEST, &request)) return reply(false, L"the tab does not answer");
    return reply(request.ok, request.reply);
}

}  // namespace vnl::browser
