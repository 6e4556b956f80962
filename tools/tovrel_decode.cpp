// tovrel-decode: prints the plain address behind each download-manager link
// given on the command line, or read from standard input one per line.
//
//   tovrel-decode [--raw] [--uri] [LINK ...]
//   tovrel-decode --help | --version
//
// Links and results are UTF-8 on the terminal and code page 936 inside the
// decoder, and a result is what the window would show (downloadAddress).
// --raw passes the bytes through unchanged both ways and prints the decoded
// bytes as they are; --uri prints the address's bytes percent-encoded where a
// URI may not hold them. The exit status is 0 when every link gave an address,
// 1 when at least one gave none, 2 on a usage error.
#include <cstddef>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/codepage.h"
#include "base/version.h"
#include "links/address.h"
#include "links/decode.h"

namespace {

constexpr std::string_view kUsage = "usage: tovrel-decode [--raw] [--uri] [LINK ...]\n";

constexpr std::string_view kHelp =
    "Prints the plain address behind each thunder://, flashget:// or qqdl:// link\n"
    "(a plain http address is printed unchanged), one line per link; an empty line\n"
    "stands for a link that gives no address. An address with control characters,\n"
    "or a decoded one that is not http, https, ftp, ed2k or magnet, is not printed:\n"
    "its line is empty and standard error says why. With no LINK, links are read\n"
    "from standard input, one per line.\n"
    "\n"
    "  --raw   pass the bytes through unchanged instead of converting UTF-8 to\n"
    "          code page 936 on the way in and back on the way out, and print the\n"
    "          decoded address as it is, without the checks above\n"
    "  --uri   print every byte at or above 0x80, every control byte and the space\n"
    "          percent-encoded as the bytes stand (code page 936, or as decoded\n"
    "          with --raw), for handing the address to a download command\n"
    "  --help  print this help and exit\n"
    "  --version\n"
    "          print the version and exit\n"
    "\n"
    "Exit status: 0 when every link gave an address, 1 when at least one gave\n"
    "none, 2 on a usage error.\n";

void write(std::string_view text, std::FILE* to) {
    std::fwrite(text.data(), 1, text.size(), to);
}

// The address with every byte that a URI cannot hold as it is (at or above
// 0x80, a control byte, the space) percent-encoded.
std::string uriForm(std::string_view address) {
    std::string out;
    out.reserve(address.size());
    for (std::size_t i = 0; i < address.size(); ++i) {
        const auto byte = static_cast<unsigned char>(address[i]);
        if (byte >= 0x80 || byte <= 0x20 || byte == 0x7F) {
            out += tovrel::percentEncoded(address.substr(i, 1));
        } else {
            out += address[i];
        }
    }
    return out;
}

struct Options {
    bool raw = false;
    bool uri = false;
};

class Decoder {
  public:
    explicit Decoder(Options options) : options_(options) {}

    // Decodes one link and prints its line.
    void run(std::string_view link) {
        const std::string address = options_.raw
                                        ? tovrel::decodeDownloadLink(link)
                                        : tovrel::downloadAddress(tovrel::utf8ToAnsi(link));
        if (address.empty()) allGaveAddresses_ = false;
        write(printed(address), stdout);
        write("\n", stdout);
        std::fflush(stdout);
    }

    bool allGaveAddresses() const { return allGaveAddresses_; }

  private:
    std::string printed(const std::string& address) const {
        if (options_.uri) return uriForm(address);
        return options_.raw ? address : tovrel::ansiToUtf8(address);
    }

    Options options_;
    bool allGaveAddresses_ = true;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::vector<std::string_view> links;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help") {
            write(kUsage, stdout);
            write("\n", stdout);
            write(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("tovrel-decode %s\n", tovrel::kVersion);
            return 0;
        }
        if (arg == "--raw") {
            options.raw = true;
        } else if (arg == "--uri") {
            options.uri = true;
        } else if (!arg.empty() && arg[0] == '-') {
            write(kUsage, stderr);
            return 2;
        } else {
            links.push_back(arg);
        }
    }

    Decoder decoder(options);
    if (!links.empty()) {
        for (const std::string_view link : links) decoder.run(link);
    } else {
        std::ios::sync_with_stdio(false);
        std::string line;
        while (std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            decoder.run(line);
        }
    }
    return decoder.allGaveAddresses() ? 0 : 1;
}
