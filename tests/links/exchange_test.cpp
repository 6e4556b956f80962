// The share-page and captcha exchanges against the stand-in service on
// 127.0.0.1, with a recording shell in place of the window. The browser pane's
// image load is played by fetching the navigated address through the same
// process-wide cookie store.
#include "links/exchange.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "http/request.h"
#include "links/address.h"
#include "links/screen.h"
#include "tests/support/child_process.h"
#include "tests/support/recording_screen.h"
#include "text/markers.h"

namespace tovrel {
namespace {

using fakes::RecordingScreen;

// The stand-in names this file "资料.7z", in code page 936.
constexpr const char* kQqdlAddress = "http://downloads.example.invalid/1003/\xd7\xca\xc1\xcf.7z";

class StandIn {
  public:
    StandIn() : portFile_(::testing::TempDir() + "stand_in_port_" + std::to_string(getpid())) {
        std::remove(portFile_.c_str());
        process_ = std::make_unique<fakes::ChildProcess>(
            std::vector<std::string>{"python3", TOVREL_SOURCE_DIR "/tools/stand_in_service.py",
                                     "--port", "0", "--port-file", portFile_});
        if (!process_->running()) return;
        port_ = fakes::ChildProcess::portFromFile(
            portFile_, std::chrono::steady_clock::now() + std::chrono::seconds(20));
    }
    ~StandIn() {
        process_.reset();
        std::remove(portFile_.c_str());
    }
    int port() const { return port_; }
    Text base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    Text page(const char* name) const { return base() + "/s/" + name; }
    // The code of the last captcha image, and the requests received so far.
    Text code() const {
        return byteSetToText(httpRequest({.url = base() + "/__stand-in/code"}).body);
    }
    Text log() const {
        return byteSetToText(httpRequest({.url = base() + "/__stand-in/log"}).body);
    }
    // The last logged request that begins with `start` (method, tab, path), after it.
    Text lastRequest(TextView start) const {
        const Text all = log();
        const int at = findTextReverse(all, concatText("\n", start));
        return at == -1 ? Text() : textBetween(all, start, "\n", at);
    }

  private:
    std::string portFile_;
    std::unique_ptr<fakes::ChildProcess> process_;
    int port_ = 0;
};

class Exchange : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { service = new StandIn(); }
    static void TearDownTestSuite() {
        delete service;
        service = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(service->port(), 0) << "the stand-in service did not start";
        ASSERT_TRUE(setServiceHost("127.0.0.1:" + std::to_string(service->port())));
        currentFileId.clear();
        currentKey.clear();
    }
    void TearDown() override { setServiceHost(""); }

    // Get on the named share page, then the pane's image load.
    void get(const char* name) {
        shell.boxes[Control::pageAddressBox] = service->page(name);
        fetchSharePage();
        ASSERT_FALSE(shell.navigations.empty());
        httpRequest({.url = shell.navigations.back()});
    }
    // Enter with the given captcha; returns the download-address box.
    Text enter(const Text& captcha) {
        shell.boxes[Control::captchaBox] = captcha;
        shell.writes.clear();
        submitCaptcha();
        return shell.boxes[Control::downloadAddressBox];
    }

