// Host layer: strings, lists, the name index, streams and the XML parser; the loader's
// tests cover navigation.
#include "support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using kolt::test::TempDir;

TEST(GAXString, CopiesAndReplaces) {
    char buffer[] = "abc";
    GAXString s(buffer);
    buffer[0] = 'X';
    EXPECT_STREQ(s, "abc");
    s += "d d";
    EXPECT_STREQ(s.CastToCharPtr(), "abcd d");
    EXPECT_EQ(s.ReplaceSubString(" ", ""), 4);
    EXPECT_STREQ(s, "abcdd");
    EXPECT_LT(s.ReplaceSubString(" ", ""), 0);
    EXPECT_LT(s.ReplaceSubString("", "x"), 0);
    s = static_cast<const char*>(nullptr);
    EXPECT_STREQ(s, "");
    GAXString self("self");
    self = self.CastToCharPtr();
    EXPECT_STREQ(self, "self");
}

TEST(GAXListValGAXString, OneBasedPositionsAndOwnCopies) {
    GAXListValGAXString list;
    EXPECT_EQ(list.Size(), 0);
    {
        GAXString a("a");
        list.Append(a);
        a = "changed";
    }
    list.Append(GAXString("b"));
    ASSERT_EQ(list.Size(), 2);
    EXPECT_STREQ(list[1], "a");
    EXPECT_STREQ(list[2], "b");
    EXPECT_STREQ(list[0], "");
    EXPECT_STREQ(list[3], "");
}

TEST(Split, PiecesBetweenSeparators) {
    const struct {
        const char* text;
        const char* separator;
        std::vector<std::string> pieces;
    } rows[] = {
        {"", ",", {}},
        {"a", ",", {"a"}},
        {"a,b", ",", {"a", "b"}},
        {"a,,b", ",", {"a", "", "b"}},
        {",", ",", {"", ""}},
        {"a, b ,", ",", {"a", " b ", ""}},
        {"a::b::c", "::", {"a", "b", "c"}},
        {"abc", "", {"abc"}},
    };
    for (const auto& row : rows) {
        GAXListValGAXString out;
        out.Append(GAXString("kept"));
        Split(row.text, out, row.separator);
        ASSERT_EQ(out.Size(), static_cast<int>(row.pieces.size()) + 1) << row.text;
        EXPECT_STREQ(out[1], "kept");
        for (std::size_t i = 0; i < row.pieces.size(); ++i) {
            EXPECT_EQ(std::string(out[static_cast<int>(i) + 2]), row.pieces[i]) << row.text;
        }
    }
}

TEST(TAIndex, InsertionOrderFirstPositionAndStableNames) {
    TAIndex index;
    EXPECT_EQ(index.IsIn("a"), -1);
    EXPECT_EQ(index.IsIn(nullptr), -1);
    for (const char* name : {"x", "y", "x"}) {
        index.Append(name, nullptr);
    }
    EXPECT_EQ(index.IsIn("x"), 0);
    EXPECT_EQ(index.IsIn("y"), 1);
    EXPECT_EQ(index.IsIn("X"), -1) << "comparison is case-sensitive";
    index.Reset();
    int value = 0;
    // Enough entries to go past the small linear mode and through several rehashes.
    for (int i = 0; i < 5000; ++i) {
        index.Append(("name" + std::to_string(i)).c_str(), i == 7 ? &value : nullptr);
    }
    const char* early = index.GetName(3);
    for (int i = 0; i < 5000; ++i) {
        index.Append(("name" + std::to_string(i)).c_str(), nullptr); // repeats
    }
    index.Append(nullptr, nullptr);
    index.Append("", nullptr);
    EXPECT_EQ(index.Size(), 10002);
    EXPECT_EQ(early, index.GetName(3)) << "names must not move";
    EXPECT_STREQ(early, "name3");
    for (int i = 0; i < 5000; i += 7) {
        EXPECT_EQ(index.IsIn(("name" + std::to_string(i)).c_str()), i);
    }
    EXPECT_EQ(index.IsIn(""), 10000);
    EXPECT_EQ(index.IsIn("name"), -1);
    EXPECT_EQ(index.IsIn("name50000"), -1);
    EXPECT_EQ(index.GetValue(7), &value);
    EXPECT_EQ(index.GetName(-1), nullptr);
    EXPECT_EQ(index.GetValue(10002), nullptr);
    index.Reset();
    EXPECT_EQ(index.Size(), 0);
    EXPECT_EQ(index.IsIn("name3"), -1);
}

