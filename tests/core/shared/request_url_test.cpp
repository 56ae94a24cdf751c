#include "core/shared/request_url.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quenta {
namespace {

using ::testing::ElementsAre;

TEST(RequestUrlReaderTest, SplitsAtAmpersandAndFirstEqualsAndDecodes) {
    const auto url = parseUrl("quentaapp://trash?path=/a%20b&x=1=2&flag&path=/c+d&=v&path=");
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(url->scheme, "quentaapp");
    EXPECT_EQ(url->host, "trash");
    EXPECT_THAT(url->queryItems,
                ElementsAre(QueryItem{"path", "/a b"}, QueryItem{"x", "1=2"},
                            QueryItem{"flag", std::nullopt}, QueryItem{"path", "/c+d"},
                            QueryItem{"", "v"}, QueryItem{"path", ""}));
}

TEST(RequestUrlReaderTest, HostSchemeAndQueryEdges) {
    EXPECT_EQ(parseUrl("quentaapp://create")->queryItems.size(), 0u);
    EXPECT_EQ(parseUrl("quentaapp://create?")->queryItems.size(), 0u);
    EXPECT_FALSE(parseUrl("quentaapp:create?type=x")->host.has_value());
    EXPECT_FALSE(parseUrl("quentaapp:///tmp")->host.has_value());
    EXPECT_EQ(parseUrl("quentaapp://user@Create:80/x?a=b#frag")->host, "Create");
    EXPECT_EQ(parseUrl("quentaapp://create?a=b#c=d")->queryItems,
              (std::vector<QueryItem>{{"a", "b"}}));
    EXPECT_EQ(urlScheme("QuentaApp://x"), "QuentaApp");
    EXPECT_FALSE(urlScheme("1abc://x").has_value());
    EXPECT_FALSE(urlScheme("/tmp/a:b").has_value());
    EXPECT_FALSE(urlScheme("://x").has_value());
    for (const char* bad :
         {"quentaapp://create?path=/a b", "quentaapp://create?path=%", "quentaapp://create?path=%4",
          "quentaapp://create?path=%G0", "quentaapp://create:8x", "quentaapp://c?p=a\nb",
          "quentaapp://c?p={}", "no-colon"}) {
        EXPECT_FALSE(parseUrl(bad).has_value()) << bad;
    }
}

TEST(RequestUrlCodecTest, AwkwardPathsRoundTripUnchanged) {
    const std::vector<std::string> paths = {"/Users/ann/My Notes",
                                            "/a&b=c",
                                            "/1+1=2",
                                            "/100%",
                                            "/#hash",
                                            "/what?",
                                            "/文档/新建",
                                            "/line\nbreak",
                                            "/tab\there",
                                            "/quote\"'",
                                            "/",
                                            "/trailing space ",
                                            "/%20literal",
                                            std::string("/nul\0byte", 9),
                                            "/\xff\xfe not utf-8"};
    for (const auto& path : paths) {
        const auto text = formatRequestUrl("create", {{"type", "markdown"}, {"path", path}});
        ASSERT_TRUE(text.has_value());
        const auto url = parseUrl(*text);
        ASSERT_TRUE(url.has_value()) << *text;
        EXPECT_EQ(url->host, "create");
        EXPECT_THAT(url->queryItems,
                    ElementsAre(QueryItem{"type", "markdown"}, QueryItem{"path", path}))
            << *text;
    }
}

TEST(RequestUrlCodecTest, WritesTheDocumentedForm) {
    EXPECT_EQ(formatRequestUrl("create", {{"type", "markdown"}, {"path", "/Users/ann/My Notes"}}),
              "quentaapp://create?type=markdown&path=/Users/ann/My%20Notes");
    EXPECT_EQ(formatRequestUrl("trash", {{"path", "/a"}, {"path", "/b&c"}}),
              "quentaapp://trash?path=/a&path=/b%26c");
    EXPECT_EQ(formatRequestUrl("folder", {{"a=b", "c=d"}}), "quentaapp://folder?a%3Db=c=d");
    EXPECT_EQ(formatRequestUrl("pasteCut", {}), "quentaapp://pasteCut");
    EXPECT_FALSE(formatRequestUrl("", {}).has_value());
    EXPECT_FALSE(formatRequestUrl("a b", {}).has_value());
    EXPECT_FALSE(formatRequestUrl("a/b", {}).has_value());
}

}  // namespace
}  // namespace quenta
