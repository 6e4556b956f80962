// Text bound for a terminal. Bytes a server sent can end up in a line on
// standard error (an address, a library's error message); a control byte
// there would end the line early or, as an escape sequence, rewrite the
// screen.
#pragma once

#include <string>
#include <string_view>

namespace tovrel {

// text with every byte below 0x20 and 0x7F written as "\xHH"; every other
// byte (code page 936 and UTF-8 included) as it is.
std::string printable(std::string_view text);

}  // namespace tovrel
