// Host layer: strings, lists, the name index, file names, streams and the XML handle.
#include "support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <set>
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

TEST(GAXRawCollPV, SharesPointersOnCopyAndSurvivesSelfAssignment) {
    int a = 1;
    int b = 2;
    GAXRawCollPV list(0);
    list.Append(&a);
    list.Append(&b);
    GAXRawCollPV copy(list);
    list.Append(nullptr);
    EXPECT_EQ(copy.Size(), 2);
    EXPECT_EQ(copy[1], &a);
    EXPECT_EQ(copy[2], &b);
    EXPECT_EQ(copy[0], nullptr);
    EXPECT_EQ(copy[3], nullptr);
    GAXRawCollPV& alias = copy;
    copy = alias;
    EXPECT_EQ(copy.Size(), 2);
    copy = list;
    EXPECT_EQ(copy.Size(), 3);
}

TEST(TAIndex, InsertionOrderFirstPositionAndStableNames) {
    TAIndex index;
    EXPECT_EQ(index.IsIn("a"), -1);
    EXPECT_EQ(index.IsIn(nullptr), -1);
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
    index.Append("again", nullptr);
    EXPECT_EQ(index.IsIn("again"), 0);
}

TEST(TAIndex, SmallIndexFindsFirstOfRepeatedNames) {
    TAIndex index;
    index.Append("x", nullptr);
    index.Append("y", nullptr);
    index.Append("x", nullptr);
    EXPECT_EQ(index.IsIn("x"), 0);
    EXPECT_EQ(index.IsIn("y"), 1);
    EXPECT_EQ(index.IsIn("X"), -1) << "comparison is case-sensitive";
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

TEST(TAFileName, RegularFilesOnly) {
    TempDir dir;
    const std::string file = dir.write("f.xml", "<a/>");
    EXPECT_NE(TAFileName(file.c_str()).IsFile(), 0);
    EXPECT_EQ(TAFileName(dir.path().c_str()).IsFile(), 0);
    EXPECT_EQ(TAFileName((dir.path() + "/missing").c_str()).IsFile(), 0);
    EXPECT_EQ(TAFileName("").IsFile(), 0);
    EXPECT_EQ(TAFileName(nullptr).IsFile(), 0);
}

TEST(Streams, RedirectAndNullTexts) {
    std::ostringstream captured;
    {
        rzStreamRedirect r(rzStderr, captured);
        rzStderr << "a" << static_cast<const char*>(nullptr) << endl << 'c' << 42;
    }
    EXPECT_EQ(captured.str(), "a(null)\nc42");
    std::ostringstream inner;
    std::ostringstream outer;
    {
        rzStreamRedirect a(rzStdout, outer);
        {
            rzStreamRedirect b(rzStdout, inner);
            rzStdout << "inner";
        }
        rzStdout << "outer";
    }
    EXPECT_EQ(inner.str(), "inner");
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

TEST(XmlNode, NavigationSkipsTextAndKeepsDocumentOrder) {
    Parsed p("<R a='1' b=''>t<x/>u<!--c--><y k='v'/><?pi?><z/></R>");
    ASSERT_FALSE(p.root.IsNull());
    EXPECT_STREQ(p.root.GetTag(), "R");
    EXPECT_TRUE(p.root.GetFather().IsNull());
    std::vector<std::string> attrs;
    for (void* c = p.root.GetFirstAttr(); c; p.root.GetNextAttr(c)) {
        attrs.push_back(std::string(p.root.GetAttrName(c)) + "=" + p.root.GetAttrValue(c));
    }
    EXPECT_EQ(attrs, (std::vector<std::string>{"a=1", "b="}));
    std::vector<std::string> children;
    void* cookie = p.root.GetFirstNode();
    while (cookie) {
        children.push_back(p.root.GetNextNode(cookie).GetTag());
    }
    EXPECT_EQ(children, (std::vector<std::string>{"x", "y", "z"}));
    EXPECT_TRUE(p.root.GetNextNode(cookie).IsNull()) << "a null cookie gives a null handle";
    const GAXXMLNode y = child(p.root, 1);
    EXPECT_EQ(y.GetFather(), p.root);
    EXPECT_STREQ(p.root.GetFirstContent(), "t");
    EXPECT_EQ(y.GetFirstContent(), nullptr);
    EXPECT_EQ(y.GetFirstNode(), nullptr);
}

TEST(XmlNode, NullHandleAnswersNull) {
    const GAXXMLNode none;
    EXPECT_NE(none.IsNull(), 0);
    EXPECT_EQ(none.GetTag(), nullptr);
    EXPECT_EQ(none.GetFirstAttr(), nullptr);
    EXPECT_EQ(none.GetFirstNode(), nullptr);
    EXPECT_EQ(none.GetFirstContent(), nullptr);
    EXPECT_TRUE(none.GetFather().IsNull());
    void* cookie = nullptr;
    EXPECT_EQ(none.GetAttrName(cookie), nullptr);
    EXPECT_EQ(none.GetAttrValue(cookie), nullptr);
    none.GetNextAttr(cookie);
    EXPECT_EQ(cookie, nullptr);
}

TEST(XmlParser, TextsAreHandedOverAsWritten) {
    const struct {
        const char* xml;
        const char* content;
    } rows[] = {
        {"<a>x &amp; y</a>", "x &amp; y"},
        {"<a>&#60;&#x3C;</a>", "&#60;&#x3C;"},
        {"<a>\t in\tner  </a>", "\t in\tner  "},
        {"<a>   </a>", "   "},
        {"<a><![CDATA[<&amp;>]]></a>", "<&amp;>"},
        {"<a>one\r\ntwo</a>", "one\ntwo"},
        {"<a></a>", nullptr},
        {"<a><b/>  </a>", nullptr},
        // The first text in document order, whether it comes before, between or after
        // child elements, CDATA sections or comments.
        {"<a>t<b/>u</a>", "t"},
        {"<a><b/>u<c/>v</a>", "u"},
        {"<a><![CDATA[c]]>t</a>", "c"},
        {"<a>t<![CDATA[c]]></a>", "t"},
        {"<a><!-- note -->t</a>", "t"},
        {"<a>  <b/></a>", nullptr},
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

TEST(XmlParser, MalformedInputGivesANullRootNeverAPartialTree) {
    const char* inputs[] = {"",
                            "   ",
                            "<a>",
                            "<a><b></a>",
                            "<a/><b/>",
                            "garbage",
                            "<a x='1' x=>",
                            "\xff\xfe\x00",
                            "<!DOCTYPE a [<!ENTITY e SYSTEM 'file:///etc/passwd'>]><a>&e;"};
    for (const char* in : inputs) {
        RUVXMLParser parser;
        const GAXXMLNode root = parser.LoadFromMemory(in, std::strlen(in));
        EXPECT_TRUE(root.IsNull()) << in;
        EXPECT_EQ(root.GetFirstNode(), nullptr);
        EXPECT_EQ(parser.GetStatus(), RUVXMLParser::Malformed) << in;
        EXPECT_GE(parser.GetErrorOffset(), 0) << in;
    }
}

TEST(XmlParser, ExternalEntitiesAreNeverRead) {
    TempDir dir;
    const std::string secret = dir.write("secret.txt", "SECRET");
    const std::string xml = "<!DOCTYPE a [<!ENTITY e SYSTEM 'file://" + secret + "'>]><a>&e;</a>";
    Parsed p(xml);
    ASSERT_FALSE(p.root.IsNull());
    EXPECT_STREQ(p.root.GetFirstContent(), "&e;");
}

TEST(XmlParser, LargeFilesAndLineNumbers) {
    // Past a few MiB the buffer is advised to use huge pages; it is still pugixml's own
    // buffer, so offsets and lines stay exact.
    TempDir dir;
    std::string xml = "<r>\n";
    const int items = 500000;
    for (int i = 0; i < items; ++i) {
        xml += "<i>x</i>\n";
    }
    xml += "<last/></r>";
    const std::string path = dir.write("big.xml", xml);
    RUVXMLParser parser;
    parser.KeepLineIndex(true);
    const GAXXMLNode root = parser.LoadFromFile(path.c_str());
    ASSERT_FALSE(root.IsNull());
    const GAXXMLNode last = child(root, items);
    ASSERT_STREQ(last.GetTag(), "last");
    int line = 0;
    int column = 0;
    ASSERT_TRUE(parser.GetLineColumn(last.GetOffset(), line, column));
    EXPECT_EQ(line, items + 2);
    EXPECT_EQ(column, 2);
}

TEST(XmlParser, FilesAndLineNumbers) {
    TempDir dir;
    const std::string path = dir.write("s.xml", "<a>\n  <b/>\n\n   <c/></a>");
    RUVXMLParser parser;
    parser.KeepLineIndex(true);
    const GAXXMLNode root = parser.LoadFromFile(path.c_str());
    ASSERT_FALSE(root.IsNull());
    EXPECT_EQ(parser.GetStatus(), RUVXMLParser::Parsed);
    int line = 0;
    int column = 0;
    ASSERT_TRUE(parser.GetLineColumn(child(root, 1).GetOffset(), line, column));
    EXPECT_EQ(line, 4);
    EXPECT_EQ(column, 5); // the name, just after '<'
    EXPECT_TRUE(parser.LoadFromFile((dir.path() + "/missing.xml").c_str()).IsNull());
    EXPECT_EQ(parser.GetStatus(), RUVXMLParser::FileUnreadable);
    EXPECT_TRUE(parser.LoadFromFile(dir.path().c_str()).IsNull()) << "a directory";
    EXPECT_EQ(parser.GetStatus(), RUVXMLParser::FileUnreadable) << "its end offset is no length to allocate";
}

} // namespace
