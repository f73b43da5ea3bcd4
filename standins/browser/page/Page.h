// Pages: an address mapped onto the page root folder, the parsed document,
// its domain and design mode, and the pages of its frames loaded to a fixed
// depth. Loading never fails: what cannot be shown becomes an error page that
// says why. Free of Windows headers; the caller supplies file reading.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "Node.h"

namespace vnl::browser {

struct Page {
    std::wstring address;    // as navigated (absolute)
    std::wstring domain;     // host of an http address, lower case; empty for file: and about:
    std::wstring filePath;   // the file shown; empty for generated pages
    std::wstring error;      // non-empty for an error page: why the address could not be shown
    bool designMode = false; // the page asks for it with designmode="on" on HTML or BODY
    int depth = 0;           // 0 for the top page, 1 for its frames...
    std::unique_ptr<Node> document;
    Node* html = nullptr;
    Node* body = nullptr;    // BODY or FRAMESET

    // Frame elements (IFRAME, FRAME) in document order, each with its page.
    std::vector<Node*> Frames() const;
};

struct ResolvedAddress {
    bool ok = false;
    std::wstring address;    // absolute address
    std::wstring filePath;   // file under the page root (or the file: path)
    std::wstring domain;
    bool blank = false;      // about:blank
    std::wstring error;
};

// Maps `address` (absolute, or relative to `base`) to a file:
// http://HOST/PATH and https://HOST/PATH -> ROOT/HOST/PATH (index.html for a
// folder), file:///C:/x.html and C:\x.html -> that file, about:blank -> an
// empty page. Paths may not leave the page root. Separators in filePath are '/'.
ResolvedAddress ResolveAddress(std::wstring_view address, std::wstring_view base, std::wstring_view pageRoot);

struct LoadLimits {
    int maxFrameDepth = 8;                          // frames nested deeper are cut
    int maxFrames = 200;                            // frames per top-level load
    std::size_t maxPageBytes = 16u * 1024 * 1024;   // larger files give an error page
};

// Reads a whole file; on failure returns false and a reason.
using FileReader = std::function<bool(const std::wstring& path, std::size_t maxBytes, std::string& bytes,
                                      std::wstring& error)>;

class PageLoader {
public:
    PageLoader(std::wstring pageRoot, FileReader reader, LoadLimits limits = {});
    // The page at `address` with its frames. Never null.
    std::unique_ptr<Page> Load(std::wstring_view address);
    const std::wstring& PageRoot() const { return root_; }

private:
    std::unique_ptr<Page> LoadAt(std::wstring_view address, std::wstring_view base, int depth,
                                 std::wstring_view parentDomain);
    void LoadFrames(Page& page);

    std::wstring root_;
    FileReader reader_;
    LoadLimits limits_;
    int framesLoaded_ = 0;
};

// A page built from markup, for generated pages and tests.
std::unique_ptr<Page> MakePage(std::wstring_view markup, std::wstring_view address, std::wstring_view domain);
std::unique_ptr<Page> MakeErrorPage(std::wstring_view address, std::wstring_view domain, std::wstring_view reason);

}  // namespace vnl::browser
