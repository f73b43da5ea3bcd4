#include "ObjectModel.h"

#include <algorithm>

namespace vnl::browser {

STDMETHODIMP CConnectionPoint::QueryInterface(REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IConnectionPoint) return E_NOINTERFACE;
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP CConnectionPoint::GetConnectionInterface(IID* iid) noexcept {
    if (!iid) return E_POINTER;
    *iid = iid_;
    return S_OK;
}

STDMETHODIMP CConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) noexcept {
    if (!out) return E_POINTER;
    *out = owner_;
    owner_->AddRef();
    return S_OK;
}

STDMETHODIMP CConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) noexcept try {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    // The sink is called through IDispatch: asked for the event interface
    // first, then for IDispatch itself.
    ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(iid_, dispatch.put_void())) || !dispatch) {
        if (FAILED(sink->QueryInterface(IID_IDispatch, dispatch.put_void())) || !dispatch)
            return CONNECT_E_CANNOTCONNECT;
    }
    const DWORD assigned = nextCookie_++;
    sinks_.emplace_back(assigned, std::move(dispatch));
    *cookie = assigned;
    return S_OK;
} catch (...) {
    return E_OUTOFMEMORY;
}

STDMETHODIMP CConnectionPoint::Unadvise(DWORD cookie) noexcept {
    auto it = std::find_if(sinks_.begin(), sinks_.end(), [cookie](const auto& s) { return s.first == cookie; });
    if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
    // The sink's reference goes after the entry is out of the list: its
    // Release may call back into this point.
    ComPtr<IDispatch> sink = std::move(it->second);
    sinks_.erase(it);
    sink.reset();
    return S_OK;
}

std::vector<ComPtr<IDispatch>> CConnectionPoint::Sinks() const {
    std::vector<ComPtr<IDispatch>> out;
    for (const auto& s : sinks_) out.push_back(s.second);
    return out;
}

void ConnectionPoints::Add(IConnectionPointContainer* owner, const IID& iid) {
    points_.push_back(std::make_unique<CConnectionPoint>(owner, iid));
}

HRESULT ConnectionPoints::Find(REFIID iid, IConnectionPoint** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (auto& p : points_) {
        if (p->Iid() == iid) {
            *out = p.get();
            p->AddRef();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

std::vector<ComPtr<IDispatch>> ConnectionPoints::AllSinks() const {
    std::vector<ComPtr<IDispatch>> out;
    for (const auto& p : points_) {
        auto sinks = p->Sinks();
        out.insert(out.end(), sinks.begin(), sinks.end());
    }
    return out;
}

void ConnectionPoints::UnadviseAll() noexcept {
    // Moved out first: releasing a sink may re-enter the owner.
    std::vector<std::vector<ComPtr<IDispatch>>> released;
    for (auto& p : points_) {
        released.push_back(p->Sinks());
        p->UnadviseAll();
    }
}

HRESULT InvokeSink(IDispatch* sink, DISPID dispid, std::vector<VARIANT>& args, VARIANT* result) noexcept {
    if (!sink) return E_POINTER;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params = {};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    EXCEPINFO exception = {};
    UINT argError = 0;
    return sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, &exception,
                        &argError);
}

}  // namespace vnl::browser
