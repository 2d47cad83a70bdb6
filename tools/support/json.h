// A small JSON writer: pretty for documents people read, one line for JSON Lines.
#ifndef KOLTSETTINGS_TOOLS_JSON_H
#define KOLTSETTINGS_TOOLS_JSON_H

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace kolt::tool {

// Appends `text` as a JSON string: bytes that are not UTF-8 become U+FFFD, control
// characters (isControlCharacter) \uXXXX escapes, and the first '#' of a "##name[" CI
// log command \u0023, so that no reader of a log acts on it.
void appendJsonString(std::string& out, std::string_view text);

// Builds one JSON value in a string. Calls must nest properly: a key before every value
// inside an object, none inside an array.
class JsonWriter {
public:
    explicit JsonWriter(bool pretty) : _pretty(pretty) {}

    JsonWriter& beginObject() { return open('{'); }
    JsonWriter& endObject() { return close('}'); }
    JsonWriter& beginArray() { return open('['); }
    JsonWriter& endArray() { return close(']'); }
    JsonWriter& key(std::string_view name);
    JsonWriter& value(std::string_view text);
    JsonWriter& value(const char* text); // null writes null
    JsonWriter& value(std::int64_t number);
    JsonWriter& value(int number) { return value(static_cast<std::int64_t>(number)); }
    JsonWriter& value(bool flag);
    JsonWriter& null();

    const std::string& str() const noexcept { return _out; }
    std::string take() { return std::move(_out); }
    // Writes what was built so far and goes on from there: long documents need not be
    // held whole.
    void flushTo(std::ostream& out);

private:
    JsonWriter& open(char bracket);
    JsonWriter& close(char bracket);
    void beforeValue();
    void newline();

    bool _pretty;
    bool _afterKey = false;
    std::vector<bool> _empty; // per open container: nothing written in it yet
    std::string _out;
};

} // namespace kolt::tool

#endif
