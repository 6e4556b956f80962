#include "http/request.h"
#include "http/cookie_store.h"
#include "http/platform.h"
#include "tests/support/scripted_server.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <utility>
#include <vector>

namespace tovrel {
namespace {

using fakes::ReceivedRequest;
using fakes::ScriptedServer;

// A complete answer: status line, the given header lines (each ended by CR
// LF), Content-Length, and the body.
std::string answer(std::string_view status, std::string_view headers = {},
                   std::string_view body = {}) {
    return std::string("HTTP/1.1 ") + std::string(status) + "\r\n" + std::string(headers) +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + std::string(body);
}

// The head of a received request, up to the blank line.
std::string headOf(const ReceivedRequest& request) {
    return request.bytes.substr(0, request.bytes.find("\r\n\r\n") + 4);
}

std::string bodyOf(const ReceivedRequest& request) {
    return request.bytes.substr(request.bytes.find("\r\n\r\n") + 4);
}

// The process's address space in MiB (VmSize).
std::size_t addressSpaceInUse() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmSize:") {
            std::size_t kib = 0;
            status >> kib;
            return kib / 1024;
        }
    }
    return 0;
}

class HttpRequestTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/tovrel-http-test-XXXXXX";
        directory_ = new std::string(mkdtemp(pattern));
        ASSERT_TRUE(fakes::makeTestCertificates(*directory_));
        server_ = new ScriptedServer;
        ASSERT_TRUE(server_->start(*directory_ + "/server.pem", *directory_ + "/server.key"));
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
        std::filesystem::remove_all(*directory_);
        delete directory_;
        directory_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(server_->reset());
        clearStoredCookies();
        net::setTimeoutsForTesting(std::chrono::milliseconds(3000), std::chrono::seconds(1));
        net::setCaFileForTesting(*directory_ + "/ca.pem");
    }
    void TearDown() override { net::resetSettingsForTesting(); }

    static std::string base() { return "http://127.0.0.1:" + std::to_string(server_->plainPort()); }
    static std::string secureBase() {
        return "https://127.0.0.1:" + std::to_string(server_->tlsPort());
    }
    static std::string host() { return "127.0.0.1:" + std::to_string(server_->plainPort()); }

    static ScriptedServer& server() { return *server_; }

    static std::string* directory_;
    static ScriptedServer* server_;
};

std::string* HttpRequestTest::directory_ = nullptr;
ScriptedServer* HttpRequestTest::server_ = nullptr;

constexpr std::string_view kDefaultLines =
    "Accept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";

