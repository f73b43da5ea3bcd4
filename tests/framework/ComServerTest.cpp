// The framework's COM server pieces through the real machinery: the test
// server is registered with regsvr32, created with CoCreateInstance, asked
// for its interfaces, and unregistered again.
#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "BenchPaths.h"
#include "ComPtr.h"
#include "FrameworkTestServer.h"
#include "Process.h"
#include "Registry.h"

namespace {

using vnl::ComPtr;

constexpr const char* kClsid = "{7D0A6C4E-2B61-4C8F-9E0B-5A3D41C7E210}";
constexpr const char* kLibId = "{7D0A6C4E-2B61-4C8F-9E0B-5A3D41C7E200}";
constexpr const char* kWidgetIid = "{7D0A6C4E-2B61-4C8F-9E0B-5A3D41C7E201}";
constexpr const char* kGadgetIid = "{7D0A6C4E-2B61-4C8F-9E0B-5A3D41C7E202}";
constexpr const char* kKeptKey = "Software\\Varnel Framework Test";

std::string ServerPath() { return bench::TestsDir() + "\\FrameworkTestServer.dll"; }
std::string ClassKey() { return std::string("CLSID\\") + kClsid; }

std::optional<std::string> ReadString(HKEY root, const std::string& key, const std::string& name) {
    auto value = bench::ReadValue(root, key, name);
    if (!value || value->type != REG_SZ) return std::nullopt;
    std::string text(value->data.begin(), value->data.end());
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

DWORD RunRegsvr32(const std::string& switches) {
    bench::RunResult run = bench::RunProgram("regsvr32 " + switches + " " + bench::Quoted(ServerPath()));
    EXPECT_TRUE(run.started);
    return run.exitCode;
}

// Every key the test server's registration touches is put back as it was.
class ComServer : public ::testing::Test {
protected:
    void SetUp() override { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { ::CoUninitialize(); }

    bench::ScopedKeySnapshot classKey_{HKEY_CLASSES_ROOT, ClassKey()};
    bench::ScopedKeySnapshot progId_{HKEY_CLASSES_ROOT, "VnlFramework.TestWidget"};
    bench::ScopedKeySnapshot progId1_{HKEY_CLASSES_ROOT, "VnlFramework.TestWidget.1"};
    bench::ScopedKeySnapshot typeLib_{HKEY_CLASSES_ROOT, std::string("TypeLib\\") + kLibId};
    bench::ScopedKeySnapshot widgetItf_{HKEY_CLASSES_ROOT, std::string("Interface\\") + kWidgetIid};
    bench::ScopedKeySnapshot gadgetItf_{HKEY_CLASSES_ROOT, std::string("Interface\\") + kGadgetIid};
    bench::ScopedKeySnapshot kept_{HKEY_LOCAL_MACHINE, kKeptKey};
};

// The server module loaded into this process by COM, and one of its exports.
template <typename Function>
Function ServerExport(const char* name) {
    HMODULE module = ::GetModuleHandleA("FrameworkTestServer.dll");
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

TEST_F(ComServer, Regsvr32WritesWhatTheScriptSaysAndRegistersTheTypeLibrary) {
    // A key that the script deletes on registration.
    bench::SetDword(HKEY_LOCAL_MACHINE, std::string(kKeptKey) + "\\Widgets\\Obsolete", "Stale", 1);

    ASSERT_EQ(RunRegsvr32("/s"), 0u);

    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, "VnlFramework.TestWidget.1", ""), "Test Widget");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, "VnlFramework.TestWidget.1\\CLSID", ""), kClsid);
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, "VnlFramework.TestWidget\\CurVer", ""), "VnlFramework.TestWidget.1");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, ClassKey(), ""), "Test Widget");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, ClassKey() + "\\ProgID", ""), "VnlFramework.TestWidget.1");
    auto module = ReadString(HKEY_CLASSES_ROOT, ClassKey() + "\\InprocServer32", "");
    ASSERT_TRUE(module);
    EXPECT_TRUE(bench::SamePath(*module, ServerPath())) << *module;
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, ClassKey() + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, ClassKey() + "\\TypeLib", ""), kLibId);

    // Named values of the three types, quoting and the escaped percent sign.
    auto flag = bench::ReadValue(HKEY_LOCAL_MACHINE, kKeptKey, kClsid);
    ASSERT_TRUE(flag);
    EXPECT_EQ(flag->type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(flag->data, std::vector<BYTE>{0x00});
    EXPECT_EQ(bench::ReadDword(HKEY_LOCAL_MACHINE, kKeptKey, "Level"), 42u);
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kKeptKey, "Owner's note"), "100% kept");
    EXPECT_EQ(bench::ReadDword(HKEY_LOCAL_MACHINE, std::string(kKeptKey) + "\\Widgets", "Count"), 3u);
    EXPECT_FALSE(bench::KeyExists(HKEY_LOCAL_MACHINE, std::string(kKeptKey) + "\\Widgets\\Obsolete"));

    // The type library, by the system's own registration.
    const char* platform = sizeof(void*) == 8 ? "\\win64" : "\\win32";
    auto path = ReadString(HKEY_CLASSES_ROOT, std::string("TypeLib\\") + kLibId + "\\1.2\\0" + platform, "");
    ASSERT_TRUE(path);
    EXPECT_TRUE(bench::SamePath(*path, ServerPath())) << *path;
    EXPECT_TRUE(bench::KeyExists(HKEY_CLASSES_ROOT, std::string("Interface\\") + kWidgetIid));

    EXPECT_EQ(RunRegsvr32("/s /u"), 0u);
}

