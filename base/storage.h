// Storage for new values. When the memory for a value cannot be obtained the
// process ends with the report "分配 N 字节内存失败!" naming the bytes asked for.
#pragma once

#include <cstddef>
#include <string>

namespace tovrel {

// Makes room for n bytes in value (its capacity becomes at least n).
void reserveStorage(std::string& value, std::size_t n);

// An empty string with room for n bytes.
inline std::string newStorage(std::size_t n) {
    std::string value;
    reserveStorage(value, n);
    return value;
}

// The fatal report for a failed allocation of n bytes.
[[noreturn]] void reportAllocationFailure(std::size_t n);

}  // namespace tovrel
