// The stand-in browser: its object model driven in-process, and iexplore.exe
// loading the tests' own band (registered with regsvr32, listed under
// "Toolbar"), firing its events in the browser's order and taking typed
// keys through the stand-in keyboard.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "BenchPaths.h"
#include "BrowserDriver.h"
#include "DriverControl.h"
#include "Process.h"
#include "Registry.h"
#include "Windows.h"
#include "SinkConnection.h"
#include "EventIds.h"
#include "WebBrowser.h"

using namespace vnl::browser;

namespace {

// A page root in a temporary folder with the given files.
class PageRoot {
public:
    PageRoot() {
        char temp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, temp);
        root_ = std::string(temp) + "vnl-pages-" + std::to_string(::GetCurrentProcessId()) + "-" +
                std::to_string(::GetTickCount());
        ::CreateDirectoryA(root_.c_str(), nullptr);
    }
    ~PageRoot() { RemoveTree(root_); }
    void Write(const std::string& relative, const std::string& content) {
        std::string path = root_;
        size_t i = 0;
        while (true) {
            const size_t slash = relative.find('/', i);
            if (slash == std::string::npos) break;
            path = root_ + "\\" + relative.substr(0, slash);
            for (auto& c : path) if (c == '/') c = '\\';
            ::CreateDirectoryA(path.c_str(), nullptr);
            i = slash + 1;
        }
        std::string file = root_ + "\\" + relative;
        for (auto& c : file) if (c == '/') c = '\\';
        std::ofstream(file, std::ios::binary) << content;
    }
    const std::string& Path() const { return root_; }
    std::wstring WidePath() const { return std::wstring(root_.begin(), root_.end()); }

private:
    static void RemoveTree(const std::string& dir) {
        WIN32_FIND_DATAA found;
        HANDLE find = ::FindFirstFileA((dir + "\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = found.cFileName;
                if (name == "." || name == "..") continue;
                const std::string path = dir + "\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path);
                else ::DeleteFileA(path.c_str());
            } while (::FindNextFileA(find, &found));
            ::FindClose(find);
        }
        ::RemoveDirectoryA(dir.c_str());
    }
    std::string root_;
};

const char* const kShopIndex =
    "<html><head><title>Shop</title><script src='js/SpryValidationTextField.js'></script>"
    "<script>var a = new Spry.Widget.ValidationTextField('card', 'none');</script></head>"
    "<body><input id=name type=text><input id=pass type=PASSWORD style='background-color:#FFFFFF'>"
    "<iframe id=f1 src='one.html'></iframe><object id=plugin classid='clsid:0'></object>"
    "<iframe id=f2 src='http://ads.test/two.html' style='filter:alpha(opacity=0)'></iframe></body></html>";
const char* const kShopOne = "<body><iframe id=inner src='inner.html'></iframe></body>";
const char* const kShopInner = "<body designmode=on><div id=edit contenteditable=true>x</div></body>";
const char* const kAdsTwo = "<body><textarea id=note></textarea></body>";

void WriteShop(PageRoot& root) {
    root.Write("shop.test/index.html", kShopIndex);
    root.Write("shop.test/one.html", kShopOne);
    root.Write("shop.test/inner.html", kShopInner);
    root.Write("ads.test/two.html", kAdsTwo);
}

// Records the events a browser fires at it.
class RecordingSink : public vnl::ComObjectRoot, public IDispatch {
public:
    VNL_BEGIN_INTERFACE_MAP(RecordingSink)
        VNL_INTERFACE_ENTRY(IDispatch)
    VNL_END_INTERFACE_MAP()

    std::vector<std::string>* log = nullptr;
    std::string name;
    IDispatch* top = nullptr;
    LONG changeKeyTo = 0;       // a keypress gets this key code when non-zero
    bool answerFalse = false;   // Invoke's result is the boolean false
    bool stopBubble = false;