TEST_F(ComServer, UnregistrationRemovesExactlyWhatTheScriptAddedAndKeepsNoRemoveKeys) {
    // Something that was there before and is not the script's.
    bench::SetString(HKEY_LOCAL_MACHINE, kKeptKey, "Other", "not ours");
    ASSERT_EQ(RunRegsvr32("/s"), 0u);
    ASSERT_TRUE(bench::KeyExists(HKEY_CLASSES_ROOT, ClassKey()));

    ASSERT_EQ(RunRegsvr32("/s /u"), 0u);

    EXPECT_FALSE(bench::KeyExists(HKEY_CLASSES_ROOT, "VnlFramework.TestWidget"));
    EXPECT_FALSE(bench::KeyExists(HKEY_CLASSES_ROOT, "VnlFramework.TestWidget.1"));
    EXPECT_FALSE(bench::KeyExists(HKEY_CLASSES_ROOT, ClassKey()));
    EXPECT_TRUE(bench::KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_FALSE(bench::KeyExists(HKEY_CLASSES_ROOT, std::string("TypeLib\\") + kLibId));
    EXPECT_FALSE(bench::KeyExists(HKEY_CLASSES_ROOT, std::string("Interface\\") + kWidgetIid));

    // The kept key keeps what was not the script's; the script's values and
    // its unmarked subkey are gone.
    EXPECT_TRUE(bench::KeyExists(HKEY_LOCAL_MACHINE, "Software"));
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kKeptKey, "Other"), "not ours");
    EXPECT_FALSE(bench::ReadValue(HKEY_LOCAL_MACHINE, kKeptKey, kClsid));
    EXPECT_FALSE(bench::ReadValue(HKEY_LOCAL_MACHINE, kKeptKey, "Level"));
    EXPECT_FALSE(bench::ReadValue(HKEY_LOCAL_MACHINE, kKeptKey, "Owner's note"));
    EXPECT_FALSE(bench::KeyExists(HKEY_LOCAL_MACHINE, std::string(kKeptKey) + "\\Widgets"));

    // Once more, with nothing left to remove: still a success.
    EXPECT_EQ(RunRegsvr32("/s /u"), 0u);
}

