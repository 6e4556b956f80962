// tovrel-get: the whole exchange with the file-sharing service in a terminal.
// For each share page it does what the window's Get does, draws the captcha
// image inline (or writes it to a file), reads the code from standard input,
// does what the window's Enter does and prints the download address.
//
//   tovrel-get [--service-host HOST[:PORT]] [--captcha-file FILE] [--tries N] SHARE_URL...
//
// Addresses and typed codes are UTF-8 on the terminal and code page 936 inside
// the core. The exit status is 0 when every share page gave an address, 1 when
// at least one gave none, 2 on a usage error and 130 after Ctrl-C.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/codepage.h"
#include "base/printable.h"
#include "base/version.h"
#include "http/platform.h"
#include "http/request.h"
#include "links/exchange.h"
#include "links/screen.h"
#include "tools/captcha_view.h"
#include "tools/terminal_screen.h"

namespace {

using namespace tovrel;

constexpr std::string_view kUsage =
    "usage: tovrel-get [--service-host HOST[:PORT]] [--captcha-file FILE] [--tries N] SHARE_URL...";

constexpr std::string_view kHelp =
    "Fetches each share page, shows its captcha, reads the code from standard\n"
    "input and prints the file's download address on standard output, one line\n"
    "per SHARE_URL (an empty line where none came). When standard error is a\n"
    "terminal the captcha is drawn in it; the prompt is written there too.\n"
    "\n"
    "  --service-host HOST[:PORT]  talk to this host instead of the built-in one\n"
    "  --captcha-file FILE         also write each captcha image to FILE; needed\n"
    "                              when standard error is no terminal\n"
    "  --tries N                   from a terminal, fetch a fresh captcha after a\n"
    "                              wrong code, up to N tries in all (default 3)\n"
    "  --help                      print this help and exit\n"
    "  --version                   print the version and exit\n"
    "\n"
    "Exit status: 0 when every SHARE_URL gave an address, 1 when at least one\n"
    "did not, 2 on a usage error, 130 after Ctrl-C.\n";

constexpr std::string_view kPrompt = "验证码: ";
constexpr int kMaxTries = 100;
constexpr int kInterruptedStatus = 130;

void write(std::string_view text, std::FILE* to) {
    std::fwrite(text.data(), 1, text.size(), to);
    std::fflush(to);
}

// One line on standard error that says what went wrong. It may quote what a
// server sent (an image address, a failure's reason), so it stays one line.
void say(std::string_view why) {
    write("tovrel-get: " + printable(why) + "\n", stderr);
}

// --- the command line ---------------------------------------------------------

struct Options {
    std::string captchaFile;
    int tries = 3;
    std::vector<std::string> shareUrls;
};

struct Parsed {
    enum class Action { run, help, version, usage } action = Action::run;
    std::string why;  // for a usage error
    Options options;
};

bool parseTries(std::string_view text, int& tries) {
    if (text.empty() || text.size() > 3) return false;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > kMaxTries) return false;
    tries = value;
    return true;
}

// Takes the value of an option given as "--name VALUE" or "--name=VALUE".
// False when arg is not that option; value stays unset when it has none.
bool optionValue(std::string_view name, std::string_view arg, int& i, int argc, char** argv,
                 const char*& value) {
    value = nullptr;
    if (arg == name) {
        if (i + 1 < argc) value = argv[++i];
        return true;
    }
    if (arg.size() > name.size() && arg.substr(0, name.size()) == name && arg[name.size()] == '=') {
        value = arg.data() + name.size() + 1;
        return true;
    }
    return false;
}

Parsed usageError(std::string why) {
    Parsed parsed;
    parsed.action = Parsed::Action::usage;
    parsed.why = std::move(why);
    return parsed;
}

