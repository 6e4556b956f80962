#include "base/storage.h"

#include <new>
#include <stdexcept>
#include <string>

#include "base/fatal.h"

namespace tovrel {

void reportAllocationFailure(std::size_t n) {
    // "分配 %d 字节内存失败!"
    std::string message = "\xb7\xd6\xc5\xe4 ";
    message += std::to_string(n);
    message += " \xd7\xd6\xbd\xda\xc4\xda\xb4\xe6\xca\xa7\xb0\xdc!";
    reportFatalError(message, 0);
}

void reserveStorage(std::string& value, std::size_t n) {
    if (n <= value.capacity()) return;
    try {
        value.reserve(n);
    } catch (const std::bad_alloc&) {
        reportAllocationFailure(n);
    } catch (const std::length_error&) {
        reportAllocationFailure(n);
    }
}

}  // namespace tovrel