TEST_F(ComServer, AnswersEveryInterfaceOfItsMapWithOneIdentityAndRefusesOthers) {
    ASSERT_EQ(RunRegsvr32("/s"), 0u);

    ComPtr<ITestWidget> widget;
    ASSERT_EQ(::CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_ITestWidget, widget.put_void()),
              S_OK);

    // The map in its order: ITestWidget, IDispatch, ITestGadget, IPersist.
    const IID* map[] = {&IID_ITestWidget, &IID_IDispatch, &IID_ITestGadget, &IID_IPersist};
    void* first = nullptr;
    for (const IID* iid : map) {
        void* a = nullptr;
        void* b = nullptr;
        ASSERT_EQ(widget->QueryInterface(*iid, &a), S_OK);
        ASSERT_EQ(widget->QueryInterface(*iid, &b), S_OK);
        EXPECT_NE(a, nullptr);
        EXPECT_EQ(a, b) << "the same interface gives the same pointer";
        // Back to IUnknown from each interface: always the first entry.
        void* unknown = nullptr;
        ASSERT_EQ(static_cast<IUnknown*>(a)->QueryInterface(IID_IUnknown, &unknown), S_OK);
        if (!first) first = unknown;
        EXPECT_EQ(unknown, first);
        static_cast<IUnknown*>(unknown)->Release();
        static_cast<IUnknown*>(a)->Release();
        static_cast<IUnknown*>(b)->Release();
    }
    EXPECT_EQ(first, static_cast<void*>(widget.get())) << "IUnknown is answered by the first entry";
    // The dual interface's IDispatch is the same pointer as the interface.
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(widget.query_to(dispatch), S_OK);
    EXPECT_EQ(static_cast<void*>(dispatch.get()), static_cast<void*>(widget.get()));

    const IID* refused[] = {&IID_IClassFactory, &IID_IConnectionPointContainer, &IID_IOleWindow,
                            &IID_IPersistStream, &IID_IMarshal, &CLSID_TestWidget};
    for (const IID* iid : refused) {
        void* out = reinterpret_cast<void*>(0x1234);
        EXPECT_EQ(widget->QueryInterface(*iid, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr) << "the out pointer is nulled";
    }
    EXPECT_EQ(widget->QueryInterface(IID_IPersist, nullptr), E_POINTER);

    // The objects really are the server's: its methods answer.
    LONG result = 0;
    EXPECT_EQ(widget->Ping(41, &result), S_OK);
    EXPECT_EQ(result, 42);

    widget.reset();
    dispatch.reset();
    EXPECT_EQ(RunRegsvr32("/s /u"), 0u);
}

