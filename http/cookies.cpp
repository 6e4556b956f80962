#include "http/cookies.h"

namespace tovrel {

namespace {

constexpr TextView kDeleted = "=deleted";

}  // namespace

Text mergeCookies(Text& cookies, Text& newCookies) {
    cookies = removeAllSpaces(cookies);
    newCookies = removeAllSpaces(newCookies);
    const TextArray old = splitText(cookies, ";");
    TextArray merged = splitText(newCookies, ";");

    // An old entry survives only when no entry of that name is listed yet;
    // the list grows as old entries are taken, so of several old entries that
    // share a name only the first is kept.
    const int oldCount = arraySize(old);
    for (int i = 1; i <= oldCount; ++i) {
        const Text& entry = old.member(i);
        if (!cookieNameListed(merged, cookieName(entry))) appendMember(merged, entry);
    }

    Text joined;
    const int mergedCount = arraySize(merged);
    for (int i = 1; i <= mergedCount; ++i) {
        const Text& entry = merged.member(i);
        if (rightText(entry, 8) == kDeleted) continue;
        joined.append(entry);
        joined.append("; ");
    }
    joined = leftText(joined, textLength(joined) - 2);
    cookies = joinUnique(joined, "; ");
    return cookies;
}

Text cookieName(TextView entry) {
    const int equals = findText(entry, "=", 0, false);
    if (equals == -1) return trimBothEnds(entry);
    return trimBothEnds(leftText(entry, equals - 1));
}

bool cookieNameListed(const TextArray& list, TextView name) {
    const int count = arraySize(list);
    for (int i = 1; i <= count; ++i) {
        if (compareText(cookieName(list.member(i)), name) == 0) return true;
    }
    return false;
}

Text joinUnique(TextView text, TextView separator) {
    const TextArray pieces = splitText(text, separator);
    TextArray seen;
    Text result;
    const int count = arraySize(pieces);
    for (int i = 1; i <= count; ++i) {
        const Text& piece = pieces.member(i);
        if (indexOfText(seen, piece) != -1) continue;
        appendMember(seen, piece);
        result.append(piece);
        result.append(separator);
    }
    return leftText(result, textLength(result) - textLength(separator));
}

int indexOfText(const TextArray& list, TextView text) {
    const int count = arraySize(list);
    for (int i = 1; i <= count; ++i) {
        if (compareText(list.member(i), text) == 0) return i;
    }
    return -1;
}

}  // namespace tovrel
