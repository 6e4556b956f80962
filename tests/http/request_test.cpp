#include "http/request.h"
#include "http/cookie_store.h"
#include "http/platform.h"
#include "scripted_server.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
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
        int method;
        std::string postText;
        std::string postBytes;
        std::string verb;
        std::string body;  // sent body; empty with no Content-Length for method 0
    };
    const Row rows[] = {
        {"get", 0, "ignored", "", "GET", ""},
        {"post", 1, "a=1&b=2", "", "POST", "a=1&b=2"},
        {"get with a body", 2, "q=1", "", "GET", "q=1"},
        {"post bytes win", 1, "a=1", std::string("x\0y", 3), "POST", std::string("x\0y", 3)},
        {"empty post", 1, "", "", "POST", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(server().queue(answer("200 OK", "", "fine")));
        const std::string url = base() + "/page?x=1";
        Text headers;
        ByteSet postBytes{row.postBytes};
        const ByteSet body = httpRequest(url, row.method, row.postText, nullptr, nullptr, &headers,
                                         nullptr, false, &postBytes);
        EXPECT_EQ(body.bytes, "fine");
        const std::string lines = "Referer: " + url + "\r\n" + std::string(kDefaultLines);
        EXPECT_EQ(headers, lines);
        if (row.method != 0) {
            EXPECT_EQ(postBytes.bytes, row.body);
        }

        const auto requests = server().takeRequests(1);
        ASSERT_EQ(requests.size(), 1u);
        const std::string length =
            row.method == 0 ? "" : "Content-Length: " + std::to_string(row.body.size()) + "\r\n";
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
        Text headers = row.given;
        httpRequest(base() + "/", 0, {}, nullptr, nullptr, &headers);
        EXPECT_EQ(headers, row.sentLines);
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
    Text returned = "stale";
    Text location;
    Text raw;
    httpRequest(base() + "/", 0, {}, nullptr, &returned, nullptr, &location, false, nullptr,
                std::nullopt, &raw);
    EXPECT_EQ(returned, "a=1; b=2");
    EXPECT_EQ(location, "http://b/2");
    EXPECT_EQ(raw,
              "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2; path=/\r\n"
              "Location: http://a/1\r\nLocation: http://b/2\r\nContent-Length: 1\r\n\r\n");

    // No Set-Cookie and no Location: the raw headers stand in for the location,
    // unless the caller's text is already there.
    ASSERT_TRUE(server().queue(answer("404 Not Found", "Set-Cookie: solo\r\n")));
    location.clear();
    httpRequest(base() + "/", 0, {}, nullptr, &returned, nullptr, &location, false, nullptr,
                std::nullopt, &raw);
    EXPECT_EQ(returned, "");  // a pair without ";" collects as empty
    EXPECT_EQ(location, raw);
    EXPECT_EQ(raw.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u);

    ASSERT_TRUE(server().queue(answer("200 OK")));
    location = "kept";
    httpRequest(base() + "/", 0, {}, nullptr, &returned, nullptr, &location);
    EXPECT_EQ(location, "kept");
}

TEST_F(HttpRequestTest, GivenCookiesAreMergedAndKeepTheStoreOut) {
    // The store holds a cookie for this host.
    ASSERT_TRUE(server().queue(answer("200 OK", "Set-Cookie: s=1; path=/\r\n")));
    httpRequest(base() + "/set");

    ASSERT_TRUE(
        server().queue(answer("200 OK", "Set-Cookie: b=3; path=/\r\nSet-Cookie: d=4; path=/\r\n")));
    Text cookies = "a=1; b=2";
    Text returned;
    Text headers;
    httpRequest(base() + "/given", 0, {}, &cookies, &returned, &headers);
    EXPECT_EQ(cookies, "b=3; d=4; a=1");
    EXPECT_EQ(returned, "b=3;d=4");  // rewritten without blanks
    auto requests = server().takeRequests(2);
    ASSERT_EQ(requests.size(), 2u);
    // Only the caller's cookie line goes out, not the store's.
    EXPECT_NE(headOf(requests[1]).find("\r\nCookie: a=1; b=2\r\n"), std::string::npos);
    EXPECT_EQ(headOf(requests[1]).find("s=1"), std::string::npos);

    // Given but empty: no cookie line, and the response's cookie stays out of
    // the store.
    ASSERT_TRUE(server().queue(answer("200 OK", "Set-Cookie: t=2; path=/\r\n")));
    Text none;
    httpRequest(base() + "/empty", 0, {}, &none);
    EXPECT_EQ(none, "t=2");
    requests = server().takeRequests(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(headOf(requests[0]).find("Cookie"), std::string::npos);

    const auto stored = listStoredCookies();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].name, "s");
    EXPECT_EQ(stored[0].value, "1");
}

