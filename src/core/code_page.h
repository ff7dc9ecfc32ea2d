// Code page 932, in which the Japanese texts are written.
#pragma once

namespace iz {

// True when `byte` begins a double-byte character of code page 932.
inline bool is_cp932_lead_byte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace iz
