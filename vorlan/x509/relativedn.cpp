#include "vorlan/x509/relativedn.h"

#include <algorithm>
#include <tuple>
#include <vector>

#include "vorlan/framework/archive.h"
#include "vorlan/x509/ownedelements.h"

IMPLEMENT_SERIAL(CRelativeDN, CObject, 0)

namespace {

// A total order on attributes whose equality is operator== of attributes.
bool attributeBefore(const CAttributeValue* a, const CAttributeValue* b) {
    const auto typeOID = [](const CAttributeValue* v) {
        return std::string_view(reinterpret_cast<const char*>(v->m_abTypeOID.GetData()),
                                static_cast<size_t>(v->m_abTypeOID.GetSize()));
    };
    return std::forward_as_tuple(a->m_strLabel.str(), a->m_strValue.str(), a->m_nStringType, typeOID(a)) <
           std::forward_as_tuple(b->m_strLabel.str(), b->m_strValue.str(), b->m_nStringType, typeOID(b));
}

std::vector<const CAttributeValue*> sorted(const CAttributeValueArray& attributes) {
    std::vector<const CAttributeValue*> all(attributes.GetData(), attributes.GetData() + attributes.GetSize());
    std::sort(all.begin(), all.end(), attributeBefore);
    return all;
}

}  // namespace

CRelativeDN::CRelativeDN(const char* kind) : m_strKind(kind) {}

CRelativeDN::CRelativeDN(const CRelativeDN& other) : CObject() { *this = other; }

CRelativeDN& CRelativeDN::operator=(const CRelativeDN& other) {
    if (this == &other) return *this;
    m_attributes.RemoveAll();
    for (int i = 0; i < other.m_attributes.GetSize(); ++i) Add(new CAttributeValue(*other.m_attributes[i]));
    m_strKind = other.m_strKind;
    return *this;
}

int CRelativeDN::Add(CAttributeValue* attribute) { return m_attributes.Add(attribute); }

int CRelativeDN::Find(DNAttrNameEnum type, CString& value) const {
    const char* label = vorlan::detail::AttributeLabel(type);
    if (!label) return 0;
    const CString wanted(label);
    for (int i = 0; i < m_attributes.GetSize(); ++i)
        if (m_attributes[i]->m_strLabel == wanted) {
            value = m_attributes[i]->m_strValue;
            return 1;
        }
    return 0;
}

CRelativeDN::operator CString() const {
    CString text;
    for (int i = 0; i < m_attributes.GetSize(); ++i) text += static_cast<CString>(*m_attributes[i]) + "\r\n";
    return text;
}

void CRelativeDN::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar << BYTE{0} << m_strKind;
    } else {
        BYTE format = 0;
        ar >> format;
        if (format != 0) AfxThrowArchiveException(CArchiveException::generic);
        ar >> m_strKind;
    }
    m_attributes.Serialize(ar);
}

int operator==(const CAttributeValueArray& a, const CAttributeValueArray& b) {
    if (a.GetSize() != b.GetSize()) return 0;
    // Sorting both matches each attribute once, whatever repeats (in n log n for large RDNs).
    const auto x = sorted(a), y = sorted(b);
    return std::equal(x.begin(), x.end(), y.begin(), [](const auto* p, const auto* q) { return *p == *q; });
}

int operator==(const CRelativeDN& a, const CRelativeDN& b) { return a.m_attributes == b.m_attributes; }

void DestructElements(CRelativeDN** elements, int count) { vorlan::detail::DeleteOwned(elements, count); }
void SerializeElements(CArchive& ar, CRelativeDN** elements, int count) { vorlan::detail::SerializeOwned(ar, elements, count); }