    STDMETHODIMP GetTypeInfoCount(UINT* c) noexcept override { *c = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) noexcept override {
        auto first = [&]() { return &params->rgvarg[params->cArgs - 1]; };
        if (dispid == 252 || dispid == 259) {
            VARIANT* url = params->rgvarg[0].pvarVal;
            std::wstring w(url->bstrVal, ::SysStringLen(url->bstrVal));
            log->push_back(std::string(dispid == 252 ? "NC " : "DC ") + (first()->pdispVal == top ? "top " : "frame ") +
                           std::string(w.begin(), w.end()));
            return S_OK;
        }
        if (dispid == 250) { log->push_back("BN"); return S_OK; }
        vnl::ComPtr<IHTMLEventObj> event;
        first()->pdispVal->QueryInterface(IID_IHTMLEventObj, event.put_void());
        vnl::ComPtr<IHTMLElement> source;
        event->get_srcElement(source.put());
        BSTR id = nullptr;
        source->get_id(&id);
        std::wstring w(id ? id : L"");
        ::SysFreeString(id);
        LONG code = 0;
        event->get_keyCode(&code);
        log->push_back(name + " " + std::to_string(dispid) + " " + std::string(w.begin(), w.end()) +
                       (dispid == -603 ? " " + std::to_string(code) : ""));
        if (dispid == -603) {
            if (changeKeyTo) event->put_keyCode(changeKeyTo);
            if (stopBubble) event->put_cancelBubble(VARIANT_TRUE);
            if (answerFalse && result) { result->vt = VT_BOOL; result->boolVal = VARIANT_FALSE; }
        }
        return S_OK;
    }
};

vnl::ComPtr<vnl::ComObject<RecordingSink>> MakeSink(std::vector<std::string>* log, const std::string& name) {
    vnl::ComObject<RecordingSink>* sink = nullptr;
    vnl::ComObject<RecordingSink>::CreateInstance(&sink);
    sink->log = log;
    sink->name = name;
    vnl::ComPtr<vnl::ComObject<RecordingSink>> out;
    out.attach(sink);
    return out;
}

class ObjectModel : public ::testing::Test {
protected:
    void SetUp() override {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        WriteShop(root_);
        browser_ = MakeWebBrowser(PageLoader(root_.WidePath(), ReadPageFile), nullptr);
        ASSERT_TRUE(browser_);
    }
    void TearDown() override {
        browser_->Close();
        browser_.reset();
        ::CoUninitialize();
    }
    vnl::ComPtr<IHTMLDocument2> Document() {
        vnl::ComPtr<IDispatch> d;
        browser_->get_Document(d.put());
        vnl::ComPtr<IHTMLDocument2> doc;
        if (d) d.query_to(doc);
        return doc;
    }
    PageRoot root_;
    vnl::ComPtr<vnl::ComObject<CWebBrowser>> browser_;
};

}  // namespace

TEST_F(ObjectModel, NavigationEventsComeInTheBrowsersOrder) {
    std::vector<std::string> log;
    auto sink = MakeSink(&log, "browser");
    sink->top = browser_->Dispatch();
    vnl::SinkConnection connection;
    ASSERT_HRESULT_SUCCEEDED(connection.Advise(browser_->Interface(), kDiidDWebBrowserEvents2, static_cast<IDispatch*>(sink.get())));
    ASSERT_TRUE(browser_->NavigateTo(L"http://shop.test/index.html"));
    const std::vector<std::string> expected = {
        "BN",
        "NC top http://shop.test/index.html",
        "NC frame http://shop.test/one.html",
        "NC frame http://shop.test/inner.html",
        "NC frame http://ads.test/two.html",
        "DC frame http://shop.test/inner.html",
        "DC frame http://shop.test/one.html",
        "DC frame http://ads.test/two.html",
        "DC top http://shop.test/index.html",
    };
    EXPECT_EQ(log, expected);
}

