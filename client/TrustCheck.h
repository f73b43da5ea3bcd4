// The check of the keyboard filter drivers' code signatures, run when a
// channel opens. A keystroke logger can sit in the keyboard stack as a filter
// driver: every filter the driver lists whose file carries no valid signature
// is reported to the event log, recorded under the user's "UntrustedDrivers"
// key, and warned about once per check.
#pragma once

#include <windows.h>

#include <cstddef>

#include "DriverProtocol.h"

namespace vnl {

class DriverChannel;

// Lists the keyboard filters through `channel` and verifies each listed
// driver's file. Returns 10 when at least one is untrusted, otherwise 0.
// For every untrusted driver: one event (0xC00003E8, the driver's name) and a
// REG_DWORD 0 under "UntrustedDrivers" unless a value of that name exists;
// then one warning for the whole check. With none untrusted (or nothing
// listed) the "UntrustedDrivers" key is deleted. May throw (the caller turns
// that into its result 6).
int CheckKeyboardFilterTrust(DriverChannel& channel);

// The file of a listed driver: the system directory, "\Drivers", the name's
// part from its last backslash on, ".sys". `name` is read only within its
// `units` (a name with no terminator ends there). Returns false, leaving
// `path` empty, when the name has no backslash or the path would not fit.
bool BuildDriverFilePath(const wchar_t* systemDirectory, const char16_t* name, std::size_t units,
                         wchar_t (&path)[MAX_PATH]) noexcept;

// Verifies the file's embedded signature, then the system's catalogues.
// Returns 1 when the file is trusted, 0 otherwise (also when "wintrust.dll"
// or one of its entry points is missing, or the file cannot be read).
int VerifyDriverFile(const wchar_t* path) noexcept;

}  // namespace vnl
