// The texts of every diagnostic the loader writes, and the one place that writes them.
#ifndef KOLTSETTINGS_SETTINGS_MESSAGES_H
#define KOLTSETTINGS_SETTINGS_MESSAGES_H

#include <koltSettings/host/xml.h>
#include <koltSettings/settings/diagnostics.h>

#include <initializer_list>
#include <string>

namespace kolt::detail {

using Code = koltDiagnosticCode;

// How every error line opens.
inline constexpr const char kOpening[] = "--> Error while parsing SettingFile";
// The line that follows most error lines.
inline constexpr const char kDtdLine[] = "--> This file is not valid according to the dtd";

struct Message {
    const char* codeName; // "KS001"
    const char* lead;     // between the opening and the text: ", " for most
    const char* text;     // "{}" stands for an argument, in order
    bool dtdLine;         // whether the dtd line follows the error line
    const char* summary;  // what is wrong, in a few words, for tools and documentation
};

const Message& message(Code code) noexcept;

// Appends the error line of `code` with its arguments (null written as "(null)").
void appendMessage(std::string& out, Code code, std::initializer_list<const char*> args);
// Appends the text of that line alone, without its opening and lead.
void appendMessageText(std::string& out, Code code, std::initializer_list<const char*> args);

// Appends " / name" for every element from the outermost ancestor down to `node`.
void appendPath(std::string& out, GAXXMLNode node);

} // namespace kolt::detail

#endif
