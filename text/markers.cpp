#include "text/markers.h"

namespace tovrel {

namespace {

// "#引号", written in markers where the page has a double quote.
constexpr TextView kQuoteWord = "#\xd2\xfd\xba\xc5";

}  // namespace

Text textBetween(TextView source, TextView startMarker, TextView endMarker, int startPosition,
                 bool caseSensitive) {
    const Text start = replaceSubtext(startMarker, kQuoteWord, "\"", true);
    const Text end = replaceSubtext(endMarker, kQuoteWord, "\"", true);
    const bool ignoreCase = !caseSensitive;

    const int first = findText(source, start, startPosition, ignoreCase);
    if (first == -1) return {};
    const int contentStart = first + textLength(start);
    const int last = findText(source, end, contentStart, ignoreCase);
    if (last == -1) return {};
    return midText(source, contentStart, last - contentStart);
}

Text valueAfterColon(TextView line) {
    const int colon = findText(line, ":", 0, false);
    if (colon == -1) return {};
    return trimBothEnds(rightText(line, textLength(line) - colon));
}

}  // namespace tovrel
