// The stand-in browser's page model: the tolerant parser, addresses on the page
// root, inline and computed style, and loading pages with their frames.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "HtmlParser.h"
#include "Page.h"
#include "Text.h"

using namespace vnl::browser;

namespace {

// The element tree in a compact form: TAG[attr=value](children), text as "quoted".
std::wstring Outline(const Node& n) {
    std::wstring out;
    if (n.kind == NodeKind::Text) {
        const std::wstring t = CollapseSpace(n.text);
        return t.empty() ? L"" : L"\"" + t + L"\"";
    }
    if (n.kind == NodeKind::Comment) return L"!";
    if (n.kind == NodeKind::Element) {
        out = n.tag;
        for (const auto& a : n.attributes) out += L"[" + ToLower(a.name) + L"=" + a.value + L"]";
    }
    std::wstring inner;
    for (const auto& c : n.children) {
        const std::wstring o = Outline(*c);
        if (o.empty()) continue;
        if (!inner.empty()) inner += L",";
        inner += o;
    }
    if (!inner.empty()) out += L"(" + inner + L")";
    return out;
}

std::wstring BodyOutline(std::wstring_view markup) {
    auto page = MakePage(markup, L"http://test/", L"test");
    return page->body ? Outline(*page->body) : L"(no body)";
}

std::string Narrow(const std::wstring& w) { return WideToUtf8(w); }

}  // namespace

TEST(HtmlParser, TolerantCases) {
    struct Case { const wchar_t* markup; const wchar_t* body; };
    const Case cases[] = {
        {L"<html><body><p>hi</p></body></html>", L"BODY(P(\"hi\"))"},
        {L"<input type=TEXT id=a value=\"x&amp;y\">", L"BODY(INPUT[type=TEXT][id=a][value=x&y])"},
        {L"<div><p>one<p>two", L"BODY(DIV(P(\"one\"),P(\"two\")))"},
        {L"</span><b>x</b></i>", L"BODY(B(\"x\"))"},
        {L"<Blink-X foo>hi</blink-x>", L"BODY(BLINK-X[foo=](\"hi\"))"},
        {L"<!-- c --><div id=d></div><!-- never closed <p>", L"BODY(DIV[id=d])"},
        {L"<script src='a.js'>if (a<b && c>d) x('</p>');</script>",
         L"BODY(SCRIPT[src=a.js](\"if (a<b && c>d) x('</p>');\"))"},
        {L"<div a='1' a='2' b c=\"3\">t</div>", L"BODY(DIV[a=1][b=][c=3](\"t\"))"},
        {L"a < b &lt; c &#65;&#x42;&bogus;", L"BODY(\"a < b < c AB&bogus;\")"},
        {L"<input type=\"text", L"BODY(INPUT[type=text])"},
        {L"<div <span>x</span>", L"BODY(DIV(SPAN(\"x\")))"},
        {L"<textarea id=t>a &lt;b&gt; <i>c</i></textarea>", L"BODY(TEXTAREA[id=t](\"a <b> <i>c</i>\"))"},
        {L"<frameset><frame src=a.html></frameset>", L"FRAMESET(FRAME[src=a.html])"},
        {L"", L"BODY"},
        {L"\xFFFD<\x01<>>", L"BODY(\"\xFFFD<\x01<>>\")"},
    };
    for (const Case& c : cases) EXPECT_EQ(Narrow(BodyOutline(c.markup)), Narrow(c.body)) << Narrow(c.markup);
}

TEST(HtmlParser, FieldValuesAndDesignMode) {
    auto page = MakePage(L"<body designMode=ON><input id=i value='v1'><textarea id=t>long\ntext</textarea>",
                         L"http://a/", L"a");
    EXPECT_TRUE(page->designMode);
    EXPECT_EQ(FindById(page->document.get(), L"i")->value, L"v1");
    EXPECT_EQ(FindById(page->document.get(), L"t")->value, L"long\ntext");
    EXPECT_FALSE(MakePage(L"<body designmode=off>", L"http://a/", L"a")->designMode);
}

TEST(HtmlParser, DeepNestingAndHugeInputStayBounded) {
    std::wstring deep;
    for (int i = 0; i < 20000; ++i) deep += L"<div>";
    deep += L"<input id=end>";
    auto page = MakePage(deep, L"http://a/", L"a");
    int depth = 0;
    for (Node* n = FindById(page->document.get(), L"end"); n; n = n->parent) ++depth;
    EXPECT_LE(depth, kMaxNesting + 5);
    EXPECT_EQ(ElementsByTag(page->document.get(), L"DIV").size(), 20000u);

    std::wstring big = L"<body>";
    while (big.size() < 5u * 1024 * 1024) big += L"<p class=x>Lorem <b>ipsum</b> &amp; dolor</p>\n";
    big += L"<input id=last>";
    auto bigPage = MakePage(big, L"http://a/", L"a");
    EXPECT_NE(FindById(bigPage->document.get(), L"last"), nullptr);
}

