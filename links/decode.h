// Download-manager links (thunder, flashget, qqdl) turned back into the plain
// address they carry, and the Base64 decoder they rely on.
//
// A wrapped link is the scheme word, "://" and the Base64 form of the address.
// Inside the Base64 text a thunder address stands between "AA" and "ZZ", a
// flashget address between "[FLASHGET]" and "[FLASHGET]"; a qqdl link carries
// the bare address. Any of them may carry "&" and more text after the Base64
// form (sites append their own parameters there).
//
// None of these keeps state outside the call, so a decode that runs nested
// inside another one (through processEvents) disturbs neither.
#pragma once

#include "text/text.h"

namespace tovrel {

// The link's scheme, from its first letters compared without regard to ASCII
// case: 1 for "http" (https included), 2 "thunder", 3 "flashget", 4 "qqdl",
// -1 for anything else.
int linkScheme(TextView link);

// The link after its first "//" (the whole link when there is none), without
// one trailing "/".
Text stripScheme(TextView link);

// Decodes Base64 text. Blanks (0x20 and the full-width A1 A1) and CR LF pairs
// are removed first; the rest is read in groups of four characters, a short
// last group completed with zero values. A character outside the alphabet ends
// its group's scan: it enters its slot as its raw byte value, the slots after
// it keep what the group before left there, and the group still yields its
// three bytes. After the last group the bytes its stop position does not cover
// are removed: none for a full group, one, two or three when the first
// character outside the alphabet is its fourth, third or second, and the
// group's own three when it is its first. Calls processEvents once per group.
ByteSet base64Decode(TextView text);

// The plain address the link carries: a plain address unchanged, a thunder,
// flashget or qqdl link decoded with its wrapper removed, and the empty text
// for any other link or one too short to hold an address. The text after the
// first "&" of a wrapped link never changes the result; a flashget link
// without "&" is read as though all of it stood before one. The address comes
// back as the payload's bytes, whatever code page they are in.
Text decodeDownloadLink(TextView link);

}  // namespace tovrel
