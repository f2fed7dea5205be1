#include "platform/file_text.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

TEST(FileText, EscapesControlsAndBytesOutsideUtf8AndKeepsTheRest) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\x1b[2Jb", "a\\x1b[2Jb"},
        {"bell\a\r\nnext: line\x7f", "bell\\x07\\x0d\\x0anext: line\\x7f"},
        {"nul\0tab\t"s, "nul\\x00tab\\x09"},
        {"c1 \xc2\x9b"
         "31m \xc2\xa0nbsp",
         "c1 \\xc2\\x9b31m \xc2\xa0nbsp"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82 C:\\x", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82 C:\\x"},
        {"lone \xff, cut \xe2\x82, overlong \xc0\xaf, surrogate \xed\xa0\x80",
         "lone \\xff, cut \\xe2\\x82, overlong \\xc0\\xaf, surrogate \\xed\\xa0\\x80"},
        {"past \xf4\x90\x80\x80", "past \\xf4\\x90\\x80\\x80"},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(shown, EscapeFileText(text));
        EXPECT_EQ(shown, EscapeFileText(EscapeFileText(text)));
    }
}

TEST(FileText, QuoteCutsAtACharacterBoundary) {
    const std::string a63(63, 'a');
    EXPECT_EQ(a63 + "...", QuoteFileText(a63 + "\xc3\xa9"));
    EXPECT_EQ(a63 + "b", QuoteFileText(a63 + "b"));
    EXPECT_EQ(a63 + "b...", QuoteFileText(a63 + "bc"));
    EXPECT_EQ("\\x1b\\x1b...", QuoteFileText("\x1b\x1b\x1b", 2));
    EXPECT_EQ("\xe2\x82\xac...", QuoteFileText("\xe2\x82\xac\xe2\x82\xac", 5));
    EXPECT_EQ("\\xe2...", QuoteFileText("\xe2\x82\x41", 1));
}

}  // namespace