Parsed parseArguments(int argc, char** argv) {
    Parsed parsed;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const char* value = nullptr;
        if (optionsEnded || arg.empty() || arg[0] != '-') {
            parsed.options.shareUrls.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help") {
            parsed.action = Parsed::Action::help;
            return parsed;
        } else if (arg == "--version") {
            parsed.action = Parsed::Action::version;
            return parsed;
        } else if (optionValue("--service-host", arg, i, argc, argv, value)) {
            if (value == nullptr || *value == '\0' || !setServiceHost(value))
                return usageError("--service-host needs a HOST or HOST:PORT");
        } else if (optionValue("--captcha-file", arg, i, argc, argv, value)) {
            if (value == nullptr || *value == '\0')
                return usageError("--captcha-file needs a FILE");
            parsed.options.captchaFile = value;
        } else if (optionValue("--tries", arg, i, argc, argv, value)) {
            if (value == nullptr || !parseTries(value, parsed.options.tries))
                return usageError("--tries needs a number from 1 to " + std::to_string(kMaxTries));
        } else {
            return usageError("unknown option " + std::string(arg));
        }
    }
    if (parsed.options.shareUrls.empty()) return usageError("no SHARE_URL given");
    return parsed;
}

// --- requests -----------------------------------------------------------------

// Why the last request failed since the last clearFailure(); the core's
// request routine hands its failures here instead of writing them out, so that
// each failure is told in one line of this command's own.
std::string lastFailure;

void receiveFailure(std::string_view, std::string_view reason) {
    lastFailure = std::string(reason);
}

// The captcha image, loaded through the process-wide cookie store as the
// window's browser pane loads it, its bytes as they came. The one place this command makes a
// request of its own.
ByteSet fetchImage(TextView url) {
    return httpRequest(
               {.url = Text(url), .whileWaiting = keepAliveWhileWaiting, .bodyAsSent = true})
        .body;
}

bool writeFile(const std::string& path, std::string_view bytes, std::string& why) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        why = std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) why = std::strerror(written ? errno : writeError);
    return written && closed;
}

// --- one share page -----------------------------------------------------------

class Session {
  public:
    Session(const Options& options, TerminalScreen& screen)
        : options_(options),
          screen_(screen),
          drawInline_(isatty(STDERR_FILENO) == 1),
          typedAtTerminal_(isatty(STDIN_FILENO) == 1) {}

    // The download address behind shareUrl (UTF-8), or the empty text.
    std::string run(const std::string& shareUrl);

    bool stopped() const { return TerminalScreen::interrupted(); }

  private:
    enum class Outcome { address, noLink, failed };

    Outcome attempt(const std::string& shareUrl, std::string& address);
    bool get(const std::string& shareUrl);
    bool showCaptcha();
    bool readCode(const std::string& shareUrl, std::string& code);
    Outcome enter(const std::string& code, std::string& address);

    const Options& options_;
    TerminalScreen& screen_;
    bool drawInline_;
    bool typedAtTerminal_;
    bool inputEnded_ = false;
};

std::string Session::run(const std::string& shareUrl) {
    for (int tryNumber = 1; tryNumber <= options_.tries; ++tryNumber) {
        std::string address;
        const Outcome outcome = attempt(shareUrl, address);
        if (outcome == Outcome::address) return address;
        if (outcome == Outcome::failed || stopped()) return {};
        if (!typedAtTerminal_ || tryNumber == options_.tries) {
            say("no download link in the answer for " + shareUrl + " (wrong code?)");
            return {};
        }
        say("no download link in the answer (wrong code?); fresh captcha, try " +
            std::to_string(tryNumber + 1) + " of " + std::to_string(options_.tries));
    }
    return {};
}

Session::Outcome Session::attempt(const std::string& shareUrl, std::string& address) {
    std::string code;
    if (inputEnded_ || !get(shareUrl) || !showCaptcha() || !readCode(shareUrl, code))
        return Outcome::failed;
    return enter(code, address);
}

// The window's Get, with the page address in the page-address box.
bool Session::get(const std::string& shareUrl) {
    screen_.setControlText(Control::pageAddressBox, utf8ToAnsi(shareUrl));
    lastFailure.clear();
    fetchSharePage();
    // Ctrl-C abandons the request without a failure: nothing to say here.
    if (stopped()) return false;
    if (!lastFailure.empty()) {
        say("share page unreachable: " + shareUrl + " (" + lastFailure + ")");
        return false;
    }
    if (currentFileId.empty()) {
        say("no captcha on the share page " + shareUrl);
        return false;
    }
    return true;
}

