// Wine's debug output. Wine prints its debug channels on the Unix standard
// error that every process of a run inherits from the first one, whatever
// Windows handles a process was given; a program's own stderr pipe never sees
// them. wine-run therefore keeps a copy of that stream in a file of the run,
// named by VNL_TRACE_LOG, and a cursor reads what was added to it.
#pragma once

#include <cstdint>
#include <string>

namespace bench {

class TraceCursor {
public:
    // Starts at the current end of the run's trace.
    TraceCursor();

    // True when the run keeps a trace (the program was started by wine-run).
    bool available() const { return !path_.empty(); }

    // What Wine printed since the cursor was made or last read, by every
    // process of the run. Lines printed before the call are all included: the
    // cursor marks the stream and waits (up to `timeoutMs`) until the copy has
    // caught up with the mark. Empty when no trace is kept.
    std::string ReadNew(unsigned timeoutMs = 10000);

private:
    std::string path_;
    uint64_t offset_ = 0;
};

}  // namespace bench