TEST_F(ObjectModel, PageObjectsAnswerAsTheBandReadsThem) {
    ASSERT_TRUE(browser_->NavigateTo(L"http://shop.test/index.html"));
    auto doc = Document();
    ASSERT_TRUE(doc);
    BSTR text = nullptr;
    doc->get_domain(&text);
    EXPECT_STREQ(text, L"shop.test");
    ::SysFreeString(text);

    // Embedded objects: two frames (web browsers with documents) and a plug-in (not a browser).
    vnl::ComPtr<IOleContainer> container;
    ASSERT_HRESULT_SUCCEEDED(doc.query_to(container));
    vnl::ComPtr<IEnumUnknown> objects;
    ASSERT_HRESULT_SUCCEEDED(container->EnumObjects(OLECONTF_EMBEDDINGS, objects.put()));
    std::vector<std::wstring> kinds;
    vnl::ComPtr<IUnknown> object;
    vnl::ComPtr<IWebBrowser2> secondFrame;
    while (objects->Next(1, object.put(), nullptr) == S_OK) {
        vnl::ComPtr<IWebBrowser2> frame;
        if (FAILED(object.query_to(frame))) { kinds.push_back(L"plug-in"); continue; }
        vnl::ComPtr<IDispatch> frameDoc;
        frame->get_Document(frameDoc.put());
        vnl::ComPtr<IHTMLDocument2> frameHtml;
        ASSERT_HRESULT_SUCCEEDED(frameDoc.query_to(frameHtml));
        BSTR url = nullptr;
        frameHtml->get_URL(&url);
        kinds.push_back(url);
        ::SysFreeString(url);
        secondFrame = frame;
    }
    EXPECT_EQ(kinds, (std::vector<std::wstring>{L"http://shop.test/one.html", L"plug-in", L"http://ads.test/two.html"}));

    // A frame's browser is its frame element; the inline filter reads back.
    vnl::ComPtr<IHTMLElement> frameElement;
    ASSERT_HRESULT_SUCCEEDED(secondFrame.query_to(frameElement));
    vnl::ComPtr<IHTMLStyle> style;
    ASSERT_HRESULT_SUCCEEDED(frameElement->get_style(style.put()));
    style->get_filter(&text);
    EXPECT_STREQ(text, L"alpha(opacity=0)");
    ::SysFreeString(text);
    BSTR none = ::SysAllocString(L"");
    style->put_filter(none);
    BSTR border = ::SysAllocString(L"3px  dashed RED");
    style->put_border(border);
    ::SysFreeString(none);
    ::SysFreeString(border);
    style->get_border(&text);
    EXPECT_STREQ(text, L"3px dashed red");
    ::SysFreeString(text);
    style->get_filter(&text);
    EXPECT_EQ(text, nullptr);

    // Identity: the same element gives the same pointer, the style attribute is the style object.
    vnl::ComPtr<IHTMLElement> again;
    ASSERT_HRESULT_SUCCEEDED(secondFrame.query_to(again));
    EXPECT_EQ(again.get(), frameElement.get());
    VARIANT styleAttribute;
    BSTR styleName = ::SysAllocString(L"STYLE");
    frameElement->getAttribute(styleName, 0, &styleAttribute);
    ::SysFreeString(styleName);
    ASSERT_EQ(styleAttribute.vt, VT_DISPATCH);
    vnl::ComPtr<IHTMLStyle> fromAttribute;
    styleAttribute.pdispVal->QueryInterface(IID_IHTMLStyle, fromAttribute.put_void());
    EXPECT_EQ(fromAttribute.get(), style.get());
    ::VariantClear(&styleAttribute);

    // Inputs answer IHTMLInputElement with the lower-case type; computed style falls back to defaults.
    CHtmlElement* pass = browser_->FindElement(L"pass");
    ASSERT_NE(pass, nullptr);
    vnl::ComPtr<IHTMLInputElement> input;
    ASSERT_HRESULT_SUCCEEDED(pass->Interface()->QueryInterface(IID_IHTMLInputElement, input.put_void()));
    input->get_type(&text);
    EXPECT_STREQ(text, L"password");
    ::SysFreeString(text);
    vnl::ComPtr<IHTMLElement2> pass2;
    ASSERT_HRESULT_SUCCEEDED(pass->Interface()->QueryInterface(IID_IHTMLElement2, pass2.put_void()));
    vnl::ComPtr<IHTMLCurrentStyle> current;
    ASSERT_HRESULT_SUCCEEDED(pass2->get_currentStyle(current.put()));
    VARIANT colour;
    current->get_backgroundColor(&colour);
    EXPECT_STREQ(colour.bstrVal, L"#ffffff");
    ::VariantClear(&colour);
    current->get_backgroundImage(&text);
    EXPECT_STREQ(text, L"none");
    ::SysFreeString(text);
    vnl::ComPtr<IHTMLElement> name(browser_->FindElement(L"name")->Interface());
    EXPECT_NE(name->QueryInterface(IID_IHTMLScriptElement, reinterpret_cast<void**>(&text)), S_OK);

    // Scripts: source address and inline text, never run.
    vnl::ComPtr<IHTMLElementCollection> scripts;
    ASSERT_HRESULT_SUCCEEDED(doc->get_scripts(scripts.put()));
    LONG count = 0;
    scripts->get_length(&count);
    ASSERT_EQ(count, 2);
    VARIANT index;
    index.vt = VT_I4;
    index.lVal = 1;
    vnl::ComPtr<IDispatch> item;
    ASSERT_HRESULT_SUCCEEDED(scripts->item(index, index, item.put()));
    vnl::ComPtr<IHTMLScriptElement> script;
    ASSERT_HRESULT_SUCCEEDED(item.query_to(script));
    script->get_text(&text);
    EXPECT_NE(std::wstring(text).find(L"ValidationTextField('card'"), std::wstring::npos);
    ::SysFreeString(text);

    // Design mode comes from the page's own attribute.
    CHtmlElement* edit = browser_->FindElement(L"edit");
    ASSERT_NE(edit, nullptr);
    edit->Document()->get_designMode(&text);
    EXPECT_STREQ(text, L"On");
    ::SysFreeString(text);
    doc->get_designMode(&text);
    EXPECT_STREQ(text, L"Inherit");
    ::SysFreeString(text);
}

