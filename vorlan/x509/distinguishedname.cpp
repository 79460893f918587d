#include "vorlan/x509/distinguishedname.h"

#include <new>

#include "vorlan/x509/onelinetext.h"

namespace {

// The order in which the display labels look for a telling attribute.
constexpr DNAttrNameEnum kLabelOrder[] = {
    dnCommonName,
    dnSurname,
    dnEmailAddress,
    dnOrganizationName,
    dnOrganizationalUnitName,
    dnTitle,
    dnPhoneNumber,
    dnCountryName,
    dnStateOrProvinceName,
    dnLocalityName,
    dnStreetAddress,
    dnPostalAddress,
    dnPostOfficeBox,
    dnPostalCode,
    dnPhysicalDeliveryOfficeName,
    dnCollectiveOrganizationName,
    dnCollectiveOrganizationalUnitName,
    dnCollectivePhysicalDeliveryOfficeName,
    dnCollectiveStateOrProvinceName,
    dnCollectiveLocalityName,
    dnCollectiveStreetAddress,
    dnCollectivePostalAddress,
    dnCollectivePostOfficeBox,
    dnCollectivePostalCode,
};

const CString kInternet("Internet");

// One RDN holding exactly one attribute of the type, whose value is returned.
const CString* soleAttribute(const CRelativeDN& rdn, DNAttrNameEnum type) {
    if (rdn.m_attributes.GetSize() != 1 || rdn.m_attributes[0]->m_strLabel != CString(vorlan::detail::AttributeLabel(type)))
        return nullptr;
    return &rdn.m_attributes[0]->m_strValue;
}

// The first two RDNs are the e-mail identity; its address.
const CString* identityAddress(const CDistinguishedName& name) {
    if (name.GetSize() < 2) return nullptr;
    const CString* locality = soleAttribute(*name[0], dnLocalityName);
    if (!locality || *locality != kInternet) return nullptr;
    return soleAttribute(*name[1], dnEmailAddress);
}

}  // namespace

CDistinguishedName::CDistinguishedName(const char* email) {
    if (!email) return;
    auto locality = std::make_unique<CRelativeDN>();
    locality->Add(new CAttributeValue(dnLocalityName, kInternet));
    Add(locality.release());
    auto address = std::make_unique<CRelativeDN>();
    address->Add(new CAttributeValue(dnEmailAddress, email));
    Add(address.release());
}

CDistinguishedName::CDistinguishedName(const CDistinguishedName& other) : CRelativeDNArray() { CopyFrom(other); }

CDistinguishedName& CDistinguishedName::operator=(const CDistinguishedName& other) {
    if (this != &other) CopyFrom(other);
    return *this;
}

CDistinguishedName::CDistinguishedName(CDistinguishedName&& other) noexcept : CRelativeDNArray() {
    *this = std::move(other);
}

CDistinguishedName& CDistinguishedName::operator=(CDistinguishedName&& other) noexcept {
    if (this == &other) return *this;
    RemoveAll();
    std::swap(m_pData, other.m_pData);
    std::swap(m_nSize, other.m_nSize);
    std::swap(m_nMaxSize, other.m_nMaxSize);
    std::swap(m_nGrowBy, other.m_nGrowBy);
    return *this;
}

void CDistinguishedName::CopyFrom(const CDistinguishedName& other) {
    RemoveAll();
    for (int i = 0; i < other.GetSize(); ++i) Add(new CRelativeDN(*other[i]));
}

int CDistinguishedName::Find(DNAttrNameEnum type, CString& value) const {
    for (int i = GetSize(); i-- > 0;)
        if (m_pData[i]->Find(type, value)) return 1;
    return 0;
}

int CDistinguishedName::FindOneOf(const DNAttrNameEnum* types, int count, CString& value) const {
    for (int i = GetSize(); i-- > 0;)
        for (int k = 0; k < count; ++k)
            if (m_pData[i]->Find(types[k], value)) return k;
    return -1;
}

