// Names, serial numbers and validity times of certificates made by `openssl req`, read
// attribute by attribute and compared with OpenSSL's view of the same certificate.
#include <gtest/gtest.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <ctime>
#include <memory>
#include <string>

#include "tests/asn1/asn1_test_util.h"
#include "tests/x509/x509_test_util.h"
#include "vorlan/asn1/integer.h"
#include "vorlan/x509/rdnsequence.h"
#include "vorlan/x509/serialnumber.h"
#include "vorlan/x509/utctime.h"

namespace {

using namespace asn1test;
using x509test::makeCertificate;
using x509test::x509Print;

struct X509Free {
    void operator()(X509* x) const { X509_free(x); }
};

// The components of the certificate's tbsCertificate from the serial number on.
struct Fields {
    explicit Fields(const Octets& der) : tree(decode(der)) {
        auto& tbs = dynamic_cast<CASN1_CONSTRUCTED_TYPE&>(dynamic_cast<CASN1_CONSTRUCTED_TYPE&>(*tree).GetComponent(0));
        const int first = tbs.GetComponent(0).identifier == ASN1ContextTag(0) ? 1 : 0;
        serial = &tbs.GetComponent(first);
        issuer = &tbs.GetComponent(first + 2);
        validity = &dynamic_cast<CASN1_CONSTRUCTED_TYPE&>(tbs.GetComponent(first + 3));
        subject = &tbs.GetComponent(first + 4);
    }
    std::unique_ptr<CASN1Type> tree;
    CASN1Type *serial, *issuer, *subject;
    CASN1_CONSTRUCTED_TYPE* validity;
};

std::string dotted(const CAttributeValue& attribute) {
    CASN1_AttributeValueAssertion assertion(attribute);
    CString text;
    dynamic_cast<CASN1_OBJECT_IDENTIFIER&>(assertion.GetComponent(0)).GetDecimalDottedString(text);
    return text.str();
}

std::string stripped(const std::string& line, const char* prefix) { return line.substr(std::strlen(prefix)); }

struct Subject {
    const char* dn;
    const char* stringMask;
    const char* nameopt;
};

// Printable/T61/IA5 values, UTF8 values, multi-valued RDNs, RFC 4514 escapes, types the
// library does not know (DC, UID, serialNumber, a private one).
const Subject kSubjects[] = {
    {"C=DE\nST=Baden-W\xC3\xBCrttemberg\nO=Vorlan Test\nOU=Sales\n+CN=J\xC3\xBCrgen M\xC3\xBCller\n"
     "emailAddress=Erika@Example.org\ntitle=Dr.\nSN=M\xC3\xBCller\n",
     "nombstr", "esc_2253,esc_ctrl,utf8,dn_rev,sep_comma_plus_space,sname"},
    {"C=DE\nO=Vorlan Test\n0.OU=a, \"quoted\" <x>;y\n+CN=\\#hash\n+1.OU=back\\\\slash\nCN=Erika Mustermann\n"
     "L=K\xC3\xB6ln \xE2\x82\xAC\nDC=example\nUID=admin\npostalCode=12345\n",
     "utf8only", "esc_2253,esc_ctrl,utf8,dn_rev,sep_comma_plus_space,sname"},
    {"serialNumber=admin\nvorlanTest=odd\n", "utf8only", "oid,dump_all,dump_der,dn_rev,sep_comma_plus_space"},
};

TEST(NamesWithOpenSSL, SubjectsReadAttributeByAttributeAndPrintAsOpenSSLDoes) {
    for (const Subject& row : kSubjects) {
        SCOPED_TRACE(row.dn);
        const Octets der = makeCertificate(row.dn, row.stringMask);
        Fields fields(der);
        CDistinguishedName name;
        CASN1_RDNSequence::Read(*fields.subject, name);

        EXPECT_EQ(name.GetOneLine().str(), stripped(x509Print(der, "-subject -nameopt " + std::string(row.nameopt)), "subject="));

        const unsigned char* at = der.data();
        std::unique_ptr<X509, X509Free> peer(d2i_X509(nullptr, &at, static_cast<long>(der.size())));
        const X509_NAME* peerName = X509_get_subject_name(peer.get());
        int entry = 0;
        for (int r = 0; r < name.GetSize(); ++r)
            for (int a = 0; a < name[r]->m_attributes.GetSize(); ++a, ++entry) {
                ASSERT_LT(entry, X509_NAME_entry_count(peerName));
                const X509_NAME_ENTRY* e = X509_NAME_get_entry(peerName, entry);
                const CAttributeValue& ours = *name[r]->m_attributes[a];
                char oid[128];
                OBJ_obj2txt(oid, sizeof oid, X509_NAME_ENTRY_get_object(e), 1);
                const ASN1_STRING* value = X509_NAME_ENTRY_get_data(e);
                EXPECT_EQ(X509_NAME_ENTRY_set(e), r);
                EXPECT_EQ(dotted(ours), oid);
                EXPECT_EQ(ours.m_nStringType, ASN1_STRING_type(value));
                EXPECT_EQ(ours.m_strValue.str(), std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)),
                                                             static_cast<size_t>(ASN1_STRING_length(value))));
            }
        EXPECT_EQ(entry, X509_NAME_entry_count(peerName));

        // Written back octet for octet, unknown types included.
        CByteArray subjectDER;
        fields.subject->encodeTo(subjectDER);
        EXPECT_EQ(encodedHex(CASN1_RDNSequence(name)), toHex(subjectDER));
        CDistinguishedName issuer;
        CASN1_RDNSequence::Read(*fields.issuer, issuer);
        EXPECT_TRUE(issuer == name);
    }
}