TEST_F(ObjectModel, FocusAndKeypressFollowTheBrowsersRules) {
    ASSERT_TRUE(browser_->NavigateTo(L"http://shop.test/index.html"));
    std::vector<std::string> log;
    auto docSink = MakeSink(&log, "doc");
    auto nameSink = MakeSink(&log, "name");
    auto passSink = MakeSink(&log, "pass");
    vnl::SinkConnection docConnection, nameConnection, passConnection;
    ASSERT_HRESULT_SUCCEEDED(docConnection.Advise(Document().get(), kDiidHtmlDocumentEvents2, static_cast<IDispatch*>(docSink.get())));
    CHtmlElement* name = browser_->FindElement(L"name");
    CHtmlElement* pass = browser_->FindElement(L"pass");
    ASSERT_HRESULT_SUCCEEDED(nameConnection.Advise(name->Interface(), kDiidHtmlInputTextElementEvents2, static_cast<IDispatch*>(nameSink.get())));
    ASSERT_HRESULT_SUCCEEDED(passConnection.Advise(pass->Interface(), kDiidHtmlElementEvents2, static_cast<IDispatch*>(passSink.get())));

    browser_->FocusElement(name);
    browser_->FocusElement(pass);
    EXPECT_EQ(log, (std::vector<std::string>{"name 1048 name", "doc 1048 name", "name 1049 name", "doc 1049 name",
                                             "pass 1048 pass", "doc 1048 pass"}));
    vnl::ComPtr<IHTMLElement> active;
    Document()->get_activeElement(active.put());
    EXPECT_EQ(active.get(), pass->Interface());

    // A key code changed by a sink is what goes in; the document sees the changed code.
    log.clear();
    passSink->changeKeyTo = 'b';
    EXPECT_TRUE(browser_->KeyPress(L'a'));
    EXPECT_EQ(log, (std::vector<std::string>{"pass -603 pass 97", "doc -603 pass 98"}));
    EXPECT_EQ(pass->GetNode()->value, L"b");

    // cancelBubble keeps it from the document; a false result cancels it.
    log.clear();
    passSink->changeKeyTo = 0;
    passSink->stopBubble = true;
    EXPECT_TRUE(browser_->KeyPress(L'c'));
    EXPECT_EQ(log, (std::vector<std::string>{"pass -603 pass 99"}));
    passSink->answerFalse = true;
    EXPECT_FALSE(browser_->KeyPress(L'd'));
    passSink->stopBubble = passSink->answerFalse = false;
    // returnValue false from the document's sink cancels too.
    docSink->answerFalse = true;
    EXPECT_FALSE(browser_->KeyPress(L'e'));
    EXPECT_EQ(pass->GetNode()->value, L"bc");

    // Leaving the page detaches its objects: they answer, but as detached.
    browser_->NavigateTo(L"http://nowhere.test/missing.html");
    BSTR tag = nullptr;
    EXPECT_EQ(name->Interface()->get_tagName(&tag), E_UNEXPECTED);
    EXPECT_NE(browser_->TopPage()->error.find(L"does not exist"), std::wstring::npos);
}