TEST_F(HttpRequestTest, TheStoreCarriesCookiesBetweenRequests) {
    ASSERT_TRUE(server().queue(answer("200 OK", "Set-Cookie: s=1; path=/\r\n")));
    httpRequest(base() + "/one");
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
    httpRequest(base() + "/two");
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
        Text location;
        Text raw;
        const ByteSet body = httpRequest(base() + row.from, 0, {}, nullptr, nullptr, nullptr,
                                         &location, true, nullptr, std::nullopt, &raw);
        EXPECT_EQ(body.bytes, "here");
        EXPECT_EQ(location, raw);  // the last answer had no Location
        const auto requests = server().takeRequests(2);
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(headOf(requests[1]).rfind("GET " + row.next + " HTTP/1.1\r\n", 0), 0u)
            << headOf(requests[1]);
    }
}

TEST_F(HttpRequestTest, StopsARedirectLoop) {
    const std::string moved =
        answer("301 Moved Permanently", "Location: " + base() + "/loop\r\n", "again");
    for (int i = 0; i < 25; ++i) ASSERT_TRUE(server().queue(moved));
    Text location;
    const ByteSet body =
        httpRequest(base() + "/loop", 0, {}, nullptr, nullptr, nullptr, &location, true);
    // The first request and 20 repeats; the last answer is the result.
    EXPECT_EQ(server().takeRequests(21).size(), 21u);
    EXPECT_EQ(body.bytes, "again");
    EXPECT_EQ(location, base() + "/loop");
}

TEST_F(HttpRequestTest, OtherRedirects) {
    // 302 with automatic redirects off: the answer itself.
    ASSERT_TRUE(server().queue(answer("302 Found", "Location: /elsewhere\r\n", "found")));
    Text location;
    ByteSet body = httpRequest(base() + "/x", 0, {}, nullptr, nullptr, nullptr, &location, true);
    EXPECT_EQ(body.bytes, "found");
    EXPECT_EQ(location, "/elsewhere");
    EXPECT_EQ(server().takeRequests(1).size(), 1u);

    // A 301 without a Location is the result, not a request for its headers.
    ASSERT_TRUE(server().queue(answer("301 Moved Permanently", "", "nowhere")));
    body = httpRequest(base() + "/x", 0, {}, nullptr, nullptr, nullptr, nullptr, true);
    EXPECT_EQ(body.bytes, "nowhere");
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
        Text raw;
        body = httpRequest(base() + "/form", 1, "a=1", nullptr, nullptr, nullptr, nullptr, false,
                           nullptr, std::nullopt, &raw);
        EXPECT_EQ(body.bytes, "done");
        // Only the final answer's headers.
        EXPECT_EQ(raw, "HTTP/1.1 200 OK\r\nX-Final: 1\r\nContent-Length: 4\r\n\r\n");
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
        const ByteSet got = httpRequest(base() + "/");
        std::string want = body;
        if (row.converted) want.replace(want.size() - han.size(), han.size(), hanAnsi);
        EXPECT_EQ(got.bytes, want);
    }
}

TEST_F(HttpRequestTest, RawHeadersHoldAtMost4999Bytes) {
    const std::string start = "HTTP/1.1 200 OK\r\nSet-Cookie: a=1;\r\nLocation: /l\r\nX-Fill: ";
    const std::string end = "\r\nContent-Length: 0\r\n\r\n";
    for (const std::size_t total : {4999u, 5000u}) {
        SCOPED_TRACE(total);
        const std::string headers =
            start + std::string(total - start.size() - end.size(), 'f') + end;
        ASSERT_TRUE(server().queue(headers));
        Text raw;
        Text location;
        Text returned;
        httpRequest(base() + "/", 0, {}, nullptr, &returned, nullptr, &location, false, nullptr,
                    std::nullopt, &raw);
        if (total == 4999) {
            EXPECT_EQ(raw, headers);
            EXPECT_EQ(location, "/l");
            EXPECT_EQ(returned, "a=1");
        } else {
            EXPECT_EQ(raw, std::string(5000, ' '));
            EXPECT_EQ(location, raw);
            EXPECT_EQ(returned, "");
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
        Text raw = "untouched";
        Text location;
        ::testing::internal::CaptureStderr();
        const auto started = std::chrono::steady_clock::now();
        const ByteSet body = httpRequest(row.url, 0, {}, nullptr, nullptr, nullptr, &location,
                                         false, nullptr, std::nullopt, &raw);
        const auto took = std::chrono::steady_clock::now() - started;
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(body.bytes, "");
        EXPECT_EQ(raw, std::string(5000, ' '));
        EXPECT_EQ(location, raw);
        EXPECT_LT(took, std::chrono::seconds(10));
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find("tovrel: request for "), std::string::npos) << said;
        EXPECT_NE(said.find(row.reason), std::string::npos) << said;
    }

    // An answer that stops halfway: no body, but the headers that came.
    const std::string head = "HTTP/1.1 200 OK\r\nSet-Cookie: c=1;\r\nContent-Length: 5000\r\n\r\n";
    ASSERT_TRUE(server().queue(head + std::string(3000, 'x'), ScriptedServer::After::stall));
    {
        Text raw;
        Text returned;
        ::testing::internal::CaptureStderr();
        const ByteSet body = httpRequest(base() + "/half", 0, {}, nullptr, &returned, nullptr,
                                         nullptr, false, nullptr, std::nullopt, &raw);
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(body.bytes, "");
        EXPECT_EQ(raw, head);
        EXPECT_EQ(returned, "c=1");
        EXPECT_NE(said.find("/half failed: "), std::string::npos) << said;
    }

    // A host that cannot be connected to at all: nothing is written back.
    Text raw = "untouched";
    Text headers = "X: 1";
    ::testing::internal::CaptureStderr();
    const ByteSet body = httpRequest("http://bad host/", 0, {}, nullptr, nullptr, &headers, nullptr,
                                     false, nullptr, std::nullopt, &raw);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(body.bytes, "");
    EXPECT_EQ(raw, "untouched");
    EXPECT_EQ(headers, "X: 1");
    EXPECT_NE(said.find("tovrel: request for http://bad host/ failed: "), std::string::npos)
        << said;
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
    EXPECT_EQ(httpRequest(refused).bytes, "");
    EXPECT_EQ(httpRequest("http://bad host/").bytes, "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(receivedFailures.size(), 2u);
    EXPECT_EQ(receivedFailures[0].first, refused);
    EXPECT_NE(receivedFailures[0].second.find("onnect"), std::string::npos);
    EXPECT_EQ(receivedFailures[1].first, "http://bad host/");

    EXPECT_EQ(net::setRequestFailureReceiver(nullptr), receiveFailure);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(httpRequest(refused).bytes, "");
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("tovrel: request for " + refused),
              std::string::npos);
    EXPECT_EQ(receivedFailures.size(), 2u);
}

