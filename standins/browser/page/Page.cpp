#include "Page.h"

#include <vector>

#include "HtmlParser.h"
#include "Text.h"

namespace vnl::browser {

namespace {

std::wstring Escape(std::wstring_view text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'<') out += L"&lt;";
        else if (c == L'>') out += L"&gt;";
        else if (c == L'&') out += L"&amp;";
        else if (c == L'"') out += L"&quot;";
        else out.push_back(c);
    }
    return out;
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

std::wstring PercentDecode(std::wstring_view text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
            out.push_back(static_cast<wchar_t>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// Joins path segments, resolving "." and ".."; false when ".." climbs above the start.
bool NormalisePath(std::wstring_view path, std::wstring& out) {
    std::vector<std::wstring> segments;
    size_t i = 0;
    while (i <= path.size()) {
        size_t end = path.find_first_of(L"/\\", i);
        if (end == std::wstring_view::npos) end = path.size();
        const std::wstring_view seg = path.substr(i, end - i);
        if (seg == L"..") {
            if (segments.empty()) return false;
            segments.pop_back();
        } else if (!seg.empty() && seg != L".") {
            segments.emplace_back(seg);
        }
        i = end + 1;
    }
    out.clear();
    for (const auto& s : segments) {
        if (!out.empty()) out += L'/';
        out += s;
    }
    return true;
}

bool IsDrivePath(std::wstring_view a) {
    return a.size() >= 3 && ((a[0] >= L'A' && a[0] <= L'Z') || (a[0] >= L'a' && a[0] <= L'z')) && a[1] == L':' &&
           (a[2] == L'\\' || a[2] == L'/');
}

std::wstring_view StripQuery(std::wstring_view a) {
    const size_t q = a.find_first_of(L"?#");
    return q == std::wstring_view::npos ? a : a.substr(0, q);
}

ResolvedAddress Fail(std::wstring_view address, std::wstring reason) {
    ResolvedAddress r;
    r.address = address;
    r.error = std::move(reason);
    return r;
}

ResolvedAddress ResolveHttp(std::wstring_view address, std::wstring_view pageRoot) {
    const size_t schemeEnd = address.find(L"://") + 3;
    std::wstring_view rest = address.substr(schemeEnd);
    size_t hostEnd = rest.find_first_of(L"/?#");
    if (hostEnd == std::wstring_view::npos) hostEnd = rest.size();
    std::wstring host = ToLower(rest.substr(0, hostEnd));
    if (const size_t at = host.rfind(L'@'); at != std::wstring::npos) host.erase(0, at + 1);
    if (const size_t colon = host.find(L':'); colon != std::wstring::npos) host.erase(colon);
    if (host.empty()) return Fail(address, L"the address names no host");
    for (wchar_t c : host)
        if (!((c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'.' || c == L'-' || c == L'_'))
            return Fail(address, L"the host name is not valid");
    if (host.find_first_not_of(L'.') == std::wstring::npos) return Fail(address, L"the host name is not valid");
    std::wstring_view path = StripQuery(rest.substr(hostEnd));
    std::wstring decoded = PercentDecode(path);
    std::wstring clean;
    if (!NormalisePath(decoded, clean)) return Fail(address, L"the path leaves the page root");
    if (clean.empty() || decoded.ends_with(L'/') || decoded.ends_with(L'\\')) clean += clean.empty() ? L"index.html" : L"/index.html";
    ResolvedAddress r;
    r.ok = true;
    r.address = std::wstring(address.substr(0, schemeEnd)) + host + (path.empty() ? std::wstring(L"/") : std::wstring(path));
    r.domain = host;
    std::wstring root(pageRoot);
    for (auto& c : root) if (c == L'\\') c = L'/';
    while (root.ends_with(L'/')) root.pop_back();
    r.filePath = root + L"/" + host + L"/" + clean;
    return r;
}

ResolvedAddress ResolveFile(std::wstring_view address) {
    std::wstring_view p = address;
    if (StartsWithNoCase(p, L"file:")) {
        p.remove_prefix(5);
        while (!p.empty() && (p[0] == L'/' || p[0] == L'\\')) p.remove_prefix(1);
    }
    std::wstring path = PercentDecode(StripQuery(p));
    for (auto& c : path) if (c == L'\\') c = L'/';
    if (!IsDrivePath(path)) return Fail(address, L"a file address needs a drive path");
    ResolvedAddress r;
    r.ok = true;
    r.filePath = path;
    r.address = L"file:///" + path;
    return r;
}

bool HasScheme(std::wstring_view a) {
    const size_t colon = a.find(L':');
    if (colon == std::wstring_view::npos || colon < 2) return false;
    for (size_t i = 0; i < colon; ++i) {
        const wchar_t c = a[i];
        if (!((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'+' ||
              c == L'-' || c == L'.'))
            return false;
    }
    return true;
}

}  // namespace

std::vector<Node*> Page::Frames() const {
    std::vector<Node*> out;
    if (!document) return out;
    WalkElements(document.get(), [&](Node* n) {
        if (n->IsFrame()) out.push_back(n);
        return true;
    });
    return out;
}

ResolvedAddress ResolveAddress(std::wstring_view input, std::wstring_view base, std::wstring_view pageRoot) {
    const std::wstring address = Trim(input);
    if (address.empty()) return Fail(address, L"the address is empty");
    if (EqualsNoCase(address, L"about:blank")) {
        ResolvedAddress r;
        r.ok = true;
        r.blank = true;
        r.address = L"about:blank";
        return r;
    }
    if (StartsWithNoCase(address, L"http://") || StartsWithNoCase(address, L"https://"))
        return ResolveHttp(address, pageRoot);
    if (StartsWithNoCase(address, L"file:") || IsDrivePath(address)) return ResolveFile(address);
    if (HasScheme(address)) return Fail(address, L"the address scheme is not supported");
    // Relative to the base address.
    if (base.empty() || EqualsNoCase(base, L"about:blank")) return Fail(address, L"a relative address needs a page");
    std::wstring_view b = StripQuery(base);
    if (StartsWithNoCase(b, L"http://") || StartsWithNoCase(b, L"https://")) {
        const size_t hostStart = b.find(L"://") + 3;
        size_t pathStart = b.find(L'/', hostStart);
        if (pathStart == std::wstring_view::npos) pathStart = b.size();
        if (address.starts_with(L'/'))
            return ResolveHttp(std::wstring(b.substr(0, pathStart)) + address, pageRoot);
        const size_t lastSlash = b.rfind(L'/');
        std::wstring dir = lastSlash != std::wstring_view::npos && lastSlash >= pathStart
                               ? std::wstring(b.substr(0, lastSlash + 1))
                               : std::wstring(b) + L"/";
        return ResolveHttp(dir + address, pageRoot);
    }
    if (StartsWithNoCase(b, L"file:")) {
        const size_t lastSlash = b.find_last_of(L"/\\");
        if (address.starts_with(L'/') || address.starts_with(L'\\'))
            return Fail(address, L"a rooted path needs a drive");
        std::wstring joined = std::wstring(b.substr(0, lastSlash + 1)) + address;
        std::wstring path = std::wstring(joined.substr(5));
        while (!path.empty() && (path[0] == L'/' || path[0] == L'\\')) path.erase(0, 1);
        std::wstring clean;
        if (path.size() < 3 || !NormalisePath(path.substr(3), clean)) return Fail(address, L"the path is not valid");
        return ResolveFile(L"file:///" + path.substr(0, 3) + clean);
    }
    return Fail(address, L"the address cannot be resolved");
}

std::unique_ptr<Page> MakePage(std::wstring_view markup, std::wstring_view address, std::wstring_view domain) {
    auto page = std::make_unique<Page>();
    page->address = address;
    page->domain = domain;
    page->document = ParseHtml(markup);
    for (auto& c : page->document->children)
        if (c->Is(L"HTML")) page->html = c.get();
    WalkElements(page->html, [&](Node* n) {
        if (n->Is(L"BODY") || n->Is(L"FRAMESET")) { page->body = n; return false; }
        return true;
    });
    for (Node* n : {page->html, page->body}) {
        if (n && EqualsNoCase(Trim(n->GetAttribute(L"designmode").value_or(L"")), L"on")) page->designMode = true;
    }
    return page;
}

std::unique_ptr<Page> MakeErrorPage(std::wstring_view address, std::wstring_view domain, std::wstring_view reason) {
    std::wstring markup = L"<html><head><title>Cannot show the page</title></head><body>"
                          L"<h1>Cannot show the page</h1><p id=\"vnl-error-address\">" +
                          Escape(address) + L"</p><p id=\"vnl-error\">" + Escape(reason) + L"</p></body></html>";
    auto page = MakePage(markup, address, domain);
    page->error = reason;
    return page;
}

PageLoader::PageLoader(std::wstring pageRoot, FileReader reader, LoadLimits limits)
    : root_(std::move(pageRoot)), reader_(std::move(reader)), limits_(limits) {}

std::unique_ptr<Page> PageLoader::Load(std::wstring_view address) {
    framesLoaded_ = 0;
    return LoadAt(address, L"", 0, L"");
}

std::unique_ptr<Page> PageLoader::LoadAt(std::wstring_view address, std::wstring_view base, int depth,
                                         std::wstring_view parentDomain) {
    const ResolvedAddress r = ResolveAddress(address, base, root_);
    std::unique_ptr<Page> page;
    if (!r.ok) {
        page = MakeErrorPage(r.address, L"", r.error);
    } else if (r.blank) {
        page = MakePage(L"<html><body></body></html>", r.address, parentDomain);
    } else {
        std::string bytes;
        std::wstring error;
        if (!reader_ || !reader_(r.filePath, limits_.maxPageBytes, bytes, error)) {
            page = MakeErrorPage(r.address, r.domain, error.empty() ? L"the page cannot be read" : error);
        } else {
            std::string_view text = bytes;
            if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
            page = MakePage(Utf8ToWide(text), r.address, r.domain);
            page->filePath = r.filePath;
        }
    }
    page->depth = depth;
    LoadFrames(*page);
    return page;
}

void PageLoader::LoadFrames(Page& page) {
    for (Node* frame : page.Frames()) {
        const std::wstring src = Trim(frame->GetAttribute(L"src").value_or(L""));
        if (page.depth + 1 > limits_.maxFrameDepth) {
            frame->framePage = MakeErrorPage(src, L"", L"Frame cut: frames nested deeper than " +
                                                           std::to_wstring(limits_.maxFrameDepth) + L" levels are not loaded");
            frame->framePage->depth = page.depth + 1;
            continue;
        }
        if (framesLoaded_ >= limits_.maxFrames) {
            frame->framePage = MakeErrorPage(src, L"", L"Frame cut: a page loads at most " +
                                                           std::to_wstring(limits_.maxFrames) + L" frames");
            frame->framePage->depth = page.depth + 1;
            continue;
        }
        ++framesLoaded_;
        frame->framePage = LoadAt(src.empty() ? L"about:blank" : src, page.address, page.depth + 1, page.domain);
    }
}

}  // namespace vnl::browser
