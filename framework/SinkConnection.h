// One advise on a connection point, owned: destroying it unadvises.
//
// Sink model. A sink is an interface of its owner (the band is the sink of the
// browser's and the page's events through its own IDispatch), or a small object
// that forwards AddRef and Release to its owner: either way the sink shares the
// owner's reference count. The point holds a reference to the sink, hence to
// the owner, for as long as the advise lasts, so the owner's destructor cannot
// be what unadvises: the owner breaks the cycle itself, in one place (the
// band's CloseDW), by resetting its SinkConnections. Destroying one unadvises
// too, for the connections whose point never held the owner (a sink advised
// on behalf of another object, a failed teardown).
//
// Usage:
//   vnl::SinkConnection events;
//   RETURN_IF_FAILED(events.Advise(browser.get(), DIID_DWebBrowserEvents2, sinkUnknown));
//   ...
//   events.Reset();   // Unadvise(cookie) on the point, then release the point
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "ComPtr.h"

namespace vnl {

class SinkConnection {
public:
    SinkConnection() noexcept = default;
    SinkConnection(const SinkConnection&) = delete;
    SinkConnection& operator=(const SinkConnection&) = delete;
    SinkConnection(SinkConnection&& other) noexcept;
    SinkConnection& operator=(SinkConnection&& other) noexcept;
    ~SinkConnection() { Reset(); }

    // Finds the point for `eventsIid` on `source` (through its
    // IConnectionPointContainer) and advises `sink` on it. Any advise held
    // before is reset first. On failure the connection is left empty and the
    // failure returned (CONNECT_E_NOCONNECTION when the source has no such point).
    HRESULT Advise(IUnknown* source, REFIID eventsIid, IUnknown* sink) noexcept;

    // Advises `sink` on a point the caller already has.
    HRESULT Advise(IConnectionPoint* point, IUnknown* sink) noexcept;

    // Takes over a point and a cookie advised elsewhere.
    void Attach(IConnectionPoint* point, DWORD cookie) noexcept;

    // Unadvises when the cookie is non-zero and the point present, then
    // releases the point; the connection is empty afterwards. Returns the
    // Unadvise result (S_OK when there was nothing to undo).
    HRESULT Reset() noexcept;

    IConnectionPoint* Point() const noexcept { return point_.get(); }
    DWORD Cookie() const noexcept { return cookie_; }
    bool Connected() const noexcept { return point_ && cookie_ != 0; }

private:
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

}  // namespace vnl