// ---- iexplore.exe with the tests' band ---------------------------------------------------------

namespace {

std::vector<std::string> ReadLog(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t close = line.find("] ");
        lines.push_back(close == std::string::npos ? line : line.substr(close + 2));
    }
    return lines;
}

// Index of the first line equal to `what` at or after `from`; -1 when missing.
int Find(const std::vector<std::string>& lines, const std::string& what, int from = 0) {
    for (int i = from; i < static_cast<int>(lines.size()); ++i)
        if (lines[i] == what) return i;
    return -1;
}

class BrowserProgram : public ::testing::Test {
protected:
    void SetUp() override {
        band_ = bench::TestsDir() + "\\VnlTestBand.dll";
        const auto r = bench::RunProgram("regsvr32 /s " + bench::Quoted(band_));
        ASSERT_EQ(r.exitCode, 0u) << r.err;
        WriteShop(root_);
        log_ = root_.Path() + "\\band.log";
    }
    void TearDown() override { bench::RunProgram("regsvr32 /s /u " + bench::Quoted(band_)); }

    bench::ScopedKeySnapshot toolbar_{HKEY_LOCAL_MACHINE, bench::kToolbarKey};
    PageRoot root_;
    std::string band_;
    std::string log_;
};

}  // namespace

TEST_F(BrowserProgram, LoadsTheBandAndTypedKeysReachTheField) {
    bench::DriverControl keyboard;
    ASSERT_TRUE(keyboard.IsOpen());
    keyboard.Reset();
    {
        bench::BrowserDriver browser;
        bench::BrowserOptions options;
        options.pageRoot = root_.Path();
        options.address = "http://shop.test/index.html";
        options.env = {{"VNL_TEST_BAND_LOG", log_}, {"VNL_TEST_BAND_REMAP", "qz"}, {"VNL_TEST_BAND_CANCEL", "x"}};
        ASSERT_TRUE(browser.Start(options));
        EXPECT_EQ(browser.Request({"domain"}).text, "shop.test");
        EXPECT_NE(browser.Request({"bands"}).text.find("{6E1D7A52-3C8B-4F0A-9D61-2B7E5C0A4F11}:shown:visible"),
                  std::string::npos);

        ASSERT_TRUE(browser.Focus("name"));
        ASSERT_TRUE(browser.Type(keyboard, "aqxB"));
        EXPECT_TRUE(browser.WaitForValue("name", "azB")) << browser.Value("name");
        ASSERT_TRUE(browser.Focus("pass"));
        EXPECT_TRUE(browser.Quit());
        EXPECT_EQ(browser.ExitCode(), 0u);
    }
    const auto lines = ReadLog(log_);
    std::string all;
    for (const auto& l : lines) all += l + "\n";
    // Site and the desk-band protocol, in the browser's order.
    const int site = Find(lines, "SetSite window=ReBarWindow32 browser=yes inputsite=yes");
    const int info = Find(lines, "GetBandInfo 1", site);
    const int shown = Find(lines, "ShowDW 1", info);
    ASSERT_GE(site, 0) << all;
    EXPECT_GT(info, site) << all;
    EXPECT_GT(shown, info) << all;
    // Navigation: the top frame first, the frames in document order; completion the other way round.
    const int nav = Find(lines, "NavigateComplete2 top http://shop.test/index.html", shown);
    const int one = Find(lines, "NavigateComplete2 frame http://shop.test/one.html", nav);
    const int inner = Find(lines, "NavigateComplete2 frame http://shop.test/inner.html", one);
    const int two = Find(lines, "NavigateComplete2 frame http://ads.test/two.html", inner);
    const int doneInner = Find(lines, "DocumentComplete frame http://shop.test/inner.html", two);
    const int doneTop = Find(lines, "DocumentComplete top http://shop.test/index.html", doneInner);
    EXPECT_GT(nav, shown) << all;
    EXPECT_GT(one, nav) << all;
    EXPECT_GT(inner, one) << all;
    EXPECT_GT(two, inner) << all;
    EXPECT_GT(doneInner, two) << all;
    EXPECT_GT(doneTop, doneInner) << all;
    // Keys: the element's sink first, then the document's, with the changed code.
    const int focus = Find(lines, "focusin document name", doneTop);
    const int a1 = Find(lines, "keypress element name 97", focus);
    const int a2 = Find(lines, "keypress document name 97", a1);
    const int q1 = Find(lines, "keypress element name 113", a2);
    const int q2 = Find(lines, "keypress document name 122", q1);
    EXPECT_GT(focus, doneTop) << all;
    EXPECT_GT(a1, focus) << all;
    EXPECT_GT(a2, a1) << all;
    EXPECT_GT(q1, a2) << all;
    EXPECT_GT(q2, q1) << all;
    EXPECT_GE(Find(lines, "keypress element name 66", q2), 0) << all;
    // Focus moves: focusout on the old field, then focusin on the new one.
    const int out = Find(lines, "focusout document name", q2);
    EXPECT_GT(Find(lines, "focusin document pass", out), out) << all;
    // Closing: CloseDW, SetSite(nullptr), and the band goes.
    const int close = Find(lines, "CloseDW", out);
    const int unsite = Find(lines, "SetSite null", close);
    EXPECT_GT(close, out) << all;
    EXPECT_GT(unsite, close) << all;
    EXPECT_GT(Find(lines, "destroyed", unsite), unsite) << all;
}

