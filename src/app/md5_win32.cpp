#include <windows.h>

#include "app/app_win32.h"
#include "runtime/hash_win32.h"

namespace zorv::app {

std::string Md5Hex(std::string_view data, uint32_t algorithm, uint32_t digestLength) {
    return DigestHex(std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size()), algorithm, digestLength);
}

}  // namespace zorv::app