TEST_F(HttpRequestTest, SendsTheDefaultRequests) {
    struct Row {
        const char* name;
        Verb method;
        std::string postText;
        std::string postBytes;
        std::string verb;
        std::string body;  // sent body; empty with no Content-Length for method 0
    };
    const Row rows[] = {
        {"get", Verb::get, "ignored", "", "GET", ""},
        {"post", Verb::post, "a=1&b=2", "", "POST", "a=1&b=2"},
        {"get with a body", Verb::getWithBody, "q=1", "", "GET", "q=1"},
        {"post bytes win", Verb::post, "a=1", std::string("x\0y", 3), "POST",
         std::string("x\0y", 3)},
        {"empty post", Verb::post, "", "", "POST", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(server().queue(answer("200 OK", "", "fine")));
        const std::string url = base() + "/page?x=1";
        const HttpResult result = httpRequest({.url = url,
                                               .method = row.method,
                                               .postText = row.postText,
                                               .postBytes = ByteSet{row.postBytes}});
        EXPECT_EQ(result.body.bytes, "fine");
        const std::string lines = "Referer: " + url + "\r\n" + std::string(kDefaultLines);
        EXPECT_EQ(result.extraHeaders, lines);
        if (row.method != Verb::get) {
            EXPECT_EQ(result.postBytes.bytes, row.body);
        }

        const auto requests = server().takeRequests(1);
        ASSERT_EQ(requests.size(), 1u);
        const std::string length =
            row.method == Verb::get ? ""
                                    : "Content-Length: " + std::to_string(row.body.size()) + "\r\n";
        EXPECT_EQ(headOf(requests[0]), row.verb + " /page?x=1 HTTP/1.1\r\nHost: " + host() +
                                           "\r\nUser-Agent: " + std::string(kDefaultAgent) +
                                           "\r\n" + lines + "\r\n" + length + "\r\n");
        EXPECT_EQ(bodyOf(requests[0]), row.body);
    }
}

TEST_F(HttpRequestTest, TakesTheAgentFromAUserAgentLine) {
    struct Row {
        std::string given;
        std::string sentLines;
    };
    const std::string referer = "Referer: " + base() + "/";
    const Row rows[] = {
        {"User-Agent: X", "User-Agent: X\r\n" + referer + "\r\n" + std::string(kDefaultLines)},
        {"User-Agent: X\r\nAccept: text/html",
         "User-Agent: X\r\nAccept: text/html\r\n" + referer +
             "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded"},
        // The header names are tested as they are written.
        {"accept: a\r\nreferer: r",
         "accept: a\r\nreferer: r\r\n" + referer + "\r\n" + std::string(kDefaultLines)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.given);
        ASSERT_TRUE(server().queue(answer("200 OK")));
        EXPECT_EQ(httpRequest({.url = base() + "/", .extraHeaders = row.given}).extraHeaders,
                  row.sentLines);
        const auto requests = server().takeRequests(1);
        ASSERT_EQ(requests.size(), 1u);
        const std::string head = headOf(requests[0]);
        const bool ownAgent = row.given.find("User-Agent") != std::string::npos;
        EXPECT_EQ(head, "GET / HTTP/1.1\r\nHost: " + host() + "\r\n" +
                            (ownAgent ? "" : "User-Agent: " + std::string(kDefaultAgent) + "\r\n") +
                            row.sentLines + "\r\n\r\n");
    }
}

TEST_F(HttpRequestTest, CollectsCookiesLocationAndHeaders) {
    ASSERT_TRUE(server().queue(answer("200 OK",
                                      "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2; path=/\r\n"
                                      "Location: http://a/1\r\nLocation: http://b/2\r\n",
                                      "x")));
    HttpResult result = httpRequest({.url = base() + "/"});
    EXPECT_EQ(result.returnedCookies, "a=1; b=2");
    EXPECT_EQ(result.redirectLocation, "http://b/2");
    EXPECT_EQ(result.rawHeaders,
              "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2; path=/\r\n"
              "Location: http://a/1\r\nLocation: http://b/2\r\nContent-Length: 1\r\n\r\n");

    // No Set-Cookie and no Location: the raw headers stand in for the location,
    // unless the caller's text is already there.
    ASSERT_TRUE(server().queue(answer("404 Not Found", "Set-Cookie: solo\r\n")));
    result = httpRequest({.url = base() + "/"});
    EXPECT_EQ(result.returnedCookies, "");  // a pair without ";" collects as empty
    EXPECT_EQ(result.redirectLocation, result.rawHeaders);
    EXPECT_EQ(result.rawHeaders.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u);

    ASSERT_TRUE(server().queue(answer("200 OK")));
    EXPECT_EQ(httpRequest({.url = base() + "/", .redirectLocation = "kept"}).redirectLocation,
              "kept");
}

TEST_F(HttpRequestTest, GivenCookiesAreMergedAndKeepTheStoreOut) {
    // The store holds a cookie for this host.
    ASSERT_TRUE(server().queue(answer("200 OK", "Set-Cookie: s=1; path=/\r\n")));
    httpRequest({.url = base() + "/set"});

    ASSERT_TRUE(
        server().queue(answer("200 OK", "Set-Cookie: b=3; path=/\r\nSet-Cookie: d=4; path=/\r\n")));
    const HttpResult result = httpRequest({.url = base() + "/given", .cookies = "a=1; b=2"});
    EXPECT_EQ(result.cookies, "b=3; d=4; a=1");
    EXPECT_EQ(result.returnedCookies, "b=3;d=4");  // rewritten without blanks
    auto requests = server().takeRequests(2);
    ASSERT_EQ(requests.size(), 2u);
    // Only the caller's cookie line goes out, not the store's.
    EXPECT_NE(headOf(requests[1]).find("\r\nCookie: a=1; b=2\r\n"), std::string::npos);
    EXPECT_EQ(headOf(requests[1]).find("s=1"), std::string::npos);

    // Given but empty: no cookie line, and the response's cookie stays out of
    // the store.
    ASSERT_TRUE(server().queue(answer("200 OK", "Set-Cookie: t=2; path=/\r\n")));
    EXPECT_EQ(httpRequest({.url = base() + "/empty", .cookies = ""}).cookies, "t=2");
    requests = server().takeRequests(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(headOf(requests[0]).find("Cookie"), std::string::npos);

    // Omitted: the response's cookie goes to the store, and none comes back.
    ASSERT_TRUE(server().queue(answer("200 OK", "Set-Cookie: u=3; path=/\r\n")));
    EXPECT_EQ(httpRequest({.url = base() + "/omitted"}).cookies, std::nullopt);

    const auto stored = listStoredCookies();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].name, "s");
    EXPECT_EQ(stored[0].value, "1");
    EXPECT_EQ(stored[1].name, "u");
}

