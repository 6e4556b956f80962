// Cutting values out of received text: between a start and an end marker, and
// after the colon of a header line.
#pragma once

#include "text/text.h"

namespace tovrel {

// What stands between the end of the first startMarker at or after
// startPosition (0: the whole source) and the first endMarker after it; empty
// when either is missing. In both markers "#引号" stands for a double quote.
// The searches ignore ASCII case unless caseSensitive.
Text textBetween(TextView source, TextView startMarker, TextView endMarker, int startPosition = 0,
                 bool caseSensitive = false);

// The text after the first colon of line, without leading and trailing blanks;
// empty when line has no colon.
Text valueAfterColon(TextView line);

}  // namespace tovrel
