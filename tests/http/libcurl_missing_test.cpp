// A program whose libcurl cannot be loaded: one line says so, every request
// fails with an empty body and its own line, and the cookie store stays empty.
#include "http/cookie_store.h"
#include "http/request.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace tovrel {
namespace {

TEST(LibcurlMissing, RequestsFailAndSaySo) {
    ::testing::internal::CaptureStderr();
    addStoredCookie({.name = "k", .value = "v", .domain = "example.com"});
    const HttpResult first = httpRequest({.url = "http://127.0.0.1:9/a"});
    const HttpResult second = httpRequest({.url = "http://127.0.0.1:9/b", .method = Verb::post});
    const std::string said = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(first.body.bytes, "");
    EXPECT_EQ(second.body.bytes, "");
    EXPECT_TRUE(listStoredCookies().empty());
    const auto lines = std::count(said.begin(), said.end(), '\n');
    EXPECT_EQ(lines, 3) << said;
    EXPECT_EQ(said.rfind("cannot load libcurl: ", 0), 0u) << said;
    EXPECT_NE(said.find("libtovrel-no-such-libcurl.so"), std::string::npos) << said;
    EXPECT_NE(said.find("http://127.0.0.1:9/a failed: "), std::string::npos) << said;
    EXPECT_NE(said.find("http://127.0.0.1:9/b failed: "), std::string::npos) << said;
}

}  // namespace
}  // namespace tovrel
