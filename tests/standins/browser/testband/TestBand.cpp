// A band of the tests' own, loaded by the stand-in browser like any band: it
// records what it receives (its site, the desk-band calls, the browser's and
// the page's events, in order) as lines in the file named by the environment
// variable VNL_TEST_BAND_LOG, and during a keypress it changes key codes as
// VNL_TEST_BAND_REMAP says (pairs of characters: "qz" turns q into z) and
// cancels the characters in VNL_TEST_BAND_CANCEL (Invoke result false).
#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <ocidl.h>
#include <shlguid.h>
#include <shobjidl.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ComModule.h"
#include "ComObject.h"
#include "ComPtr.h"
#include "Registrar.h"
#include "SinkConnection.h"

namespace {

const CLSID kClsidTestBand = {0x6E1D7A52, 0x3C8B, 0x4F0A, {0x9D, 0x61, 0x2B, 0x7E, 0x5C, 0x0A, 0x4F, 0x11}};
const IID kDiidDWebBrowserEvents2 = {0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};
const IID kDiidHtmlDocumentEvents2 = {0x3050F613, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
const IID kDiidHtmlElementEvents2 = {0x3050F60F, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};

std::mutex g_logLock;

std::string Env(const char* name) {
    char value[1024] = {};
    const DWORD n = ::GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

void Log(const std::string& line) {
    const std::string path = Env("VNL_TEST_BAND_LOG");
    if (path.empty()) return;
    std::lock_guard<std::mutex> guard(g_logLock);
    HANDLE file = ::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "[%lu] ", ::GetCurrentThreadId());
    const std::string text = prefix + line + "\r\n";
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
}

std::string Narrow(BSTR text) {
    if (!text) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(::SysStringLen(text)), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(::SysStringLen(text)), out.data(), n, nullptr, nullptr);
    return out;
}

std::string ElementId(IHTMLElement* element) {
    if (!element) return "(none)";
    BSTR id = nullptr, tag = nullptr;
    element->get_id(&id);
    element->get_tagName(&tag);
    std::string out = id && ::SysStringLen(id) ? Narrow(id) : Narrow(tag);
    ::SysFreeString(id);
    ::SysFreeString(tag);
    return out;
}

class CTestBand;

// One sink object per source kind; forwards every event to the band.
class CEventSink : public vnl::ComObjectRoot, public IDispatch {
public:
    VNL_BEGIN_INTERFACE_MAP(CEventSink)
        VNL_INTERFACE_ENTRY(IDispatch)
    VNL_END_INTERFACE_MAP()

    CEventSink(CTestBand* band, std::string kind) noexcept : band_(band), kind_(std::move(kind)) {}
    void ForgetBand() noexcept { band_ = nullptr; }

    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override { if (count) *count = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) noexcept override;

private:
    CTestBand* band_;
    std::string kind_;
};

class CTestBand : public vnl::ComObjectRoot, public IDeskBand, public IObjectWithSite, public IInputObject {
public:
    VNL_BEGIN_INTERFACE_MAP(CTestBand)
        VNL_INTERFACE_ENTRY(IDeskBand)
        VNL_INTERFACE_ENTRY2(IOleWindow, IDeskBand)
        VNL_INTERFACE_ENTRY2(IDockingWindow, IDeskBand)
        VNL_INTERFACE_ENTRY(IObjectWithSite)
        VNL_INTERFACE_ENTRY(IInputObject)
    VNL_END_INTERFACE_MAP()

    HRESULT FinalConstruct() noexcept {
        Log("created");
        return S_OK;
    }
    ~CTestBand() {
        Log("destroyed");
        if (window_) ::DestroyWindow(window_);
    }

    // IOleWindow, IDockingWindow, IDeskBand
    STDMETHODIMP GetWindow(HWND* window) noexcept override {
        if (!window) return E_INVALIDARG;
        *window = window_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP ShowDW(BOOL show) noexcept override {
        Log(std::string("ShowDW ") + (show ? "1" : "0"));
        if (window_) ::ShowWindow(window_, show ? SW_SHOW : SW_HIDE);
        return S_OK;
    }
    STDMETHODIMP CloseDW(DWORD) noexcept override {
        Log("CloseDW");
        documents_.clear();
        element_.Reset();
        browserEvents_.Reset();
        return S_OK;
    }
    STDMETHODIMP ResizeBorderDW(LPCRECT, IUnknown*, BOOL) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetBandInfo(DWORD bandId, DWORD, DESKBANDINFO* info) noexcept override {
        Log("GetBandInfo " + std::to_string(bandId));
        if (!info) return S_OK;
        if (info->dwMask & DBIM_MINSIZE) info->ptMinSize = {180, 22};
        if (info->dwMask & DBIM_ACTUAL) info->ptActual = {300, 22};
        if (info->dwMask & DBIM_MODEFLAGS) info->dwModeFlags = DBIMF_VARIABLEHEIGHT;
        info->dwMask &= ~DBIM_BKCOLOR;
        return S_OK;
    }
    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* site) noexcept override;
    STDMETHODIMP GetSite(REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return site_ ? site_->QueryInterface(iid, out) : E_FAIL;
    }
    // IInputObject
    STDMETHODIMP UIActivateIO(BOOL, LPMSG) noexcept override { return S_OK; }
    STDMETHODIMP HasFocusIO() noexcept override { return S_FALSE; }
    STDMETHODIMP TranslateAcceleratorIO(LPMSG) noexcept override { return S_FALSE; }

