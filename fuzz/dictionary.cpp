// The words of the settings vocabulary, for the fuzzer's dictionary.
#include "dictionary.h"

#include "optionlists/vocabulary.h"

#include <koltSettings/rules/detections.h>

#include <algorithm>
#include <cstdio>

namespace kolt::fuzz {

namespace {

// Names the loader compares with that are not in the vocabulary table.
constexpr const char* kOtherWords[] = {
    "RunType",
    "TypeOfRun",
    "ReportTestFw",
    "Check",
    "ExcludeFramework",
    "ReportSet",
    "Report",
    "MessageName",
    "Activate",
    "true",
    "false",
    "OptionLists",
    "ClassName",
    "MethodOrFunctionSign",
    "SpecificArg",
    "FrameworkName",
    "WordName",
    "Replacement",
    "ClassUseSet",
    "InterfaceUseSet",
    "MethodUseSet",
    "WordUseSet",
    "ClassUse",
    "InterfaceUse",
    "MethodUse",
    "WordUse",
    "use",
    "prohibited",
    "RootClass",
    "Settings",
    "&amp;",
    "&lt;",
    "&gt;",
    "&quot;",
    "&apos;",
};

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

void addTable(std::vector<std::string>& words, const TAIndex& table) {
    for (int i = 0; i < table.Size(); ++i) {
        words.emplace_back(table.GetName(i));
    }
}

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
    std::vector<std::string> words(std::begin(kOtherWords), std::end(kOtherWords));
    for (const kolt::detail::GroupRow& g : kolt::detail::kGroups) {
        words.emplace_back(g.element);
    }
    for (std::size_t i = 0; i < kolt::detail::kListCount; ++i) {
        words.emplace_back(kolt::detail::kLists[i].element);
        words.emplace_back(kolt::detail::kLists[i].item);
    }
    koltClassDetection::initPossibleClassUses(0);
    koltInterfaceDetection::initPossibleInterfaceUses(0);
    addTable(words, koltClassDetection::_classUses);
    addTable(words, koltInterfaceDetection::_interfaceUses);
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
