// The stand-in keyboard filter driver: kernel glue around FilterEngine.
//
// "\Device\VNLV2" (user mode: "\\.\VNLV2") takes only IOCTL_VNL_TRANSACT with
// an enciphered envelope. "\Device\VNLV2CTL" ("\\.\VNLV2CTL") takes the plain
// control requests of DriverControlProtocol.h. One kernel mutex serialises
// every request of both devices; the engine is a constant-initialised global,
// so no constructor runs (there is no C++ runtime here).
// The ddk headers define these two intrinsics themselves; keep the compiler
// headers from defining them first, which C++ rejects as a redeclaration.
#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#include <ntddk.h>

#include "DriverControlProtocol.h"
#include "FilterEngine.h"

namespace {

using vnl::drv::FilterEngine;

constinit FilterEngine g_engine;
KMUTEX g_lock;
PDEVICE_OBJECT g_envelopeDevice = nullptr;
PDEVICE_OBJECT g_controlDevice = nullptr;

constexpr ULONG kPoolTag = 0x566C6E56;  // "VnlV"
constexpr ULONG kMaxFilterValueBytes = 64 * 1024;

class EngineLock {
public:
    EngineLock() noexcept { KeWaitForSingleObject(&g_lock, Executive, KernelMode, FALSE, nullptr); }
    ~EngineLock() { KeReleaseMutex(&g_lock, FALSE); }
    EngineLock(const EngineLock&) = delete;
    EngineLock& operator=(const EngineLock&) = delete;
};

// The keyboard class's upper filters from the registry, each as
// "\Driver\NAME" (names longer than an entry holds are cut, never unterminated).
std::uint32_t ReadKeyboardClassFilters(vnl::FilterEntry* entries, std::uint32_t capacity) noexcept {
    UNICODE_STRING keyName;
    RtlInitUnicodeString(&keyName,
                         L"\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Control\\Class\\"
                         L"{4D36E96B-E325-11CE-BFC1-08002BE10318}");
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &keyName, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
    HANDLE key = nullptr;
    if (!NT_SUCCESS(ZwOpenKey(&key, KEY_QUERY_VALUE, &attributes))) return 0;

    UNICODE_STRING valueName;
    RtlInitUnicodeString(&valueName, L"UpperFilters");
    ULONG needed = 0;
    NTSTATUS status = ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, nullptr, 0, &needed);
    std::uint32_t count = 0;
    if ((status == STATUS_BUFFER_TOO_SMALL || status == STATUS_BUFFER_OVERFLOW) && needed > 0 &&
        needed <= kMaxFilterValueBytes) {
        auto* info = static_cast<PKEY_VALUE_PARTIAL_INFORMATION>(ExAllocatePoolWithTag(PagedPool, needed, kPoolTag));
        if (info != nullptr) {
            status = ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, info, needed, &needed);
            if (NT_SUCCESS(status) && info->Type == REG_MULTI_SZ) {
                const auto* units = reinterpret_cast<const WCHAR*>(info->Data);
                const ULONG total = info->DataLength / sizeof(WCHAR);
                static constexpr char16_t kPrefix[] = u"\\Driver\\";
                constexpr std::size_t kPrefixUnits = sizeof kPrefix / sizeof kPrefix[0] - 1;
                ULONG at = 0;
                // Strings follow one another, each NUL-terminated; an empty one
                // (or the end of the data) ends the list.
                while (count < capacity && at < total && units[at] != 0) {
                    vnl::FilterEntry& entry = entries[count++];
                    RtlZeroMemory(&entry, sizeof entry);
                    entry.inUse = 1;
                    std::size_t length = 0;
                    for (; length < kPrefixUnits; ++length) entry.name[length] = kPrefix[length];
                    for (; at < total && units[at] != 0; ++at)
                        if (length + 1 < vnl::kFilterNameUnits) entry.name[length++] = static_cast<char16_t>(units[at]);
                    ++at;  // past the terminator
                }
            }
            ExFreePoolWithTag(info, kPoolTag);
        }
    }
    ZwClose(key);
    return count;
}

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) noexcept {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

template <typename T>
bool InputHolds(const IO_STACK_LOCATION* stack) noexcept {
    return stack->Parameters.DeviceIoControl.InputBufferLength >= sizeof(T);
}

template <typename T>
bool OutputHolds(const IO_STACK_LOCATION* stack) noexcept {
    return stack->Parameters.DeviceIoControl.OutputBufferLength >= sizeof(T);
}

NTSTATUS EnvelopeControl(PIRP irp, PIO_STACK_LOCATION stack) noexcept {
    if (stack->Parameters.DeviceIoControl.IoControlCode != vnl::IOCTL_VNL_TRANSACT)
        return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    auto* buffer = static_cast<unsigned char*>(irp->AssociatedIrp.SystemBuffer);
    const ULONG inputLength = buffer != nullptr ? stack->Parameters.DeviceIoControl.InputBufferLength : 0;
    const ULONG outputLength = buffer != nullptr ? stack->Parameters.DeviceIoControl.OutputBufferLength : 0;
    const vnl::drv::Caller caller = {static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(PsGetCurrentProcessId())),
                                     static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(PsGetCurrentThreadId()))};
    vnl::drv::ExchangeOutcome outcome;
    {
        EngineLock lock;
        outcome = g_engine.Exchange(buffer, inputLength, buffer, outputLength, caller);
    }
    if (outcome.fail) return Complete(irp, STATUS_UNSUCCESSFUL, 0);
    return Complete(irp, STATUS_SUCCESS, outcome.replyLength);
}