    void OnEvent(const std::string& kind, DISPID dispid, DISPPARAMS* params, VARIANT* result);

private:
    vnl::ComPtr<IDispatch> MakeSink(const std::string& kind) {
        vnl::ComObject<CEventSink>* sink = nullptr;
        vnl::ComPtr<IDispatch> out;
        if (SUCCEEDED(vnl::ComObject<CEventSink>::CreateInstance(&sink, this, kind))) out.attach(sink);
        return out;
    }
    void AttachDocuments(IDispatch* documentDispatch, int depth);

    vnl::ComPtr<IUnknown> site_;
    vnl::ComPtr<IWebBrowser2> browser_;
    HWND window_ = nullptr;
    vnl::SinkConnection browserEvents_;
    std::vector<std::unique_ptr<vnl::SinkConnection>> documents_;
    vnl::SinkConnection element_;
    vnl::ComPtr<IDispatch> topFrame_;
};

STDMETHODIMP CEventSink::Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                UINT*) noexcept try {
    if (band_) band_->OnEvent(kind_, dispid, params, result);
    return S_OK;
} catch (...) {
    return S_OK;
}

STDMETHODIMP CTestBand::SetSite(IUnknown* site) noexcept try {
    if (!site) {
        Log("SetSite null");
        site_.reset();
        browser_.reset();
        return S_OK;
    }
    site_ = vnl::ComPtr<IUnknown>(site);
    vnl::ComPtr<IOleWindow> oleWindow;
    HWND rebar = nullptr;
    if (SUCCEEDED(site_.query_to(oleWindow))) oleWindow->GetWindow(&rebar);
    char rebarClass[64] = "(none)";
    if (rebar) ::GetClassNameA(rebar, rebarClass, sizeof rebarClass);
    vnl::ComPtr<IServiceProvider> services;
    if (SUCCEEDED(site_.query_to(services)))
        services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser_.put_void());
    vnl::ComPtr<IInputObjectSite> inputSite;
    const bool hasInputSite = SUCCEEDED(site_.query_to(inputSite));
    Log(std::string("SetSite window=") + rebarClass + " browser=" + (browser_ ? "yes" : "no") +
        " inputsite=" + (hasInputSite ? "yes" : "no"));
    if (!rebar || !browser_) return E_FAIL;
    window_ = ::CreateWindowExA(0, "STATIC", "test band", WS_CHILD | SS_LEFT, 0, 0, 300, 22, rebar, nullptr,
                                ::GetModuleHandleA(nullptr), nullptr);
    auto sink = MakeSink("browser");
    browserEvents_.Advise(browser_.get(), kDiidDWebBrowserEvents2, sink.get());
    return S_OK;
} catch (...) {
    return E_FAIL;
}

void CTestBand::AttachDocuments(IDispatch* documentDispatch, int depth) {
    vnl::ComPtr<IHTMLDocument2> document;
    if (!documentDispatch || FAILED(documentDispatch->QueryInterface(IID_IHTMLDocument2, document.put_void()))) return;
    auto connection = std::make_unique<vnl::SinkConnection>();
    auto sink = MakeSink("document");
    if (SUCCEEDED(connection->Advise(document.get(), kDiidHtmlDocumentEvents2, sink.get())))
        documents_.push_back(std::move(connection));
    vnl::ComPtr<IOleContainer> container;
    vnl::ComPtr<IEnumUnknown> objects;
    if (FAILED(document.query_to(container)) || FAILED(container->EnumObjects(OLECONTF_EMBEDDINGS, objects.put())))
        return;
    vnl::ComPtr<IUnknown> object;
    while (objects->Next(1, object.put(), nullptr) == S_OK) {
        vnl::ComPtr<IWebBrowser2> frame;
        if (FAILED(object.query_to(frame))) continue;  // a plug-in
        vnl::ComPtr<IDispatch> frameDocument;
        if (SUCCEEDED(frame->get_Document(frameDocument.put())) && frameDocument)
            AttachDocuments(frameDocument.get(), depth + 1);
    }
}