TEST(TAIndex, NamesDifferingInOneByteAnywhere) {
    // Lookups compare lengths, the last eight bytes and then the rest word by word:
    // a difference at any position, in a scanned or in a hashed index, must count.
    for (const bool hashed : {false, true}) {
        for (std::size_t length = 1; length <= 40; ++length) {
            SCOPED_TRACE(std::to_string(length) + (hashed ? " hashed" : " scanned"));
            std::vector<std::string> names{std::string(length, 'a')};
            for (std::size_t at = 0; at < length; ++at) {
                if (hashed || at == 0 || at == length / 2 || at + 1 == length) {
                    names.push_back(names[0]);
                    names.back()[at] = 'b';
                }
            }
            if (hashed) { // past the scanned size whatever the length
                for (int i = 0; i < 20; ++i) {
                    names.push_back("other" + std::to_string(i));
                }
            }
            TAIndex index;
            for (const std::string& n : names) {
                index.Append(n.c_str(), nullptr);
            }
            for (std::size_t i = 0; i < names.size(); ++i) {
                EXPECT_EQ(index.IsIn(names[i].c_str()), static_cast<int>(i)) << names[i];
            }
            EXPECT_EQ(index.IsIn(std::string(length + 1, 'a').c_str()), -1);
            EXPECT_EQ(index.IsIn(std::string(length - 1, 'a').c_str()), -1);
            EXPECT_EQ(index.IsIn((std::string(length, 'a') + "b").c_str()), -1);
        }
    }
}

TEST(Streams, RedirectAndNullTexts) {
    std::ostringstream outer;
    std::ostringstream inner;
    {
        rzStreamRedirect a(rzStderr, outer);
        {
            rzStreamRedirect b(rzStderr, inner);
            rzStderr << "a" << static_cast<const char*>(nullptr) << endl << 'c' << 42;
        }
        rzStderr << "outer";
    }
    EXPECT_EQ(inner.str(), "a(null)\nc42");
    EXPECT_EQ(outer.str(), "outer");
}

// The XML handle over a parsed snippet.
struct Parsed {
    RUVXMLParser parser;
    GAXXMLNode root;
    explicit Parsed(const std::string& xml) { root = parser.LoadFromMemory(xml.data(), xml.size()); }
};

GAXXMLNode child(GAXXMLNode node, int n) {
    void* cookie = node.GetFirstNode();
    GAXXMLNode c;
    for (int i = 0; i <= n; ++i) {
        c = node.GetNextNode(cookie);
    }
    return c;
}

TEST(XmlParser, TextsAreHandedOverAsWritten) {
    const struct {
        const char* xml;
        const char* content;
    } rows[] = {
        {"<a>x &amp; y&#60;</a>", "x &amp; y&#60;"},
        {"<a>one\r\ntwo</a>", "one\ntwo"},
        {"<a></a>", nullptr},
        {"<a>  <b/>  </a>", nullptr},
        // The first text in document order, whether it comes before, between or after
        // child elements or CDATA sections.
        {"<a>t<b/>u</a>", "t"},
        {"<a><b/>u<c/>v</a>", "u"},
        {"<a><![CDATA[c]]>t</a>", "c"},
    };
    for (const auto& row : rows) {
        Parsed p(row.xml);
        ASSERT_FALSE(p.root.IsNull()) << row.xml;
        if (row.content) {
            EXPECT_STREQ(p.root.GetFirstContent(), row.content) << row.xml;
        } else {
            EXPECT_EQ(p.root.GetFirstContent(), nullptr) << row.xml;
        }
    }
    Parsed attr("<a v='&lt;x&gt; &#65;'/>");
    void* c = attr.root.GetFirstAttr();
    EXPECT_STREQ(attr.root.GetAttrValue(c), "&lt;x&gt; &#65;");
}

// Past a few MiB the buffer is advised to use huge pages; it is still pugixml's own
// buffer, so offsets and lines stay exact.
TEST(XmlParser, FilesAndLineNumbers) {
    TempDir dir;
    const int items = 500000;
    const std::string path =
        dir.write("big.xml", "<r>\n" + kolt::test::repeat("<i>x</i>\n", items) + "\n   <c/></r>");
    RUVXMLParser parser;
    parser.KeepLineIndex(true);
    const GAXXMLNode root = parser.LoadFromFile(path.c_str());
    ASSERT_FALSE(root.IsNull());
    EXPECT_EQ(parser.GetStatus(), RUVXMLParser::Parsed);
    const GAXXMLNode last = child(root, items);
    ASSERT_STREQ(last.GetTag(), "c");
    int line = 0;
    int column = 0;
    ASSERT_TRUE(parser.GetLineColumn(last.GetOffset(), line, column));
    EXPECT_EQ(line, items + 3);
    EXPECT_EQ(column, 5); // the name, just after '<'
    EXPECT_TRUE(parser.LoadFromFile((dir.path() + "/missing.xml").c_str()).IsNull());
    EXPECT_EQ(parser.GetStatus(), RUVXMLParser::FileUnreadable);
    EXPECT_TRUE(parser.LoadFromFile(dir.path().c_str()).IsNull()) << "a directory";
    EXPECT_EQ(parser.GetStatus(), RUVXMLParser::FileUnreadable) << "its end offset is no length to allocate";
}

} // namespace
