#include "http/urls.h"

#include <gtest/gtest.h>

namespace tovrel {
namespace {

TEST(Urls, HostPortAndPath) {
    struct Row {
        TextView url;
        Text host;
        int port;
        Text path;
    };
    const Row rows[] = {
        {"http://host/a/b?x=1", "host", 80, "/a/b?x=1"},
        {"HTTP://Host:8080/Dir/F.txt", "host", 8080, "/Dir/F.txt"},
        {"https://host/x", "host", 443, "/x"},
        {"HTTPS://HOST/X", "host", 443, "/X"},
        {"host/x", "host", 80, "/x"},
        {"http://host", "host", 80, "/"},
        {"http://host/", "host", 80, "/"},
        // Without a "/" the query stays on the host.
        {"http://host?x=1", "host?x=1", 80, "/"},
        // Cut at the first colon; the port after the last one is no number.
        {"http://user:pw@host/", "user", 0, "/"},
        // The prefix is looked for anywhere, so the text before it is dropped.
        {"see http://host/p", "host", 80, "/p"},
        {"https://q:8443", "q", 8443, "/"},
        {"", "", 80, "/"},
        // The path starts at the first "/" after where the host stands.
        {"http://Ab.Example.com:81/Q/r", "ab.example.com", 81, "/Q/r"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.url);
        EXPECT_EQ(urlHost(row.url), row.host);
        EXPECT_EQ(urlPort(row.url), row.port);
        EXPECT_EQ(urlPath(row.url), row.path);
    }
}

TEST(Urls, HostOptions) {
    struct Row {
        TextView url;
        bool domainOnly, keepPort;
        Text host;
    };
    const Row rows[] = {
        {"http://a.b.c/", true, false, "b.c"},
        {"http://host/", true, false, "host"},
        {"http://a..c/", true, false, ".c"},
        {"http://host:81/", false, true, "host:81"},
        {"http://www.pan.example.com:81/", true, true, "example.com:81"},
        {"http://www.pan.example.com:81/", true, false, "example.com"},
        // The last two labels are taken before the port is cut.
        {"http://a.b:81.c/", true, false, "b"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.url);
        EXPECT_EQ(urlHost(row.url, row.domainOnly, row.keepPort), row.host);
    }
}

}  // namespace
}  // namespace tovrel
