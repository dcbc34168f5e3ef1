#pragma once
// The USB-serial adapters the device link accepts, as the vendor and product fragments looked
// for in a device's hardware identifier.
#include <string_view>

namespace orvane::device {

struct AdapterRow {
    const char* vendor;   // "VID_0403"
    const char* product;  // "PID_6001"
};

inline constexpr int kAdapterRowCount = 19;
extern const AdapterRow kAdapterTable[kAdapterRowCount];

// The first row (1..19) both of whose fragments occur in `hardwareId` (exact, case-sensitive);
// 0 when none does.
int matchAdapterRow(std::string_view hardwareId);

}  // namespace orvane::device
