#include "links/address.h"

#include <array>
#include <cstddef>
#include <cstdio>

#include "base/codepage.h"
#include "links/decode.h"

namespace tovrel {

namespace {

constexpr std::array<TextView, 5> kDownloadSchemes{
    "http://", "https://", "ftp://", "ed2k://", "magnet:?",
};

// Below 0x20 or 0x7F. No code page 936 trail byte lies there, so a byte scan
// finds exactly the control characters.
bool isControlByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

bool hasControlByte(TextView address) {
    for (const char c : address) {
        if (isControlByte(c)) return true;
    }
    return false;
}

bool hasDownloadScheme(TextView address) {
    for (const TextView scheme : kDownloadSchemes) {
        if (startsWithIgnoringCase(address, scheme)) return true;
    }
    return false;
}

// Every scheme but the plain address (1) wraps its address; an unrecognised
// link (-1) decodes to the empty text, which passes either way.
bool isWrappedLink(TextView link) {
    return linkScheme(link) != 1;
}

}  // namespace

bool isUtf8Address(TextView address) {
    bool longSequence = false;
    while (!address.empty()) {
        const std::size_t length = utf8CharacterLength(address);
        if (length == 0) return false;
        if (length >= 3) longSequence = true;
        address.remove_prefix(length);
    }
    return longSequence;
}

Text addressInCodePage936(TextView address) {
    return isUtf8Address(address) ? utf8ToAnsiPercentEncoding(address) : Text(address);
}

AddressFault addressFault(TextView address, bool decodedFromWrappedLink) {
    if (hasControlByte(address)) return AddressFault::controlCharacter;
    if (decodedFromWrappedLink && !address.empty() && !hasDownloadScheme(address)) {
        return AddressFault::notADownloadScheme;
    }
    return AddressFault::none;
}

std::string_view faultMessage(AddressFault fault) {
    switch (fault) {
        case AddressFault::controlCharacter:
            return "tovrel: the download address contains control characters (such as a line "
                   "break or an escape); not shown";
        case AddressFault::notADownloadScheme:
            return "tovrel: the download link decodes to an address that is not http, https, "
                   "ftp, ed2k or magnet; not shown";
        case AddressFault::none:
            break;
    }
    return {};
}

Text downloadAddress(TextView link) {
    const bool wrapped = isWrappedLink(link);
    const Text decoded = decodeDownloadLink(link);
    Text address = wrapped ? addressInCodePage936(decoded) : decoded;
    const AddressFault fault = addressFault(address, wrapped);
    if (fault == AddressFault::none) return address;
    const std::string_view message = faultMessage(fault);
    std::fprintf(stderr, "%.*s\n", static_cast<int>(message.size()), message.data());
    return {};
}

}  // namespace tovrel
