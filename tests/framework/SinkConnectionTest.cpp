// SinkConnection against a mock connection point that records what it is
// asked, the connection-point container, and the object base's construction
// contract.
#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "ComModule.h"
#include "ComObject.h"
#include "ComPtr.h"
#include "ConnectionPointContainer.h"
#include "SinkConnection.h"

namespace {

using vnl::ComObject;
using vnl::ComPtr;

// {9C1D6A54-0E39-4F21-9C55-3E2A7A1B0001}
const IID kEventsIid = {0x9c1d6a54, 0x0e39, 0x4f21, {0x9c, 0x55, 0x3e, 0x2a, 0x7a, 0x1b, 0x00, 0x01}};

class MockPoint : public vnl::ComObjectRoot, public IConnectionPoint {
public:
    VNL_BEGIN_INTERFACE_MAP(MockPoint)
        VNL_INTERFACE_ENTRY(IConnectionPoint)
    VNL_END_INTERFACE_MAP()

    std::vector<std::string> calls;
    HRESULT adviseResult = S_OK;
    DWORD nextCookie = 41;
    IUnknown* sink = nullptr;

    STDMETHODIMP GetConnectionInterface(IID* iid) noexcept override {
        *iid = kEventsIid;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer**) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP Advise(IUnknown* unknown, DWORD* cookie) noexcept override {
        calls.push_back("Advise");
        *cookie = 0;
        if (FAILED(adviseResult)) return adviseResult;
        sink = unknown;
        sink->AddRef();
        *cookie = ++nextCookie;
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) noexcept override {
        calls.push_back("Unadvise " + std::to_string(cookie));
        if (sink) std::exchange(sink, nullptr)->Release();
        return S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections**) noexcept override { return E_NOTIMPL; }
};

// A source with the framework's container over one point.
class MockSource : public vnl::ComObjectRoot, public vnl::ConnectionPointContainerImpl {
public:
    VNL_BEGIN_INTERFACE_MAP(MockSource)
        VNL_INTERFACE_ENTRY(IConnectionPointContainer)
    VNL_END_INTERFACE_MAP()