TEST_F(HttpRequestTest, TheStoreCarriesCookiesBetweenRequests) {
    ASSERT_TRUE(server().queue(answer("200 OK", "Set-Cookie: s=1; path=/\r\n")));
    httpRequest({.url = base() + "/one"});
    StoredCookie added;
    added.name = "z";
    added.value = "9";
    added.domain = "127.0.0.1";
    added.expiry = 4102444800;  // 2100-01-01
    addStoredCookie(added);
    StoredCookie elsewhere = added;
    elsewhere.name = "w";
    elsewhere.domain = "other.example";
    addStoredCookie(elsewhere);

    ASSERT_TRUE(server().queue(answer("200 OK")));
    httpRequest({.url = base() + "/two"});
    const auto requests = server().takeRequests(2);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(headOf(requests[0]).find("Cookie"), std::string::npos);
    const std::string second = headOf(requests[1]);
    const bool bothSent = second.find("\r\nCookie: s=1; z=9\r\n") != std::string::npos ||
                          second.find("\r\nCookie: z=9; s=1\r\n") != std::string::npos;
    EXPECT_TRUE(bothSent) << second;

    auto stored = listStoredCookies();
    std::sort(stored.begin(), stored.end(),
              [](const StoredCookie& a, const StoredCookie& b) { return a.name < b.name; });
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[0].name, "s");
    EXPECT_EQ(stored[0].domain, "127.0.0.1");
    EXPECT_EQ(stored[0].expiry, 0);
    EXPECT_EQ(stored[1], elsewhere);
    EXPECT_EQ(stored[2], added);

    clearStoredCookies();
    EXPECT_TRUE(listStoredCookies().empty());
}

TEST_F(HttpRequestTest, FollowsMovedPermanentlyItself) {
    struct Row {
        std::string from;  // path requested first
        std::string location;
        std::string next;  // path requested second
    };
    const Row rows[] = {
        {"/x", base(), "/x"},                  // host only: the old path goes on it
        {"/x?q=1", base(), "/x?q=1"},          //
        {"/x", base() + "/y", "/y"},           // a path of its own is used as it is
        {"/x", base() + "/", "/"},             //
        {"/a/x", "/z?q", "/z?q"},              // relative to the host
        {"/a/x", "w", "/a/w"},                 // relative to the directory
        {"/a/x", "//" + host() + "/s", "/s"},  // without a scheme
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.location);
        ASSERT_TRUE(server().queue(
            answer("301 Moved Permanently", "Location: " + row.location + "\r\n", "gone")));
        ASSERT_TRUE(server().queue(answer("200 OK", "", "here")));
        const HttpResult result = httpRequest({.url = base() + row.from, .noAutoRedirect = true});
        EXPECT_EQ(result.body.bytes, "here");
        // the last answer had no Location
        EXPECT_EQ(result.redirectLocation, result.rawHeaders);
        const auto requests = server().takeRequests(2);
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(headOf(requests[1]).rfind("GET " + row.next + " HTTP/1.1\r\n", 0), 0u)
            << headOf(requests[1]);
    }
}

