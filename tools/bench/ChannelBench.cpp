// What an exchange with the driver costs through the real device: the median
// and 99th percentile of DecodeProtectedKey, of SetDriverProtection, and of a
// bare DeviceIoControl round trip with an envelope of the decoder's size to
// the same device (the floor). The last line is the ratio of the decoder's
// median to the floor's.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "Blowfish.h"
#include "DriverChannel.h"
#include "DriverControl.h"
#include "DriverEnvelope.h"
#include "UniqueAny.h"

namespace {

constexpr int kWarmUp = 200;
constexpr int kRounds = 4000;

class Stopwatch {
public:
    Stopwatch() { ::QueryPerformanceFrequency(&frequency_); }
    LONGLONG Now() const { LARGE_INTEGER t; ::QueryPerformanceCounter(&t); return t.QuadPart; }
    double Microseconds(LONGLONG ticks) const { return ticks * 1e6 / static_cast<double>(frequency_.QuadPart); }

private:
    LARGE_INTEGER frequency_;
};

struct Summary { double median; double p99; };

Summary Summarise(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) { return samples[static_cast<size_t>(q * (samples.size() - 1) + 0.5)]; };
    return {at(0.5), at(0.99)};
}

}  // namespace

int main() {
    const int opened = vnl::OpenDriverChannel(1);
    if (opened != 0) {
        std::fprintf(stderr, "bench: the driver channel cannot be opened (error %d)\n", opened);
        return 2;
    }
    bench::DriverControl keyboard;
    if (!keyboard.IsOpen()) {
        std::fprintf(stderr, "bench: the stand-in keyboard's control device cannot be opened\n");
        return 2;
    }
    keyboard.Reset();

    // The floor: a valid fetch envelope, enciphered once, sent as it is on a
    // handle of its own. Same code, same sizes, same device as the decoder's
    // exchange, without anything around it.
    vnl::UniqueFileHandle device(::CreateFileA("\\\\.\\VNLV2", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
    if (!device) {
        std::fprintf(stderr, "bench: the device cannot be opened (error %lu)\n", ::GetLastError());
        return 2;
    }
    unsigned char request[vnl::kEnvelopeCapacity] = {};
    unsigned char reply[vnl::kEnvelopeCapacity] = {};
    const std::uint32_t size = vnl::BuildRequest(request, vnl::VNL_OP_FETCH_KEYS,
                                                 ::GetCurrentThreadId() + ::GetCurrentProcessId(), 0);
    vnl::EncipherBlocks(vnl::EnvelopeKey(), request, size);
    const auto bareRoundTrip = [&] {
        DWORD returned = 0;
        return ::DeviceIoControl(device.get(), vnl::IOCTL_VNL_TRANSACT, request, size, reply, size, &returned,
                                 nullptr) != FALSE;
    };

    Stopwatch clock;
    std::vector<double> decode, protect, bare;
    decode.reserve(kRounds);
    protect.reserve(kRounds);
    bare.reserve(kRounds);
    bool failed = false;
    vnl::SetDriverProtection(1, 0);
    // The three are interleaved so that each sees the same system conditions.
    for (int round = 0; round < kWarmUp + kRounds && !failed; ++round) {
        // A keystroke held by the driver, so the decoder fetches a real record
        // (not timed).
        if (!keyboard.PressKey(0x1E, false)) failed = true;

        LONGLONG start = clock.Now();
        int character = '1', virtualKey = 0, count = 0;
        const int result = vnl::DecodeProtectedKey(&character, &virtualKey, &count);
        const LONGLONG decodeTicks = clock.Now() - start;
        if (result != 0 || character != 'a') failed = true;

        // The floor fetches a held keystroke too, so the driver does the same work.
        if (!keyboard.PressKey(0x1E, false)) failed = true;
        start = clock.Now();
        if (!bareRoundTrip()) failed = true;
        const LONGLONG bareTicks = clock.Now() - start;

        start = clock.Now();
        if (vnl::SetDriverProtection(1, 0) != 0) failed = true;
        const LONGLONG protectTicks = clock.Now() - start;

        if (round >= kWarmUp) {
            decode.push_back(clock.Microseconds(decodeTicks));
            bare.push_back(clock.Microseconds(bareTicks));
            protect.push_back(clock.Microseconds(protectTicks));
        }
    }
    vnl::SetDriverProtection(0, 0);
    vnl::CloseDriverChannel();
    if (failed) {
        std::fprintf(stderr, "bench: an exchange failed or a keystroke decoded wrongly\n");
        return 1;
    }

    const Summary d = Summarise(decode), p = Summarise(protect), b = Summarise(bare);
    std::printf("%d rounds after %d warm-up rounds, microseconds\n", kRounds, kWarmUp);
    std::printf("%-34s %10s %10s\n", "", "median", "p99");
    std::printf("%-34s %10.1f %10.1f\n", "DecodeProtectedKey", d.median, d.p99);
    std::printf("%-34s %10.1f %10.1f\n", "SetDriverProtection", p.median, p.p99);
    std::printf("%-34s %10.1f %10.1f\n", "bare DeviceIoControl (128 bytes)", b.median, b.p99);
    std::printf("decode/ioctl median ratio: %.2f\n", d.median / b.median);
    return 0;
}
