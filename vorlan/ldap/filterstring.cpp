#include "vorlan/ldap/filterstring.h"

#include <cstring>
#include <limits>

#include "vorlan/asn1/constructed.h"

namespace {

bool isAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isKeyChar(char c) { return isAlpha(c) || isDigit(c) || c == '-'; }

int hexDigit(char c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Well-formed UTF-8 (RFC 3629): shortest forms only, no surrogates, nothing past U+10FFFF.
bool isUtf8(std::string_view text) {
    struct Form {
        unsigned char low, high, mask;
        unsigned extra;
        unsigned long least;
    };
    static constexpr Form kForms[] = {{0x00, 0x7F, 0x7F, 0, 0}, {0xC2, 0xDF, 0x1F, 1, 0x80},
                                      {0xE0, 0xEF, 0x0F, 2, 0x800}, {0xF0, 0xF4, 0x07, 3, 0x10000}};
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const Form* form = nullptr;
        for (const Form& f : kForms)
            if (lead >= f.low && lead <= f.high) form = &f;
        if (!form || form->extra > text.size() - i - 1) return false;
        unsigned long code = lead & form->mask;
        for (unsigned k = 1; k <= form->extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < form->least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += form->extra + 1;
    }
    return true;
}

// Recursive descent over the RFC 4515 grammar; every rule consumes exactly what it matched.
class FilterParser {
public:
    explicit FilterParser(std::string_view text) : m_text(text) {}

    LDAPFilterPtr whole() {
        if (!isUtf8(m_text)) fail("not UTF-8");
        LDAPFilterPtr result = filter(1);
        if (!atEnd()) fail("characters after the filter");
        return result;
    }

    // attributetype *(";" option), attributetype being a descr or a numericoid (RFC 4512).
    std::string_view attributeDescription() {
        const std::size_t start = m_pos;
        if (!oid()) return {};
        while (peek() == ';') {
            ++m_pos;
            if (!isKeyChar(peek())) fail("empty attribute option");
            while (isKeyChar(peek())) ++m_pos;
        }
        return m_text.substr(start, m_pos - start);
    }

    // descr or numericoid; false, nothing consumed, when neither starts here.
    bool oid() {
        if (isAlpha(peek())) {
            while (isKeyChar(peek())) ++m_pos;
            return true;
        }
        if (!isDigit(peek())) return false;
        int arcs = 0;
        do {
            if (arcs++) ++m_pos;
            if (!isDigit(peek())) fail("empty arc in a numeric OID");
            const bool leadingZero = peek() == '0';
            ++m_pos;
            if (leadingZero && isDigit(peek())) fail("leading zero in a numeric OID");
            while (isDigit(peek())) ++m_pos;
        } while (peek() == '.');
        if (arcs < 2) fail("numeric OID with one arc");
        return true;
    }

    bool atEnd() const { return m_pos == m_text.size(); }

    [[noreturn]] void fail(const char* what) const {
        ___throwDERDecodingException("LDAP filter string: %s at offset %lu", what, static_cast<unsigned long>(m_pos));
    }

private:
    char peek() const { return m_pos < m_text.size() ? m_text[m_pos] : '\0'; }

    void expect(char c) {
        if (atEnd()) fail("unexpected end");
        if (m_text[m_pos] != c)
            ___throwDERDecodingException("LDAP filter string: '%c' expected at offset %lu", c,
                                         static_cast<unsigned long>(m_pos));
        ++m_pos;
    }

    LDAPFilterPtr filter(int depth) {
        if (depth > kMaxLDAPFilterNesting) fail("filters nested too deep");
        expect('(');
        LDAPFilterPtr result;
        switch (peek()) {
        case '&': ++m_pos, result = BuildAndFilter(list(depth)); break;
        case '|': ++m_pos, result = BuildOrFilter(list(depth)); break;
        case '!': ++m_pos, result = BuildNotFilter(filter(depth + 1)); break;
        default: result = item(); break;
        }
        expect(')');
        return result;
    }

    // An empty list is the absolute true (&) or false (|) filter of RFC 4526.
    LDAPFilterList list(int depth) {
        LDAPFilterList filters;
        while (peek() == '(') filters.push_back(filter(depth + 1));
        return filters;
    }

    LDAPFilterPtr item() {
        const std::string_view attribute = attributeDescription();
        if (peek() == ':') return extensible(attribute);
        if (attribute.empty()) fail("attribute description expected");
        ELDAPAssertion kind;
        switch (peek()) {
        case '=': ++m_pos; return equalityOrSubstrings(attribute);
        case '~': kind = ELDAPAssertion::approxMatch; break;
        case '>': kind = ELDAPAssertion::greaterOrEqual; break;
        case '<': kind = ELDAPAssertion::lessOrEqual; break;
        default: fail("filter type expected");
        }
        ++m_pos;
        expect('=');
        return BuildAssertionFilter(kind, attribute, wholeValue());
    }

    LDAPFilterPtr equalityOrSubstrings(std::string_view attribute) {
        std::vector<std::string> pieces{value()};
        while (peek() == '*') {
            ++m_pos;
            pieces.push_back(value());
        }
        if (pieces.size() == 1) return BuildAssertionFilter(ELDAPAssertion::equalityMatch, attribute, pieces[0]);
        if (pieces.size() == 2 && pieces[0].empty() && pieces[1].empty()) return BuildPresentFilter(attribute);
        SLDAPSubstrings substrings;
        if (!pieces.front().empty()) substrings.initial = pieces.front();
        if (!pieces.back().empty()) substrings.final = pieces.back();
        substrings.any.assign(pieces.begin() + 1, pieces.end() - 1);
        for (const std::string& piece : substrings.any)
            if (piece.empty()) fail("empty substring between two '*'");
        return BuildSubstringsFilter(attribute, substrings);
    }

    // [attr] [":dn"] [":" rule] ":=" value; a rule is required without an attribute.
    LDAPFilterPtr extensible(std::string_view attribute) {
        expect(':');
        bool dnAttributes = false;
        if (m_text.size() - m_pos >= 3 && (m_text[m_pos] | 0x20) == 'd' && (m_text[m_pos + 1] | 0x20) == 'n' &&
            m_text[m_pos + 2] == ':') {
            dnAttributes = true;
            m_pos += 3;
        }
        std::string_view rule;
        if (peek() != '=') {
            const std::size_t start = m_pos;
            if (!oid()) fail("matching rule expected");
            rule = m_text.substr(start, m_pos - start);
            expect(':');
        }
        expect('=');
        if (attribute.empty() && rule.empty()) fail("extensible match without attribute or matching rule");
        return BuildExtensibleFilter(rule, attribute, wholeValue(), dnAttributes);
    }

    // A value that must run up to the closing parenthesis.
    std::string wholeValue() {
        std::string text = value();
        if (peek() == '*') fail("unescaped '*' in a value");
        return text;
    }

    // valueencoding up to the next unescaped '*' or ')', escapes resolved.
    std::string value() {
        std::string text;
        for (;;) {
            if (atEnd()) fail("unexpected end in a value");
            const char c = m_text[m_pos];
            if (c == '*' || c == ')') return text;
            if (c == '(' || c == '\0') fail("unescaped '(' or NUL in a value");
            if (c != '\\') {
                text += c;
                ++m_pos;
                continue;
            }
            const int high = m_pos + 1 < m_text.size() ? hexDigit(m_text[m_pos + 1]) : -1;
            const int low = m_pos + 2 < m_text.size() ? hexDigit(m_text[m_pos + 2]) : -1;
            if (high < 0 || low < 0) fail("'\\' not followed by two hex digits");
            text += static_cast<char>(high * 16 + low);
            m_pos += 3;
        }
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

// Reads a filter value back, requiring the forms the builders make.
class FilterFormatter {
    static constexpr int kAnyCount = std::numeric_limits<int>::max();

public:
    std::string format(const CASN1Type& filter) {
        write(filter, 1);
        return std::move(m_out);
    }

private:
    [[noreturn]] static void fail(const char* what) { ___throwDERDecodingException("LDAP filter: %s", what); }

    static const CASN1ComponentArray& components(const CASN1Type& value, int minimum, int maximum) {
        const auto* constructed = dynamic_cast<const CASN1_CONSTRUCTED_TYPE*>(&value);
        if (!constructed || !value.m_bConstructed || value.m_bIndefinite) fail("constructed value expected");
        const CASN1ComponentArray& list = constructed->GetComponents();
        if (list.GetSize() < minimum || list.GetSize() > maximum) fail("wrong number of components");
        for (int i = 0; i < list.GetSize(); ++i)
            if (!list[i]) fail("missing component");
        return list;
    }

    static std::string contents(const CASN1Type& value, unsigned char identifier) {
        if (value.identifier != identifier || value.m_bConstructed) fail("primitive string expected");
        std::string text(value.getClearContentsLength(), '\0');
        value.GetClearData(reinterpret_cast<unsigned char*>(text.data()), text.size(), 1, 0);
        return text;
    }

    static std::string attribute(const CASN1Type& value, unsigned char identifier) {
        std::string text = contents(value, identifier);
        FilterParser name(text);
        if (name.attributeDescription().empty() || !name.atEnd()) fail("malformed attribute description");
        return text;
    }

    static std::string matchingRule(const CASN1Type& value) {
        std::string text = contents(value, 0x81);
        FilterParser name(text);
        if (!name.oid() || !name.atEnd()) fail("malformed matching rule");
        return text;
    }

    void writeValue(const std::string& text) {
        static const char digits[] = "0123456789abcdef";
        for (const char c : text) {
            const auto octet = static_cast<unsigned char>(c);
            if (octet < 0x20 || octet >= 0x7F || std::strchr("()*\\", c)) {
                m_out += '\\';
                m_out += digits[octet >> 4];
                m_out += digits[octet & 15];
            } else {
                m_out += c;
            }
        }
    }

    void write(const CASN1Type& filter, int depth) {
        if (depth > kMaxLDAPFilterNesting) fail("filters nested too deep");
        m_out += '(';
        switch (filter.identifier) {
        case 0x80:
        case 0x81: {
            m_out += filter.identifier == 0x80 ? '&' : '|';
            const CASN1ComponentArray& list = components(filter, 0, kAnyCount);
            for (int i = 0; i < list.GetSize(); ++i) write(*list[i], depth + 1);
            break;
        }
        case 0x82:
            m_out += '!';
            write(*components(filter, 1, 1)[0], depth + 1);
            break;
        case 0x83: writeAssertion(filter, "="); break;
        case 0x85: writeAssertion(filter, ">="); break;
        case 0x86: writeAssertion(filter, "<="); break;
        case 0x88: writeAssertion(filter, "~="); break;
        case 0x84: writeSubstrings(filter); break;
        case 0x87:
            m_out += attribute(filter, 0x87);
            m_out += "=*";
            break;
        case 0x89: writeExtensible(filter); break;
        default: fail("unknown filter alternative");
        }
        m_out += ')';
    }

    // An assertion without its value is what standard servers drop the connection for.
    void writeAssertion(const CASN1Type& filter, const char* type) {
        const CASN1ComponentArray& list = components(filter, 2, 2);
        m_out += attribute(*list[0], 0x04);
        m_out += type;
        writeValue(contents(*list[1], 0x04));
    }

    // At most one initial piece, first, and one final piece, last; none empty.
    void writeSubstrings(const CASN1Type& filter) {
        const CASN1ComponentArray& list = components(filter, 2, 2);
        m_out += attribute(*list[0], 0x04);
        m_out += '=';
        if (list[1]->identifier != 0x10) fail("substrings SEQUENCE expected");
        const CASN1ComponentArray& pieces = components(*list[1], 1, kAnyCount);
        const int last = pieces.GetSize() - 1;
        if (pieces[0]->identifier != 0x80) m_out += '*';
        for (int i = 0; i <= last; ++i) {
            const unsigned char tag = pieces[i]->identifier;
            if ((tag == 0x80 && i != 0) || (tag == 0x82 && i != last) || (tag != 0x81 && tag != 0x80 && tag != 0x82))
                fail("substrings out of order");
            const std::string piece = contents(*pieces[i], tag);
            if (piece.empty()) fail("empty substring");
            writeValue(piece);
            if (tag != 0x82) m_out += '*';
        }
    }

    // [1] matchingRule, [2] type, [3] matchValue, [4] dnAttributes, in this order.
    void writeExtensible(const CASN1Type& filter) {
        const CASN1ComponentArray& list = components(filter, 1, 4);
        int at = 0;
        std::string rule, type;
        if (list[at]->identifier == 0x81) rule = matchingRule(*list[at++]);
        if (at < list.GetSize() && list[at]->identifier == 0x82) type = attribute(*list[at++], 0x82);
        if (rule.empty() && type.empty()) fail("extensible match without rule or type");
        if (at >= list.GetSize()) fail("extensible match without value");
        const std::string value = contents(*list[at++], 0x83);
        bool dnAttributes = false;
        if (at < list.GetSize()) {
            const std::string flag = contents(*list[at++], 0x84);
            if (flag.size() != 1) fail("malformed dnAttributes");
            dnAttributes = flag[0] != 0;
        }
        if (at != list.GetSize()) fail("extensible match members out of order");
        m_out += type;
        if (dnAttributes) m_out += ":dn";
        if (!rule.empty()) (m_out += ':') += rule;
        m_out += ":=";
        writeValue(value);
    }

    std::string m_out;
};

}  // namespace

LDAPFilterPtr ParseLDAPFilter(std::string_view text) { return FilterParser(text).whole(); }

std::string FormatLDAPFilter(const CASN1Type& filter) { return FilterFormatter().format(filter); }