// A server that misbehaves, one way a row. The limits are shortened for the
// test: 2.5 s in all, 1 MiB of body, and 1 s without a byte; the trickle
// waits up to 5 s for a byte, so that the limit in all is the one it meets,
// and the stall 6 s in all, so that it meets the limit on waiting.
TEST_F(HttpRequestTest, HostileServersCannotHoldTheRequest) {
    using After = ScriptedServer::After;
    struct Queued {
        std::string bytes;
        After after = After::close;
    };
    struct Row {
        const char* name;
        std::vector<Queued> answers;
        bool noAutoRedirect;
        std::string body;
        std::size_t requests;
        const char* said;  // the one line's telling part; nullptr: no line
        int idleSeconds = 1;
        int inAllMs = 2500;
    };
    auto chain = [](std::string_view status, int links) {
        std::vector<Queued> answers;
        for (int i = 1; i <= links; ++i) {
            answers.push_back({answer(status, "Location: /c" + std::to_string(i) + "\r\n", "on")});
        }
        answers.push_back({answer("200 OK", "", "end")});
        return answers;
    };
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n";
    const Row rows[] = {
        {"trickle", {{head + std::string(100, 't'), After::trickle}}, false, "", 1, "in all", 5},
        {"stall mid-body", {{head + "abcd", After::stall}}, false, "abcd", 1, "too slow", 1, 6000},
        {"endless body", {{"HTTP/1.1 200 OK\r\n\r\n", After::endless}}, false, "", 1, "larger"},
        {"cut short",
         {{head + std::string(3000, 'x')}},
         false,
         std::string(3000, 'x'),
         1,
         "remaining"},
        {"301 chain of 20, own", chain("301 Moved Permanently", 20), true, "end", 21, nullptr},
        {"301 chain of 25, own", chain("301 Moved Permanently", 25), true, "", 21, "20 redirects"},
        {"301 chain of 20, automatic", chain("301 Moved Permanently", 20), false, "end", 21,
         nullptr},
        {"301 chain of 25, automatic", chain("301 Moved Permanently", 25), false, "", 21,
         "Maximum (20) redirects"},
        {"302 chain of 20", chain("302 Found", 20), false, "end", 21, nullptr},
        {"302 chain of 25", chain("302 Found", 25), false, "", 21, "Maximum (20) redirects"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        net::setLimitsForTesting(std::chrono::milliseconds(row.inAllMs), 1024 * 1024);
        net::setTimeoutsForTesting(std::chrono::milliseconds(3000),
                                   std::chrono::seconds(row.idleSeconds));
        ASSERT_TRUE(server().reset());
        for (const Queued& queued : row.answers)
            ASSERT_TRUE(server().queue(queued.bytes, queued.after));
        ::testing::internal::CaptureStderr();
        const auto started = std::chrono::steady_clock::now();
        const HttpResult result =
            httpRequest({.url = base() + "/start", .noAutoRedirect = row.noAutoRedirect});
        const auto took = std::chrono::steady_clock::now() - started;
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_LT(took, std::chrono::milliseconds(row.inAllMs + 1500));
        EXPECT_EQ(result.body.bytes, row.body);
        EXPECT_EQ(server().takeRequests(row.requests).size(), row.requests);
        EXPECT_EQ(server().takeRequests(0, std::chrono::milliseconds(100)).size(), 0u);
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), row.said ? 1 : 0) << said;
        if (row.said) {
            EXPECT_NE(said.find(row.said), std::string::npos) << said;
        }
    }
}

TEST_F(HttpRequestTest, HeaderNamesCountOnlyAtTheStartOfALine) {
    ASSERT_TRUE(server().queue(answer("200 OK",
                                      "location: /lower\r\nContent-Location: /content\r\n"
                                      "set-cookie: a=1; path=/\r\nX-Set-Cookie: b=2; path=/\r\n"
                                      "X-Note: Location: /note\r\n")));
    const HttpResult result = httpRequest({.url = base() + "/h", .noAutoRedirect = true});
    EXPECT_EQ(result.redirectLocation, "/lower");
    EXPECT_EQ(result.returnedCookies, "a=1");

    // A 301 whose only Location is Content-Location is the result itself.
    ASSERT_TRUE(server().queue(
        answer("301 Moved Permanently", "Content-Location: " + base() + "/c\r\n", "stay")));
    EXPECT_EQ(httpRequest({.url = base() + "/h", .noAutoRedirect = true}).body.bytes, "stay");
    EXPECT_EQ(server().takeRequests(2).size(), 2u);
}

TEST_F(HttpRequestTest, ARepeatAfter301ReplacesTheCookieLine) {
    ASSERT_TRUE(server().queue(answer(
        "301 Moved Permanently", "Set-Cookie: n=2; path=/\r\nLocation: " + base() + "/b\r\n")));
    ASSERT_TRUE(server().queue(answer("200 OK", "", "here")));
    const HttpResult result =
        httpRequest({.url = base() + "/a", .cookies = "a=1", .noAutoRedirect = true});
    EXPECT_EQ(result.body.bytes, "here");
    EXPECT_EQ(result.cookies, "n=2; a=1");
    const auto requests = server().takeRequests(2);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(headOf(requests[0]).find("\r\nCookie: a=1\r\n"), std::string::npos);
    const std::string second = headOf(requests[1]);
    EXPECT_NE(second.find("\r\nCookie: n=2; a=1\r\n"), std::string::npos) << second;
    EXPECT_EQ(second.find("Cookie:"), second.rfind("Cookie:")) << second;
    EXPECT_EQ(result.extraHeaders.find("Cookie:"), result.extraHeaders.rfind("Cookie:"));
}

