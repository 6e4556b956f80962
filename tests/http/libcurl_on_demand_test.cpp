// libcurl bound on first use: a program linked with the binding starts with
// no libcurl in it, and its first request loads libcurl. Linked into the
// request tests' second program, which runs those tests through the binding.
#include "http/cookie_store.h"
#include "http/request.h"
#include "tests/support/scripted_server.h"

#include <gtest/gtest.h>
#include <link.h>

#include <cstdlib>
#include <string>

namespace tovrel {
namespace {

bool libcurlMapped() {
    bool mapped = false;
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* found) {
            if (std::string(info->dlpi_name).find("/libcurl.so") != std::string::npos)
                *static_cast<bool*>(found) = true;
            return 0;
        },
        &mapped);
    return mapped;
}

// Checked in a fresh process of its own, in which no other test has already
// made a request.
TEST(LibcurlOnDemandDeathTest, TheFirstRequestLoadsLibcurl) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            if (libcurlMapped()) std::_Exit(10);
            fakes::ScriptedServer server;
            if (!server.start()) std::_Exit(11);
            if (libcurlMapped()) std::_Exit(12);
            const std::string answer =
                "HTTP/1.1 200 OK\r\nSet-Cookie: k=v; path=/\r\nContent-Length: 2\r\n\r\nok";
            if (!server.queue(answer)) std::_Exit(13);
            const std::string url = "http://127.0.0.1:" + std::to_string(server.plainPort());
            const HttpResult result = httpRequest({.url = url + "/", .method = Verb::post});
            if (result.body.bytes != "ok" || result.returnedCookies != "k=v") std::_Exit(14);
            if (listStoredCookies().size() != 1) std::_Exit(15);
            std::_Exit(libcurlMapped() ? 0 : 16);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tovrel
