// The scan: one pass over the text, a stack of open elements.
#include "outline.h"

#include <algorithm>

namespace kolt::lsp {

namespace {

bool nameStart(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80;
}

bool space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

class Scanner {
public:
    Scanner(std::string_view text, std::vector<OutlineElement>& elements, std::vector<int>& roots)
        : _t(text), _elements(elements), _roots(roots) {}

    void run() {
        std::size_t i = 0;
        while ((i = _t.find('<', i)) != std::string_view::npos) {
            i = markup(i);
        }
        for (const int e : _open) {
            _elements[static_cast<std::size_t>(e)].end = _t.size();
        }
    }

private:
    std::size_t after(std::size_t from, std::string_view terminator) const {
        const std::size_t at = _t.find(terminator, from);
        return at == std::string_view::npos ? _t.size() : at + terminator.size();
    }

    std::size_t nameEnd(std::size_t from) const {
        while (from < _t.size() && isNameByte(_t[from])) {
            ++from;
        }
        return from;
    }

    bool at(std::size_t i, std::string_view s) const { return _t.compare(i, s.size(), s) == 0; }

    // Handles the markup at `i` ('<'); returns where scanning goes on.
    std::size_t markup(std::size_t i) {
        if (at(i, "<!--")) {
            return after(i + 4, "-->");
        }
        if (at(i, "<![CDATA[")) {
            return after(i + 9, "]]>");
        }
        if (at(i, "<?")) {
            return after(i + 2, "?>");
        }
        if (at(i, "<!")) {
            return declaration(i + 2);
        }
        if (at(i, "</")) {
            return endTag(i);
        }
        if (i + 1 < _t.size() && nameStart(_t[i + 1])) {
            return startTag(i);
        }
        return i + 1;
    }

    std::size_t declaration(std::size_t i) const {
        int depth = 0; // an internal subset in brackets may hold '>'
        for (; i < _t.size(); ++i) {
            const char c = _t[i];
            if (c == '[') {
                ++depth;
            } else if (c == ']') {
                --depth;
            } else if (c == '>' && depth <= 0) {
                return i + 1;
            }
        }
        return i;
    }

    std::size_t endTag(std::size_t i) {
        const Span name{i + 2, nameEnd(i + 2)};
        std::size_t close = name.end;
        while (close < _t.size() && _t[close] != '>' && _t[close] != '<') {
            ++close;
        }
        const std::size_t end = close < _t.size() && _t[close] == '>' ? close + 1 : close;
        const std::string_view n = _t.substr(name.begin, name.end - name.begin);
        for (std::size_t k = _open.size(); k-- > 0;) {
            OutlineElement& e = _elements[static_cast<std::size_t>(_open[k])];
            if (_t.substr(e.name.begin, e.name.end - e.name.begin) != n) {
                continue;
            }
            // Elements left open inside it end where it ends.
            for (std::size_t inner = k + 1; inner < _open.size(); ++inner) {
                _elements[static_cast<std::size_t>(_open[inner])].end = i;
            }
            e.endName = name;
            e.end = end;
            _open.resize(k);
            break;
        }
        return end; // a stray end tag is passed over
    }

    std::size_t startTag(std::size_t i) {
        OutlineElement e;
        e.tag.begin = i;
        e.name = {i + 1, nameEnd(i + 1)};
        std::size_t p = e.name.end;
        e.tag.end = _t.size(); // unless it ends below
        while (p < _t.size()) {
            const char c = _t[p];
            if (space(c)) {
                ++p;
            } else if (c == '>') {
                e.tag.end = p + 1;
                break;
            } else if (c == '/' && p + 1 < _t.size() && _t[p + 1] == '>') {
                e.selfClosing = true;
                e.tag.end = p + 2;
                break;
            } else if (c == '<') {
                e.tag.end = p; // an unfinished tag: the next one begins
                break;
            } else if (nameStart(c)) {
                p = attribute(e, p);
            } else {
                ++p;
            }
        }
        e.endName = {e.tag.end, e.tag.end};
        e.end = e.tag.end;
        const int index = static_cast<int>(_elements.size());
        e.parent = _open.empty() ? -1 : _open.back();
        (e.parent < 0 ? _roots : _elements[static_cast<std::size_t>(e.parent)].children).push_back(index);
        const bool open = !e.selfClosing;
        _elements.push_back(std::move(e));
        if (open) {
            _open.push_back(index);
        }
        return _elements.back().tag.end;
    }