TEST_F(HttpRequestTest, TheCookieStoreStaysBounded) {
    // A 301 loop that sets 50 new cookies with every answer, three Gets long.
    auto flood = [&](int answerNumber) {
        return fakes::cookieFloodAnswer(base() + "/loop", answerNumber);
    };
    for (int get = 0; get < 3; ++get) {
        ASSERT_TRUE(server().reset());
        for (int i = 0; i < 21; ++i) ASSERT_TRUE(server().queue(flood(get * 21 + i)));
        ::testing::internal::CaptureStderr();
        httpRequest({.url = base() + "/loop"});
        ::testing::internal::GetCapturedStderr();
        const auto stored = listStoredCookies();
        ASSERT_EQ(stored.size(), kMostCookiesPerDomain);
        // The newest answer's cookies are the ones kept.
        const std::string newest = "c" + std::to_string(get * 21 + 20) + "_";
        for (const StoredCookie& cookie : stored)
            EXPECT_EQ(cookie.name.rfind(newest, 0), 0u) << cookie.name;
    }

    // Many domains: at most 3000 in all, the oldest gone first.
    clearStoredCookies();
    StoredCookie cookie;
    cookie.name = "k";
    cookie.value = "v";
    for (int i = 0; i < 3100; ++i) {
        cookie.domain = "d" + std::to_string(i) + ".example";
        addStoredCookie(cookie);
        if (i == 0) keepStoreWithinBounds();  // d0 is seen first
    }
    keepStoreWithinBounds();
    const auto stored = listStoredCookies();
    EXPECT_EQ(stored.size(), kMostStoredCookies);
    EXPECT_TRUE(std::none_of(stored.begin(), stored.end(),
                             [](const StoredCookie& c) { return c.domain == "d0.example"; }));

    // Cookies added one by one with no exchange in between (as the browser
    // pane adds what a page sets) stay bounded too, the newest kept.
    clearStoredCookies();
    cookie.domain = "flood.example";
    for (int i = 0; i < 5000; ++i) {
        cookie.name = "k" + std::to_string(i);
        addStoredCookie(cookie);
    }
    const auto flooded = listStoredCookies();
    EXPECT_LT(flooded.size(), 2 * kMostCookiesPerDomain);
    EXPECT_TRUE(std::any_of(flooded.begin(), flooded.end(),
                            [](const StoredCookie& c) { return c.name == "k4999"; }));
}

TEST_F(HttpRequestTest, WhileWaitingCanAbandonTheRequest) {
    net::setTimeoutsForTesting(std::chrono::milliseconds(3000), std::chrono::seconds(20));
    struct Row {
        const char* name;
        std::string bytes;
        ScriptedServer::After after;
    };
    const Row rows[] = {
        {"no answer", "", ScriptedServer::After::stall},
        {"half a body",
         "HTTP/1.1 301 Moved Permanently\r\nLocation: /next\r\nContent-Length: 9\r\n\r\nabc",
         ScriptedServer::After::stall},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(server().reset());
        ASSERT_TRUE(server().queue(row.bytes, row.after));
        int calls = 0;
        auto last = std::chrono::steady_clock::now();
        std::chrono::steady_clock::duration longestGap{};
        ::testing::internal::CaptureStderr();
        const auto started = std::chrono::steady_clock::now();
        const HttpResult result =
            httpRequest({.url = base() + "/wait", .noAutoRedirect = true, .whileWaiting = [&] {
                             const auto now = std::chrono::steady_clock::now();
                             longestGap = std::max(longestGap, now - last);
                             last = now;
                             return ++calls < 5;
                         }});
        const auto took = std::chrono::steady_clock::now() - started;
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(calls, 5);
        EXPECT_LT(took, std::chrono::seconds(2));
        EXPECT_LT(longestGap, std::chrono::milliseconds(200));
        EXPECT_EQ(result.body.bytes, "");
        // No repeat after the 301.
        EXPECT_EQ(server().takeRequests(1).size(), 1u);
        EXPECT_EQ(server().takeRequests(0, std::chrono::milliseconds(200)).size(), 0u);
    }
}

