#include "vorlan/x509/fieldimage.h"

namespace vorlan::detail {

CFieldImage& CFieldImage::Append(const void* data, std::size_t size) {
    m_octets.append(static_cast<const char*>(data), size);
    return *this;
}

CFieldImage& CFieldImage::operator<<(const CString& text) {
    *this << text.str().size();
    return Append(text.str().data(), text.str().size());
}

CFieldImage& CFieldImage::operator<<(const CByteArray& octets) {
    const auto size = static_cast<std::size_t>(octets.GetSize());
    *this << size;
    return Append(octets.GetData(), size);
}

CFieldImage& CFieldImage::operator<<(const CSerialNumber& serial) {
    return *this << serial.m_bNegative << static_cast<const CByteArray&>(serial);
}

CFieldImage& CFieldImage::operator<<(const CUTCTimeFields& time) {
    return *this << time.m_wYear << time.m_bMonth << time.m_bDay << time.m_wMinuteOfDay << time.m_bSecond
                 << time.m_nZoneKind << time.m_wZoneMinutes << time.m_bFormatLength;
}

CFieldImage& CFieldImage::operator<<(const CAttributeValue& attribute) {
    return *this << attribute.m_strLabel << attribute.m_strValue << attribute.m_nStringType << attribute.m_abTypeOID;
}

CFieldImage& CFieldImage::operator<<(const CDistinguishedName& name) {
    *this << name.GetSize();
    for (int i = 0; i < name.GetSize(); ++i) {
        const CRelativeDN* rdn = name[i];
        *this << (rdn != nullptr);
        if (!rdn) continue;
        *this << rdn->m_strKind << rdn->m_attributes.GetSize();
        for (int k = 0; k < rdn->m_attributes.GetSize(); ++k) {
            const CAttributeValue* attribute = rdn->m_attributes[k];
            *this << (attribute != nullptr);
            if (attribute) *this << *attribute;
        }
    }
    return *this;
}

CFieldImage& CFieldImage::operator<<(const CCertificateExtensionArray& extensions) {
    *this << extensions.GetSize();
    for (int i = 0; i < extensions.GetSize(); ++i)
        *this << extensions[i].m_strIdentifier << (extensions[i].m_bCritical != 0) << extensions[i].m_abValue;
    return *this;
}

}  // namespace vorlan::detail
