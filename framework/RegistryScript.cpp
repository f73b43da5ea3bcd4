#include "RegistryScript.h"

#include <optional>
#include <utility>

namespace vnl::regscript {
namespace {

struct Failure {
    std::size_t line;
    std::string message;
};

char Lower(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

bool IsSpace(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

enum class TokenKind { End, OpenBrace, CloseBrace, Equals, Word };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;     // Word: the text after replacement and unquoting
    bool quoted = false;  // Word: written in quotes (never a key word)
    std::size_t line = 1;
};

class Lexer {
public:
    Lexer(std::string_view text, std::span<const Replacement> replacements)
        : text_(text), replacements_(replacements) {}

    Token Next() {
        SkipSpace();
        Token token;
        token.line = line_;
        if (pos_ >= text_.size()) return token;
        char c = text_[pos_];
        switch (c) {
        case '{':
            if (BracedWordAhead()) {
                ReadBare(token);
            } else {
                ++pos_;
                token.kind = TokenKind::OpenBrace;
            }
            return token;
        case '}': ++pos_; token.kind = TokenKind::CloseBrace; return token;
        case '=': ++pos_; token.kind = TokenKind::Equals; return token;
        case '\'': ReadQuoted(token); return token;
        default: ReadBare(token); return token;
        }
    }

    std::size_t Line() const noexcept { return line_; }

private:
    void SkipSpace() {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) {
            if (text_[pos_] == '\n') ++line_;
            ++pos_;
        }
    }

    // A '{' followed by text and a '}' before any blank, '=', quote or other
    // '{' is a bare name (a class id), not a block.
    bool BracedWordAhead() const noexcept {
        for (std::size_t j = pos_ + 1; j < text_.size(); ++j) {
            char c = text_[j];
            if (c == '}') return j > pos_ + 1;
            if (IsSpace(c) || c == '{' || c == '=' || c == '\'') return false;
        }
        return false;
    }

    [[noreturn]] void Fail(std::string message) const { throw Failure{line_, std::move(message)}; }

    void CheckCharacter(char c) const {
        if (c == '\0') Fail("NUL character in the script");
    }

    // At a '%': appends the replacement (or a single '%' for "%%").
    void ReadReplacement(std::string& out) {
        std::size_t end = text_.find('%', pos_ + 1);
        if (end == std::string_view::npos) Fail("'%' without a closing '%'");
        std::string_view name = text_.substr(pos_ + 1, end - pos_ - 1);
        pos_ = end + 1;
        if (name.empty()) {
            out += '%';
            return;
        }
        for (const Replacement& r : replacements_) {
            if (EqualNoCase(r.name, name)) {
                out += r.value;
                return;
            }
        }
        Fail("unknown replacement %" + std::string(name) + "%");
    }

    void ReadQuoted(Token& token) {
        token.kind = TokenKind::Word;
        token.quoted = true;
        ++pos_;  // opening quote
        for (;;) {
            if (pos_ >= text_.size()) throw Failure{token.line, "quoted text without its closing quote"};
            char c = text_[pos_];
            CheckCharacter(c);
            if (c == '\'') {
                if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
                    token.text += '\'';
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                return;
            }
            if (c == '%') {
                ReadReplacement(token.text);
                continue;
            }
            if (c == '\n') ++line_;
            token.text += c;
            ++pos_;
        }
    }

    void ReadBare(Token& token) {
        token.kind = TokenKind::Word;
        bool braced = text_[pos_] == '{';
        if (braced) {
            token.text += '{';
            ++pos_;
        }
        while (pos_ < text_.size()) {
            char c = text_[pos_];
            if (braced && c == '}') {
                token.text += '}';
                ++pos_;
                braced = false;
                continue;
            }
            if (IsSpace(c) || c == '{' || c == '}' || c == '=') break;
            CheckCharacter(c);
            if (c == '\'') Fail("quote inside the bare word '" + token.text + "'");
            if (c == '%') {
                ReadReplacement(token.text);
                continue;
            }
            token.text += c;
            ++pos_;
        }
    }

    std::string_view text_;
    std::span<const Replacement> replacements_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
};

std::optional<Root> RootFromName(std::string_view name) noexcept {
    struct Entry { const char* name; Root root; };
    static constexpr Entry kRoots[] = {
        {"HKCR", Root::ClassesRoot},  {"HKEY_CLASSES_ROOT", Root::ClassesRoot},
        {"HKLM", Root::LocalMachine}, {"HKEY_LOCAL_MACHINE", Root::LocalMachine},
        {"HKCU", Root::CurrentUser},  {"HKEY_CURRENT_USER", Root::CurrentUser},
        {"HKU", Root::Users},         {"HKEY_USERS", Root::Users},
    };
    for (const Entry& e : kRoots) {
        if (EqualNoCase(name, e.name)) return e.root;
    }
    return std::nullopt;
}

int HexDigit(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

class Parser {
public:
    Parser(std::string_view text, std::span<const Replacement> replacements) : lexer_(text, replacements) {
        Advance();
    }

    Script ParseScript() {
        Script script;
        while (current_.kind != TokenKind::End) {
            RootBlock block;
            Token name = Take();
            // A root may carry NoRemove: roots are never removed anyway.
            if (name.kind == TokenKind::Word && !name.quoted && EqualNoCase(name.text, "NoRemove")) name = Take();
            if (name.kind != TokenKind::Word) Fail(name, "a root key (HKCR, HKLM, HKCU, HKU) was expected");
            std::optional<Root> root = RootFromName(name.text);
            if (!root) Fail(name, "unknown root key '" + name.text + "'");
            block.root = *root;
            Expect(TokenKind::OpenBrace, "'{' after the root key");
            while (current_.kind != TokenKind::CloseBrace) {
                if (current_.kind == TokenKind::End) Fail(current_, "the root block has no closing '}'");
                if (IsWord(current_, "val")) Fail(current_, "a value cannot stand directly under a root key");
                block.keys.push_back(ParseKey(1));
            }
            Advance();
            script.roots.push_back(std::move(block));
        }
        return script;
    }

private:
    void Advance() { current_ = lexer_.Next(); }
    Token Take() {
        Token t = std::move(current_);
        Advance();
        return t;
    }
    [[noreturn]] static void Fail(const Token& at, std::string message) { throw Failure{at.line, std::move(message)}; }
    void Expect(TokenKind kind, const char* what) {
        if (current_.kind != kind) Fail(current_, std::string(what) + " was expected");
        Advance();
    }
    static bool IsWord(const Token& t, std::string_view word) noexcept {
        return t.kind == TokenKind::Word && !t.quoted && EqualNoCase(t.text, word);
    }

    Key ParseKey(std::size_t depth) {
        if (depth > kMaxKeyDepth) Fail(current_, "keys nested deeper than " + std::to_string(kMaxKeyDepth));
        Key key;
        if (IsWord(current_, "NoRemove")) {
            key.mark = KeyMark::NoRemove;
            Advance();
        } else if (IsWord(current_, "ForceRemove")) {
            key.mark = KeyMark::ForceRemove;
            Advance();
        } else if (IsWord(current_, "Delete")) {
            key.mark = KeyMark::Delete;
            Advance();
        }
        if (current_.kind != TokenKind::Word) Fail(current_, "a key name was expected");
        if (IsWord(current_, "val") || IsWord(current_, "NoRemove") || IsWord(current_, "ForceRemove") ||
            IsWord(current_, "Delete")) {
            Fail(current_, "'" + current_.text + "' cannot name a key unless quoted");
        }
        Token name = Take();
        if (name.text.empty()) Fail(name, "empty key name");
        if (name.text.size() > kMaxKeyNameLength) Fail(name, "key name longer than 255 characters");
        if (name.text.find('\\') != std::string::npos) Fail(name, "backslash in key name '" + name.text + "'");
        key.name = std::move(name.text);

        if (current_.kind == TokenKind::Equals) {
            Advance();
            key.values.push_back(ParseValueData(std::string()));
        }
        if (current_.kind == TokenKind::OpenBrace) {
            Advance();
            while (current_.kind != TokenKind::CloseBrace) {
                if (current_.kind == TokenKind::End) Fail(current_, "key '" + key.name + "' has no closing '}'");
                if (IsWord(current_, "val")) {
                    Advance();
                    if (current_.kind != TokenKind::Word) Fail(current_, "a value name was expected after 'val'");
                    Token valueName = Take();
                    Expect(TokenKind::Equals, "'=' after the value name");
                    Value value = ParseValueData(std::move(valueName.text));
                    PutValue(key, std::move(value));
                } else {
                    key.keys.push_back(ParseKey(depth + 1));
                }
            }
            Advance();
        }
        return key;
    }

    // A later value of the same name replaces an earlier one, as writing both would.
    static void PutValue(Key& key, Value value) {
        for (Value& existing : key.values) {
            if (EqualNoCase(existing.name, value.name)) {
                existing = std::move(value);
                return;
            }
        }
        if (value.name.empty()) {
            key.values.insert(key.values.begin(), std::move(value));
        } else {
            key.values.push_back(std::move(value));
        }
    }

    Value ParseValueData(std::string name) {
        Value value;
        value.name = std::move(name);
        if (current_.kind != TokenKind::Word || current_.quoted) Fail(current_, "a value type (s, e, d, b) was expected");
        Token type = Take();
        if (current_.kind != TokenKind::Word) Fail(current_, "value data was expected after the type");
        Token data = Take();
        if (EqualNoCase(type.text, "s")) {
            value.type = ValueType::String;
            value.text = std::move(data.text);
        } else if (EqualNoCase(type.text, "e")) {
            value.type = ValueType::ExpandString;
            value.text = std::move(data.text);
        } else if (EqualNoCase(type.text, "d")) {
            value.type = ValueType::Dword;
            value.number = ParseNumber(data);
        } else if (EqualNoCase(type.text, "b")) {
            value.type = ValueType::Binary;
            value.bytes = ParseBinary(data);
        } else {
            Fail(type, "unknown value type '" + type.text + "'");
        }
        if (value.text.find('\0') != std::string::npos) Fail(data, "NUL character in a value");
        return value;
    }

    static std::uint32_t ParseNumber(const Token& data) {
        std::string_view s = data.text;
        std::uint64_t n = 0;
        unsigned base = 10;
        if (s.size() > 2 && s[0] == '0' && Lower(s[1]) == 'x') {
            base = 16;
            s.remove_prefix(2);
        }
        if (s.empty()) Fail(data, "empty number");
        for (char c : s) {
            int digit = HexDigit(c);
            if (digit < 0 || static_cast<unsigned>(digit) >= base) Fail(data, "'" + data.text + "' is not a number");
            n = n * base + static_cast<unsigned>(digit);
            if (n > 0xFFFFFFFFull) Fail(data, "'" + data.text + "' does not fit in 32 bits");
        }
        return static_cast<std::uint32_t>(n);
    }

    static std::vector<std::uint8_t> ParseBinary(const Token& data) {
        const std::string& s = data.text;
        if (s.size() % 2 != 0) Fail(data, "binary data needs an even number of hexadecimal digits");
        std::vector<std::uint8_t> bytes;
        bytes.reserve(s.size() / 2);
        for (std::size_t i = 0; i < s.size(); i += 2) {
            int high = HexDigit(s[i]), low = HexDigit(s[i + 1]);
            if (high < 0 || low < 0) Fail(data, "'" + s + "' is not hexadecimal");
            bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        }
        return bytes;
    }

    Lexer lexer_;
    Token current_;
};

}  // namespace

bool Key::HoldsNoRemove() const noexcept {
    if (mark == KeyMark::NoRemove) return true;
    for (const Key& k : keys) {
        if (k.HoldsNoRemove()) return true;
    }
    return false;
}

bool ParseRegistryScript(std::string_view text, std::span<const Replacement> replacements, Script& out,
                         ParseError* error) {
    out.roots.clear();
    if (error) *error = ParseError{};
    try {
        out = Parser(text, replacements).ParseScript();
        return true;
    } catch (Failure& failure) {
        out.roots.clear();
        if (error) *error = ParseError{failure.line, std::move(failure.message)};
        return false;
    }
}

}  // namespace vnl::regscript
