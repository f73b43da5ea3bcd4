// The end-to-end demonstration: protection switched on through the driver
// channel, a passphrase typed on the stand-in keyboard, each placeholder sent
// through the ordinary input path while a low-level keyboard hook records what
// a keylogger would see, and each placeholder decoded back into the typed key.
// Prints typed / seen by the keylogger / decoded side by side. Exits 0 only
// when the keylogger saw no real key and every keystroke decoded correctly.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DriverChannel.h"
#include "DriverControl.h"
#include "UniqueAny.h"

namespace {

// One keystroke of the script. Shift and NumLock are not held back by the
// driver: they go up the ordinary path themselves, which is how the decoder
// learns the case and the keypad's meaning.
struct ScriptKey {
    const char* label;    // what the user typed, for the table
    std::uint8_t scanCode;
    bool extended;
    bool shift;
    wchar_t character;    // expected character, 0 for keys without one
    int virtualKey;       // expected virtual key when there is no character
};

constexpr std::uint8_t kNumLockScan = 0x45;

// A key press as the keylogger's hook saw it.
struct Seen {
    std::string text;
    DWORD scanCode;
};

struct Step {
    ScriptKey key{};
    std::vector<Seen> seen;  // what the hook recorded meanwhile
    int result = 0;
    int character = 0;
    int virtualKey = 0;
    int count = 0;
    bool decoded = false;
};

std::mutex g_lock;
std::vector<Step> g_steps;
std::atomic<int> g_current{-1};
HANDLE g_decodedEvent = nullptr;
HHOOK g_hook = nullptr;

std::string Describe(const KBDLLHOOKSTRUCT& key) {
    const UINT character = ::MapVirtualKeyW(key.vkCode, MAPVK_VK_TO_CHAR) & 0xFFFF;
    char text[48];
    if (key.vkCode == VK_SHIFT || key.vkCode == VK_LSHIFT || key.vkCode == VK_RSHIFT)
        std::snprintf(text, sizeof text, "Shift");
    else if (key.vkCode == VK_NUMLOCK)
        std::snprintf(text, sizeof text, "NumLock");
    else if (character >= 0x20 && character < 0x7F)
        std::snprintf(text, sizeof text, "'%c'", static_cast<char>(character));
    else
        std::snprintf(text, sizeof text, "vk %02lX", key.vkCode);
    return text;
}

// The keylogger: records every key press it is shown.
LRESULT CALLBACK KeyloggerHook(int code, WPARAM message, LPARAM data) {
    if (code == HC_ACTION && (message == WM_KEYDOWN || message == WM_SYSKEYDOWN)) {
        const auto& key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
        const int current = g_current.load();
        std::lock_guard<std::mutex> guard(g_lock);
        if (current >= 0) g_steps[current].seen.push_back({Describe(key), key.scanCode});
    }
    return ::CallNextHookEx(g_hook, code, message, data);
}

// The page's field: decodes every placeholder character it receives, as the
// browser components do in the page's keypress event.
constexpr UINT kTakeFocus = WM_APP + 1;

LRESULT CALLBACK FieldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kTakeFocus) {
        ::SetForegroundWindow(window);
        ::SetFocus(window);
        return ::GetForegroundWindow() == window && ::GetFocus() == window;
    }
    if (message == WM_CHAR) {
        const int current = g_current.load();
        int character = static_cast<int>(wParam);
        int virtualKey = 0, count = 0;
        const int result = vnl::DecodeProtectedKey(&character, &virtualKey, &count);
        if (current >= 0) {
            std::lock_guard<std::mutex> guard(g_lock);
            Step& step = g_steps[current];
            step.result = result;
            step.character = character;
            step.virtualKey = virtualKey;
            step.count = count;
            step.decoded = true;
        }
        ::SetEvent(g_decodedEvent);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void SendKey(WORD virtualKey, WORD scanCode, bool extended, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = scanCode;
    input.ki.dwFlags = (extended ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0);
    ::SendInput(1, &input, sizeof input);
}

// Brings the field to the front with the focus. Another window of the
// session (the desktop's, when the session is young) may take the front at
// any time, and keys sent then would go to it.
bool FocusField(HWND field) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (::SendMessageW(field, kTakeFocus, 0, 0) != 0) return true;
        ::Sleep(20);
    }
    return false;
}

