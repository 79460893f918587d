#include "vorlan/asn1/wellknownoids.h"

#include <initializer_list>

namespace {

void appendArcs(CASN1_OBJECT_IDENTIFIER& oid, std::initializer_list<unsigned long> arcs) {
    for (unsigned long arc : arcs) oid.AddIDComponent(arc);
}

}  // namespace

// A constant built from its first two arcs and the further ones.
#define WELL_KNOWN_OID_ARCS(X, first, second, ...) \
    X::X() : CASN1_OBJECT_IDENTIFIER(first, second) { appendArcs(*this, {__VA_ARGS__}); }
// A constant built from a parent constant and one or two further arcs.
#define WELL_KNOWN_OID_BELOW(X, PARENT, ...) \
    X::X() : CASN1_OBJECT_IDENTIFIER(PARENT()) { appendArcs(*this, {__VA_ARGS__}); }

WELL_KNOWN_OID_ARCS(CASN1_md2, 1, 2, 840, 113549, 2, 2)
WELL_KNOWN_OID_ARCS(CASN1_md5, 1, 2, 840, 113549, 2, 5)
WELL_KNOWN_OID_ARCS(CASN1_sha1, 1, 3, 14, 3, 2, 26)
WELL_KNOWN_OID_ARCS(CASN1_sha256, 2, 16, 840, 1, 101, 3, 4, 2, 1)
WELL_KNOWN_OID_ARCS(CASN1_sha384, 2, 16, 840, 1, 101, 3, 4, 2, 2)
WELL_KNOWN_OID_ARCS(CASN1_sha512, 2, 16, 840, 1, 101, 3, 4, 2, 3)

WELL_KNOWN_OID_ARCS(CASN1_rsa, 2, 5, 8, 1, 1)
WELL_KNOWN_OID_ARCS(CASN1_pkcs_1, 1, 2, 840, 113549, 1, 1)
WELL_KNOWN_OID_ARCS(CASN1_rsaEncryption, 1, 2, 840, 113549, 1, 1, 1)
WELL_KNOWN_OID_ARCS(CASN1_md2WithRSAEncryption, 1, 2, 840, 113549, 1, 1, 2)
WELL_KNOWN_OID_ARCS(CASN1_md5WithRSAEncryption, 1, 2, 840, 113549, 1, 1, 4)
WELL_KNOWN_OID_ARCS(CASN1_sha1WithRSAEncryption, 1, 2, 840, 113549, 1, 1, 5)
WELL_KNOWN_OID_ARCS(CASN1_sha256WithRSAEncryption, 1, 2, 840, 113549, 1, 1, 11)
WELL_KNOWN_OID_ARCS(CASN1_sha384WithRSAEncryption, 1, 2, 840, 113549, 1, 1, 12)
WELL_KNOWN_OID_ARCS(CASN1_sha512WithRSAEncryption, 1, 2, 840, 113549, 1, 1, 13)

WELL_KNOWN_OID_ARCS(CASN1_ecPublicKey, 1, 2, 840, 10045, 2, 1)
WELL_KNOWN_OID_ARCS(CASN1_prime256v1, 1, 2, 840, 10045, 3, 1, 7)
WELL_KNOWN_OID_ARCS(CASN1_secp384r1, 1, 3, 132, 0, 34)
WELL_KNOWN_OID_ARCS(CASN1_ecdsaWithSHA256, 1, 2, 840, 10045, 4, 3, 2)
WELL_KNOWN_OID_ARCS(CASN1_ecdsaWithSHA384, 1, 2, 840, 10045, 4, 3, 3)
WELL_KNOWN_OID_ARCS(CASN1_ecdsaWithSHA512, 1, 2, 840, 10045, 4, 3, 4)

WELL_KNOWN_OID_ARCS(CASN1_pkcs_5, 1, 2, 840, 113549, 1, 5)
WELL_KNOWN_OID_BELOW(CASN1_pbeWithMD2AndDES_CBC, CASN1_pkcs_5, 1)
WELL_KNOWN_OID_BELOW(CASN1_pbeWithMD5AndDES_CBC, CASN1_pkcs_5, 3)

