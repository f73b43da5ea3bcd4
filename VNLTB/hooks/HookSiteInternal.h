// Inside the hook library: the band interface as SetBandHookSite left it.
#pragma once

#include "SystemHooks.h"

namespace vnl {

// A copy of the current band interface; all members null when none is set.
BandHookSite CurrentBandHookSite() noexcept;

}  // namespace vnl