// Types the script from a thread of its own while the field's thread pumps
// messages. Returns false when the stand-in keyboard could not be reached.
bool TypeScript(bench::DriverControl& keyboard, HWND field) {
    bool ok = true;
    for (size_t i = 0; i < g_steps.size(); ++i) {
        const ScriptKey key = g_steps[i].key;
        if (!FocusField(field)) { ok = false; break; }
        g_current = static_cast<int>(i);
        ::ResetEvent(g_decodedEvent);
        if (key.scanCode == kNumLockScan) {
            // NumLock passes the driver untouched: it goes up as itself.
            SendKey(VK_NUMLOCK, kNumLockScan, false, false);
            SendKey(VK_NUMLOCK, kNumLockScan, false, true);
            ::SendMessageW(field, WM_NULL, 0, 0);  // the field's thread has seen it
            continue;
        }
        if (key.shift) SendKey(VK_SHIFT, 0x2A, false, false);
        // The stand-in keyboard: the driver holds the keystroke and tells what
        // it let up the ordinary path instead, which is sent as the keyboard
        // would have sent it.
        const auto passed = keyboard.PressKey(key.scanCode, key.extended);
        if (!passed || passed->outcome != vnl::drv::kHeld) { ok = false; break; }
        const bool extended = (passed->flags & vnl::kKeyE0) != 0;
        const auto upKey = static_cast<WORD>(::MapVirtualKeyW(passed->makeCode, MAPVK_VSC_TO_VK));
        // A placeholder that lands in another window (one that took the front
        // meanwhile) is sent again; the held keystroke waits in the driver.
        bool decoded = false;
        for (int attempt = 0; attempt < 3 && !decoded; ++attempt) {
            if (attempt > 0) {
                std::fprintf(stderr, "demo: placeholder %zu not received (front window %p), sent again\n", i,
                             static_cast<void*>(::GetForegroundWindow()));
                if (!FocusField(field)) break;
            }
            SendKey(upKey, passed->makeCode, extended, false);
            SendKey(upKey, passed->makeCode, extended, true);
            decoded = ::WaitForSingleObject(g_decodedEvent, 2000) == WAIT_OBJECT_0;
        }
        if (key.shift) SendKey(VK_SHIFT, 0x2A, false, true);
        ::SendMessageW(field, WM_NULL, 0, 0);
    }
    g_current = -1;
    return ok;
}

std::string Decoded(const Step& step) {
    if (!step.decoded) return "(nothing)";
    char text[48];
    if (step.result != 0) std::snprintf(text, sizeof text, "result %d", step.result);
    else if (step.character != 0 && step.character < 0x7F) std::snprintf(text, sizeof text, "'%c'", step.character);
    else if (step.character != 0) std::snprintf(text, sizeof text, "U+%04X", step.character);
    else std::snprintf(text, sizeof text, "no character: vk %02X", step.virtualKey);
    return text;
}

bool DecodedAsTyped(const Step& step) {
    if (!step.decoded || step.result != 0) return false;
    if (step.key.character != 0) return step.character == step.key.character;
    return step.character == 0 && step.virtualKey == step.key.virtualKey;
}

}  // namespace