WELL_KNOWN_OID_ARCS(CASN1_AttributeType, 2, 5, 4)
WELL_KNOWN_OID_BELOW(CASN1_CountryName, CASN1_AttributeType, 6)
WELL_KNOWN_OID_BELOW(CASN1_StateOrProvinceName, CASN1_AttributeType, 8)
WELL_KNOWN_OID_BELOW(CASN1_LocalityName, CASN1_AttributeType, 7)
WELL_KNOWN_OID_BELOW(CASN1_CommonName, CASN1_AttributeType, 3)
WELL_KNOWN_OID_ARCS(CASN1_Title, 2, 5, 4, 12)
WELL_KNOWN_OID_BELOW(CASN1_OrganizationName, CASN1_AttributeType, 10)
WELL_KNOWN_OID_BELOW(CASN1_OrganizationalUnitName, CASN1_AttributeType, 11)
WELL_KNOWN_OID_BELOW(CASN1_StreetAddress, CASN1_AttributeType, 9)
WELL_KNOWN_OID_BELOW(CASN1_PostalCode, CASN1_AttributeType, 17)
WELL_KNOWN_OID_ARCS(CASN1_PhoneNumber, 2, 5, 4, 20)
WELL_KNOWN_OID_ARCS(CASN1_E_mail_Address, 1, 2, 840, 113549, 1, 9, 1)
WELL_KNOWN_OID_BELOW(CASN1_Surname, CASN1_AttributeType, 4)
WELL_KNOWN_OID_BELOW(CASN1_CollectiveLocalityName, CASN1_AttributeType, 7, 1)
WELL_KNOWN_OID_BELOW(CASN1_CollectiveStateOrProvinceName, CASN1_AttributeType, 8, 1)
WELL_KNOWN_OID_BELOW(CASN1_CollectiveStreetAddress, CASN1_AttributeType, 9, 1)
WELL_KNOWN_OID_BELOW(CASN1_CollectiveOrganizationName, CASN1_AttributeType, 10, 1)
WELL_KNOWN_OID_BELOW(CASN1_CollectiveOrganizationalUnitName, CASN1_AttributeType, 11, 1)
WELL_KNOWN_OID_BELOW(CASN1_PostalAddress, CASN1_AttributeType, 16)
WELL_KNOWN_OID_BELOW(CASN1_CollectivePostalAddress, CASN1_AttributeType, 16, 1)
WELL_KNOWN_OID_BELOW(CASN1_CollectivePostalCode, CASN1_AttributeType, 17, 1)
WELL_KNOWN_OID_BELOW(CASN1_PostOfficeBox, CASN1_AttributeType, 18)
WELL_KNOWN_OID_BELOW(CASN1_CollectivePostOfficeBox, CASN1_AttributeType, 18, 1)
WELL_KNOWN_OID_BELOW(CASN1_PhysicalDeliveryOfficeName, CASN1_AttributeType, 19)
WELL_KNOWN_OID_BELOW(CASN1_CollectivePhysicalDeliveryOfficeName, CASN1_AttributeType, 19, 1)

WELL_KNOWN_OID_ARCS(CASN1_UnstructuredName, 1, 2, 840, 113549, 1, 9, 2)
WELL_KNOWN_OID_ARCS(CASN1_ChallengePassword, 1, 2, 840, 113549, 1, 9, 7)
WELL_KNOWN_OID_ARCS(CASN1_signingTime, 1, 2, 840, 113549, 1, 9, 5)
WELL_KNOWN_OID_ARCS(CASN1_signingDescription, 1, 2, 840, 113549, 1, 9, 13)
WELL_KNOWN_OID_ARCS(CASN1_pkcs_9, 1, 2, 840, 113549, 1, 9)
WELL_KNOWN_OID_BELOW(CASN1_contentType, CASN1_pkcs_9, 3)
WELL_KNOWN_OID_BELOW(CASN1_messageDigest, CASN1_pkcs_9, 4)

WELL_KNOWN_OID_ARCS(CASN1_pkcs_7, 1, 2, 840, 113549, 1, 7)
WELL_KNOWN_OID_BELOW(CASN1_data, CASN1_pkcs_7, 1)
WELL_KNOWN_OID_BELOW(CASN1_signedData, CASN1_pkcs_7, 2)
WELL_KNOWN_OID_BELOW(CASN1_envelopedData, CASN1_pkcs_7, 3)
WELL_KNOWN_OID_BELOW(CASN1_signedAndEnvelopedData, CASN1_pkcs_7, 4)
WELL_KNOWN_OID_BELOW(CASN1_digestedData, CASN1_pkcs_7, 5)
WELL_KNOWN_OID_BELOW(CASN1_encryptedData, CASN1_pkcs_7, 6)

WELL_KNOWN_OID_ARCS(CASN1_DES_CBC, 1, 3, 14, 3, 2, 7)
WELL_KNOWN_OID_ARCS(CASN1_DES_EDE3_CBC, 1, 2, 840, 113549, 3, 7)
WELL_KNOWN_OID_ARCS(CASN1_RC2_CBC, 1, 2, 840, 113549, 3, 2)
WELL_KNOWN_OID_ARCS(CASN1_RC5_CBC, 1, 2, 840, 113549, 3, 8)
WELL_KNOWN_OID_ARCS(CASN1_RC5_CBC_Pad, 1, 2, 840, 113549, 3, 9)
WELL_KNOWN_OID_ARCS(CASN1_aes128_CBC, 2, 16, 840, 1, 101, 3, 4, 1, 2)
WELL_KNOWN_OID_ARCS(CASN1_aes192_CBC, 2, 16, 840, 1, 101, 3, 4, 1, 22)
WELL_KNOWN_OID_ARCS(CASN1_aes256_CBC, 2, 16, 840, 1, 101, 3, 4, 1, 42)