    static StandIn* service;
    RecordingScreen shell;
};

StandIn* Exchange::service = nullptr;

TEST_F(Exchange, GetCutsTheValuesAndShowsTheImageAddress) {
    struct Row {
        const char* page;
        Text fileId;
    };
    // The key is whatever the page's script carries; the file id is known.
    const Row rows[] = {
        {"thunder", "1001"},
        {"utf8", "1005"},   // a UTF-8 page, converted on arrival
        {"upper", "1006"},  // markers in capitals
        {"decoy", "1007"},  // "fid=" mentioned before the script
    };
    for (const Row& row : rows) {
        shell.navigations.clear();
        shell.boxes[Control::pageAddressBox] = service->page(row.page);
        fetchSharePage();
        EXPECT_EQ(currentFileId, row.fileId) << row.page;
        EXPECT_EQ(currentKey.size(), 8u) << row.page;
        ASSERT_EQ(shell.navigations.size(), 1u);
        EXPECT_EQ(shell.navigations[0], service->base() + "/randcodeV2.php?fid=" + row.fileId +
                                            "&key=" + currentKey + "&rand=0.8889138259165008");
    }
    // The page-address box is only read.
    EXPECT_TRUE(shell.writes.empty());
}

TEST_F(Exchange, GetWithoutTheScriptOrWithoutAnswerEmptiesTheValues) {
    const Text failing[] = {service->page("noscript"), "http://127.0.0.1:1/s/thunder", ""};
    for (const Text& address : failing) {
        currentFileId = "old";
        currentKey = "old";
        shell.navigations.clear();
        shell.boxes[Control::pageAddressBox] = address;
        fetchSharePage();
        EXPECT_EQ(currentFileId, "") << address;
        EXPECT_EQ(currentKey, "") << address;
        ASSERT_EQ(shell.navigations.size(), 1u);
        EXPECT_EQ(shell.navigations[0],
                  service->base() + "/randcodeV2.php?fid=&key=&rand=0.8889138259165008");
    }
}

TEST_F(Exchange, TwoGetsOfOnePageGiveTheIdenticalImageAddress) {
    get("flashget");
    get("flashget");
    ASSERT_EQ(shell.navigations.size(), 2u);
    EXPECT_EQ(shell.navigations[0], shell.navigations[1]);
}

TEST_F(Exchange, EnterShowsTheDecodedAddressForEachLinkKind) {
    struct Row {
        const char* page;
        Text address;
    };
    const Row rows[] = {
        {"thunder", "http://downloads.example.invalid/1001/report.zip"},
        {"flashget", "http://downloads.example.invalid/1002/photos.rar"},
        {"qqdl", kQqdlAddress},
        {"plain", "http://downloads.example.invalid/1004/notes.txt"},
        // The first of two anchors counts.
        {"twice", "http://downloads.example.invalid/1008/first.zip"},
        // Parameters after the Base64 text; a UTF-8 name (中文) shown in code
        // page 936.
        {"params", "http://downloads.example.invalid/1010/report.zip"},
        {"utf8name", "http://downloads.example.invalid/1011/\xd6\xd0\xce\xc4.zip"},
    };
    for (const Row& row : rows) {
        get(row.page);
        EXPECT_EQ(enter(service->code()), row.address) << row.page;
        // The box is emptied first, then written.
        ASSERT_EQ(shell.writes.size(), 2u);
        EXPECT_EQ(shell.writes[0].second, "");
    }
}

TEST_F(Exchange, EnterRefusesAnAddressThatIsNoDownload) {
    struct Row {
        const char* page;
        AddressFault fault;
    };
    const Row rows[] = {
        {"pasted", AddressFault::controlCharacter},
        {"script", AddressFault::notADownloadScheme},
    };
    for (const Row& row : rows) {
        get(row.page);
        shell.boxes[Control::downloadAddressBox] = "http://old.example.invalid/";
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(enter(service->code()), "") << row.page;
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  std::string(faultMessage(row.fault)) + "\n")
            << row.page;
        // Nothing but the empty text reaches the box.
        ASSERT_EQ(shell.writes.size(), 2u);
        EXPECT_EQ(shell.writes[1].second, "");
    }
}

TEST_F(Exchange, PostCarriesTheFormAsTypedAndBothCookies) {
    get("thunder");
    const Text code = service->code();
    EXPECT_NE(enter(code), "");
    // The image load carried the share page's cookie...
    EXPECT_NE(findText(service->lastRequest("GET\t/randcodeV2.php"), "sharesid="), -1);
    // ...and the POST both cookies and the form exactly as built.
    const Text post = service->lastRequest("POST\t/guest_loginV2.php\t");
    EXPECT_NE(findText(post, "sharesid="), -1) << post;
    EXPECT_NE(findText(post, "codesid="), -1) << post;
    EXPECT_NE(findText(post, "\tfile_id=1001&randcode=" + code + "&Comfirm.x=109&Comfirm.y=40"), -1)
        << post;
}

TEST_F(Exchange, WrongCaptchaOrEnterBeforeGetEmptiesTheBox) {
    // Enter before any Get posts an empty file id and the captcha exactly as typed.
    shell.boxes[Control::downloadAddressBox] = "http://old.example.invalid/";
    EXPECT_EQ(enter("1 &2"), "");
    EXPECT_EQ(shell.writes.size(), 2u);
    const Text log = service->log();
    EXPECT_NE(findText(log, "\tfile_id=&randcode=1 &2&Comfirm.x=109&Comfirm.y=40\n"), -1);

    get("plain");
    EXPECT_NE(enter(service->code()), "");
    EXPECT_EQ(enter("wrong"), "");
}

}  // namespace
}  // namespace tovrel

namespace tovrel {
namespace {

TEST(ServiceHost, AcceptsHostsWithAnOptionalPortAndRejectsTheRest) {
    struct Row {
        const char* given;
        bool accepted;
    };
    constexpr Row kRows[] = {
        {"share.example.com", true},
        {"127.0.0.1:8080", true},
        {"host:65535", true},
        {"host:0", false},
        {"host:65536", false},
        {"host:08", false},
        {"host:", false},
        {":80", false},
        {"host/x", false},
        {"http://host", false},
        {"ho st", false},
        {"host:80:81", false},
    };
    for (const Row& row : kRows) {
        ASSERT_TRUE(setServiceHost("before.example"));
        EXPECT_EQ(setServiceHost(row.given), row.accepted) << row.given;
        EXPECT_EQ(serviceBaseAddress(),
                  concatText("http://", row.accepted ? row.given : "before.example"))
            << row.given;
    }
    ASSERT_TRUE(setServiceHost(""));
    EXPECT_EQ(serviceBaseAddress(), concatText("http://", TOVREL_TEST_SERVICE_HOST));
}

}  // namespace
}  // namespace tovrel
