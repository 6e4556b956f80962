// Feeds arbitrary bytes to the link decoder: once as a whole link, once with
// each scheme word in front, and to the Base64 decoder alone. Checks the
// bounds every result must keep, and that downloadAddress lets no control
// byte through (-close_fd_mask=2 keeps its refusal lines off the terminal).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "links/address.h"
#include "links/decode.h"

using namespace tovrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // At most three bytes for every four characters, and no more groups than
    // that.
    const ByteSet bytes = base64Decode(input);
    if (bytes.bytes.size() > (size + 3) / 4 * 3) __builtin_trap();

    const Text plain = decodeDownloadLink(input);
    const int scheme = linkScheme(input);
    if (scheme == -1 && !plain.empty()) __builtin_trap();
    if (scheme == 1 && plain != input) __builtin_trap();
    if (plain.find('\0') != Text::npos && scheme != 1) __builtin_trap();

    for (const char* word : {"thunder://", "flashget://", "qqdl://"}) {
        const Text link = std::string(word) + std::string(input);
        const Text address = decodeDownloadLink(link);
        if (address.find('\0') != Text::npos) __builtin_trap();
        if (address.size() > size) __builtin_trap();
        // Percent-encoding a character without a code page 936 form at most
        // triples its bytes.
        const Text shown = downloadAddress(link);
        if (shown.size() > 3 * address.size()) __builtin_trap();
        for (const char c : shown) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) __builtin_trap();
        }
    }
    const Text stripped = stripScheme(input);
    if (stripped.size() > size) __builtin_trap();
    return 0;
}
