#include "cli/request_uri.h"

#include <gtest/gtest.h>

#include "cli/ip_addr.h"

namespace nimbro {
namespace {

TEST(ParseRequestURITest, Parts) {
  struct Case {
    const char* text;
    const char* scheme;
    const char* host;
    bool hasUserInfo;
  };
  const Case cases[] = {
      {"HTTPS://Example.com:443/p", "https", "Example.com:443", false},
      {"svn+ssh://h/", "svn+ssh", "h", false},
      {"http://u:p@h:1?q", "http", "h:1", true},
      {"http://a@b@h", "http", "h", true},
      {"http://h?x@y/z", "http", "h", false},
      {"http://h/p#x@y", "http", "h", false},
      {"http://caf%C3%A9", "http", "caf\xc3\xa9", false},
      {"http://a%25b", "http", "a%b", false},
      {"http://[FE80::1%25en%300]:8", "http", "[FE80::1%en00]:8", false},
      {"http://[fe80::1%25a%20b]", "http", "[fe80::1%a b]", false},
      {"http://h\xff", "http", "h\xff", false},
      {"http:opaque", "http", "", false},
      {"http:/abs", "http", "", false},
      {"/just/a/path", "", "", false},
      {"//h/p", "", "", false},
      {"http://]", "http", "]", false},
      {"http://[::1]:", "http", "[::1]:", false},
      {"http://u/x@h", "http", "u", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Expected<RequestURI> uri = parseRequestURI(c.text);
    ASSERT_TRUE(uri) << uri.error().message();
    EXPECT_EQ(uri->scheme, c.scheme);
    EXPECT_EQ(uri->host, c.host);
    EXPECT_EQ(uri->hasUserInfo, c.hasUserInfo);
  }
}

TEST(ParseRequestURITest, Refused) {
  const char* const cases[] = {
      "",
      "*",
      "relative/path",
      ":x",
      "1http://h",
      "http://h/%",
      "http://h/%4",
      "http://%zz",
      "http://%7e",
      "http://%C3%A",
      "http://h:8o",
      "http://[::1]x",
      "http://[::1",
      "http://[::1%25%C3%A9]",
      "http://[::1%25%00]",
      "http://[::1%25a%zz]",
      "http://[1.2.3.4]",
      "http://[::1.2.3.4.5]",
      "http://u%zz@h",
      "http://u\xc3\xa9@h",
      "http://h|",
      "http://h^",
      "http://h`",
      "http://h\\",
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(parseRequestURI(text));
  }
}

TEST(HostNameTest, Hosts) {
  struct Case {
    const char* hostPort;
    const char* name;
  };
  const Case cases[] = {
      {"h", "h"},           {"h:80", "h"},      {"h:", "h"},         {":80", ""},
      {"[::1]:80", "::1"},  {"[::1]", "::1"},   {"[::1%lo]", "::1%lo"}, {"h:x", "h:x"},
      {"[", "["},           {"[]", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hostPort);
    EXPECT_EQ(hostName(c.hostPort), c.name);
  }
}

TEST(ParseIPv6AddressTest, Bytes) {
  struct Case {
    const char* text;
    std::array<uint8_t, 16> bytes;
  };
  const Case cases[] = {
      {"::", {}},
      {"1::", {0, 1}},
      {"1::2", {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}},
      {"1:2::3:4", {0, 1, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 4}},
      {"abcd:EF01::", {0xab, 0xcd, 0xef, 0x01}},
      {"1:2:3:4:5:6:7:8", {0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8}},
      {"::1.2.3.4", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4}},
      {"1:2:3:4:5:6:1.2.3.4", {0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::optional<IPAddress> addr = parseIPv6Address(c.text);
    ASSERT_TRUE(addr);
    EXPECT_EQ(addr->bytes, c.bytes);
  }
  for (const char* bad : {"", ":", "1:2:3:4:5:6:7::8", "1:2:3:4:5:6:7:8::", "1::2::3", "1:2", "::1:", "1:::2",
                          "::12345", "::g", "::1%lo", "1:2:3:4:5:6:7:1.2.3.4", "::1.2.3"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(parseIPv6Address(bad));
  }
}

}  // namespace
}  // namespace nimbro
