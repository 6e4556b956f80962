// tovrel-decode: prints the plain address behind each download-manager link
// given on the command line, or read from standard input one per line.
//
//   tovrel-decode [--raw] [LINK ...]
//   tovrel-decode --help | --version
//
// Links and results are UTF-8 on the terminal and code page 936 inside the
// decoder; --raw passes the bytes through unchanged both ways. The exit status
// is 0 when every link gave an address, 1 when at least one gave none, 2 on a
// usage error.
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/codepage.h"
#include "base/version.h"
#include "links/decode.h"

namespace {

constexpr std::string_view kUsage = "usage: tovrel-decode [--raw] [LINK ...]\n";

constexpr std::string_view kHelp =
    "Prints the plain address behind each thunder://, flashget:// or qqdl:// link\n"
    "(a plain http address is printed unchanged), one line per link; an empty line\n"
    "stands for a link that gives no address. With no LINK, links are read from\n"
    "standard input, one per line.\n"
    "\n"
    "  --raw   pass the bytes through unchanged instead of converting UTF-8 to\n"
    "          code page 936 on the way in and back on the way out\n"
    "  --help  print this help and exit\n"
    "  --version\n"
    "          print the version and exit\n"
    "\n"
    "Exit status: 0 when every link gave an address, 1 when at least one gave\n"
    "none, 2 on a usage error.\n";

void write(std::string_view text, std::FILE* to) {
    std::fwrite(text.data(), 1, text.size(), to);
}

class Decoder {
  public:
    explicit Decoder(bool raw) : raw_(raw) {}

    // Decodes one link and prints its line.
    void run(std::string_view link) {
        const std::string address = raw_ ? tovrel::decodeDownloadLink(link)
                                         : tovrel::decodeDownloadLink(tovrel::utf8ToAnsi(link));
        if (address.empty()) allGaveAddresses_ = false;
        write(raw_ ? address : tovrel::ansiToUtf8(address), stdout);
        write("\n", stdout);
        std::fflush(stdout);
    }

    bool allGaveAddresses() const { return allGaveAddresses_; }

  private:
    bool raw_;
    bool allGaveAddresses_ = true;
};

}  // namespace

int main(int argc, char** argv) {
    bool raw = false;
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
            raw = true;
        } else if (!arg.empty() && arg[0] == '-') {
            write(kUsage, stderr);
            return 2;
        } else {
            links.push_back(arg);
        }
    }

    Decoder decoder(raw);
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
