// What of a decoded download link may reach the download-address box, the
// clipboard and a script reading tovrel-decode: the address in code page 936,
// free of control bytes, and for a wrapped link one a download manager
// fetches. The window and tovrel-decode both go through downloadAddress.
#pragma once

#include <string_view>

#include "text/text.h"

namespace tovrel {

// Whether a decoded address is UTF-8 rather than code page 936: it is
// well-formed UTF-8 throughout and holds at least one character of three or
// four bytes. Two-byte UTF-8 sequences alone do not count, since a common
// code page 936 character often has exactly that shape (学习 is D1 A7 CF B0,
// well-formed UTF-8); a three- or four-byte sequence needs a lead byte from
// E0 to F4 that the most common hanzi (GB2312 rows B0 to D7) never have.
// bench/cp936_as_utf8.py measures it: of the 14.1 million names of two common
// hanzi, 3.3% are well-formed UTF-8 and none has a longer sequence; names of
// rare characters drawn at random from all of code page 936 are misread in
// 0.9% (two characters) to 0.05% (four).
bool isUtf8Address(TextView address);

// A wrapped link's decoded address in code page 936: a UTF-8 address (see
// isUtf8Address) converted, each character without a code page 936 form kept
// as its UTF-8 bytes percent-encoded; any other address unchanged.
Text addressInCodePage936(TextView address);

enum class AddressFault {
    none,
    // A byte below 0x20 or 0x7F: pasted into a terminal, a line break runs
    // what follows it, an escape sequence rewrites the screen.
    controlCharacter,
    // A wrapped link whose address is not one a download manager fetches
    // (javascript:, file:, ...).
    notADownloadScheme,
};

// Why an address may not be shown; none for one that may, and for the empty
// text. Only an address decoded out of a thunder, flashget or qqdl link must
// begin with "http://", "https://", "ftp://", "ed2k://" or "magnet:?"
// (letter case ignored); a plain link has passed by its first letters already.
AddressFault addressFault(TextView address, bool decodedFromWrappedLink);

// The line written to standard error when an address is not shown.
std::string_view faultMessage(AddressFault fault);

// The address shown for a link: decodeDownloadLink, then for a wrapped link
// addressInCodePage936, then the empty text when addressFault finds a fault,
// which it reports on standard error in one line.
Text downloadAddress(TextView link);

}  // namespace tovrel
