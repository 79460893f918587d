#include "vorlan/x509/namekey.h"

#include <algorithm>

#include "vorlan/asn1/identifier.h"

namespace {

bool IsSpace(unsigned char c) { return c == ' '; }

// A PrintableString or UTF8String value folded as LDAP's string preparation does for the
// ASCII range: leading and trailing spaces dropped, inner runs of spaces made one, letters in
// lower case. Octets past ASCII (UTF-8) stay as they are.
std::string Folded(const std::string& value) {
    std::string folded;
    folded.reserve(value.size());
    bool space = false;
    for (const char c : value) {
        const auto octet = static_cast<unsigned char>(c);
        if (IsSpace(octet)) {
            space = !folded.empty();
            continue;
        }
        if (space) folded += ' ';
        space = false;
        folded += static_cast<char>(octet >= 'A' && octet <= 'Z' ? octet - 'A' + 'a' : octet);
    }
    return folded;
}

// Each piece is preceded by its length, so that no value can pass for two.
void AppendPiece(std::string& key, const std::string& piece) {
    key += std::to_string(piece.size());
    key += ':';
    key += piece;
}

std::string AttributeKey(const CAttributeValue& attribute) {
    std::string key;
    AppendPiece(key, attribute.m_strLabel.str());
    AppendPiece(key, std::string(reinterpret_cast<const char*>(attribute.m_abTypeOID.GetData()),
                                 static_cast<size_t>(attribute.m_abTypeOID.GetSize())));
    const int type = attribute.m_nStringType;
    if (type == kASN1PrintableString || type == kASN1UTF8String) {
        key += 's';  // the two compare with each other, folded
        AppendPiece(key, Folded(attribute.m_strValue.str()));
    } else {
        key += 'b';
        key += std::to_string(type);
        AppendPiece(key, attribute.m_strValue.str());
    }
    return key;
}

}  // namespace

CNameKey::CNameKey(const CDistinguishedName& name) {
    m_rdns.reserve(static_cast<size_t>(name.GetSize()));
    for (int i = 0; i < name.GetSize(); ++i) {
        const CAttributeValueArray& attributes = name[i]->m_attributes;
        std::vector<std::string> keys;
        keys.reserve(static_cast<size_t>(attributes.GetSize()));
        for (int j = 0; j < attributes.GetSize(); ++j) keys.push_back(AttributeKey(*attributes[j]));
        std::sort(keys.begin(), keys.end());
        std::string rdn;
        for (const std::string& key : keys) AppendPiece(rdn, key);
        AppendPiece(m_text, rdn);
        m_rdns.push_back(std::move(rdn));
    }
}

bool CNameKey::IsWithin(const CNameKey& base) const {
    return base.m_rdns.size() <= m_rdns.size() && std::equal(base.m_rdns.begin(), base.m_rdns.end(), m_rdns.begin());
}

int IsSameName(const CDistinguishedName& a, const CDistinguishedName& b) { return CNameKey(a) == CNameKey(b); }