TEST(NamesWithOpenSSL, UnknownTypesStayDistinct) {
    CDistinguishedName uid, serial, again;
    CASN1_RDNSequence::Read(*Fields(makeCertificate("DC=example\nUID=admin\n", "utf8only")).subject, uid);
    CASN1_RDNSequence::Read(*Fields(makeCertificate("DC=example\nserialNumber=admin\n", "utf8only")).subject, serial);
    CASN1_RDNSequence::Read(*Fields(makeCertificate("DC=example\nUID=admin\n", "utf8only")).subject, again);
    EXPECT_EQ(uid[1]->m_attributes[0]->m_strLabel, "Unknown");
    EXPECT_FALSE(uid == serial);
    EXPECT_FALSE(__isTheSameOwner(uid, serial));
    EXPECT_TRUE(uid == again);
}

TEST(NamesWithOpenSSL, SerialNumbersAndValidityTimesMatchOpenSSL) {
    for (const char* serialText : {"0xFB", "-0xFB", "-5", "0x00C0FFEE00112233445566778899AABBCCDDEEFF"}) {
        SCOPED_TRACE(serialText);
        const Octets der = makeCertificate("CN=t\n", "utf8only", serialText);
        Fields fields(der);
        const CSerialNumber serial = dynamic_cast<CASN1_INTEGER&>(*fields.serial);
        EXPECT_EQ("serial=" + static_cast<CString>(serial).str(), x509Print(der, "-serial"));

        const unsigned char* at = der.data();
        std::unique_ptr<X509, X509Free> peer(d2i_X509(nullptr, &at, static_cast<long>(der.size())));
        const ASN1_TIME* peerTimes[] = {X509_get0_notBefore(peer.get()), X509_get0_notAfter(peer.get())};
        for (int i = 0; i < 2; ++i) {
            CUTCTime time(std::time_t{0});
            dynamic_cast<CASN1_UTCTime&>(fields.validity->GetComponent(i)).SetDataTo(time);
            struct tm fieldsOfPeer {};
            ASN1_TIME_to_tm(peerTimes[i], &fieldsOfPeer);
            EXPECT_EQ(time.GetTime(), timegm(&fieldsOfPeer));
            EXPECT_EQ(encodedHex(CASN1_UTCTime(time)), encodedHex(fields.validity->GetComponent(i)));
        }
    }
}

}  // namespace