TEST_F(HttpRequestTest, OtherRedirects) {
    // 302 with automatic redirects off: the answer itself.
    ASSERT_TRUE(server().queue(answer("302 Found", "Location: /elsewhere\r\n", "found")));
    const HttpResult found = httpRequest({.url = base() + "/x", .noAutoRedirect = true});
    EXPECT_EQ(found.body.bytes, "found");
    EXPECT_EQ(found.redirectLocation, "/elsewhere");
    EXPECT_EQ(server().takeRequests(1).size(), 1u);

    // A 301 without a Location is the result, not a request for its headers.
    ASSERT_TRUE(server().queue(answer("301 Moved Permanently", "", "nowhere")));
    EXPECT_EQ(httpRequest({.url = base() + "/x", .noAutoRedirect = true}).body.bytes, "nowhere");
    EXPECT_EQ(server().takeRequests(1).size(), 1u);

    // Automatic: a POST answered by 301, 302 or 303 goes on as a GET without a
    // body; 307 keeps the POST and its body.
    struct Row {
        std::string status;
        std::string verb;
        std::string body;
    };
    const Row rows[] = {{"301 Moved Permanently", "GET", ""},
                        {"302 Found", "GET", ""},
                        {"303 See Other", "GET", ""},
                        {"307 Temporary Redirect", "POST", "a=1"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.status);
        ASSERT_TRUE(server().queue(answer(row.status, "Location: /next\r\n")));
        ASSERT_TRUE(server().queue(answer("200 OK", "X-Final: 1\r\n", "done")));
        const HttpResult result =
            httpRequest({.url = base() + "/form", .method = Verb::post, .postText = "a=1"});
        EXPECT_EQ(result.body.bytes, "done");
        // Only the final answer's headers.
        EXPECT_EQ(result.rawHeaders, "HTTP/1.1 200 OK\r\nX-Final: 1\r\nContent-Length: 4\r\n\r\n");
        const auto requests = server().takeRequests(2);
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[1].bytes.rfind(row.verb + " /next HTTP/1.1\r\n", 0), 0u);
        EXPECT_EQ(bodyOf(requests[1]), row.body);
    }
}

