// Merging a cookie text that a caller keeps itself with the cookies a response
// set. A cookie text is entries separated by ";", each normally name=value;
// after a merge the entries are separated by "; " and hold no blanks.
#pragma once

#include "text/text.h"

namespace tovrel {

// Rewrites both variables: newCookies loses all its blanks, and cookies
// becomes the new cookies followed by each old entry whose name the new ones
// do not carry, without entries ending in "=deleted" and without entries that
// repeat an earlier one byte for byte. Returns a copy of the merged text.
Text mergeCookies(Text& cookies, Text& newCookies);

// The bytes before the entry's first "=" (the whole entry without one), with
// leading and trailing blanks removed.
Text cookieName(TextView entry);

// Whether the cookie name of some member of list equals name exactly.
bool cookieNameListed(const TextArray& list, TextView name);

// text split at separator, each piece equal to an earlier one dropped, and the
// rest joined again with separator.
Text joinUnique(TextView text, TextView separator);

// The 1-based index of the first member of list equal to text, or -1.
int indexOfText(const TextArray& list, TextView text);

}  // namespace tovrel
