// The well-known identifier constants against their table of values and contents
// octets, with OpenSSL's encoder of dotted identifiers as the independent oracle.
#include "vorlan/asn1/wellknownoids.h"

#include <gtest/gtest.h>
#include <openssl/asn1.h>
#include <openssl/objects.h>

#include <typeinfo>

#include "asn1_test_util.h"

namespace {

using namespace asn1test;

using OidPtr = std::unique_ptr<CASN1_OBJECT_IDENTIFIER>;

struct WellKnownRow {
    const char* name;
    OidPtr (*make)();
    const char* dotted;
    const char* contents;  // DER contents octets, without identifier and length
};

#define ROW(X, dotted, contents) {#X, []() -> OidPtr { return std::make_unique<X>(); }, dotted, contents}

const WellKnownRow kRows[] = {
    ROW(CASN1_md2, "1.2.840.113549.2.2", "2A 86 48 86 F7 0D 02 02"),
    ROW(CASN1_md5, "1.2.840.113549.2.5", "2A 86 48 86 F7 0D 02 05"),
    ROW(CASN1_sha1, "1.3.14.3.2.26", "2B 0E 03 02 1A"),
    ROW(CASN1_sha256, "2.16.840.1.101.3.4.2.1", "60 86 48 01 65 03 04 02 01"),
    ROW(CASN1_rsa, "2.5.8.1.1", "55 08 01 01"),
    ROW(CASN1_pkcs_1, "1.2.840.113549.1.1", "2A 86 48 86 F7 0D 01 01"),
    ROW(CASN1_rsaEncryption, "1.2.840.113549.1.1.1", "2A 86 48 86 F7 0D 01 01 01"),
    ROW(CASN1_md2WithRSAEncryption, "1.2.840.113549.1.1.2", "2A 86 48 86 F7 0D 01 01 02"),
    ROW(CASN1_md5WithRSAEncryption, "1.2.840.113549.1.1.4", "2A 86 48 86 F7 0D 01 01 04"),
    ROW(CASN1_sha1WithRSAEncryption, "1.2.840.113549.1.1.5", "2A 86 48 86 F7 0D 01 01 05"),
    ROW(CASN1_sha256WithRSAEncryption, "1.2.840.113549.1.1.11", "2A 86 48 86 F7 0D 01 01 0B"),
    ROW(CASN1_pkcs_5, "1.2.840.113549.1.5", "2A 86 48 86 F7 0D 01 05"),
    ROW(CASN1_pbeWithMD2AndDES_CBC, "1.2.840.113549.1.5.1", "2A 86 48 86 F7 0D 01 05 01"),
    ROW(CASN1_pbeWithMD5AndDES_CBC, "1.2.840.113549.1.5.3", "2A 86 48 86 F7 0D 01 05 03"),
    ROW(CASN1_AttributeType, "2.5.4", "55 04"),
    ROW(CASN1_CountryName, "2.5.4.6", "55 04 06"),
    ROW(CASN1_StateOrProvinceName, "2.5.4.8", "55 04 08"),
    ROW(CASN1_LocalityName, "2.5.4.7", "55 04 07"),
    ROW(CASN1_CommonName, "2.5.4.3", "55 04 03"),
    ROW(CASN1_Title, "2.5.4.12", "55 04 0C"),
    ROW(CASN1_OrganizationName, "2.5.4.10", "55 04 0A"),
    ROW(CASN1_OrganizationalUnitName, "2.5.4.11", "55 04 0B"),
    ROW(CASN1_StreetAddress, "2.5.4.9", "55 04 09"),
    ROW(CASN1_PostalCode, "2.5.4.17", "55 04 11"),
    ROW(CASN1_PhoneNumber, "2.5.4.20", "55 04 14"),
    ROW(CASN1_E_mail_Address, "1.2.840.113549.1.9.1", "2A 86 48 86 F7 0D 01 09 01"),
    ROW(CASN1_Surname, "2.5.4.4", "55 04 04"),
    ROW(CASN1_CollectiveLocalityName, "2.5.4.7.1", "55 04 07 01"),
    ROW(CASN1_CollectiveStateOrProvinceName, "2.5.4.8.1", "55 04 08 01"),
    ROW(CASN1_CollectiveStreetAddress, "2.5.4.9.1", "55 04 09 01"),
    ROW(CASN1_CollectiveOrganizationName, "2.5.4.10.1", "55 04 0A 01"),
    ROW(CASN1_CollectiveOrganizationalUnitName, "2.5.4.11.1", "55 04 0B 01"),
    ROW(CASN1_PostalAddress, "2.5.4.16", "55 04 10"),
    ROW(CASN1_CollectivePostalAddress, "2.5.4.16.1", "55 04 10 01"),
    ROW(CASN1_CollectivePostalCode, "2.5.4.17.1", "55 04 11 01"),
    ROW(CASN1_PostOfficeBox, "2.5.4.18", "55 04 12"),
    ROW(CASN1_CollectivePostOfficeBox, "2.5.4.18.1", "55 04 12 01"),
    ROW(CASN1_PhysicalDeliveryOfficeName, "2.5.4.19", "55 04 13"),
    ROW(CASN1_CollectivePhysicalDeliveryOfficeName, "2.5.4.19.1", "55 04 13 01"),
    ROW(CASN1_UnstructuredName, "1.2.840.113549.1.9.2", "2A 86 48 86 F7 0D 01 09 02"),
    ROW(CASN1_ChallengePassword, "1.2.840.113549.1.9.7", "2A 86 48 86 F7 0D 01 09 07"),
    ROW(CASN1_signingTime, "1.2.840.113549.1.9.5", "2A 86 48 86 F7 0D 01 09 05"),
    ROW(CASN1_signingDescription, "1.2.840.113549.1.9.13", "2A 86 48 86 F7 0D 01 09 0D"),
    ROW(CASN1_pkcs_9, "1.2.840.113549.1.9", "2A 86 48 86 F7 0D 01 09"),
    ROW(CASN1_contentType, "1.2.840.113549.1.9.3", "2A 86 48 86 F7 0D 01 09 03"),
    ROW(CASN1_messageDigest, "1.2.840.113549.1.9.4", "2A 86 48 86 F7 0D 01 09 04"),
    ROW(CASN1_pkcs_7, "1.2.840.113549.1.7", "2A 86 48 86 F7 0D 01 07"),
    ROW(CASN1_data, "1.2.840.113549.1.7.1", "2A 86 48 86 F7 0D 01 07 01"),
    ROW(CASN1_signedData, "1.2.840.113549.1.7.2", "2A 86 48 86 F7 0D 01 07 02"),
    ROW(CASN1_envelopedData, "1.2.840.113549.1.7.3", "2A 86 48 86 F7 0D 01 07 03"),
    ROW(CASN1_signedAndEnvelopedData, "1.2.840.113549.1.7.4", "2A 86 48 86 F7 0D 01 07 04"),
    ROW(CASN1_digestedData, "1.2.840.113549.1.7.5", "2A 86 48 86 F7 0D 01 07 05"),
    ROW(CASN1_encryptedData, "1.2.840.113549.1.7.6", "2A 86 48 86 F7 0D 01 07 06"),
    ROW(CASN1_DES_CBC, "1.3.14.3.2.7", "2B 0E 03 02 07"),
    ROW(CASN1_DES_EDE3_CBC, "1.2.840.113549.3.7", "2A 86 48 86 F7 0D 03 07"),
    ROW(CASN1_RC2_CBC, "1.2.840.113549.3.2", "2A 86 48 86 F7 0D 03 02"),
    ROW(CASN1_RC5_CBC, "1.2.840.113549.3.8", "2A 86 48 86 F7 0D 03 08"),
    ROW(CASN1_RC5_CBC_Pad, "1.2.840.113549.3.9", "2A 86 48 86 F7 0D 03 09"),
};

#undef ROW

// OpenSSL's DER of a dotted identifier, or "" when it refuses the text.
std::string openSSLEncodingHex(const char* dotted) {
    ASN1_OBJECT* object = OBJ_txt2obj(dotted, 1);
    unsigned char* der = nullptr;
    const int n = object ? i2d_ASN1_OBJECT(object, &der) : 0;
    std::string hex = n > 0 ? toHex(der, static_cast<size_t>(n)) : "";
    OPENSSL_free(der);
    ASN1_OBJECT_free(object);
    return hex;
}

class WellKnownOidTest : public ::testing::TestWithParam<WellKnownRow> {};

TEST_P(WellKnownOidTest, EncodingDottedTextCloneAndEqualityMatchTheTableRow) {
    const WellKnownRow& row = GetParam();
    const auto oid = row.make();
    const Octets contents = fromHex(row.contents);
    const std::string expected = toHex(Octets{0x06, static_cast<unsigned char>(contents.size())}) + toHex(contents);
    EXPECT_EQ(encodedHex(*oid), expected);
    EXPECT_EQ(openSSLEncodingHex(row.dotted), expected);
    EXPECT_STREQ(static_cast<const char*>(CString(*oid)), row.dotted);
    // Copies are plain identifiers with the same value.
    std::unique_ptr<CASN1Type> copy(oid->clone());
    EXPECT_EQ(typeid(*copy), typeid(CASN1_OBJECT_IDENTIFIER));
    EXPECT_EQ(encodedHex(*copy), expected);
    // Equal to the decoded identifier and to no other constant.
    EXPECT_EQ(*oid == dynamic_cast<CASN1_OBJECT_IDENTIFIER&>(*decode(fromHex(expected))), 1);
    for (const WellKnownRow& other : kRows)
        EXPECT_EQ(*oid == *other.make(), std::string(other.name) == row.name) << other.name;
    CASN1_md2 receiver;  // any constant takes another's value: they share the identifier octet
    EXPECT_EQ(receiver.moveFrom(oid->cloneAndDie()), 1);
    EXPECT_EQ(encodedHex(receiver), expected);
    EXPECT_EQ(oid->GetSize(), 0);
}

INSTANTIATE_TEST_SUITE_P(Table, WellKnownOidTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WellKnownOidValues, CopiesAndAssignmentsKeepTheValue) {
    const CASN1_sha1WithRSAEncryption original, copy(original);
    CASN1_sha1WithRSAEncryption assigned;
    assigned = copy;
    EXPECT_EQ(encodedHex(assigned), "06092A864886F70D010105");
}

}  // namespace
