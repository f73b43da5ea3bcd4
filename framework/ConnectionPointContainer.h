// IConnectionPointContainer over the points a class gives: FindConnectionPoint
// by the points' own event interface, EnumConnectionPoints over them in order.
// With no points (the default) the container is the empty one: an empty
// enumeration, and CONNECT_E_NOCONNECTION for every interface.
//
// Usage:
//   class CWidget : public vnl::ComObjectRoot, public vnl::ConnectionPointContainerImpl, ... {
//       VNL_BEGIN_INTERFACE_MAP(CWidget)
//           ...
//           VNL_INTERFACE_ENTRY(IConnectionPointContainer)
//       VNL_END_INTERFACE_MAP()
//   protected:
//       std::span<IConnectionPoint* const> ConnectionPoints() noexcept override { return points_; }
//   };
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <span>

namespace vnl {

class ConnectionPointContainerImpl : public IConnectionPointContainer {
public:
    // An enumerator over a snapshot of the points (each AddRef'd); E_POINTER
    // without `out`, which is nulled first.
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override;

    // The point whose GetConnectionInterface is `iid`, AddRef'd; otherwise
    // CONNECT_E_NOCONNECTION. E_POINTER without `out`, which is nulled first.
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override;

protected:
    ~ConnectionPointContainerImpl() = default;

    // The class's connection points, in order. None by default.
    virtual std::span<IConnectionPoint* const> ConnectionPoints() noexcept { return {}; }
};

}  // namespace vnl