TEST(Address, MapsOntoThePageRoot) {
    struct Case { const wchar_t* address; const wchar_t* base; const wchar_t* file; const wchar_t* domain; };
    const Case good[] = {
        {L"http://Bank.Example/login.html", L"", L"C:/root/bank.example/login.html", L"bank.example"},
        {L"http://bank.example", L"", L"C:/root/bank.example/index.html", L"bank.example"},
        {L"https://bank.example:8443/a/?q=1#f", L"", L"C:/root/bank.example/a/index.html", L"bank.example"},
        {L"http://h/a/./b/../c%20d.html", L"", L"C:/root/h/a/c d.html", L"h"},
        {L"frame.html", L"http://h/dir/page.html", L"C:/root/h/dir/frame.html", L"h"},
        {L"/top.html", L"http://h/dir/page.html", L"C:/root/h/top.html", L"h"},
        {L"http://other/x.html", L"http://h/dir/page.html", L"C:/root/other/x.html", L"other"},
        {L"file:///C:/pages/a.html", L"", L"C:/pages/a.html", L""},
        {L"C:\\pages\\b.html", L"", L"C:/pages/b.html", L""},
        {L"sub/c.html", L"file:///C:/pages/a.html", L"C:/pages/sub/c.html", L""},
    };
    for (const Case& c : good) {
        const ResolvedAddress r = ResolveAddress(c.address, c.base, L"C:\\root\\");
        EXPECT_TRUE(r.ok) << Narrow(c.address) << ": " << Narrow(r.error);
        EXPECT_EQ(Narrow(r.filePath), Narrow(c.file)) << Narrow(c.address);
        EXPECT_EQ(Narrow(r.domain), Narrow(c.domain)) << Narrow(c.address);
    }
    EXPECT_TRUE(ResolveAddress(L"about:blank", L"", L"C:/root").blank);
    const wchar_t* bad[] = {L"", L"   ", L"ftp://h/x", L"javascript:alert(1)", L"http:///x", L"http://h/../../etc",
                            L"http://bad host/", L"relative.html", L"http://h%2F/x"};
    for (const wchar_t* a : bad) {
        const ResolvedAddress r = ResolveAddress(a, L"", L"C:/root");
        EXPECT_FALSE(r.ok) << Narrow(a);
        EXPECT_FALSE(r.error.empty()) << Narrow(a);
    }
}