TEST_F(HttpRequestTest, ConvertsUtf8Bodies) {
    const std::string han = "\xe6\xb1\x89";  // 汉 in UTF-8
    const std::string hanAnsi = "\xba\xba";  // and in code page 936
    struct Row {
        int position;  // where "utf-8" starts in the body
        std::string headers;
        bool converted;
    };
    const Row rows[] = {
        {1, "", true},
        {499, "", true},
        {500, "", false},
        {500, "Content-Type: text/html; charset=UTF-8\r\n", true},
        {0, "X-Note: Utf-8\r\n", true},
        {0, "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.position);
        std::string body = std::string(row.position > 0 ? row.position - 1 : 0, 'a');
        if (row.position > 0) body += "utf-8";
        body += han;
        ASSERT_TRUE(server().queue(answer("200 OK", row.headers, body)));
        const ByteSet got = httpRequest({.url = base() + "/"}).body;
        std::string want = body;
        if (row.converted) want.replace(want.size() - han.size(), han.size(), hanAnsi);
        EXPECT_EQ(got.bytes, want);
    }

    // A body asked for as sent (an image that names UTF-8) keeps its bytes,
    // malformed UTF-8 included.
    const std::string image = std::string("\x89PNG\r\n\x1a\n") + "utf-8" + han + "\xff\xfe";
    ASSERT_TRUE(
        server().queue(answer("200 OK", "Content-Type: image/png; charset=utf-8\r\n", image)));
    EXPECT_EQ(httpRequest({.url = base() + "/image", .bodyAsSent = true}).body.bytes, image);
}

TEST_F(HttpRequestTest, RawHeadersHoldAtMost4999Bytes) {
    const std::string start = "HTTP/1.1 200 OK\r\nSet-Cookie: a=1;\r\nLocation: /l\r\nX-Fill: ";
    const std::string end = "\r\nContent-Length: 0\r\n\r\n";
    for (const std::size_t total : {4999u, 5000u}) {
        SCOPED_TRACE(total);
        const std::string headers =
            start + std::string(total - start.size() - end.size(), 'f') + end;
        ASSERT_TRUE(server().queue(headers));
        const HttpResult result = httpRequest({.url = base() + "/"});
        if (total == 4999) {
            EXPECT_EQ(result.rawHeaders, headers);
            EXPECT_EQ(result.redirectLocation, "/l");
            EXPECT_EQ(result.returnedCookies, "a=1");
        } else {
            EXPECT_EQ(result.rawHeaders, std::string(5000, ' '));
            EXPECT_EQ(result.redirectLocation, result.rawHeaders);
            EXPECT_EQ(result.returnedCookies, "");
        }
    }
}

TEST_F(HttpRequestTest, FailedRequestsGiveAnEmptyBodyAndSayWhy) {
    struct Row {
        std::string url;
        bool hang;
        std::string reason;  // a part of libcurl's reason
    };
    const Row rows[] = {
        {"http://127.0.0.1:" + std::to_string(fakes::refusedPort()) + "/r", false, "onnect"},
        {"http://tovrel-no-such-host.invalid/r", false, "resolve"},
        {base() + "/hang", true, "too slow"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.url);
        if (row.hang) {
            ASSERT_TRUE(server().queueHang());
        }
        ::testing::internal::CaptureStderr();
        const auto started = std::chrono::steady_clock::now();
        const HttpResult result = httpRequest({.url = row.url});
        const auto took = std::chrono::steady_clock::now() - started;
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(result.body.bytes, "");
        EXPECT_EQ(result.rawHeaders, std::string(5000, ' '));
        EXPECT_EQ(result.redirectLocation, result.rawHeaders);
        EXPECT_LT(took, std::chrono::seconds(10));
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find("tovrel: request for "), std::string::npos) << said;
        EXPECT_NE(said.find(row.reason), std::string::npos) << said;
    }

    // An answer that stalls halfway: the body that came, and the headers.
    const std::string head = "HTTP/1.1 200 OK\r\nSet-Cookie: c=1;\r\nContent-Length: 5000\r\n\r\n";
    ASSERT_TRUE(server().queue(head + std::string(3000, 'x'), ScriptedServer::After::stall));
    {
        ::testing::internal::CaptureStderr();
        const HttpResult result = httpRequest({.url = base() + "/half"});
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(result.body.bytes, std::string(3000, 'x'));
        EXPECT_EQ(result.rawHeaders, head);
        EXPECT_EQ(result.returnedCookies, "c=1");
        EXPECT_NE(said.find("/half failed: "), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    }

    // A host that cannot be connected to at all: nothing is written back.
    ::testing::internal::CaptureStderr();
    const HttpResult result = httpRequest({.url = "http://bad host/", .extraHeaders = "X: 1"});
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(result.body.bytes, "");
    EXPECT_EQ(result.rawHeaders, "");
    EXPECT_EQ(result.extraHeaders, "X: 1");
    EXPECT_NE(said.find("tovrel: request for http://bad host/ failed: "), std::string::npos)
        << said;

    // An address holding a line break and an escape (a server's Location can
    // lead to one) still gives one line, its control bytes written out.
    ::testing::internal::CaptureStderr();
    httpRequest({.url = "http://bad\r\necho PASTED\x1b[2J/"});
    const std::string hostile = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(hostile.find("http://bad\\x0D\\x0Aecho PASTED\\x1B[2J/ failed: "), std::string::npos)
        << hostile;
    EXPECT_EQ(std::count(hostile.begin(), hostile.end(), '\n'), 1) << hostile;
    EXPECT_EQ(hostile.find('\x1b'), std::string::npos) << hostile;
}

// A front end that words its own messages takes the failures over: the
// receiver gets each one and standard error stays quiet until it is removed.
std::vector<std::pair<std::string, std::string>> receivedFailures;
void receiveFailure(std::string_view address, std::string_view reason) {
    receivedFailures.emplace_back(address, reason);
}

TEST_F(HttpRequestTest, FailureReceiverTakesTheLineOver) {
    const std::string refused = "http://127.0.0.1:" + std::to_string(fakes::refusedPort()) + "/r";
    receivedFailures.clear();
    ASSERT_EQ(net::setRequestFailureReceiver(receiveFailure), nullptr);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(httpRequest({.url = refused}).body.bytes, "");
    EXPECT_EQ(httpRequest({.url = "http://bad host/"}).body.bytes, "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(receivedFailures.size(), 2u);
    EXPECT_EQ(receivedFailures[0].first, refused);
    EXPECT_NE(receivedFailures[0].second.find("onnect"), std::string::npos);
    EXPECT_EQ(receivedFailures[1].first, "http://bad host/");

    EXPECT_EQ(net::setRequestFailureReceiver(nullptr), receiveFailure);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(httpRequest({.url = refused}).body.bytes, "");
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("tovrel: request for " + refused),
              std::string::npos);
    EXPECT_EQ(receivedFailures.size(), 2u);
}

TEST_F(HttpRequestTest, SecureRequests) {
    // Verified against the test CA.
    ASSERT_TRUE(server().queue(answer("200 OK", "", "secret")));
    EXPECT_EQ(httpRequest({.url = secureBase() + "/s"}).body.bytes, "secret");
    auto requests = server().takeRequests(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, "tls");

    // From http to https is followed.
    ASSERT_TRUE(server().queue(answer("302 Found", "Location: " + secureBase() + "/up\r\n")));
    ASSERT_TRUE(server().queue(answer("200 OK", "", "upgraded")));
    EXPECT_EQ(httpRequest({.url = base() + "/plain"}).body.bytes, "upgraded");
    requests = server().takeRequests(2);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].kind, "tls");
    EXPECT_EQ(requests[1].bytes.rfind("GET /up HTTP/1.1\r\n", 0), 0u);

    // From https to http is refused.
    ASSERT_TRUE(server().queue(answer("302 Found", "Location: " + base() + "/down\r\n", "x")));
    ::testing::internal::CaptureStderr();
    const HttpResult refused = httpRequest({.url = secureBase() + "/s"});
    EXPECT_EQ(refused.body.bytes, "");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("tovrel: request for https://127.0.0.1"), std::string::npos) << said;
    EXPECT_EQ(refused.redirectLocation, base() + "/down");
    requests = server().takeRequests(1, std::chrono::milliseconds(300));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, "tls");

    // Without the test CA the server's certificate is not trusted.
    net::setCaFileForTesting("");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(httpRequest({.url = secureBase() + "/s"}).body.bytes, "");
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("certificate"), std::string::npos);
}

