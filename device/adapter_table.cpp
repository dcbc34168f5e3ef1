#include "device/adapter_table.h"

namespace orvane::device {

const AdapterRow kAdapterTable[kAdapterRowCount] = {
    {"VID_0403", "PID_6001"}, {"VID_0403", "PID_6010"}, {"VID_0403", "PID_6011"}, {"VID_0403", "PID_6014"},
    {"VID_0403", "PID_6015"}, {"VID_10C4", "PID_EA60"}, {"VID_10C4", "PID_EA70"}, {"VID_10C4", "PID_EA71"},
    {"VID_067B", "PID_2303"}, {"VID_067B", "PID_23A3"}, {"VID_067B", "PID_23B3"}, {"VID_067B", "PID_23C3"},
    {"VID_067B", "PID_23D3"}, {"VID_067B", "PID_23E3"}, {"VID_067B", "PID_23F3"}, {"VID_1A86", "PID_7523"},
    {"VID_1A86", "PID_5523"}, {"VID_1782", "PID_4D10"}, {"VID_1782", "PID_4D12"},
};

int matchAdapterRow(std::string_view hardwareId) {
    for (int i = 0; i < kAdapterRowCount; ++i) {
        if (hardwareId.find(kAdapterTable[i].vendor) != std::string_view::npos &&
            hardwareId.find(kAdapterTable[i].product) != std::string_view::npos) {
            return i + 1;
        }
    }
    return 0;
}

}  // namespace orvane::device