TEST(InlineStyle, ReadsBackAsTheBrowserDoes) {
    struct Case { const wchar_t* css; const wchar_t* property; const wchar_t* value; };
    const Case cases[] = {
        {L"BACKGROUND-COLOR: #CCFFCC", L"background-color", L"#ccffcc"},
        {L"background: #FFF url(Img/A.PNG) no-repeat", L"background-color", L"#fff"},
        {L"background: #FFF url(Img/A.PNG) no-repeat", L"background-image", L"url(Img/A.PNG)"},
        {L"background-image: NONE", L"background-image", L"none"},
        {L"border:  3px   DASHED red ;display:NONE", L"border", L"3px dashed red"},
        {L"border:  3px   DASHED red ;display:NONE", L"display", L"none"},
        {L"filter: alpha(opacity=0); color: red", L"filter", L"alpha(opacity=0)"},
        {L"filter: progid:DXImageTransform.Microsoft.Alpha(Opacity=0)", L"filter",
         L"progid:DXImageTransform.Microsoft.Alpha(Opacity=0)"},
        {L"color red; :x; y:; display: block", L"display", L"block"},
        {L"color: red; color: blue", L"color", L"blue"},
        {L"", L"display", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(Narrow(InlineStyle(c.css).Get(c.property)), Narrow(c.value)) << Narrow(c.css);

    InlineStyle style(L"display: none; filter: alpha(opacity=0)");
    style.Set(L"filter", L"");
    style.Set(L"border", L"3px dashed red");
    EXPECT_EQ(Narrow(style.CssText()), "DISPLAY: none; BORDER: 3px dashed red");
}

TEST(InlineStyle, ComputedStyleFallsBackToDefaults) {
    const InlineStyle none;
    EXPECT_EQ(ComputedStyleValue(L"INPUT", none, L"background-color"), L"transparent");
    EXPECT_EQ(ComputedStyleValue(L"INPUT", none, L"background-image"), L"none");
    EXPECT_EQ(ComputedStyleValue(L"DIV", none, L"display"), L"block");
    EXPECT_EQ(ComputedStyleValue(L"SPAN", none, L"display"), L"inline");
    EXPECT_EQ(ComputedStyleValue(L"SCRIPT", none, L"display"), L"none");
    EXPECT_EQ(ComputedStyleValue(L"INPUT", InlineStyle(L"background-color:#ABCDEF"), L"background-color"), L"#abcdef");
}

namespace {

// A page root in memory.
struct MemoryRoot {
    std::map<std::wstring, std::string> files;
    int reads = 0;
    FileReader Reader() {
        return [this](const std::wstring& path, std::size_t maxBytes, std::string& bytes, std::wstring& error) {
            ++reads;
            auto it = files.find(path);
            if (it == files.end()) { error = L"the file does not exist"; return false; }
            if (it->second.size() > maxBytes) { error = L"the page is too large"; return false; }
            bytes = it->second;
            return true;
        };
    }
};

std::wstring Text(const Page& page) { return CollapseSpace(page.body ? page.body->TextContent() : L""); }

}  // namespace

TEST(PageLoader, NestedFramesKeepTheirDomainsAndOrder) {
    MemoryRoot root;
    root.files[L"C:/r/a.test/index.html"] =
        "<iframe id=f1 src='one.html'></iframe><object id=plugin classid='clsid:x'></object>"
        "<iframe id=f2 src='http://b.test/two.html'></iframe><iframe id=f3></iframe>";
    root.files[L"C:/r/a.test/one.html"] = "<frameset><frame id=inner src='/inner.html'></frameset>";
    root.files[L"C:/r/a.test/inner.html"] = "<input id=deep type=password>";
    root.files[L"C:/r/b.test/two.html"] = "<body>two</body>";
    PageLoader loader(L"C:/r", root.Reader());
    auto page = loader.Load(L"http://a.test/");
    ASSERT_TRUE(page->error.empty());
    const auto frames = page->Frames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0]->Id(), L"f1");
    EXPECT_EQ(frames[0]->framePage->domain, L"a.test");
    EXPECT_EQ(frames[1]->framePage->domain, L"b.test");
    EXPECT_EQ(Text(*frames[1]->framePage), L"two");
    EXPECT_EQ(frames[2]->framePage->address, L"about:blank");
    EXPECT_EQ(frames[2]->framePage->domain, L"a.test");
    const auto inner = frames[0]->framePage->Frames();
    ASSERT_EQ(inner.size(), 1u);
    EXPECT_EQ(inner[0]->framePage->depth, 2);
    EXPECT_NE(FindById(inner[0]->framePage->document.get(), L"deep"), nullptr);
}

TEST(PageLoader, BadInputGivesErrorPagesNotFailures) {
    MemoryRoot root;
    root.files[L"C:/r/h/self.html"] = "<p>level</p><iframe src='self.html'></iframe>";
    root.files[L"C:/r/h/fan.html"] = "<iframe src=fan.html></iframe><iframe src=fan.html></iframe><iframe src=fan.html></iframe>";
    root.files[L"C:/r/h/huge.html"] = std::string(17 * 1024 * 1024, 'x');
    root.files[L"C:/r/h/broken.html"] = "<html><body><div <<<>>> \xFF\xFE <iframe src=missing.html";
    PageLoader loader(L"C:/r", root.Reader());

    // A frame that shows its own page is cut at the fixed depth, and the cut shows.
    auto self = loader.Load(L"http://h/self.html");
    int depth = 0;
    const Page* p = self.get();
    while (!p->Frames().empty() && p->error.empty()) {
        p = p->Frames()[0]->framePage.get();
        ++depth;
    }
    EXPECT_EQ(depth, LoadLimits{}.maxFrameDepth + 1);
    EXPECT_NE(Narrow(Text(*p)).find("Frame cut"), std::string::npos);

    // Three frames of itself each: the frame budget ends it.
    root.reads = 0;
    auto fan = loader.Load(L"http://h/fan.html");
    EXPECT_LE(root.reads, LoadLimits{}.maxFrames + 1);

    const std::pair<const wchar_t*, const char*> errors[] = {
        {L"http://h/missing.html", "does not exist"},
        {L"http://h/huge.html", "too large"},
        {L"gopher://h/", "not supported"},
        {L"http://h/../../x", "leaves the page root"},
    };
    for (const auto& [address, reason] : errors) {
        auto page = loader.Load(address);
        EXPECT_NE(Narrow(page->error).find(reason), std::string::npos) << Narrow(address);
        EXPECT_NE(Narrow(Text(*page)).find(reason), std::string::npos) << Narrow(address);
    }
    auto broken = loader.Load(L"http://h/broken.html");
    EXPECT_TRUE(broken->error.empty());
    ASSERT_EQ(broken->Frames().size(), 1u);
    EXPECT_FALSE(broken->Frames()[0]->framePage->error.empty());
}
