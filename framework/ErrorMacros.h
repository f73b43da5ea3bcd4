// Early-return helpers. Each evaluates its argument exactly once.
#pragma once

#include <windows.h>

#define RETURN_IF_FAILED(expr)                                   \
    do { HRESULT vnlHr_ = (expr); if (FAILED(vnlHr_)) return vnlHr_; } while (0)

// For calls that return a Win32 error code (LSTATUS, DWORD): returns it when non-zero.
#define RETURN_IF_WIN32_ERROR(expr)                              \
    do { LONG vnlErr_ = static_cast<LONG>(expr); if (vnlErr_ != ERROR_SUCCESS) return vnlErr_; } while (0)

// For calls that report failure through a false result and GetLastError.
#define RETURN_LAST_ERROR_IF_FALSE(expr)                         \
    do { if (!(expr)) return static_cast<LONG>(::GetLastError()); } while (0)

#define RETURN_HR_IF_NULL(hr, expr)                              \
    do { if ((expr) == nullptr) return (hr); } while (0)

#define RETURN_VALUE_IF(value, cond)                             \
    do { if (cond) return (value); } while (0)

// Wraps the body of an ABI-edge function so that no exception leaves it.
#define VNL_CATCH_RETURN(value)                                  \
    catch (...) { return (value); }
