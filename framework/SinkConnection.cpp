#include "SinkConnection.h"

#include <utility>

#include "ErrorMacros.h"

namespace vnl {

SinkConnection::SinkConnection(SinkConnection&& other) noexcept
    : point_(std::move(other.point_)), cookie_(std::exchange(other.cookie_, 0)) {}

SinkConnection& SinkConnection::operator=(SinkConnection&& other) noexcept {
    if (this != &other) {
        Reset();
        point_ = std::move(other.point_);
        cookie_ = std::exchange(other.cookie_, 0);
    }
    return *this;
}

HRESULT SinkConnection::Advise(IUnknown* source, REFIID eventsIid, IUnknown* sink) noexcept {
    Reset();
    if (!source || !sink) return E_POINTER;
    ComPtr<IConnectionPointContainer> container;
    RETURN_IF_FAILED(source->QueryInterface(IID_IConnectionPointContainer, container.put_void()));
    ComPtr<IConnectionPoint> point;
    RETURN_IF_FAILED(container->FindConnectionPoint(eventsIid, point.put()));
    RETURN_HR_IF_NULL(CONNECT_E_NOCONNECTION, point.get());
    return Advise(point.get(), sink);
}

HRESULT SinkConnection::Advise(IConnectionPoint* point, IUnknown* sink) noexcept {
    Reset();
    if (!point || !sink) return E_POINTER;
    DWORD cookie = 0;
    RETURN_IF_FAILED(point->Advise(sink, &cookie));
    point_ = ComPtr<IConnectionPoint>(point);
    cookie_ = cookie;
    return S_OK;
}

void SinkConnection::Attach(IConnectionPoint* point, DWORD cookie) noexcept {
    Reset();
    point_ = ComPtr<IConnectionPoint>(point);
    cookie_ = cookie;
}

HRESULT SinkConnection::Reset() noexcept {
    HRESULT hr = S_OK;
    // Take both out first: an Unadvise that calls back into the owner finds
    // the connection already empty.
    ComPtr<IConnectionPoint> point = std::move(point_);
    DWORD cookie = std::exchange(cookie_, 0);
    if (point && cookie != 0) hr = point->Unadvise(cookie);
    return hr;
}

}  // namespace vnl