TEST_F(HttpRequestTest, ProxyServesHttpAddressesOnly) {
    const std::string proxy = "127.0.0.1:" + std::to_string(server().plainPort());
    ASSERT_TRUE(server().queue(answer("200 OK", "", "proxied")));
    EXPECT_EQ(
        httpRequest({.url = "http://tovrel-proxied.invalid/p?q=1", .proxy = proxy}).body.bytes,
        "proxied");
    auto requests = server().takeRequests(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].bytes.rfind("GET http://tovrel-proxied.invalid/p?q=1 HTTP/1.1\r\n", 0),
              0u)
        << requests[0].bytes;
    EXPECT_EQ(requests[0].bytes.find("Proxy-Connection"), std::string::npos);

    // An https address goes direct.
    ASSERT_TRUE(server().queue(answer("200 OK", "", "direct")));
    EXPECT_EQ(httpRequest({.url = secureBase() + "/d", .proxy = proxy}).body.bytes, "direct");
    requests = server().takeRequests(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, "tls");
}

#if !defined(__SANITIZE_ADDRESS__)
TEST_F(HttpRequestTest, ABodyThatCannotBeStoredIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A body limit above what the address space allows, for this test only.
    net::setLimitsForTesting(std::chrono::milliseconds(10000), std::int64_t{1} << 30);
    const std::int64_t announced = 900 * 1024 * 1024;
    ASSERT_TRUE(server().queue(
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(announced) + "\r\n\r\nabc",
        ScriptedServer::After::stall));
    auto askTooMuch = [&] {
        const std::size_t room = (addressSpaceInUse() + 256) << 20;
        const rlimit limit{room, room};
        setrlimit(RLIMIT_AS, &limit);
        httpRequest({.url = base() + "/huge"});
    };
    EXPECT_EXIT(askTooMuch(), ::testing::ExitedWithCode(255),
                "分配 " + std::to_string(announced) + " 字节内存失败!");
}
#endif

TEST_F(HttpRequestTest, LargeBodiesArriveWhole) {
    std::string body(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 23);
    ASSERT_TRUE(server().queue(answer("200 OK", "", body)));
    EXPECT_EQ(httpRequest({.url = base() + "/big"}).body.bytes, body);
}

}  // namespace
}  // namespace tovrel
