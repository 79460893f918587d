/// \file
/// The attribute types of distinguished names that the library knows: the enumeration, the
/// readable labels that identify them in the client's classes, their object identifiers and
/// the short names of the one-line text.
#pragma once

#include <span>

#include <memory>

#include "vorlan/asn1/objectidentifier.h"
#include "vorlan/framework/string.h"

/// The attribute types of names that the library knows, in the order of the label table.
enum DNAttrNameEnum {
    dnCountryName = 0,
    dnStateOrProvinceName,
    dnLocalityName,
    dnCommonName,
    dnTitle,
    dnOrganizationName,
    dnOrganizationalUnitName,
    dnStreetAddress,
    dnPostalCode,
    dnPhoneNumber,
    dnEmailAddress,
    dnSurname,
    dnCollectiveLocalityName,
    dnCollectiveStateOrProvinceName,
    dnCollectiveStreetAddress,
    dnCollectiveOrganizationName,
    dnCollectiveOrganizationalUnitName,
    dnPostalAddress,
    dnCollectivePostalAddress,
    dnCollectivePostalCode,
    dnPostOfficeBox,
    dnCollectivePostOfficeBox,
    dnPhysicalDeliveryOfficeName,
    dnCollectivePhysicalDeliveryOfficeName,
};

/// The number of known attribute types: 24.
int AfxGetLenArrayOfDNAttrName();

/// The label of a decoded attribute whose type is none of the known ones.
inline constexpr const char* kUnknownAttributeLabel = "Unknown";

namespace vorlan::detail {

/// The label of a known type; null outside the enumeration.
const char* AttributeLabel(int type);
/// The type whose label is `label` exactly, or -1.
int AttributeTypeOfLabel(const CString& label);
/// The type whose object identifier has these contents, or -1.
int AttributeTypeOfIdentifier(std::span<const BYTE> contents);
/// A new object identifier of a known type.
std::unique_ptr<CASN1_OBJECT_IDENTIFIER> AttributeIdentifier(int type);
/// The short name of a type in one-line text ("CN", "emailAddress", ...), null when it has none:
/// the known types, and the two that one-line names commonly carry beyond them (DC, UID).
const char* AttributeShortName(int type, const CByteArray& unknownIdentifier);

}  // namespace vorlan::detail