int main() {
    const ScriptKey script[] = {
        {"'B' (Shift)", 0x30, false, true, L'B', 0},
        {"'l'", 0x26, false, false, L'l', 0},
        {"'u'", 0x16, false, false, L'u', 0},
        {"'e'", 0x12, false, false, L'e', 0},
        {"' '", 0x39, false, false, L' ', 0},
        {"'H' (Shift)", 0x23, false, true, L'H', 0},
        {"'e'", 0x12, false, false, L'e', 0},
        {"'r'", 0x13, false, false, L'r', 0},
        {"'o'", 0x18, false, false, L'o', 0},
        {"'n'", 0x31, false, false, L'n', 0},
        {"NumLock on", kNumLockScan, false, false, 0, 0},
        {"keypad '7'", 0x47, false, false, L'7', 0},
        {"Left arrow", 0x4B, true, false, 0, VK_LEFT},
        {"NumLock off", kNumLockScan, false, false, 0, 0},
    };
    for (const ScriptKey& key : script) {
        Step step;
        step.key = key;
        g_steps.push_back(step);
    }

    bench::DriverControl keyboard;
    if (!keyboard.IsOpen()) {
        std::printf("demo: the stand-in keyboard's control device cannot be opened\n");
        return 2;
    }
    keyboard.Reset();
    const int opened = vnl::OpenDriverChannel(1);
    if (opened != 0) {
        std::printf("demo: the driver channel cannot be opened (error %d)\n", opened);
        return 2;
    }

    vnl::UniqueEvent decoded(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    g_decodedEvent = decoded.get();

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = FieldProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VarnelDemoField";
    ::RegisterClassW(&windowClass);
    HWND field = ::CreateWindowW(L"VarnelDemoField", L"Varnel demo field", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 320, 80, nullptr, nullptr, windowClass.hInstance, nullptr);
    ::SetForegroundWindow(field);
    ::SetFocus(field);

    // The keylogger lives on a thread of its own with its own message loop, as
    // a low-level hook needs.
    std::atomic<DWORD> hookThreadId{0};
    vnl::UniqueEvent hookReady(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread keylogger([&] {
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
        g_hook = ::SetWindowsHookExW(WH_KEYBOARD_LL, KeyloggerHook, ::GetModuleHandleW(nullptr), 0);
        hookThreadId = ::GetCurrentThreadId();
        ::SetEvent(hookReady.get());
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
        if (g_hook != nullptr) ::UnhookWindowsHookEx(g_hook);
    });
    ::WaitForSingleObject(hookReady.get(), 5000);

    vnl::SetDriverProtection(1, static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(field)));

    std::atomic<bool> typed{false};
    bool keyboardOk = true;
    std::thread typist([&] {
        keyboardOk = TypeScript(keyboard, field);
        typed = true;
        ::PostMessageW(field, WM_NULL, 0, 0);
    });
    MSG message;
    while (!typed.load()) {
        if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0) {
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        }
    }
    typist.join();
    vnl::SetDriverProtection(0, 0);
    vnl::CloseDriverChannel();
    ::PostThreadMessageW(hookThreadId.load(), WM_QUIT, 0, 0);
    keylogger.join();
    ::DestroyWindow(field);

    bool leaked = false, wrong = !keyboardOk;
    std::printf("%-14s | %-28s | %s\n", "typed", "seen by the keylogger", "decoded");
    std::printf("---------------+------------------------------+-----------\n");
    for (const Step& step : g_steps) {
        std::string seen;
        for (const Seen& s : step.seen) {
            seen += (seen.empty() ? "" : " ") + s.text;
            // The real key's own scan code reaching the hook is a leak.
            if (step.key.scanCode != kNumLockScan && s.scanCode == step.key.scanCode) leaked = true;
        }
        const bool passthrough = step.key.scanCode == kNumLockScan;
        if (!passthrough && !DecodedAsTyped(step)) wrong = true;
        std::printf("%-14s | %-28s | %s\n", step.key.label, seen.c_str(),
                    passthrough ? "(passes through)" : Decoded(step).c_str());
    }
    // The field's text as the page would receive it, and the characters a
    // keylogger would have logged.
    std::string page, logged;
    for (const Step& step : g_steps) {
        if (step.decoded && step.result == 0 && step.character > 0 && step.character < 0x7F)
            page += static_cast<char>(step.character);
        for (const Seen& s : step.seen)
            if (s.text.size() == 3 && s.text[0] == '\'') logged += s.text[1];
    }
    std::printf("\nthe page received:    \"%s\"\nthe keylogger logged: \"%s\"\n", page.c_str(), logged.c_str());
    std::printf("\nverdict: %s\n", leaked  ? "FAIL: the keylogger saw a real keystroke"
                                   : wrong ? "FAIL: a keystroke did not decode to what was typed"
                                           : "PASS: the keylogger saw only placeholders; every keystroke decoded");
    return leaked || wrong ? 1 : 0;
}
