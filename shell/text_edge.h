// The window's edge between the core's code page 936 texts and Qt's strings.
// Every text that crosses it goes through these two functions, so that a valid
// code page 936 text written into a control and read back is byte-identical.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace tovrel {

// Code page 936 bytes to a Qt string. Besides what iconv's CP936 table knows,
// the two-byte codes of the user-defined areas (AAA1-AFFE, F8A1-FEFE,
// A140-A7A0) and the 255 unassigned codes between the standard rows map to the
// private-use characters U+E000-U+E864, in the order code page 936 gives them.
QString textToQString(std::string_view text);

// The reverse. A character with no code page 936 form becomes "?".
std::string qstringToText(const QString& string);

}  // namespace tovrel
