#include "vorlan/x509/crlentry.h"

#include <utility>

#include "vorlan/x509/ownedelements.h"

IMPLEMENT_SERIAL(CCRLEntry, CObject, VERSIONABLE_SCHEMA | 0)

CCRLEntry::CCRLEntry(const CSerialNumber& serialNumber, const CUTCTime& revocationDate)
    : m_serialNumber(serialNumber), m_revocationDate(revocationDate) {}

CCRLEntry::CCRLEntry(const CCRLEntry& other)
    : CObject(), m_serialNumber(other.m_serialNumber), m_revocationDate(other.m_revocationDate) {
    m_extensions.Copy(other.m_extensions);
}

CCRLEntry& CCRLEntry::operator=(const CCRLEntry& other) {
    m_serialNumber = other.m_serialNumber;
    m_revocationDate = other.m_revocationDate;
    m_extensions.Copy(other.m_extensions);
    return *this;
}

CCRLEntry::operator CString() const {
    return "Serial Number: " + CString(m_serialNumber) + " Revocation Date: " + m_revocationDate.GetTimeAsString(1, 0);
}

void CCRLEntry::Serialize(CArchive& ar) {
    BYTE format = m_extensions.GetSize() > 0;
    if (ar.IsStoring()) {
        ar << format;
        m_serialNumber.Serialize(ar);
        m_revocationDate.Serialize(ar);
        if (format) m_extensions.Serialize(ar);
        return;
    }
    ar >> format;
    if (format > 1) AfxThrowArchiveException(CArchiveException::generic);
    CCRLEntry loaded(*this);
    loaded.m_serialNumber.Serialize(ar);
    loaded.m_revocationDate.Serialize(ar);
    loaded.m_extensions.RemoveAll();
    if (format) loaded.m_extensions.Serialize(ar);
    *this = loaded;
}

void DestructElements(CCRLEntry** elements, int count) { detail::DeleteOwned(elements, count); }

void SerializeElements(CArchive& ar, CCRLEntry** elements, int count) { detail::SerializeOwned(ar, elements, count); }

void detail::MoveEntries(CArray<CCRLEntry*, CCRLEntry*>& from, CArray<CCRLEntry*, CCRLEntry*>& to) {
    to.RemoveAll();
    to.SetSize(from.GetSize());
    for (int i = 0; i < from.GetSize(); ++i) to[i] = std::exchange(from[i], nullptr);
    from.RemoveAll();
}