int CDistinguishedName::IsEmpty() const {
    for (int i = 0; i < GetSize(); ++i)
        if (m_pData[i]->m_attributes.GetSize() > 0) return 0;
    return 1;
}

CString CDistinguishedName::FirstAttribute() const {
    for (int i = 0; i < GetSize(); ++i)
        if (m_pData[i]->m_attributes.GetSize() > 0) return m_pData[i]->m_attributes[0]->m_strValue;
    return "<Empty>";
}

CString CDistinguishedName::GetLabel() const {
    CString value;
    for (DNAttrNameEnum type : kLabelOrder) {
        if (!Find(type, value)) continue;
        CString unit;
        if (type == dnOrganizationName && Find(dnOrganizationalUnitName, unit)) value += ", " + unit;
        return value;
    }
    return FirstAttribute();
}

CString CDistinguishedName::GetLabel2() const {
    CString primary, secondary;
    bool found = false;
    for (DNAttrNameEnum type : kLabelOrder) {
        CString& target = found ? secondary : primary;
        if (!Find(type, target)) continue;
        if (found) return primary + ", " + secondary;
        found = true;
    }
    return found ? primary : FirstAttribute();
}

CDistinguishedName::operator CString() const {
    CString text;
    for (int i = 0; i < GetSize(); ++i) text += static_cast<CString>(*m_pData[i]);
    return text;
}

CString CDistinguishedName::GetOneLine() const {
    CString line;
    for (int i = GetSize(); i-- > 0;) {
        const CAttributeValueArray& attributes = m_pData[i]->m_attributes;
        if (i + 1 < GetSize()) line += ", ";
        for (int k = attributes.GetSize(); k-- > 0;) {
            line += vorlan::detail::OneLineAttribute(*attributes[k]);
            if (k > 0) line += " + ";
        }
    }
    return line;
}

int CDistinguishedName::IsSubordinateTo(const CDistinguishedName& superior) const {
    if (GetSize() < superior.GetSize()) return 0;
    for (int i = 0; i < superior.GetSize(); ++i)
        if (!(*m_pData[i] == *superior[i])) return 0;
    return 1;
}

int CDistinguishedName::IsStronglySubordinateTo(const CDistinguishedName& superior) const {
    return GetSize() > superior.GetSize() && IsSubordinateTo(superior);
}

int CDistinguishedName::IsVeriSignImage() const { return GetSize() == 2 && identityAddress(*this) != nullptr; }

int CDistinguishedName::IsVeriSignResponse(const CDistinguishedName& request) const {
    CString requested;
    if (!request.Find(dnEmailAddress, requested)) return 0;
    const CString* address = identityAddress(*this);
    return address && *address == requested;
}

int CDistinguishedName::IsVeriSignRequestMatch() const {
    CString address;
    return Find(dnEmailAddress, address);
}

int operator==(const CDistinguishedName& a, const CDistinguishedName& b) {
    if (a.GetSize() != b.GetSize()) return 0;
    for (int i = 0; i < a.GetSize(); ++i)
        if (!(*a[i] == *b[i])) return 0;
    return 1;
}

int __isTheSameOwner(const CDistinguishedName& a, const CDistinguishedName& b) {
    if (a == b) return 1;
    CString x, y;
    return a.Find(dnEmailAddress, x) && b.Find(dnEmailAddress, y) && x == y;
}

void ConstructElements(CDistinguishedName* elements, int count) {
    for (int i = 0; i < count; ++i) ::new (static_cast<void*>(elements + i)) CDistinguishedName;
}

void DestructElements(CDistinguishedName* elements, int count) {
    for (int i = 0; i < count; ++i) elements[i].~CDistinguishedName();
}

void SerializeElements(CArchive& ar, CDistinguishedName* elements, int count) {
    for (int i = 0; i < count; ++i) elements[i].Serialize(ar);
}
