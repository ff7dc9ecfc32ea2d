#include "emulation/copy_out.h"

#include <cstring>

namespace iz {

uint32_t copy_out(const std::string& text, char* buffer, uint32_t size) {
    if (text.size() + 1 > size) {
        return static_cast<uint32_t>(text.size() + 1);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<uint32_t>(text.size());
}

}  // namespace iz