// Loads the image the pane was asked to show, checks that it is one, writes
// it to the captcha file and draws it.
bool Session::showCaptcha() {
    const std::string imageAddress = screen_.takeImageAddress();
    const std::string imageUrl = ansiToUtf8(imageAddress);
    lastFailure.clear();
    const ByteSet image = fetchImage(imageAddress);
    if (stopped()) return false;
    if (!lastFailure.empty()) {
        say("captcha image unreachable: " + imageUrl + " (" + lastFailure + ")");
        return false;
    }
    Picture picture;
    std::string why;
    if (!decodePicture(image.bytes, picture, why)) {
        say("captcha image " + imageUrl + " is " + why);
        return false;
    }
    if (!options_.captchaFile.empty() && !writeFile(options_.captchaFile, image.bytes, why)) {
        say("cannot write the captcha image to " + options_.captchaFile + ": " + why);
        return false;
    }
    if (drawInline_) write(drawForTerminal(picture, terminalSize(STDERR_FILENO)), stderr);
    return true;
}

// Prompts and reads one line: what the person typed into the captcha box.
bool Session::readCode(const std::string& shareUrl, std::string& code) {
    write(kPrompt, stderr);
    char* line = nullptr;
    std::size_t capacity = 0;
    const ssize_t length = getline(&line, &capacity, stdin);
    if (length >= 0) code.assign(line, static_cast<std::size_t>(length));
    std::free(line);
    if (stopped()) return false;
    if (length < 0) {
        inputEnded_ = true;
        write("\n", stderr);
        say("no code read for " + shareUrl + ": standard input ended");
        return false;
    }
    // Typed at a terminal, the line ended there; from a pipe, end the prompt's.
    if (!typedAtTerminal_) write("\n", stderr);
    // The line without its end; the core's texts hold no zero bytes.
    code = code.substr(0, code.find('\0'));
    while (!code.empty() && (code.back() == '\n' || code.back() == '\r')) code.pop_back();
    return true;
}

// The window's Enter, with the code in the captcha box.
Session::Outcome Session::enter(const std::string& code, std::string& address) {
    screen_.setControlText(Control::captchaBox, utf8ToAnsi(code));
    lastFailure.clear();
    submitCaptcha();
    screen_.setControlText(Control::captchaBox, "");
    if (!lastFailure.empty()) {
        say("guest login unreachable: " + ansiToUtf8(serviceBaseAddress()) + " (" + lastFailure +
            ")");
        return Outcome::failed;
    }
    address = ansiToUtf8(screen_.getControlText(Control::downloadAddressBox));
    return address.empty() ? Outcome::noLink : Outcome::address;
}

int runAll(const Options& options) {
    TerminalScreen screen;
    installScreenPort(&screen);
    net::setRequestFailureReceiver(receiveFailure);
    TerminalScreen::catchInterrupt();

    Session session(options, screen);
    bool allGaveAddresses = true;
    for (const std::string& shareUrl : options.shareUrls) {
        const std::string address = session.run(shareUrl);
        if (session.stopped()) break;
        if (address.empty()) allGaveAddresses = false;
        write(address + "\n", stdout);
    }
    installScreenPort(nullptr);
    if (session.stopped()) {
        write("\n", stderr);
        say("interrupted");
        return kInterruptedStatus;
    }
    return allGaveAddresses ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    registerExitStep();
    const Parsed parsed = parseArguments(argc, argv);
    switch (parsed.action) {
        case Parsed::Action::help:
            write(std::string(kUsage) + "\n\n" + std::string(kHelp), stdout);
            return 0;
        case Parsed::Action::version:
            write(std::string("tovrel-get ") + tovrel::kVersion + "\n", stdout);
            return 0;
        case Parsed::Action::usage:
            say(parsed.why + "; " + std::string(kUsage));
            return 2;
        case Parsed::Action::run:
            break;
    }
    if (isatty(STDERR_FILENO) != 1 && parsed.options.captchaFile.empty()) {
        say("standard error is no terminal to draw the captcha on; give --captcha-file FILE");
        return 2;
    }
    return runAll(parsed.options);
}