TEST_F(BrowserProgram, TabsRunTheirOwnBandsAndOnlyTheFrontOnesShow) {
    bench::BrowserDriver browser;
    bench::BrowserOptions options;
    options.pageRoot = root_.Path();
    options.address = "http://shop.test/index.html";
    options.tabs = 2;
    options.env = {{"VNL_TEST_BAND_LOG", log_}};
    ASSERT_TRUE(browser.Start(options));
    const auto list = browser.Request({"list"});
    EXPECT_EQ(list.text, "0.0:front:ready:http://shop.test/index.html\t0.1:back:ready:http://shop.test/index.html");
    EXPECT_NE(browser.Request({"@0.0", "bands"}).text.find(":shown:visible"), std::string::npos);
    EXPECT_NE(browser.Request({"@0.1", "bands"}).text.find(":hidden:invisible"), std::string::npos);
    ASSERT_TRUE(browser.Request({"@0.1", "selecttab"}).ok);
    EXPECT_NE(browser.Request({"@0.0", "bands"}).text.find(":hidden:invisible"), std::string::npos);
    EXPECT_NE(browser.Request({"@0.1", "bands"}).text.find(":shown:visible"), std::string::npos);
    // Each tab's band lives on its tab's own thread.
    EXPECT_TRUE(browser.Request({"newwindow", "http://ads.test/two.html"}).ok);
    EXPECT_TRUE(browser.WaitForTabs());
    EXPECT_EQ(browser.Request({"@1", "address"}).text, "http://ads.test/two.html");
    EXPECT_TRUE(browser.Request({"@1", "closewindow"}).ok);
    EXPECT_TRUE(browser.Quit());
    std::set<std::string> threads;
    std::ifstream in(log_);
    std::string line;
    while (std::getline(in, line))
        if (line.find("SetSite window") != std::string::npos) threads.insert(line.substr(0, line.find(']')));
    EXPECT_EQ(threads.size(), 3u);
}

