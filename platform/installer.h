// The Windows Installer's product database: what it recorded about an installed product.
//
// Windows: MsiGetProductInfoW. POSIX has no installer database: every product is unknown there
// (kUnknownProduct), so callers take their fallbacks exactly as for a product Windows forgot.
#pragma once

#include <string>

namespace pellanor::platform::installer {

// Outcome of a query: 0 on success, else the Windows error code (the POSIX stand-in answers
// with the same codes).
using Status = long;
constexpr Status kSuccess = 0;
constexpr Status kInvalidParameter = 87;   // ERROR_INVALID_PARAMETER: not a product code
constexpr Status kMoreData = 234;          // ERROR_MORE_DATA: the value exceeds the buffer
constexpr Status kUnknownProduct = 1605;   // ERROR_UNKNOWN_PRODUCT
constexpr Status kUnknownProperty = 1608;  // ERROR_UNKNOWN_PROPERTY

// Units, terminating zero included, of the buffer a product property is read into.
inline constexpr unsigned kPropertyBufferUnits = 1040;

// The "ProductIcon" property of the product `productCode` ("{XXXXXXXX-XXXX-...}", braces
// included), read into a buffer of kPropertyBufferUnits; empty on any failure, with the reason
// in `status` when given. Blocks briefly (the installer service reads its database).
std::string productIcon(const std::string& productCode, Status* status = nullptr);

}  // namespace pellanor::platform::installer