    std::size_t attribute(OutlineElement& e, std::size_t p) {
        OutlineAttribute a;
        a.name = {p, nameEnd(p)};
        p = a.name.end;
        a.value = {p, p};
        std::size_t q = p;
        while (q < _t.size() && space(_t[q])) {
            ++q;
        }
        if (q < _t.size() && _t[q] == '=') {
            ++q;
            while (q < _t.size() && space(_t[q])) {
                ++q;
            }
            p = q;
            if (q < _t.size() && (_t[q] == '"' || _t[q] == '\'')) {
                // A value cannot hold '<': an unclosed quote ends there.
                const std::size_t close = _t.find_first_of(_t[q] == '"' ? "\"<" : "'<", q + 1);
                a.value = {q + 1, close == std::string_view::npos ? _t.size() : close};
                p = close != std::string_view::npos && _t[close] != '<' ? close + 1 : a.value.end;
            } else {
                while (p < _t.size() && !space(_t[p]) && _t[p] != '>' && _t[p] != '<') {
                    ++p;
                }
                a.value = {q, p};
            }
        }
        e.attributes.push_back(a);
        return p;
    }

    std::string_view _t;
    std::vector<OutlineElement>& _elements;
    std::vector<int>& _roots;
    std::vector<int> _open;
};

} // namespace

bool isNameByte(char c) noexcept {
    return nameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

std::size_t lineBegin(std::string_view text, std::size_t at) {
    while (at > 0 && text[at - 1] != '\n' && text[at - 1] != '\r') {
        --at;
    }
    return at;
}

std::string indentOf(std::string_view text, std::size_t at) {
    const std::size_t begin = lineBegin(text, at);
    std::size_t end = begin;
    while (end < text.size() && (text[end] == ' ' || text[end] == '\t')) {
        ++end;
    }
    return std::string(text.substr(begin, end - begin));
}

std::string indentUnit(const std::string& inner, const std::string& outer) {
    return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0
               ? inner.substr(outer.size())
               : "  ";
}

Outline::Outline(std::string_view text) : _text(text) {
    Scanner(text, _elements, _roots).run();
}

std::string_view Outline::name(int element) const {
    const Span n = _elements[static_cast<std::size_t>(element)].name;
    return _text.substr(n.begin, n.end - n.begin);
}

int Outline::enclosing(std::size_t offset) const {
    int found = -1;
    // Elements are in document order, so the last one whose content holds the offset is
    // the innermost.
    for (std::size_t i = 0; i < _elements.size(); ++i) {
        const OutlineElement& e = _elements[i];
        if (e.tag.begin >= offset) {
            break;
        }
        const std::size_t contentEnd = e.endName.begin > e.tag.end ? e.endName.begin - 2 : e.end;
        if (!e.selfClosing && e.tag.end <= offset && offset <= contentEnd) {
            found = static_cast<int>(i);
        }
    }
    return found;
}

int Outline::tagAt(std::size_t offset) const {
    int found = -1;
    for (std::size_t i = 0; i < _elements.size(); ++i) {
        const OutlineElement& e = _elements[i];
        if (e.tag.begin >= offset) {
            break;
        }
        const bool finished = e.tag.end > e.tag.begin && (_text[e.tag.end - 1] == '>');
        if (offset < e.tag.end || (!finished && offset == e.tag.end)) {
            found = static_cast<int>(i);
        }
    }
    return found;
}

int Outline::withName(Span name) const {
    // Elements are in document order: their names too.
    const auto it =
        std::lower_bound(_elements.begin(), _elements.end(), name.begin,
                         [](const OutlineElement& e, std::size_t at) { return e.name.begin < at; });
    return it != _elements.end() && it->name.begin == name.begin && it->name.end == name.end
               ? static_cast<int>(it - _elements.begin())
               : -1;
}

} // namespace kolt::lsp