TEST_F(BrowserProgram, BadPagesGiveErrorPagesAndTheBrowserStaysUp) {
    root_.Write("bad.test/self.html", "<p>again</p><iframe src='self.html'></iframe>");
    std::string big = "<body>";
    while (big.size() < 5u * 1024 * 1024) big += "<p>filler text &amp; more <b>bold</b></p>\n";
    big += "<input id=last value=end></body>";
    root_.Write("bad.test/big.html", big);
    root_.Write("bad.test/broken.html", "<html><body><div <<< \xFF\xFE <input id=x value='unterminated");
    bench::BrowserDriver browser;
    bench::BrowserOptions options;
    options.pageRoot = root_.Path();
    options.bands = false;
    ASSERT_TRUE(browser.Start(options));
    EXPECT_EQ(browser.Request({"navigate", "http://bad.test/missing.html"}).text.rfind("error-page ", 0), 0u);
    EXPECT_NE(browser.Request({"text"}).text.find("does not exist"), std::string::npos);
    EXPECT_EQ(browser.Request({"navigate", "gopher://bad.test/"}).text.rfind("error-page ", 0), 0u);
    EXPECT_TRUE(browser.Request({"navigate", "http://bad.test/self.html"}).ok);
    EXPECT_NE(browser.Request({"text"}).text.find("again"), std::string::npos);
    EXPECT_TRUE(browser.Request({"navigate", "http://bad.test/big.html"}).ok);
    EXPECT_EQ(browser.Value("last"), "end");
    EXPECT_TRUE(browser.Request({"navigate", "http://bad.test/broken.html"}).ok);
    EXPECT_FALSE(browser.Request({"value", "nothing-here"}).ok);
    EXPECT_FALSE(browser.Request({"no-such-request"}).ok);
    EXPECT_TRUE(browser.Quit());
    EXPECT_EQ(browser.ExitCode(), 0u);
}

TEST_F(BrowserProgram, BlankTargetOpensANewFrameWindow) {
    bench::BrowserDriver browser;
    bench::BrowserOptions options;
    options.pageRoot = root_.Path();
    options.address = "http://shop.test/index.html";
    options.env = {{"VNL_TEST_BAND_LOG", log_}, {"VNL_TEST_BAND_OPEN_BLANK", "http://ads.test/two.html"}};
    ASSERT_TRUE(browser.Start(options));
    std::string list;
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(browser.WaitForTabs());
        list = browser.Request({"list"}).text;
        if (list.find("1.0:front:ready:http://ads.test/two.html") != std::string::npos) break;
        ::Sleep(50);
    }
    EXPECT_EQ(list, "0.0:front:ready:http://shop.test/index.html\t1.0:front:ready:http://ads.test/two.html");
    const auto frames = std::make_pair(browser.Request({"@0", "frame"}).text, browser.Request({"@1", "frame"}).text);
    EXPECT_NE(frames.first, frames.second);
    EXPECT_EQ(browser.Request({"@0", "address"}).text, "http://shop.test/index.html");
    EXPECT_TRUE(browser.Quit());
    EXPECT_GE(Find(ReadLog(log_), "Navigate2 _blank 0"), 0);
}

