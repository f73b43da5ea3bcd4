// The registry script format and its parser. No Windows headers: the parser
// builds natively too (for fuzzing); Registrar.h applies a parsed script.
//
// The format, by example:
//
//   HKCR
//   {
//       Widget.Widget.1 = s 'Widget Class'
//       {
//           CLSID = s '{...}'
//       }
//       NoRemove CLSID
//       {
//           ForceRemove {...} = s 'Widget Class'
//           {
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Apartment'
//               }
//           }
//       }
//   }
//   HKLM { NoRemove Software { 'My Key' { val Flag = d '1'  val Blob = b '00FF' } } }
//
// - Blocks start with a root: HKCR, HKLM, HKCU, HKU or the long HKEY_... names.
// - Words are separated by blanks; '{', '}' and '=' stand alone too. A '{'
//   directly followed by text and a '}' (a class id: {CB7D...}) is a name.
// - A key is a name, bare or in single quotes, optionally marked NoRemove
//   (never deleted on unregistration), ForceRemove (deleted with everything
//   under it before it is written again) or Delete (deleted on registration).
//   `= TYPE 'data'` after the name sets the key's default value; a block in
//   braces holds its subkeys and its named values (`val NAME = TYPE 'data'`).
// - Types: s (string), e (expandable string), d (32-bit number, decimal or
//   0x hexadecimal), b (binary, an even number of hexadecimal digits).
// - Inside quotes '' stands for one quote. %NAME% is replaced with the value
//   of the replacement NAME (names compare without regard to case) wherever it
//   stands, inside quotes or in a bare word; the value is taken literally, so
//   a replacement holding a quote or a brace cannot change the script's
//   structure. %% stands for one percent sign.
// - Key words (NoRemove, ForceRemove, Delete, val, the roots and the type
//   letters) compare without regard to case. A key whose name is a key word
//   is written in quotes.
// - Key names are 1 to 255 characters without a backslash; nesting is at most
//   32 keys deep.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vnl::regscript {

enum class Root { ClassesRoot, LocalMachine, CurrentUser, Users };

enum class ValueType { String, ExpandString, Dword, Binary };

struct Value {
    std::string name;  // empty: the key's default value
    ValueType type = ValueType::String;
    std::string text;            // String, ExpandString (UTF-8 or the script's own 8-bit text)
    std::uint32_t number = 0;    // Dword
    std::vector<std::uint8_t> bytes;  // Binary
};

enum class KeyMark { None, NoRemove, ForceRemove, Delete };

struct Key {
    std::string name;
    KeyMark mark = KeyMark::None;
    std::vector<Value> values;  // the default value (if any) first, then the named ones in script order
    std::vector<Key> keys;

    // True when this key or a key under it is marked NoRemove.
    bool HoldsNoRemove() const noexcept;
};

struct RootBlock {
    Root root = Root::ClassesRoot;
    std::vector<Key> keys;
};

struct Script {
    std::vector<RootBlock> roots;
};

struct Replacement {
    std::string name;   // without the percent signs
    std::string value;
};

struct ParseError {
    std::size_t line = 0;   // 1-based; 0 when there is no error
    std::string message;
};

// Parses `text` into `out`. Returns true on success; on failure returns false,
// fills `error` (when given) and leaves `out` empty. Never throws for bad
// text; only running out of memory throws (std::bad_alloc).
bool ParseRegistryScript(std::string_view text, std::span<const Replacement> replacements, Script& out,
                         ParseError* error = nullptr);

inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxKeyDepth = 32;

}  // namespace vnl::regscript
