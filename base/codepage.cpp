#include "base/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>

namespace tovrel {

namespace {

// One iconv conversion descriptor, closed on every path.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts input, handing the output to sink in pieces; at a sequence
    // the source cannot decode (or the target cannot encode), hands sink the
    // replacement and skips skipBytes(rest) input bytes. Every piece ends at
    // a character boundary.
    template <class Skip, class Sink>
    void convert(std::string_view input, std::string_view replacement, Skip skipBytes, Sink sink) {
        if (!ok()) return;
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        char buffer[16384];
        while (inLeft > 0) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t rc = iconv(cd_, &in, &inLeft, &dst, &dstLeft);
            if (dst != buffer)
                sink(std::string_view(buffer, static_cast<std::size_t>(dst - buffer)));
            if (rc != static_cast<std::size_t>(-1)) continue;
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL (a sequence cut short at the end).
            sink(replacement);
            const std::size_t skip = skipBytes(std::string_view(in, inLeft));
            in += skip;
            inLeft -= skip;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
        if (dst != buffer) sink(std::string_view(buffer, static_cast<std::size_t>(dst - buffer)));
    }

    template <class Skip>
    std::string run(std::string_view input, std::string_view replacement, Skip skipBytes) {
        std::string out;
        if (!ok()) return out;
        out.reserve(input.size() + input.size() / 2 + 16);
        convert(input, replacement, skipBytes,
                [&out](std::string_view piece) { out.append(piece); });
        return out;
    }

    // Converts one whole character and appends it to out; false, with out
    // unchanged, when the target has no exact form for it.
    bool convertExactly(std::string_view character, std::string& out) {
        if (!ok()) return false;
        char* in = const_cast<char*>(character.data());
        std::size_t inLeft = character.size();
        char buffer[16];
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t rc = iconv(cd_, &in, &inLeft, &dst, &dstLeft);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (rc != 0 || inLeft != 0) return false;
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        return true;
    }

  private:
    iconv_t cd_;
};

// U+FFFD in UTF-16LE and in UTF-8.
constexpr std::string_view kWideReplacement{"\xfd\xff", 2};
constexpr std::string_view kUtf8Replacement{"\xef\xbf\xbd", 3};

std::size_t oneByte(std::string_view) {
    return 1;
}

// A UTF-16LE unit, or a surrogate pair when one stands there.
std::size_t oneWideCharacter(std::string_view rest) {
    if (rest.size() >= 4) {
        const auto high = static_cast<unsigned char>(rest[1]);
        const auto nextHigh = static_cast<unsigned char>(rest[3]);
        if (high >= 0xD8 && high <= 0xDB && nextHigh >= 0xDC && nextHigh <= 0xDF) return 4;
    }
    return rest.size() >= 2 ? 2 : rest.size();
}

// A code page 936 character: a lead byte takes its trail byte with it.
std::size_t oneAnsiCharacter(std::string_view rest) {
    return static_cast<unsigned char>(rest[0]) >= 0x80 && rest.size() >= 2 ? 2 : 1;
}

}  // namespace

std::string utf8ToWide(std::string_view utf8) {
    Converter toWide("UTF-16LE", "UTF-8");
    return toWide.run(utf8, kWideReplacement, oneByte);
}

std::string utf8ToAnsi(std::string_view utf8) {
    // UTF-16LE pieces go on to code page 936 as they come, so no copy of the
    // whole text in UTF-16 is made. The result is never longer than the input:
    // each character, and each malformed byte, takes no more bytes in code
    // page 936 than in UTF-8.
    Converter toWide("UTF-16LE", "UTF-8");
    Converter toAnsi("CP936", "UTF-16LE");
    std::string out;
    if (!toWide.ok() || !toAnsi.ok()) return out;
    out.reserve(utf8.size());
    toWide.convert(utf8, kWideReplacement, oneByte, [&](std::string_view wide) {
        toAnsi.convert(wide, "?", oneWideCharacter,
                       [&out](std::string_view ansi) { out.append(ansi); });
    });
    return out;
}

std::string ansiToUtf8(std::string_view ansi) {
    Converter toUtf8("UTF-8", "CP936");
    return toUtf8.run(ansi, kUtf8Replacement, oneAnsiCharacter);
}

std::size_t utf8CharacterLength(std::string_view text) {
    if (text.empty()) return 0;
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) return 1;
    // The range of the second byte narrows for E0, ED, F0 and F4 so that
    // overlong forms, surrogates and code points past U+10FFFF fall out.
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    const auto second = static_cast<unsigned char>(text[1]);
    if (second < low || second > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if (next < 0x80 || next > 0xBF) return 0;
    }
    return length;
}

void appendHexDigits(std::string& out, unsigned char byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

std::string percentEncoded(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        out += '%';
        appendHexDigits(out, static_cast<unsigned char>(c));
    }
    return out;
}

std::string utf8ToAnsiPercentEncoding(std::string_view utf8) {
    Converter toAnsi("CP936", "UTF-8");
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        const std::size_t length = utf8CharacterLength(utf8);
        const std::string_view character = utf8.substr(0, length == 0 ? 1 : length);
        if (length == 0 || !toAnsi.convertExactly(character, out)) {
            out += percentEncoded(character);
        }
        utf8.remove_prefix(character.size());
    }
    return out;
}

}  // namespace tovrel
