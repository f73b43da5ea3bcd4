#include "DriverControl.h"

#include <algorithm>
#include <memory>

namespace bench {

using namespace vnl::drv;

DriverControl::DriverControl()
    : device_(CreateFileW(L"\\\\.\\VNLV2CTL", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}

bool DriverControl::Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize) {
    DWORD returned = 0;
    return device_.valid() &&
           DeviceIoControl(device_.get(), code, const_cast<void*>(in), inSize, out, outSize, &returned, nullptr) != 0;
}

std::optional<PressKeyResult> DriverControl::PressKey(std::uint16_t scanCode, bool extended) {
    const PressKeyRequest request = {scanCode, static_cast<std::uint16_t>(extended ? 1 : 0)};
    PressKeyResult result = {};
    if (!Control(IOCTL_VNLCTL_PRESS_KEY, &request, sizeof request, &result, sizeof result)) return std::nullopt;
    return result;
}

bool DriverControl::SetFilters(const std::vector<vnl::FilterEntry>& entries, std::optional<std::uint32_t> dataLength) {
    if (entries.size() > vnl::kMaxFilterEntries) return false;
    SetFiltersRequest request = {};
    request.count = static_cast<std::uint32_t>(entries.size());
    request.overrideLength = dataLength.has_value() ? 1 : 0;
    request.dataLength = dataLength.value_or(0);
    for (size_t i = 0; i < entries.size(); ++i) request.entries[i] = entries[i];
    const DWORD size = static_cast<DWORD>(kSetFiltersHeaderSize + entries.size() * sizeof(vnl::FilterEntry));
    return Control(IOCTL_VNLCTL_SET_FILTERS, &request, size, nullptr, 0);
}

bool DriverControl::UseDefaultFilters() {
    SetFiltersRequest request = {};
    request.useDefault = 1;
    return Control(IOCTL_VNLCTL_SET_FILTERS, &request, kSetFiltersHeaderSize, nullptr, 0);
}

bool DriverControl::SetNextReply(std::optional<std::uint32_t> status, std::optional<std::uint32_t> dataLength,
                                 std::optional<std::uint32_t> replyLength) {
    const NextReplyRequest request = {status.has_value() ? 1u : 0u,      status.value_or(0),
                                      dataLength.has_value() ? 1u : 0u,  dataLength.value_or(0),
                                      replyLength.has_value() ? 1u : 0u, replyLength.value_or(0)};
    return Control(IOCTL_VNLCTL_SET_NEXT_REPLY, &request, sizeof request, nullptr, 0);
}

bool DriverControl::FailExchanges(std::uint32_t count) {
    const FailExchangesRequest request = {count};
    return Control(IOCTL_VNLCTL_FAIL_EXCHANGES, &request, sizeof request, nullptr, 0);
}

std::vector<LogEntry> DriverControl::ReadLog() {
    auto reply = std::make_unique<LogReply>();
    if (!Control(IOCTL_VNLCTL_READ_LOG, nullptr, 0, reply.get(), sizeof *reply)) return {};
    return {reply->entries, reply->entries + std::min<std::uint32_t>(reply->count, kLogCapacity)};
}

DriverState DriverControl::State() {
    DriverState state = {};
    Control(IOCTL_VNLCTL_QUERY_STATE, nullptr, 0, &state, sizeof state);
    return state;
}

bool DriverControl::Reset() { return Control(IOCTL_VNLCTL_RESET, nullptr, 0, nullptr, 0); }

vnl::FilterEntry MakeFilterEntry(const std::wstring& name, std::uint32_t inUse) {
    vnl::FilterEntry entry = {};
    entry.inUse = inUse;
    for (size_t i = 0; i < name.size() && i + 1 < vnl::kFilterNameUnits; ++i) entry.name[i] = static_cast<char16_t>(name[i]);
    return entry;
}

RawExchange SendToDriver(const std::vector<unsigned char>& input, DWORD outputLength, DWORD code) {
    RawExchange result;
    vnl::UniqueAny<vnl::FileHandleTraits> device(
        CreateFileW(L"\\\\.\\VNLV2", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!device.valid()) {
        result.error = GetLastError();
        return result;
    }
    result.opened = true;
    result.output.assign(outputLength, 0);
    std::vector<unsigned char> in = input;
    result.succeeded = DeviceIoControl(device.get(), code, in.empty() ? nullptr : in.data(), static_cast<DWORD>(in.size()),
                                       result.output.empty() ? nullptr : result.output.data(), outputLength,
                                       &result.bytesReturned, nullptr) != 0;
    if (!result.succeeded) result.error = GetLastError();
    return result;
}

ScopedDriverStopped::ScopedDriverStopped() {
    manager_.reset(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (manager_) service_.reset(::OpenServiceA(manager_.get(), "VNLv2", SERVICE_ALL_ACCESS));
    SERVICE_STATUS status{};
    stopped_ = service_ && ::ControlService(service_.get(), SERVICE_CONTROL_STOP, &status) && WaitFor(SERVICE_STOPPED);
}

bool ScopedDriverStopped::Restart() {
    if (!service_ || !stopped_) return false;
    stopped_ = false;
    ::StartServiceA(service_.get(), 0, nullptr);
    return WaitFor(SERVICE_RUNNING);
}

bool ScopedDriverStopped::WaitFor(DWORD state) {
    SERVICE_STATUS status{};
    for (int i = 0; i < 100; ++i) {
        if (::QueryServiceStatus(service_.get(), &status) && status.dwCurrentState == state) return true;
        ::Sleep(50);
    }
    return false;
}

}  // namespace bench