void CTestBand::OnEvent(const std::string& kind, DISPID dispid, DISPPARAMS* params, VARIANT* result) {
    if (!params) return;
    auto arg = [&](UINT fromFirst) -> VARIANT* {
        return fromFirst < params->cArgs ? &params->rgvarg[params->cArgs - 1 - fromFirst] : nullptr;
    };
    auto text = [](VARIANT* v) -> std::string {
        if (!v) return {};
        if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
        return v->vt == VT_BSTR ? Narrow(v->bstrVal) : std::string();
    };
    if (kind == "browser") {
        VARIANT* frame = arg(0);
        IDispatch* frameDispatch = frame && frame->vt == VT_DISPATCH ? frame->pdispVal : nullptr;
        if (dispid == 250) Log("BeforeNavigate2 " + text(arg(1)));
        if (dispid == 252) {
            if (!topFrame_) topFrame_ = vnl::ComPtr<IDispatch>(frameDispatch);
            const bool top = frameDispatch == topFrame_.get();
            Log(std::string("NavigateComplete2 ") + (top ? "top " : "frame ") + text(arg(1)));
            // Every navigation attaches the band to every document again.
            documents_.clear();
            vnl::ComPtr<IDispatch> document;
            if (SUCCEEDED(browser_->get_Document(document.put()))) AttachDocuments(document.get(), 0);
        }
        if (dispid == 259) {
            const bool top = frameDispatch == topFrame_.get();
            Log(std::string("DocumentComplete ") + (top ? "top " : "frame ") + text(arg(1)));
            // Once per process: a page opened in a new window, as the toolbar's help commands do.
            static bool opened = false;
            const std::string blank = Env("VNL_TEST_BAND_OPEN_BLANK");
            if (top && !blank.empty() && !opened) {
                opened = true;
                VARIANT url, target;
                ::VariantInit(&url);
                ::VariantInit(&target);
                url.vt = VT_BSTR;
                url.bstrVal = ::SysAllocStringLen(nullptr, static_cast<UINT>(blank.size()));
                ::MultiByteToWideChar(CP_UTF8, 0, blank.data(), static_cast<int>(blank.size()), url.bstrVal,
                                      static_cast<int>(blank.size()));
                target.vt = VT_BSTR;
                target.bstrVal = ::SysAllocString(L"_blank");
                const HRESULT hr = browser_->Navigate2(&url, nullptr, &target, nullptr, nullptr);
                Log("Navigate2 _blank " + std::to_string(static_cast<long>(hr)));
                ::VariantClear(&url);
                ::VariantClear(&target);
            }
        }
        return;
    }
    VARIANT* eventArg = arg(0);
    vnl::ComPtr<IHTMLEventObj> event;
    if (!eventArg || eventArg->vt != VT_DISPATCH || !eventArg->pdispVal ||
        FAILED(eventArg->pdispVal->QueryInterface(IID_IHTMLEventObj, event.put_void())))
        return;
    vnl::ComPtr<IHTMLElement> source;
    event->get_srcElement(source.put());
    const std::string id = ElementId(source.get());
    if (dispid == 1048) {
        Log("focusin " + kind + " " + id);
        // Advise on the focused field, as a protecting band does.
        if (kind == "document" && source) {
            auto sink = MakeSink("element");
            element_.Advise(source.get(), kDiidHtmlElementEvents2, sink.get());
        }
    } else if (dispid == 1049) {
        Log("focusout " + kind + " " + id);
        if (kind == "document") element_.Reset();
    } else if (dispid == -603) {
        LONG code = 0;
        event->get_keyCode(&code);
        Log("keypress " + kind + " " + id + " " + std::to_string(code));
        if (kind != "element") return;
        const std::string remap = Env("VNL_TEST_BAND_REMAP");
        for (size_t i = 0; i + 1 < remap.size(); i += 2)
            if (code == static_cast<unsigned char>(remap[i])) event->put_keyCode(static_cast<unsigned char>(remap[i + 1]));
        if (Env("VNL_TEST_BAND_CANCEL").find(static_cast<char>(code)) != std::string::npos && result) {
            result->vt = VT_BOOL;
            result->boolVal = VARIANT_FALSE;
            return;
        }
        if (Env("VNL_TEST_BAND_STOP_BUBBLE") == "1") event->put_cancelBubble(VARIANT_TRUE);
        if (result) {
            result->vt = VT_BOOL;
            result->boolVal = VARIANT_TRUE;
        }
    }
}

const vnl::ClassEntry kClasses[] = {
    {&kClsidTestBand, &vnl::ComObject<CTestBand>::CreateInstance, 101},
};

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) noexcept {
    if (reason == DLL_PROCESS_ATTACH) vnl::InitComModule(instance, kClasses);
    if (reason == DLL_PROCESS_DETACH) vnl::TermComModule();
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) { return vnl::GetModuleClassObject(clsid, iid, out); }
STDAPI DllCanUnloadNow() { return vnl::CanUnloadModule(); }
STDAPI DllRegisterServer() { return vnl::RegisterModuleServer(); }
STDAPI DllUnregisterServer() { return vnl::UnregisterModuleServer(); }