NTSTATUS ControlControl(PIRP irp, PIO_STACK_LOCATION stack) noexcept {
    using namespace vnl::drv;
    void* buffer = irp->AssociatedIrp.SystemBuffer;
    const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    EngineLock lock;
    switch (code) {
    case IOCTL_VNLCTL_PRESS_KEY: {
        if (buffer == nullptr || !InputHolds<PressKeyRequest>(stack) || !OutputHolds<PressKeyResult>(stack))
            return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        const PressKeyRequest request = *static_cast<const PressKeyRequest*>(buffer);
        PressKeyResult result;
        if (!g_engine.PressKey(request, result)) return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        *static_cast<PressKeyResult*>(buffer) = result;
        return Complete(irp, STATUS_SUCCESS, sizeof result);
    }
    case IOCTL_VNLCTL_SET_FILTERS:
        if (buffer == nullptr ||
            !g_engine.SetFilters(static_cast<const unsigned char*>(buffer),
                                 stack->Parameters.DeviceIoControl.InputBufferLength))
            return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        return Complete(irp, STATUS_SUCCESS, 0);
    case IOCTL_VNLCTL_SET_NEXT_REPLY:
        if (buffer == nullptr || !InputHolds<NextReplyRequest>(stack)) return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        g_engine.SetNextReply(*static_cast<const NextReplyRequest*>(buffer));
        return Complete(irp, STATUS_SUCCESS, 0);
    case IOCTL_VNLCTL_FAIL_EXCHANGES:
        if (buffer == nullptr || !InputHolds<FailExchangesRequest>(stack))
            return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        g_engine.FailExchanges(static_cast<const FailExchangesRequest*>(buffer)->count);
        return Complete(irp, STATUS_SUCCESS, 0);
    case IOCTL_VNLCTL_QUERY_STATE:
        if (buffer == nullptr || !OutputHolds<DriverState>(stack)) return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        *static_cast<DriverState*>(buffer) = g_engine.State();
        return Complete(irp, STATUS_SUCCESS, sizeof(DriverState));
    case IOCTL_VNLCTL_READ_LOG:
        if (buffer == nullptr || !OutputHolds<LogReply>(stack)) return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        g_engine.ReadLog(*static_cast<LogReply*>(buffer));
        return Complete(irp, STATUS_SUCCESS, sizeof(LogReply));
    case IOCTL_VNLCTL_RESET:
        g_engine.Reset();
        return Complete(irp, STATUS_SUCCESS, 0);
    default:
        return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

NTSTATUS NTAPI DispatchOpenClose(PDEVICE_OBJECT, PIRP irp) { return Complete(irp, STATUS_SUCCESS, 0); }

NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (device == g_envelopeDevice) return EnvelopeControl(irp, stack);
    if (device == g_controlDevice) return ControlControl(irp, stack);
    return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
}

NTSTATUS NTAPI DispatchUnsupported(PDEVICE_OBJECT, PIRP irp) {
    return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
}

void DeleteDevice(PDEVICE_OBJECT& device, const wchar_t* link) noexcept {
    if (device == nullptr) return;
    UNICODE_STRING linkName;
    RtlInitUnicodeString(&linkName, link);
    IoDeleteSymbolicLink(&linkName);
    IoDeleteDevice(device);
    device = nullptr;
}

constexpr const wchar_t* kEnvelopeLink = L"\\DosDevices\\VNLV2";
constexpr const wchar_t* kControlLink = L"\\DosDevices\\VNLV2CTL";

VOID NTAPI DriverUnload(PDRIVER_OBJECT) {
    DeleteDevice(g_controlDevice, kControlLink);
    DeleteDevice(g_envelopeDevice, kEnvelopeLink);
}

// Creates a buffered, non-exclusive device and its link; on failure nothing is left behind.
NTSTATUS CreateDevice(PDRIVER_OBJECT driver, const wchar_t* name, const wchar_t* link, PDEVICE_OBJECT& device) noexcept {
    UNICODE_STRING deviceName;
    RtlInitUnicodeString(&deviceName, name);
    NTSTATUS status = IoCreateDevice(driver, 0, &deviceName, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status)) {
        device = nullptr;
        return status;
    }
    device->Flags |= DO_BUFFERED_IO;
    UNICODE_STRING linkName;
    RtlInitUnicodeString(&linkName, link);
    status = IoCreateSymbolicLink(&linkName, &deviceName);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        device = nullptr;
        return status;
    }
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

}  // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    KeInitializeMutex(&g_lock, 0);
    g_engine.SetDefaultListingSource(&ReadKeyboardClassFilters);
    for (int i = 0; i <= IRP_MJ_MAXIMUM_FUNCTION; ++i) driver->MajorFunction[i] = DispatchUnsupported;
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchOpenClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchOpenClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchOpenClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
    driver->DriverUnload = DriverUnload;

    NTSTATUS status = CreateDevice(driver, L"\\Device\\VNLV2", kEnvelopeLink, g_envelopeDevice);
    if (!NT_SUCCESS(status)) return status;
    status = CreateDevice(driver, L"\\Device\\VNLV2CTL", kControlLink, g_controlDevice);
    if (!NT_SUCCESS(status)) {
        DeleteDevice(g_envelopeDevice, kEnvelopeLink);
        return status;
    }
    return STATUS_SUCCESS;
}
