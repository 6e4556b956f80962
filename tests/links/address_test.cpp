// What of a decoded link may be shown: UTF-8 addresses turned into code page
// 936, and addresses with control bytes or a scheme no download manager
// fetches refused with one line on standard error.
#include "links/address.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "links/decode.h"
#include "tests/support/recording_screen.h"

namespace tovrel {
namespace {

using fakes::RecordingScreen;

TEST(AddressInCodePage936, Utf8AddressesAreConvertedCodePage936OnesKept) {
    struct Row {
        std::string address;
        bool utf8;
        std::string converted;
    };
    const std::vector<Row> rows = {
        {"", false, ""},
        {"http://example.invalid/a.zip", false, "http://example.invalid/a.zip"},
        // 中文 in UTF-8, and in code page 936 (not well-formed UTF-8).
        {"x/\xe4\xb8\xad\xe6\x96\x87", true, "x/\xd6\xd0\xce\xc4"},
        {"x/\xd6\xd0\xce\xc4", false, "x/\xd6\xd0\xce\xc4"},
        // 学习 and 图片 in code page 936 happen to be well-formed UTF-8, of
        // two-byte sequences only, and stay as they are.
        {"x/\xd1\xa7\xcf\xb0", false, "x/\xd1\xa7\xcf\xb0"},
        {"x/\xcd\xbc\xc6\xac", false, "x/\xcd\xbc\xc6\xac"},
        // So does a UTF-8 address whose only non-ASCII characters take two
        // bytes (café): it reads as code page 936.
        {"x/caf\xc3\xa9", false, "x/caf\xc3\xa9"},
        // テスト; 한 has no code page 936 form; é does once a three-byte
        // character has shown the text to be UTF-8.
        {"x/\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88", true, "x/\xa5\xc6\xa5\xb9\xa5\xc8"},
        {"x/\xed\x95\x9c", true, "x/%ED%95%9C"},
        {"x/\xc3\xa9\xe4\xb8\xad", true, "x/\xa8\xa6\xd6\xd0"},
        // A four-byte character alone is enough; it has no code page 936 form.
        {"x/\xf0\x9f\x98\x80", true, "x/%F0%9F%98%80"},
        // One malformed byte anywhere makes the address code page 936.
        {"x/\xe4\xb8\xad\xff", false, "x/\xe4\xb8\xad\xff"},
        {"x/\xe4\xb8\xad\xe6\x96", false, "x/\xe4\xb8\xad\xe6\x96"},
        {"x/\xed\xa0\x80", false, "x/\xed\xa0\x80"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.address));
        EXPECT_EQ(isUtf8Address(row.address), row.utf8);
        EXPECT_EQ(addressInCodePage936(row.address), row.converted);
    }
}

TEST(DownloadAddress, WrappedLinksAsFoundInTheWild) {
    struct Row {
        std::string link;
        std::string decoded;  // what decodeDownloadLink gives
        std::string shown;    // what downloadAddress gives
    };
    const std::vector<Row> rows = {
        // 中文, 日本語の資料 and 한국어 in UTF-8; 照片 with an emoji.
        {"thunder://QUFodHRwOi8vZXhhbXBsZS5pbnZhbGlkL+S4reaWhy56aXBaWg==",
         "http://example.invalid/\xe4\xb8\xad\xe6\x96\x87.zip",
         "http://example.invalid/\xd6\xd0\xce\xc4.zip"},
        {"qqdl://aHR0cDovL2V4YW1wbGUuaW52YWxpZC/ml6XmnKzoqp7jga7os4fmlpkuemlw",
         "http://example.invalid/"
         "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae\xe8\xb3\x87\xe6\x96\x99.zip",
         "http://example.invalid/\xc8\xd5\xb1\xbe\xd5Z\xa4\xce\xd9Y\xc1\xcf.zip"},
        {"flashget://"
         "W0ZMQVNIR0VUXWh0dHA6Ly9leGFtcGxlLmludmFsaWQv7ZWc6rWt7Ja0LnppcFtGTEFTSEdFVF0=&abc",
         "http://example.invalid/\xed\x95\x9c\xea\xb5\xad\xec\x96\xb4.zip",
         "http://example.invalid/%ED%95%9C%EA%B5%AD%EC%96%B4.zip"},
        {"thunder://QUFodHRwOi8vZXhhbXBsZS5pbnZhbGlkL+eFp+eJh/CfmIAuanBnWlo=",
         "http://example.invalid/\xe7\x85\xa7\xe7\x89\x87\xf0\x9f\x98\x80.jpg",
         "http://example.invalid/\xd5\xd5\xc6\xac%F0%9F%98%80.jpg"},
        // UTF-8 and parameters appended.
        {"qqdl://aHR0cDovL2V4YW1wbGUuaW52YWxpZC/kuK3mlocuemlw&srcid=119&verno=1",
         "http://example.invalid/\xe4\xb8\xad\xe6\x96\x87.zip",
         "http://example.invalid/\xd6\xd0\xce\xc4.zip"},
        // 汉字, 学习 and 图片 in code page 936, as the service sends them.
        {"thunder://QUFodHRwOi8vZXhhbXBsZS5pbnZhbGlkL7q619YuemlwWlo=",
         "http://example.invalid/\xba\xba\xd7\xd6.zip",
         "http://example.invalid/\xba\xba\xd7\xd6.zip"},
        {"thunder://QUFodHRwOi8vZXhhbXBsZS5pbnZhbGlkL9Gnz7AuemlwWlo=",
         "http://example.invalid/\xd1\xa7\xcf\xb0.zip",
         "http://example.invalid/\xd1\xa7\xcf\xb0.zip"},
        {"qqdl://aHR0cDovL2V4YW1wbGUuaW52YWxpZC/NvMasLnJhcg==",
         "http://example.invalid/\xcd\xbc\xc6\xac.rar",
         "http://example.invalid/\xcd\xbc\xc6\xac.rar"},
        // Every scheme a download manager fetches, letter case ignored.
        {"qqdl://SFRUUFM6Ly9leGFtcGxlLmludmFsaWQvYS56aXA=", "HTTPS://example.invalid/a.zip",
         "HTTPS://example.invalid/a.zip"},
        {"thunder://QUFmdHA6Ly9leGFtcGxlLmludmFsaWQvYS56aXBaWg==", "ftp://example.invalid/a.zip",
         "ftp://example.invalid/a.zip"},
        {"flashget://"
         "W0ZMQVNIR0VUXWVkMms6Ly98ZmlsZXxhLnppcHwxfDAxMjM0NTY3ODlBQkNERUYwMTIzNDU2Nzg5QUJDREVGfC9bR"
         "kxBU0hHRVRd&abc",
         "ed2k://|file|a.zip|1|0123456789ABCDEF0123456789ABCDEF|/",
         "ed2k://|file|a.zip|1|0123456789ABCDEF0123456789ABCDEF|/"},
        {"qqdl://TWFnbmV0Oj94dD11cm46YnRpaDowMTIzNDU2Nzg5YWJjZGVmMDEyMzQ1Njc4OWFiY2RlZjAxMjM0NTY3",
         "Magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567",
         "Magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567"},
        // A plain link passes by its first letters, as it always has.
        {"Http", "Http", "Http"},
        {"https://example.invalid/a.zip?x=1&y=2", "https://example.invalid/a.zip?x=1&y=2",
         "https://example.invalid/a.zip?x=1&y=2"},
        // No address at all is no fault.
        {"thunder://", "", ""},
        {"ftp://example.invalid/a.zip", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.link);
        EXPECT_EQ(decodeDownloadLink(row.link), row.decoded);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(downloadAddress(row.link), row.shown);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    }
}

TEST(DownloadAddress, ControlBytesAndOtherSchemesAreRefused) {
    struct Row {
        std::string link;
        std::string decoded;
        AddressFault fault;
    };
    const std::vector<Row> rows = {
        // A second line that would run when pasted into a terminal.
        {"thunder://QUFodHRwOi8vZXhhbXBsZS5pbnZhbGlkL2EuemlwDQplY2hvIFBBU1RFRA0KWlo=",
         "http://example.invalid/a.zip\r\necho PASTED\r\n", AddressFault::controlCharacter},
        // An escape sequence setting the terminal's title, ended by BEL; DEL; a tab.
        {"qqdl://aHR0cDovL2V4YW1wbGUuaW52YWxpZC8bXTA7eAdhLnppcA==",
         "http://example.invalid/\x1b]0;x\x07"
         "a.zip",
         AddressFault::controlCharacter},
        {"qqdl://aHR0cDovL2V4YW1wbGUuaW52YWxpZC9hfy56aXA=", "http://example.invalid/a\x7f.zip",
         AddressFault::controlCharacter},
        {"flashget://W0ZMQVNIR0VUXWh0dHA6Ly9leGFtcGxlLmludmFsaWQvYQliLnppcFtGTEFTSEdFVF0=&abc",
         "http://example.invalid/a\tb.zip", AddressFault::controlCharacter},
        // A plain link is checked for control bytes too.
        {"http://example.invalid/a.zip\r\necho PASTED",
         "http://example.invalid/a.zip\r\necho PASTED", AddressFault::controlCharacter},
        // Addresses no download manager fetches.
        {"qqdl://amF2YXNjcmlwdDphbGVydCgxKQ==", "javascript:alert(1)",
         AddressFault::notADownloadScheme},
        {"thunder://QUFmaWxlOi8vL2V0Yy9wYXNzd2RaWg==", "file:///etc/passwd",
         AddressFault::notADownloadScheme},
        {"flashget://"
         "W0ZMQVNIR0VUXUphdmFTY3JpcHQ6YWxlcnQoZG9jdW1lbnQuY29va2llKVtGTEFTSEdFVF0=&abc",
         "JavaScript:alert(document.cookie)", AddressFault::notADownloadScheme},
        {"qqdl://ZGF0YTp0ZXh0L2h0bWwseA==", "data:text/html,x", AddressFault::notADownloadScheme},
        // Near misses of the accepted schemes.
        {"qqdl://aHR0cHg6Ly9leGFtcGxlLmludmFsaWQvYS56aXA=", "httpx://example.invalid/a.zip",
         AddressFault::notADownloadScheme},
        {"thunder://QUFodHRwOmV4YW1wbGUuaW52YWxpZC9hLnppcFpa", "http:example.invalid/a.zip",
         AddressFault::notADownloadScheme},
        {"qqdl://bWFnbmV0Onh0PXVybjpidGloOjAxMjM=", "magnet:xt=urn:btih:0123",
         AddressFault::notADownloadScheme},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.link);
        EXPECT_EQ(decodeDownloadLink(row.link), row.decoded);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(downloadAddress(row.link), "");
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  std::string(faultMessage(row.fault)) + "\n");
    }
    // Each refusal names its own reason.
    EXPECT_NE(faultMessage(AddressFault::controlCharacter),
              faultMessage(AddressFault::notADownloadScheme));
    EXPECT_EQ(faultMessage(AddressFault::none), "");
}

TEST(DownloadAddress, DecodesOnceWithTheWindowKeptAlive) {
    // The check adds no second decode: as many calls as one decode makes.
    const TextView link = "thunder://QUFodHRwOi8vZXhhbXBsZS5pbnZhbGlkL2EuemlwWlo=";
    RecordingScreen shell;
    decodeDownloadLink(link);
    const int oneDecode = shell.processEventsCalls;
    ASSERT_GT(oneDecode, 0);
    shell.processEventsCalls = 0;
    EXPECT_EQ(downloadAddress(link), "http://example.invalid/a.zip");
    EXPECT_EQ(shell.processEventsCalls, oneDecode);
}

}  // namespace
}  // namespace tovrel
