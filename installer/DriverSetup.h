// What the installer does: install and remove the keyboard filter driver,
// register the event source, end the browsers. Each returns 0 or the error
// that ended it (the program's exit code).
#pragma once

#include <windows.h>

#include "InstallerPaths.h"
#include "ProgressDialog.h"

namespace vnl {

// A copied driver file that does not match its source (version blocks or size).
inline constexpr DWORD kCopyMismatch = 1613;

// Writes the service key, puts "VNLv2" first in the keyboard class's upper
// filter list (once), copies the driver file over the target and checks the
// copy. A filter list that is not a multi-string is left alone and the
// installation refused with ERROR_INVALID_DATA; one that cannot take the new
// item within 520 bytes (or cannot be read into them) with
// ERROR_INSUFFICIENT_BUFFER. Reports 30 to 100 on `progress`.
DWORD InstallDriver(const InstallerPaths& paths, ProgressSink& progress) noexcept;

// Takes "VNLv2" out of the filter list, deletes the service key and renames
// the driver file to vnlv2.remove, marked for deletion at the next restart.
// A missing service key or driver file is no failure; a filter list longer
// than the 520-byte buffer cannot be read and fails with ERROR_MORE_DATA,
// untouched, as does any other failed read. Reports 0 to 100.
DWORD UninstallDriver(const InstallerPaths& paths, ProgressSink& progress) noexcept;

// Creates the event source key; only when it is new, writes its message
// files (from the installation folder) and types. Returns the registry result.
DWORD RegisterProductEventSource() noexcept;

// Ends every running process whose executable name begins with
// "iexplore.exe" or "firefox.exe". Returns 0, 6 when no snapshot can be taken,
// or the error of reading its first entry. Processes that cannot be opened or
// ended are skipped.
DWORD EndBrowserProcesses() noexcept;

}  // namespace vnl
