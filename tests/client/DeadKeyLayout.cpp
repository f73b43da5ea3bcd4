#include "DeadKeyLayout.h"

namespace testlayout {
namespace {

State g_state;
HKL const kLayout = reinterpret_cast<HKL>(static_cast<ULONG_PTR>(0x0DEA0DEA));

struct Accent { UINT virtualKey; wchar_t plain; wchar_t shifted; };
constexpr Accent kDeadKeys[] = {
    {0xDE, L'\x00B4', L'\x00A8'},  // acute, diaeresis
    {0xC0, L'`', L'^'},            // grave, circumflex
};

struct Composition { wchar_t accent; wchar_t base; wchar_t result; };
constexpr Composition kCompositions[] = {
    {L'\x00B4', L'e', L'\x00E9'}, {L'\x00B4', L'E', L'\x00C9'}, {L'\x00B4', L'a', L'\x00E1'},
    {L'\x00A8', L'e', L'\x00EB'}, {L'\x00A8', L'E', L'\x00CB'},
    {L'`', L'e', L'\x00E8'},      {L'^', L'e', L'\x00EA'},
};

struct ScanEntry { UINT scanCode; UINT virtualKey; };
constexpr ScanEntry kScanCodes[] = {
    {0x02, '1'}, {0x03, '2'}, {0x04, '3'}, {0x05, '4'}, {0x06, '5'}, {0x07, '6'}, {0x08, '7'},
    {0x09, '8'}, {0x0A, '9'}, {0x0B, '0'}, {0x12, 'E'}, {0x1E, 'A'}, {0x2D, 'X'}, {0x39, VK_SPACE},
    {0x28, 0xDE}, {0x29, 0xC0}, {0x3B, VK_F1}, {0x48, VK_UP}, {0x4B, VK_LEFT},
};

HKL WINAPI GetLayout(DWORD) { return kLayout; }

SHORT WINAPI KeyScan(CHAR character, HKL) {
    if (character >= '0' && character <= '9') return character;
    if (character >= 'a' && character <= 'z') return static_cast<SHORT>(character - 'a' + 'A');
    if (character >= 'A' && character <= 'Z') return static_cast<SHORT>(0x100 | character);
    return -1;
}

UINT WINAPI MapKey(UINT code, UINT mapType, HKL) {
    if (mapType != 1) return 0;
    for (const ScanEntry& entry : kScanCodes)
        if (entry.scanCode == code) return entry.virtualKey;
    return 0;
}

BOOL WINAPI KeyboardState(BYTE* state) {
    for (int i = 0; i < 256; ++i) state[i] = 0;
    if (g_state.shiftDown) state[VK_SHIFT] = 0x80;
    if (g_state.numLockOn) state[VK_NUMLOCK] = 0x01;
    return TRUE;
}

wchar_t CharacterOf(UINT virtualKey, bool shift) {
    if (virtualKey >= 'A' && virtualKey <= 'Z') return static_cast<wchar_t>(shift ? virtualKey : virtualKey + 32);
    if (virtualKey >= '0' && virtualKey <= '9') return static_cast<wchar_t>(virtualKey);
    if (virtualKey >= 0x60 && virtualKey <= 0x69) return static_cast<wchar_t>('0' + virtualKey - 0x60);
    if (virtualKey == VK_SPACE) return L' ';
    return 0;
}

int WINAPI Translate(UINT virtualKey, UINT, const BYTE* state, WCHAR* buffer, int units, UINT, HKL) {
    if (units < 3) return 0;
    const bool shift = (state[VK_SHIFT] & 0x80) != 0;
    for (const Accent& dead : kDeadKeys) {
        if (dead.virtualKey != virtualKey) continue;
        const wchar_t accent = shift ? dead.shifted : dead.plain;
        if (g_state.pendingAccent != 0) {  // two dead keys: both accents, state used up
            buffer[0] = g_state.pendingAccent;
            buffer[1] = accent;
            g_state.pendingAccent = 0;
            return 2;
        }
        g_state.pendingAccent = accent;
        buffer[0] = accent;
        return -1;
    }
    const wchar_t character = CharacterOf(virtualKey, shift);
    if (character == 0) return 0;  // no character: a held dead key stays held
    const wchar_t accent = g_state.pendingAccent;
    g_state.pendingAccent = 0;
    if (accent == 0) {
        buffer[0] = character;
        return 1;
    }
    for (const Composition& c : kCompositions) {
        if (c.accent == accent && c.base == character) {
            buffer[0] = c.result;
            return 1;
        }
    }
    buffer[0] = accent;
    buffer[1] = character;
    return 2;
}

const vnl::KeyboardLayoutTable kTable = {&GetLayout, &KeyScan, &MapKey, &KeyboardState, &Translate};

}  // namespace

State& Current() { return g_state; }
void PlaceholderTranslated() { g_state.pendingAccent = 0; }
const vnl::KeyboardLayoutTable& Table() { return kTable; }

}  // namespace testlayout
