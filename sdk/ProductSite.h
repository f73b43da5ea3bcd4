// The product's web site, which the dialogs link to when a component of the
// product is not installed.
#pragma once

namespace vnl {

inline constexpr const char* kProductSiteHost = "www.varnel.example";

}  // namespace vnl
