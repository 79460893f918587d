#include "vorlan/ldap/filterstring.h"

#include <cstring>

#include "vorlan/asn1/componentreader.h"
#include "vorlan/asn1/identifier.h"
#include "vorlan/support/utf8.h"

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

// Recursive descent over the RFC 4515 grammar; every rule consumes exactly what it matched.
class FilterParser {
public:
    explicit FilterParser(std::string_view text) : m_text(text) {}

    LDAPFilterPtr whole() {
        if (!vorlan::detail::IsUtf8(m_text)) fail("not UTF-8");
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

// Reads a filter value back field by field, requiring the forms the builders make.
class FilterFormatter {
public:
    std::string format(const CASN1Type& filter) {
        write(filter, 1);
        return std::move(m_out);
    }

private:
    using Reader = CASN1ComponentReader<const CASN1_CONSTRUCTED_TYPE>;

    [[noreturn]] static void fail(const char* what) { ___throwDERDecodingException("LDAP filter: %s", what); }

    static Reader components(const CASN1Type& value) {
        const auto* constructed = dynamic_cast<const CASN1_CONSTRUCTED_TYPE*>(&value);
        if (!constructed || !value.m_bConstructed || value.m_bIndefinite)
            fail("constructed value of definite length expected");
        return Reader(*constructed);
    }

    // Every string of an LDAP message is primitive (RFC 4511 section 5.1).
    static std::string contents(const CASN1Type& value) {
        if (value.m_bConstructed) fail("primitive string expected");
        std::string text(value.getClearContentsLength(), '\0');
        value.GetClearData(reinterpret_cast<unsigned char*>(text.data()), text.size(), 1, 0);
        return text;
    }

    static std::string name(const CASN1Type& value, bool optionsAllowed) {
        std::string text = contents(value);
        FilterParser parser(text);
        const bool wellFormed = optionsAllowed ? !parser.attributeDescription().empty() : parser.oid();
        if (!wellFormed || !parser.atEnd()) fail("malformed attribute description or matching rule");
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
        case ASN1ContextTag(0):
        case ASN1ContextTag(1): {
            m_out += filter.identifier == ASN1ContextTag(0) ? '&' : '|';
            for (Reader set = components(filter); !set.AtEnd();) write(set.NextAny("filter"), depth + 1);
            break;
        }
        case ASN1ContextTag(2): {
            m_out += '!';
            Reader wrapper = components(filter);
            write(wrapper.NextAny("not"), depth + 1);
            wrapper.End("not");
            break;
        }
        case ASN1ContextTag(3): writeAssertion(filter, "="); break;
        case ASN1ContextTag(5): writeAssertion(filter, ">="); break;
        case ASN1ContextTag(6): writeAssertion(filter, "<="); break;
        case ASN1ContextTag(8): writeAssertion(filter, "~="); break;
        case ASN1ContextTag(4): writeSubstrings(filter); break;
        case ASN1ContextTag(7): (m_out += name(filter, true)) += "=*"; break;
        case ASN1ContextTag(9): writeExtensible(filter); break;
        default: fail("unknown filter alternative");
        }
        m_out += ')';
    }

    // An assertion without its value is what standard servers drop the connection for.
    void writeAssertion(const CASN1Type& filter, const char* type) {
        Reader assertion = components(filter);
        m_out += name(assertion.Next(kASN1OctetString, "attributeDesc"), true);
        m_out += type;
        writeValue(contents(assertion.Next(kASN1OctetString, "assertionValue")));
        assertion.End("AttributeValueAssertion");
    }

    // At most one initial piece, first, and one final piece, last; at least one piece, none empty.
    void writeSubstrings(const CASN1Type& filter) {
        Reader substrings = components(filter);
        m_out += name(substrings.Next(kASN1OctetString, "type"), true);
        m_out += '=';
        Reader pieces = components(substrings.Next(kASN1Sequence, "substrings"));
        substrings.End("SubstringFilter");
        if (pieces.AtEnd()) fail("no substring");
        auto piece = [&](const CASN1Type& value) {
            const std::string text = contents(value);
            if (text.empty()) fail("empty substring");
            writeValue(text);
        };
        if (const CASN1Type* initial = pieces.Optional(ASN1ContextTag(0))) piece(*initial);
        m_out += '*';
        while (const CASN1Type* any = pieces.Optional(ASN1ContextTag(1))) {
            piece(*any);
            m_out += '*';
        }
        if (const CASN1Type* final = pieces.Optional(ASN1ContextTag(2))) piece(*final);
        pieces.End("substrings");
    }

    void writeExtensible(const CASN1Type& filter) {
        Reader assertion = components(filter);
        const CASN1Type* rule = assertion.Optional(ASN1ContextTag(1));
        const CASN1Type* type = assertion.Optional(ASN1ContextTag(2));
        if (!rule && !type) fail("extensible match without rule or type");
        const std::string value = contents(assertion.Next(ASN1ContextTag(3), "matchValue"));
        const CASN1Type* dnAttributes = assertion.Optional(ASN1ContextTag(4));
        assertion.End("MatchingRuleAssertion");
        if (type) m_out += name(*type, true);
        if (dnAttributes) {
            const std::string flag = contents(*dnAttributes);
            if (flag.size() != 1) fail("malformed dnAttributes");
            if (flag[0]) m_out += ":dn";
        }
        if (rule) (m_out += ':') += name(*rule, false);
        m_out += ":=";
        writeValue(value);
    }

    std::string m_out;
};

}  // namespace

bool IsLDAPAttributeDescription(std::string_view text) {
    FilterParser parser(text);
    try {
        return !parser.attributeDescription().empty() && parser.atEnd();
    } catch (CDERDecodingException* e) {  // a malformed option or numeric OID
        e->Delete();
        return false;
    }
}

LDAPFilterPtr ParseLDAPFilter(std::string_view text) { return FilterParser(text).whole(); }

std::string FormatLDAPFilter(const CASN1Type& filter) { return FilterFormatter().format(filter); }
