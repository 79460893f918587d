/// \file
/// Well-known object identifiers: one named constant class per algorithm, attribute
/// type and content type that the library and its clients refer to. Each default
/// constructor builds the fixed value; the classes add no field and override nothing,
/// so clone() and cloneAndDie() give a plain CASN1_OBJECT_IDENTIFIER.
#pragma once

#include "vorlan/asn1/objectidentifier.h"

/// Declares the class X of a well-known object identifier; its .cpp defines the value.
#define DECLARE_WELL_KNOWN_OID(X)                   \
    /** The well-known object identifier X. */      \
    class X : public CASN1_OBJECT_IDENTIFIER {      \
    public:                                         \
        /** The identifier with its fixed value. */ \
        X();                                        \
        /** A copy. */                              \
        X(const X& other) = default;                \
        /** Takes the value of other. */            \
        X& operator=(const X& other) = default;     \
        ~X() override = default;                    \
    };

// Digest algorithms.
DECLARE_WELL_KNOWN_OID(CASN1_md2)
DECLARE_WELL_KNOWN_OID(CASN1_md5)
DECLARE_WELL_KNOWN_OID(CASN1_sha1)
DECLARE_WELL_KNOWN_OID(CASN1_sha256)
DECLARE_WELL_KNOWN_OID(CASN1_sha384)
DECLARE_WELL_KNOWN_OID(CASN1_sha512)

// RSA and PKCS #1.
DECLARE_WELL_KNOWN_OID(CASN1_rsa)
DECLARE_WELL_KNOWN_OID(CASN1_pkcs_1)
DECLARE_WELL_KNOWN_OID(CASN1_rsaEncryption)
DECLARE_WELL_KNOWN_OID(CASN1_md2WithRSAEncryption)
DECLARE_WELL_KNOWN_OID(CASN1_md5WithRSAEncryption)
DECLARE_WELL_KNOWN_OID(CASN1_sha1WithRSAEncryption)
DECLARE_WELL_KNOWN_OID(CASN1_sha256WithRSAEncryption)
DECLARE_WELL_KNOWN_OID(CASN1_sha384WithRSAEncryption)
DECLARE_WELL_KNOWN_OID(CASN1_sha512WithRSAEncryption)

// Elliptic-curve keys and ECDSA (RFC 5480, RFC 5758).
DECLARE_WELL_KNOWN_OID(CASN1_ecPublicKey)
DECLARE_WELL_KNOWN_OID(CASN1_prime256v1)
DECLARE_WELL_KNOWN_OID(CASN1_secp384r1)
DECLARE_WELL_KNOWN_OID(CASN1_ecdsaWithSHA256)
DECLARE_WELL_KNOWN_OID(CASN1_ecdsaWithSHA384)
DECLARE_WELL_KNOWN_OID(CASN1_ecdsaWithSHA512)

// PKCS #5.
DECLARE_WELL_KNOWN_OID(CASN1_pkcs_5)
DECLARE_WELL_KNOWN_OID(CASN1_pbeWithMD2AndDES_CBC)
DECLARE_WELL_KNOWN_OID(CASN1_pbeWithMD5AndDES_CBC)

// X.520 attribute types of distinguished names, and the PKCS #9 e-mail address.
DECLARE_WELL_KNOWN_OID(CASN1_AttributeType)
DECLARE_WELL_KNOWN_OID(CASN1_CountryName)
DECLARE_WELL_KNOWN_OID(CASN1_StateOrProvinceName)
DECLARE_WELL_KNOWN_OID(CASN1_LocalityName)
DECLARE_WELL_KNOWN_OID(CASN1_CommonName)
DECLARE_WELL_KNOWN_OID(CASN1_Title)
DECLARE_WELL_KNOWN_OID(CASN1_OrganizationName)
DECLARE_WELL_KNOWN_OID(CASN1_OrganizationalUnitName)
DECLARE_WELL_KNOWN_OID(CASN1_StreetAddress)
DECLARE_WELL_KNOWN_OID(CASN1_PostalCode)
DECLARE_WELL_KNOWN_OID(CASN1_PhoneNumber)
DECLARE_WELL_KNOWN_OID(CASN1_E_mail_Address)
DECLARE_WELL_KNOWN_OID(CASN1_Surname)
DECLARE_WELL_KNOWN_OID(CASN1_CollectiveLocalityName)
DECLARE_WELL_KNOWN_OID(CASN1_CollectiveStateOrProvinceName)
DECLARE_WELL_KNOWN_OID(CASN1_CollectiveStreetAddress)
DECLARE_WELL_KNOWN_OID(CASN1_CollectiveOrganizationName)
DECLARE_WELL_KNOWN_OID(CASN1_CollectiveOrganizationalUnitName)
DECLARE_WELL_KNOWN_OID(CASN1_PostalAddress)
DECLARE_WELL_KNOWN_OID(CASN1_CollectivePostalAddress)
DECLARE_WELL_KNOWN_OID(CASN1_CollectivePostalCode)
DECLARE_WELL_KNOWN_OID(CASN1_PostOfficeBox)
DECLARE_WELL_KNOWN_OID(CASN1_CollectivePostOfficeBox)
DECLARE_WELL_KNOWN_OID(CASN1_PhysicalDeliveryOfficeName)
DECLARE_WELL_KNOWN_OID(CASN1_CollectivePhysicalDeliveryOfficeName)

// PKCS #9 attributes.
DECLARE_WELL_KNOWN_OID(CASN1_UnstructuredName)
DECLARE_WELL_KNOWN_OID(CASN1_ChallengePassword)
DECLARE_WELL_KNOWN_OID(CASN1_signingTime)
DECLARE_WELL_KNOWN_OID(CASN1_signingDescription)
DECLARE_WELL_KNOWN_OID(CASN1_pkcs_9)
DECLARE_WELL_KNOWN_OID(CASN1_contentType)
DECLARE_WELL_KNOWN_OID(CASN1_messageDigest)

// PKCS #7 content types.
DECLARE_WELL_KNOWN_OID(CASN1_pkcs_7)
DECLARE_WELL_KNOWN_OID(CASN1_data)
DECLARE_WELL_KNOWN_OID(CASN1_signedData)
DECLARE_WELL_KNOWN_OID(CASN1_envelopedData)
DECLARE_WELL_KNOWN_OID(CASN1_signedAndEnvelopedData)
DECLARE_WELL_KNOWN_OID(CASN1_digestedData)
DECLARE_WELL_KNOWN_OID(CASN1_encryptedData)

// Symmetric ciphers.
DECLARE_WELL_KNOWN_OID(CASN1_DES_CBC)
DECLARE_WELL_KNOWN_OID(CASN1_DES_EDE3_CBC)
DECLARE_WELL_KNOWN_OID(CASN1_RC2_CBC)
DECLARE_WELL_KNOWN_OID(CASN1_RC5_CBC)
DECLARE_WELL_KNOWN_OID(CASN1_RC5_CBC_Pad)
DECLARE_WELL_KNOWN_OID(CASN1_aes128_CBC)
DECLARE_WELL_KNOWN_OID(CASN1_aes192_CBC)
DECLARE_WELL_KNOWN_OID(CASN1_aes256_CBC)

#undef DECLARE_WELL_KNOWN_OID