TEST_F(HttpRequestTest, SecureRequests) {
    // Verified against the test CA.
    ASSERT_TRUE(server().queue(answer("200 OK", "", "secret")));
    EXPECT_EQ(httpRequest(secureBase() + "/s").bytes, "secret");
    auto requests = server().takeRequests(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, "tls");

    // From http to https is followed.
    ASSERT_TRUE(server().queue(answer("302 Found", "Location: " + secureBase() + "/up\r\n")));
    ASSERT_TRUE(server().queue(answer("200 OK", "", "upgraded")));
    EXPECT_EQ(httpRequest(base() + "/plain").bytes, "upgraded");
    requests = server().takeRequests(2);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].kind, "tls");
    EXPECT_EQ(requests[1].bytes.rfind("GET /up HTTP/1.1\r\n", 0), 0u);

    // From https to http is refused.
    ASSERT_TRUE(server().queue(answer("302 Found", "Location: " + base() + "/down\r\n", "x")));
    ::testing::internal::CaptureStderr();
    Text location;
    EXPECT_EQ(httpRequest(secureBase() + "/s", 0, {}, nullptr, nullptr, nullptr, &location).bytes,
              "");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("tovrel: request for https://127.0.0.1"), std::string::npos) << said;
    EXPECT_EQ(location, base() + "/down");
    requests = server().takeRequests(1, std::chrono::milliseconds(300));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, "tls");

    // Without the test CA the server's certificate is not trusted.
    net::setCaFileForTesting("");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(httpRequest(secureBase() + "/s").bytes, "");
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("certificate"), std::string::npos);
}

TEST_F(HttpRequestTest, ProxyServesHttpAddressesOnly) {
    const std::string proxy = "127.0.0.1:" + std::to_string(server().plainPort());
    ASSERT_TRUE(server().queue(answer("200 OK", "", "proxied")));
    EXPECT_EQ(httpRequest("http://tovrel-proxied.invalid/p?q=1", 0, {}, nullptr, nullptr, nullptr,
                          nullptr, false, nullptr, proxy)
                  .bytes,
              "proxied");
    auto requests = server().takeRequests(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].bytes.rfind("GET http://tovrel-proxied.invalid/p?q=1 HTTP/1.1\r\n", 0),
              0u)
        << requests[0].bytes;
    EXPECT_EQ(requests[0].bytes.find("Proxy-Connection"), std::string::npos);

    // An https address goes direct.
    ASSERT_TRUE(server().queue(answer("200 OK", "", "direct")));
    EXPECT_EQ(httpRequest(secureBase() + "/d", 0, {}, nullptr, nullptr, nullptr, nullptr, false,
                          nullptr, proxy)
                  .bytes,
              "direct");
    requests = server().takeRequests(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, "tls");
}

TEST_F(HttpRequestTest, LargeBodiesArriveWhole) {
    std::string body(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 23);
    ASSERT_TRUE(server().queue(answer("200 OK", "", body)));
    EXPECT_EQ(httpRequest(base() + "/big").bytes, body);
}

}  // namespace
}  // namespace tovrel