TEST_F(ComServer, LockCountHoldsTheModuleWhileAnObjectLivesOrTheServerIsLocked) {
    ASSERT_EQ(RunRegsvr32("/s"), 0u);

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(::CoGetClassObject(CLSID_TestWidget, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                 factory.put_void()),
              S_OK);
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto canUnloadNow = ServerExport<CanUnloadNow>("DllCanUnloadNow");
    auto getClassObject = ServerExport<GetClassObject>("DllGetClassObject");
    ASSERT_TRUE(canUnloadNow && getClassObject);
    // A factory alone does not hold the module.
    EXPECT_EQ(canUnloadNow(), S_OK);

    ComPtr<ITestGadget> gadget;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ITestGadget, gadget.put_void()), S_OK);
    LONG count = -1;
    EXPECT_EQ(gadget->ModuleLockCount(&count), S_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(canUnloadNow(), S_FALSE);

    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(gadget->ModuleLockCount(&count), S_OK);
    EXPECT_EQ(count, 2);
    gadget.reset();
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "LockServer(TRUE) still holds the module";
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(canUnloadNow(), S_OK);

    // Aggregation is refused and nothing is left alive.
    ComPtr<IUnknown> outer;
    ASSERT_EQ(::CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, outer.put_void()),
              S_OK);
    void* inner = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(factory->CreateInstance(outer.get(), IID_IUnknown, &inner), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(inner, nullptr);
    outer.reset();
    EXPECT_EQ(canUnloadNow(), S_OK);
    // An interface the class does not answer: no object survives either.
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IOleWindow, &inner), E_NOINTERFACE);
    EXPECT_EQ(inner, nullptr);
    EXPECT_EQ(canUnloadNow(), S_OK);

    // The class table is looked up by class id: the second class, and none.
    ComPtr<IClassFactory> plainFactory;
    ASSERT_EQ(getClassObject(CLSID_TestPlain, IID_IClassFactory, plainFactory.put_void()), S_OK);
    ComPtr<IPersist> plain;
    ASSERT_EQ(plainFactory->CreateInstance(nullptr, IID_IPersist, plain.put_void()), S_OK);
    CLSID clsid{};
    EXPECT_EQ(plain->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(::IsEqualCLSID(clsid, CLSID_TestPlain));
    void* none = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(getClassObject(IID_ITestWidget, IID_IClassFactory, &none), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(none, nullptr);

    plain.reset();
    factory.reset();
    plainFactory.reset();
    EXPECT_EQ(RunRegsvr32("/s /u"), 0u);
}

TEST_F(ComServer, DispatchComesFromTheEmbeddedTypeLibraryAndMarshalsAcrossApartments) {
    ASSERT_EQ(RunRegsvr32("/s"), 0u);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(::CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, dispatch.put_void()),
              S_OK);

    UINT count = 0;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(dispatch->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
    ASSERT_EQ(dispatch->GetTypeInfo(0, 0, info.put()), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(::IsEqualGUID(attributes->guid, IID_ITestWidget));
    EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FDUAL);
    info->ReleaseTypeAttr(attributes);

    struct Name { const wchar_t* name; HRESULT hr; DISPID id; };
    const Name names[] = {{L"Ping", S_OK, 1}, {L"level", S_OK, 2}, {L"Missing", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN}};
    for (const Name& n : names) {
        LPOLESTR text = const_cast<LPOLESTR>(n.name);
        DISPID id = 12345;
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &text, 1, 0, &id), n.hr) << n.name;
        EXPECT_EQ(id, n.id) << n.name;
    }

    // The dual interface is marshalled by the system's type-library marshaller
    // from the registration: a call from a thread of the multithreaded
    // apartment reaches the object on this one. Wrong method slots in the type
    // library would call the wrong method here.
    IStream* stream = nullptr;
    ASSERT_EQ(::CoMarshalInterThreadInterfaceInStream(IID_ITestWidget, dispatch.get(), &stream), S_OK);
    std::atomic<HRESULT> callResult{E_FAIL};
    std::atomic<LONG> pinged{0}, level{0};
    HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread worker([&] {
        ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ITestWidget* proxy = nullptr;
        HRESULT hr = ::CoGetInterfaceAndReleaseStream(stream, IID_ITestWidget, reinterpret_cast<void**>(&proxy));
        if (SUCCEEDED(hr)) {
            LONG value = 0;
            hr = proxy->Ping(99, &value);
            pinged = value;
            if (SUCCEEDED(hr)) hr = proxy->get_Level(&value);
            level = value;
            proxy->Release();
        }
        callResult = hr;
        ::CoUninitialize();
        ::SetEvent(done);
    });
    DWORD index = 0;
    EXPECT_EQ(::CoWaitForMultipleHandles(0, 20000, 1, &done, &index), S_OK);
    worker.join();
    ::CloseHandle(done);
    EXPECT_EQ(callResult.load(), S_OK);
    EXPECT_EQ(pinged.load(), 100);
    EXPECT_EQ(level.load(), 42);

    dispatch.reset();
    info.reset();
    EXPECT_EQ(RunRegsvr32("/s /u"), 0u);
}

}  // namespace
