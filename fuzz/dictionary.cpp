// The words of the settings vocabulary, for the fuzzer's dictionary.
#include "dictionary.h"

#include <algorithm>
#include <cstdio>

namespace kolt::fuzz {

namespace {

// XML syntax the parser handles before the loader sees anything.
constexpr const char* kSyntax[] = {
    "<?xml version=\"1.0\"?>",
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>",
    "<!DOCTYPE Settings [",
    "<!ENTITY e \"",
    "<!ENTITY e SYSTEM \"",
    "]>",
    "<![CDATA[",
    "]]>",
    "<!--",
    "-->",
    "<?",
    "?>",
    "</",
    "/>",
    "=\"",
    "='",
    "&#",
    "&#x",
    "\xEF\xBB\xBF",
    "\xFF\xFE",
};

// A libFuzzer dictionary entry: printable ASCII as is, the rest as \xNN.
std::string entry(const std::string& word) {
    std::string e = "\"";
    for (const char c : word) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7f || c == '"' || c == '\\') {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            e += hex;
        } else {
            e += c;
        }
    }
    return e + "\"\n";
}

} // namespace

std::vector<std::string> settingsWords() {
    std::vector<std::string> words = {
#define KOLT_ELEMENT(Id, Name, How, About) Name,
#define KOLT_ATTRIBUTE(Id, Name, About) Name,
#define KOLT_VALUE(Id, Name, About) Name,
#define KOLT_GROUP(Id, Name, About) Name,
#define KOLT_LIST(Group, Name, Kind, Item, Match, About) Name,
#include "optionlists/vocabulary.def"
#define KOLT_USE(Id, Name, Permitted, About) Name,
#define KOLT_RULE_VALUE(Id, Name, About) Name,
#include "rules/uses.def"
        // The entities the loader decodes.
        "&amp;", "&lt;", "&gt;", "&quot;", "&apos;",
    };
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    return words;
}

std::string fuzzerDictionary() {
    std::string dict = "# Generated from the settings vocabulary; do not edit.\n";
    for (const std::string& w : settingsWords()) {
        dict += entry(w);
        if (w[0] != '&') {
            dict +=
                entry('<' + w + '>') + entry("</" + w + '>') + entry(' ' + w + "=\"") + entry('"' + w + '"');
        }
    }
    for (const char* s : kSyntax) {
        dict += entry(s);
    }
    return dict;
}

} // namespace kolt::fuzz