    ComPtr<ComObject<MockPoint>> point;

protected:
    std::span<IConnectionPoint* const> ConnectionPoints() noexcept override {
        points_[0] = point.get();
        return points_;
    }

private:
    IConnectionPoint* points_[1] = {};
};

// A container with no points: what the band offers.
class EmptySource : public vnl::ComObjectRoot, public vnl::ConnectionPointContainerImpl {
public:
    VNL_BEGIN_INTERFACE_MAP(EmptySource)
        VNL_INTERFACE_ENTRY(IConnectionPointContainer)
    VNL_END_INTERFACE_MAP()
};

// The sink: any object will do.
class Sink : public vnl::ComObjectRoot, public IDispatch {
public:
    VNL_BEGIN_INTERFACE_MAP(Sink)
        VNL_INTERFACE_ENTRY(IDispatch)
    VNL_END_INTERFACE_MAP()
    STDMETHODIMP GetTypeInfoCount(UINT*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept override {
        return S_OK;
    }
};

template <typename T>
ULONG RefCount(T* object) {
    object->AddRef();
    return object->Release();
}

struct Fixture {
    ComPtr<ComObject<MockSource>> source;
    ComPtr<ComObject<Sink>> sink;
    Fixture() {
        EXPECT_EQ(ComObject<MockSource>::CreateInstance(source.put()), S_OK);
        EXPECT_EQ(ComObject<MockPoint>::CreateInstance(source->point.put()), S_OK);
        EXPECT_EQ(ComObject<Sink>::CreateInstance(sink.put()), S_OK);
    }
    MockPoint& Point() { return *source->point.get(); }
};

TEST(SinkConnection, UnadvisesItsCookieOnceWhenResetOrDestroyed) {
    Fixture f;
    const ULONG pointRefs = RefCount(f.source->point.get());
    {
        vnl::SinkConnection connection;
        ASSERT_EQ(connection.Advise(static_cast<IConnectionPointContainer*>(f.source.get()), kEventsIid,
                                    static_cast<IDispatch*>(f.sink.get())),
                  S_OK);
        EXPECT_TRUE(connection.Connected());
        EXPECT_EQ(connection.Cookie(), 42u);
        EXPECT_EQ(RefCount(f.source->point.get()), pointRefs + 1) << "the connection holds the point";
        EXPECT_EQ(RefCount(f.sink.get()), 2u) << "the point holds the sink";

        // Moving hands the advise over; the moved-from connection undoes nothing.
        vnl::SinkConnection moved = std::move(connection);
        EXPECT_FALSE(connection.Connected());
        EXPECT_EQ(connection.Reset(), S_OK);
        EXPECT_EQ(f.Point().calls, (std::vector<std::string>{"Advise"}));
        EXPECT_EQ(moved.Cookie(), 42u);
    }
    EXPECT_EQ(f.Point().calls, (std::vector<std::string>{"Advise", "Unadvise 42"}));
    EXPECT_EQ(RefCount(f.source->point.get()), pointRefs) << "and releases the point";
    EXPECT_EQ(RefCount(f.sink.get()), 1u);

    // Reset twice: one Unadvise. A list of connections emptied unadvises each.
    std::vector<vnl::SinkConnection> list(3);
    for (auto& c : list) {
        ASSERT_EQ(c.Advise(f.source->point.get(), static_cast<IDispatch*>(f.sink.get())), S_OK);
    }
    EXPECT_EQ(list[0].Reset(), S_OK);
    EXPECT_EQ(list[0].Reset(), S_OK);
    list.clear();
    EXPECT_EQ(f.Point().calls, (std::vector<std::string>{"Advise", "Unadvise 42", "Advise", "Advise", "Advise",
                                                         "Unadvise 43", "Unadvise 44", "Unadvise 45"}));

    // Assigning over a live connection unadvises the old one first.
    vnl::SinkConnection a, b;
    ASSERT_EQ(a.Advise(f.source->point.get(), static_cast<IDispatch*>(f.sink.get())), S_OK);
    ASSERT_EQ(b.Advise(f.source->point.get(), static_cast<IDispatch*>(f.sink.get())), S_OK);
    a = std::move(b);
    EXPECT_EQ(f.Point().calls.back(), "Unadvise 46");
    EXPECT_EQ(a.Cookie(), 47u);
}

TEST(SinkConnection, FailedAdviseLeavesItEmpty) {
    Fixture f;
    vnl::SinkConnection connection;
    const IID otherIid = IID_IPropertyNotifySink;
    EXPECT_EQ(connection.Advise(static_cast<IConnectionPointContainer*>(f.source.get()), otherIid,
                                static_cast<IDispatch*>(f.sink.get())),
              CONNECT_E_NOCONNECTION);
    EXPECT_FALSE(connection.Point());

    f.Point().adviseResult = CONNECT_E_ADVISELIMIT;
    EXPECT_EQ(connection.Advise(f.source->point.get(), static_cast<IDispatch*>(f.sink.get())), CONNECT_E_ADVISELIMIT);
    EXPECT_FALSE(connection.Point());
    EXPECT_EQ(connection.Reset(), S_OK);
    // A source that is no container.
    EXPECT_EQ(connection.Advise(static_cast<IDispatch*>(f.sink.get()), kEventsIid, static_cast<IDispatch*>(f.sink.get())),
              E_NOINTERFACE);
    EXPECT_EQ(f.Point().calls, (std::vector<std::string>{"Advise"})) << "nothing to unadvise";
}

TEST(ConnectionPointContainer, FindsAndEnumeratesItsPointsAndTheEmptyOneHasNone) {
    Fixture f;
    IConnectionPointContainer* container = f.source.get();
    IConnectionPoint* found = reinterpret_cast<IConnectionPoint*>(0x1234);
    EXPECT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, &found), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(container->FindConnectionPoint(kEventsIid, nullptr), E_POINTER);
    ASSERT_EQ(container->FindConnectionPoint(kEventsIid, &found), S_OK);
    EXPECT_EQ(static_cast<void*>(found), static_cast<IConnectionPoint*>(f.source->point.get()));
    found->Release();

    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(points.put()), S_OK);
    IConnectionPoint* next[2] = {};
    ULONG fetched = 9;
    EXPECT_EQ(points->Next(2, next, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(static_cast<void*>(next[0]), static_cast<IConnectionPoint*>(f.source->point.get()));
    next[0]->Release();
    ComPtr<IEnumConnectionPoints> clone;
    ASSERT_EQ(points->Clone(clone.put()), S_OK);
    EXPECT_EQ(clone->Next(1, next, nullptr), S_FALSE) << "the clone goes on where the original stood";
    EXPECT_EQ(points->Reset(), S_OK);
    EXPECT_EQ(points->Skip(1), S_OK);
    EXPECT_EQ(points->Skip(1), S_FALSE);

    ComPtr<ComObject<EmptySource>> empty;
    ASSERT_EQ(ComObject<EmptySource>::CreateInstance(empty.put()), S_OK);
    found = reinterpret_cast<IConnectionPoint*>(0x1234);
    EXPECT_EQ(empty->FindConnectionPoint(kEventsIid, &found), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(found, nullptr);
    ComPtr<IEnumConnectionPoints> none;
    ASSERT_EQ(empty->EnumConnectionPoints(none.put()), S_OK);
    fetched = 9;
    EXPECT_EQ(none->Next(1, next, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
}

class Failing : public vnl::ComObjectRoot, public IPersist {
public:
    VNL_BEGIN_INTERFACE_MAP(Failing)
        VNL_INTERFACE_ENTRY(IPersist)
    VNL_END_INTERFACE_MAP()
    HRESULT FinalConstruct() noexcept { return E_ACCESSDENIED; }
    STDMETHODIMP GetClassID(CLSID*) noexcept override { return E_NOTIMPL; }
};

TEST(ComObject, HoldsTheModuleWhileAliveAndAFailedFinalConstructLeavesNothing) {
    const LONG before = vnl::ModuleLockCount();
    {
        Fixture f;
        EXPECT_EQ(vnl::ModuleLockCount(), before + 3);
        EXPECT_EQ(vnl::CanUnloadModule(), S_FALSE);
    }
    EXPECT_EQ(vnl::ModuleLockCount(), before);

    ComObject<Failing>* failing = reinterpret_cast<ComObject<Failing>*>(0x1234);
    EXPECT_EQ(ComObject<Failing>::CreateInstance(&failing), E_ACCESSDENIED);
    EXPECT_EQ(failing, nullptr);
    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(ComObject<Failing>::CreateInstance(IID_IPersist, &out), E_ACCESSDENIED);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(vnl::ModuleLockCount(), before);
}

}  // namespace
