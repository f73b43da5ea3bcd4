// Driving the stand-in keyboard filter driver from tests and the demonstration:
// its control device "\\.\VNLV2CTL" (act as the keyboard, steer the next
// replies, read what the driver decoded) and raw exchanges with "\\.\VNLV2".
// Tests that use it take the `driver` resource lock.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "DriverControlProtocol.h"
#include "UniqueAny.h"

namespace bench {

class DriverControl {
public:
    DriverControl();  // opens the control device; check IsOpen()
    bool IsOpen() const { return device_.valid(); }

    // One keystroke from the keyboard; nothing when the driver refused it.
    std::optional<vnl::drv::PressKeyResult> PressKey(std::uint16_t scanCode, bool extended = false);
    // Replaces the filter listing; `dataLength` replaces the replies' data length.
    bool SetFilters(const std::vector<vnl::FilterEntry>& entries, std::optional<std::uint32_t> dataLength = {});
    bool UseDefaultFilters();  // back to the registry's keyboard class filters
    // The next well-formed reply carries `status` and `dataLength` in its header
    // words, and only its first `replyLength` bytes are returned.
    bool SetNextReply(std::optional<std::uint32_t> status, std::optional<std::uint32_t> dataLength = {},
                      std::optional<std::uint32_t> replyLength = {});
    // The next `count` exchanges on "\\.\VNLV2" fail (0 cancels).
    bool FailExchanges(std::uint32_t count);
    bool FailNextExchange() { return FailExchanges(1); }
    std::vector<vnl::drv::LogEntry> ReadLog();
    // Protection, the last protection caller, held records and the counters
    // (all zero when the device cannot be asked).
    vnl::drv::DriverState State();
    vnl::drv::DriverState Counters() { return State(); }
    bool Reset();

private:
    bool Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize);
    vnl::UniqueAny<vnl::FileHandleTraits> device_;
};

// Stops the stand-in driver's service (its devices disappear) and starts it
// again when destroyed, or earlier through Restart().
class ScopedDriverStopped {
public:
    ScopedDriverStopped();
    ~ScopedDriverStopped() { Restart(); }
    ScopedDriverStopped(const ScopedDriverStopped&) = delete;
    ScopedDriverStopped& operator=(const ScopedDriverStopped&) = delete;
    bool stopped() const { return stopped_; }
    // Starts the service again (once); true when it is running.
    bool Restart();

private:
    bool WaitFor(DWORD state);
    vnl::UniqueServiceHandle manager_;
    vnl::UniqueServiceHandle service_;
    bool stopped_ = false;
};

// A listing entry naming `name` (cut to fit, always terminated).
vnl::FilterEntry MakeFilterEntry(const std::wstring& name, std::uint32_t inUse = 1);

// One device control call on "\\.\VNLV2" with `input` as it is (no cipher).
struct RawExchange {
    bool opened = false;
    bool succeeded = false;
    DWORD error = 0;           // last error when the call failed
    DWORD bytesReturned = 0;
    std::vector<unsigned char> output;  // outputLength bytes as the call left them
};
RawExchange SendToDriver(const std::vector<unsigned char>& input, DWORD outputLength,
                         DWORD code = vnl::IOCTL_VNL_TRANSACT);

}  // namespace bench
