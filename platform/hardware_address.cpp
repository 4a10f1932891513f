// The text form of a hardware address, shared by both backends so their answers compare.
#include "platform/network.h"

namespace pellanor::platform {

std::string hardwareAddressText(const unsigned char* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) text += ':';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

}  // namespace pellanor::platform
