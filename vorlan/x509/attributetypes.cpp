#include "vorlan/x509/attributetypes.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "vorlan/asn1/wellknownoids.h"

namespace {

struct AttributeType {
    const char* label;
    const char* shortName;  // RFC 4514, RFC 4519 and RFC 3671 descriptors
    CASN1_OBJECT_IDENTIFIER* (*make)();
};

template <class Identifier>
CASN1_OBJECT_IDENTIFIER* make() {
    return new Identifier;
}

// In the order of DNAttrNameEnum.
constexpr AttributeType kTypes[] = {
    {"Country name", "C", make<CASN1_CountryName>},
    {"State or province name", "ST", make<CASN1_StateOrProvinceName>},
    {"Locality name", "L", make<CASN1_LocalityName>},
    {"Common name", "CN", make<CASN1_CommonName>},
    {"Title", "title", make<CASN1_Title>},
    {"Organization name", "O", make<CASN1_OrganizationName>},
    {"Organizational unit name", "OU", make<CASN1_OrganizationalUnitName>},
    {"Street address", "STREET", make<CASN1_StreetAddress>},
    {"Postal code", "postalCode", make<CASN1_PostalCode>},
    {"Phone number", "telephoneNumber", make<CASN1_PhoneNumber>},
    {"E-mail address", "emailAddress", make<CASN1_E_mail_Address>},
    {"Surname", "SN", make<CASN1_Surname>},
    {"Collective locality name", "c-l", make<CASN1_CollectiveLocalityName>},
    {"Collective state or province name", "c-st", make<CASN1_CollectiveStateOrProvinceName>},
    {"Collective street address", "c-street", make<CASN1_CollectiveStreetAddress>},
    {"Collective organization name", "c-o", make<CASN1_CollectiveOrganizationName>},
    {"Collective organizational unit name", "c-ou", make<CASN1_CollectiveOrganizationalUnitName>},
    {"Postal address", "postalAddress", make<CASN1_PostalAddress>},
    {"Collective postal address", "c-PostalAddress", make<CASN1_CollectivePostalAddress>},
    {"Collective postal code", "c-PostalCode", make<CASN1_CollectivePostalCode>},
    {"Post office box", "postOfficeBox", make<CASN1_PostOfficeBox>},
    {"Collective post office box", "c-PostOfficeBox", make<CASN1_CollectivePostOfficeBox>},
    {"Physical delivery office name", "physicalDeliveryOfficeName", make<CASN1_PhysicalDeliveryOfficeName>},
    {"Collective physical delivery office name", "c-PhysicalDeliveryOfficeName",
     make<CASN1_CollectivePhysicalDeliveryOfficeName>},
};
constexpr int kTypeCount = static_cast<int>(std::size(kTypes));
static_assert(kTypeCount == dnCollectivePhysicalDeliveryOfficeName + 1);

// Object identifier contents of the types one-line names carry beyond the known ones.
struct ExtraShortName {
    unsigned char contents[10];
    const char* shortName;
};
constexpr ExtraShortName kExtraShortNames[] = {
    {{0x09, 0x92, 0x26, 0x89, 0x93, 0xF2, 0x2C, 0x64, 0x01, 0x19}, "DC"},   // 0.9.2342.19200300.100.1.25
    {{0x09, 0x92, 0x26, 0x89, 0x93, 0xF2, 0x2C, 0x64, 0x01, 0x01}, "UID"},  // 0.9.2342.19200300.100.1.1
};

// The identifier of a type of the table, built once.
const CASN1_OBJECT_IDENTIFIER& identifier(int type) {
    static const auto identifiers = [] {
        std::array<std::unique_ptr<CASN1_OBJECT_IDENTIFIER>, kTypeCount> all;
        for (int row = 0; row < kTypeCount; ++row) all[row].reset(kTypes[row].make());
        return all;
    }();
    return *identifiers[type];
}

}  // namespace

int AfxGetLenArrayOfDNAttrName() { return kTypeCount; }

namespace vorlan::detail {

const char* AttributeLabel(int type) { return type >= 0 && type < kTypeCount ? kTypes[type].label : nullptr; }

int AttributeTypeOfLabel(const CString& label) {
    for (int type = 0; type < kTypeCount; ++type)
        if (label.str() == kTypes[type].label) return type;
    return -1;
}

int AttributeTypeOfIdentifier(std::span<const BYTE> contents) {
    for (int type = 0; type < kTypeCount; ++type) {
        const CByteArray& known = identifier(type);
        if (known.GetSize() == static_cast<int>(contents.size()) &&
            std::equal(contents.begin(), contents.end(), known.GetData()))
            return type;
    }
    return -1;
}

std::unique_ptr<CASN1_OBJECT_IDENTIFIER> AttributeIdentifier(int type) {
    auto copy = std::make_unique<CASN1_OBJECT_IDENTIFIER>();
    copy->Copy(identifier(type));
    return copy;
}

const char* AttributeShortName(int type, const CByteArray& unknownIdentifier) {
    if (type >= 0 && type < kTypeCount) return kTypes[type].shortName;
    for (const ExtraShortName& extra : kExtraShortNames)
        if (unknownIdentifier.GetSize() == static_cast<int>(sizeof extra.contents) &&
            std::memcmp(unknownIdentifier.GetData(), extra.contents, sizeof extra.contents) == 0)
            return extra.shortName;
    return nullptr;
}

}  // namespace vorlan::detail
