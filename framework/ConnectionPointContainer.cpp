#include "ConnectionPointContainer.h"

#include <vector>

#include "ComObject.h"
#include "ComPtr.h"

namespace vnl {
namespace {

class ConnectionPointEnumerator : public ComObjectRoot, public IEnumConnectionPoints {
public:
    VNL_BEGIN_INTERFACE_MAP(ConnectionPointEnumerator)
        VNL_INTERFACE_ENTRY(IEnumConnectionPoints)
    VNL_END_INTERFACE_MAP()

    ConnectionPointEnumerator(std::vector<ComPtr<IConnectionPoint>> points, size_t position)
        : points_(std::move(points)), position_(position) {}

    STDMETHODIMP Next(ULONG count, IConnectionPoint** out, ULONG* fetched) noexcept override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG given = 0;
        while (given < count && position_ < points_.size()) {
            IConnectionPoint* point = points_[position_++].get();
            point->AddRef();
            out[given++] = point;
        }
        if (fetched) *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) noexcept override {
        size_t left = points_.size() - position_;
        position_ += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() noexcept override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumConnectionPoints** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        try {
            ComObject<ConnectionPointEnumerator>* copy = nullptr;
            HRESULT hr = ComObject<ConnectionPointEnumerator>::CreateInstance(&copy, points_, position_);
            if (FAILED(hr)) return hr;
            *out = copy;
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

private:
    std::vector<ComPtr<IConnectionPoint>> points_;
    size_t position_;
};

}  // namespace

STDMETHODIMP ConnectionPointContainerImpl::EnumConnectionPoints(IEnumConnectionPoints** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        std::vector<ComPtr<IConnectionPoint>> points;
        for (IConnectionPoint* point : ConnectionPoints()) {
            if (point) points.emplace_back(point);
        }
        ComObject<ConnectionPointEnumerator>* enumerator = nullptr;
        HRESULT hr = ComObject<ConnectionPointEnumerator>::CreateInstance(&enumerator, std::move(points), size_t{0});
        if (FAILED(hr)) return hr;
        *out = enumerator;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP ConnectionPointContainerImpl::FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (IConnectionPoint* point : ConnectionPoints()) {
        IID pointIid{};
        if (point && SUCCEEDED(point->GetConnectionInterface(&pointIid)) && ::IsEqualIID(pointIid, iid)) {
            point->AddRef();
            *out = point;
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

}  // namespace vnl
