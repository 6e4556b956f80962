#include "shell/text_edge.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "base/codepage.h"

namespace tovrel {

namespace {

// The unassigned codes between the standard rows, ascending; together they
// take U+E766-U+E864 one after another.
struct CodeRange {
    unsigned first;
    unsigned last;
};
constexpr std::array<CodeRange, 26> kUnassigned{{
    {0xa2ab, 0xa2b0}, {0xa2e3, 0xa2e4}, {0xa2ef, 0xa2f0}, {0xa2fd, 0xa2fe}, {0xa4f4, 0xa4fe},
    {0xa5f7, 0xa5fe}, {0xa6b9, 0xa6c0}, {0xa6d9, 0xa6df}, {0xa6ec, 0xa6ed}, {0xa6f3, 0xa6f3},
    {0xa6f6, 0xa6fe}, {0xa7c2, 0xa7d0}, {0xa7f2, 0xa7fe}, {0xa896, 0xa8a0}, {0xa8bc, 0xa8bc},
    {0xa8bf, 0xa8bf}, {0xa8c1, 0xa8c4}, {0xa8ea, 0xa8fe}, {0xa958, 0xa958}, {0xa95b, 0xa95b},
    {0xa95d, 0xa95f}, {0xa989, 0xa995}, {0xa997, 0xa9a3}, {0xa9f0, 0xa9fe}, {0xd7fa, 0xd7fe},
    {0xfe50, 0xfea0},
}};

constexpr char16_t kPrivateFirst = 0xE000;
constexpr char16_t kUnassignedFirst = 0xE766;
constexpr char16_t kPrivateLast = 0xE864;

// A valid trail byte: 40-7E or 80-FE.
bool validTrail(unsigned trail) {
    return trail >= 0x40 && trail <= 0xfe && trail != 0x7f;
}

// The unassigned codes one by one, in order.
const std::vector<unsigned>& unassignedCodes() {
    static const std::vector<unsigned> codes = [] {
        std::vector<unsigned> all;
        for (const CodeRange& range : kUnassigned)
            for (unsigned code = range.first; code <= range.last; ++code)
                if (validTrail(code & 0xff)) all.push_back(code);
        return all;
    }();
    return codes;
}

// Position of a trail byte in a row of the third user-defined area (40-A0).
unsigned lowTrailIndex(unsigned trail) {
    return trail < 0x7f ? trail - 0x40 : trail - 0x41;
}

// The private-use character of a two-byte code, if it has one.
std::optional<char16_t> privateCharacter(unsigned lead, unsigned trail) {
    if (!validTrail(trail)) return std::nullopt;
    if (lead >= 0xaa && lead <= 0xaf && trail >= 0xa1)
        return static_cast<char16_t>(0xE000 + (lead - 0xaa) * 94 + (trail - 0xa1));
    if (lead >= 0xf8 && lead <= 0xfe && trail >= 0xa1)
        return static_cast<char16_t>(0xE234 + (lead - 0xf8) * 94 + (trail - 0xa1));
    if (lead >= 0xa1 && lead <= 0xa7 && trail <= 0xa0)
        return static_cast<char16_t>(0xE4C6 + (lead - 0xa1) * 96 + lowTrailIndex(trail));
    const std::vector<unsigned>& codes = unassignedCodes();
    const auto found = std::lower_bound(codes.begin(), codes.end(), lead << 8 | trail);
    if (found == codes.end() || *found != (lead << 8 | trail)) return std::nullopt;
    return static_cast<char16_t>(kUnassignedFirst + (found - codes.begin()));
}

// The two-byte code of a private-use character in U+E000-U+E864.
std::string privateCode(char16_t ch) {
    unsigned code = 0;
    if (ch < 0xE234) {
        code = (0xaa + (ch - 0xE000) / 94) << 8 | (0xa1 + (ch - 0xE000) % 94);
    } else if (ch < 0xE4C6) {
        code = (0xf8 + (ch - 0xE234) / 94) << 8 | (0xa1 + (ch - 0xE234) % 94);
    } else if (ch < kUnassignedFirst) {
        const unsigned index = (ch - 0xE4C6) % 96;
        code = (0xa1 + (ch - 0xE4C6) / 96) << 8 | (index < 0x3f ? 0x40 + index : 0x41 + index);
    } else {
        code = unassignedCodes().at(ch - kUnassignedFirst);
    }
    return {static_cast<char>(code >> 8), static_cast<char>(code & 0xff)};
}

}  // namespace

QString textToQString(std::string_view text) {
    QString out;
    std::size_t runStart = 0;
    auto flush = [&](std::size_t end) {
        if (end > runStart) {
            const std::string utf8 = ansiToUtf8(text.substr(runStart, end - runStart));
            out += QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
        }
    };
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x81 || lead == 0xff || i + 1 == text.size()) {
            ++i;
            continue;
        }
        const auto trail = static_cast<unsigned char>(text[i + 1]);
        if (const auto ch = privateCharacter(lead, trail)) {
            flush(i);
            out += QChar(*ch);
            runStart = i + 2;
        }
        i += 2;
    }
    flush(text.size());
    return out;
}

std::string qstringToText(const QString& string) {
    std::string out;
    qsizetype runStart = 0;
    auto flush = [&](qsizetype end) {
        if (end > runStart) out += utf8ToAnsi(string.mid(runStart, end - runStart).toStdString());
    };
    for (qsizetype i = 0; i < string.size(); ++i) {
        const char16_t ch = string.at(i).unicode();
        if (ch < kPrivateFirst || ch > kPrivateLast) continue;
        flush(i);
        out += privateCode(ch);
        runStart = i + 1;
    }
    flush(string.size());
    return out;
}

}  // namespace tovrel