namespace {

bool WaitForLogLine(const std::string& path, const std::string& line, DWORD timeoutMs = 15000) {
    const DWORD start = ::GetTickCount();
    do {
        if (Find(ReadLog(path), line) >= 0) return true;
        ::Sleep(50);
    } while (::GetTickCount() - start < timeoutMs);
    return false;
}

}  // namespace

// The bench registers iexplore.exe as the browser application's local server.
TEST_F(BrowserProgram, LocalServerShowsTheNamedBand) {
    const std::string band = "{6E1D7A52-3C8B-4F0A-9D61-2B7E5C0A4F11}";
    bench::DeleteValue(HKEY_LOCAL_MACHINE, bench::kToolbarKey, band);  // only ShowBrowserBar loads it now
    ::SetEnvironmentVariableA("VNL_TEST_BAND_LOG", log_.c_str());      // the server inherits it
    ASSERT_HRESULT_SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    {
        const CLSID internetExplorer = {0x0002DF01, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
        vnl::ComPtr<IWebBrowser2> browser;
        ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(internetExplorer, nullptr, CLSCTX_LOCAL_SERVER, IID_IWebBrowser2,
                                                    browser.put_void()));
        EXPECT_HRESULT_SUCCEEDED(browser->put_Visible(VARIANT_TRUE));
        SHANDLE_PTR handle = 0;
        ASSERT_HRESULT_SUCCEEDED(browser->get_HWND(&handle));
        const HWND frame = reinterpret_cast<HWND>(handle);
        char className[64] = {};
        ::GetClassNameA(frame, className, sizeof className);
        EXPECT_STREQ(className, "IEFrame");
        EXPECT_TRUE(::IsWindowVisible(frame));

        VARIANT clsid, show, size;
        ::VariantInit(&clsid);
        ::VariantInit(&show);
        ::VariantInit(&size);
        clsid.vt = VT_BSTR;
        clsid.bstrVal = ::SysAllocString(std::wstring(band.begin(), band.end()).c_str());
        show.vt = VT_BOOL;
        show.boolVal = VARIANT_TRUE;
        EXPECT_HRESULT_SUCCEEDED(browser->ShowBrowserBar(&clsid, &show, &size));
        ::VariantClear(&clsid);
        EXPECT_TRUE(WaitForLogLine(log_, "ShowDW 1"));
        EXPECT_GE(Find(ReadLog(log_), "SetSite window=ReBarWindow32 browser=yes inputsite=yes"), 0);

        VARIANT url;
        ::VariantInit(&url);
        url.vt = VT_BSTR;
        url.bstrVal = ::SysAllocString(L"http://bank.example/index.html");
        VARIANT empty[4];
        for (auto& e : empty) ::VariantInit(&e);  // across processes every argument is given
        EXPECT_HRESULT_SUCCEEDED(browser->Navigate2(&url, &empty[0], &empty[1], &empty[2], &empty[3]));
        ::VariantClear(&url);
        BSTR location = nullptr;
        EXPECT_HRESULT_SUCCEEDED(browser->get_LocationURL(&location));
        EXPECT_STREQ(location, L"http://bank.example/index.html");
        ::SysFreeString(location);

        EXPECT_HRESULT_SUCCEEDED(browser->Quit());
        EXPECT_TRUE(WaitForLogLine(log_, "destroyed"));
        EXPECT_TRUE(bench::WaitForWindowGone(frame));
    }
    ::SetEnvironmentVariableA("VNL_TEST_BAND_LOG", nullptr);
    ::CoUninitialize();
}
