// CSerialNumber and the INTEGER conversions, checked against OpenSSL's INTEGER and BIGNUM:
// the sign survives, numbers compare by value, long serials are refused.
#include <gtest/gtest.h>
#include <openssl/asn1.h>
#include <openssl/bn.h>
#include <openssl/evp.h>

#include <memory>
#include <string>

#include "tests/asn1/asn1_test_util.h"
#include "tests/common/archive_io.h"
#include "tests/x509/x509_test_util.h"
#include "vorlan/asn1/integer.h"
#include "vorlan/x509/serialnumber.h"

namespace {

using namespace asn1test;

struct BNFree {
    void operator()(BIGNUM* bn) const { BN_free(bn); }
};
using BN = std::unique_ptr<BIGNUM, BNFree>;

Octets integerDER(const std::string& contentsHex) {
    const Octets contents = fromHex(contentsHex);
    const size_t n = contents.size();
    Octets der = n < 128 ? Octets{0x02, static_cast<unsigned char>(n)}
                         : Octets{0x02, 0x82, static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(n)};
    for (unsigned char octet : contents) der.push_back(octet);
    return der;
}

CSerialNumber serialOf(const std::string& contentsHex) {
    return static_cast<CASN1_INTEGER&>(*decode(integerDER(contentsHex)));
}

// The number of two's-complement contents by BIGNUM arithmetic (OpenSSL's INTEGER parser
// refuses the padded forms that certificates still carry).
BN peerNumber(const std::string& contentsHex) {
    const Octets contents = fromHex(contentsHex);
    BN bn(BN_bin2bn(contents.data(), static_cast<int>(contents.size()), nullptr));
    if (!contents.empty() && contents[0] >= 0x80) {
        BN power(BN_new());
        BN_set_bit(power.get(), static_cast<int>(8 * contents.size()));
        BN_sub(bn.get(), bn.get(), power.get());
    }
    return bn;
}

std::string peerHex(const BIGNUM* bn) {
    char* hex = BN_bn2hex(bn);
    std::string text = hex;
    OPENSSL_free(hex);
    return text;
}

const char* const kContents[] = {"05", "000005", "7F", "0080", "00FB", "FB", "FF05", "80", "FF80", "FFFFFB",
                                 "0100", "FF00", "00FFFFFFFFFFFFFFFFFF", "8000000000000000000001"};

TEST(SerialNumber, IntegerConversionKeepsSignAndMagnitudeAsOpenSSLReadsThem) {
    for (const char* contents : kContents) {
        SCOPED_TRACE(contents);
        const CSerialNumber serial = serialOf(contents);
        EXPECT_EQ(std::string(static_cast<CString>(serial)), peerHex(peerNumber(contents).get()));
    }
    EXPECT_EQ(std::string(static_cast<CString>(serialOf("00"))), "00");
    EXPECT_EQ(serialOf("").GetSize(), 0);
    EXPECT_EQ(static_cast<CString>(CSerialNumber(fromHex("0AFF").data(), 2)), "0AFF");
}

TEST(SerialNumber, EqualityIsNumericAsBNCmp) {
    for (const char* a : kContents)
        for (const char* b : kContents) {
            SCOPED_TRACE(std::string(a) + " vs " + b);
            EXPECT_EQ(serialOf(a) == serialOf(b), BN_cmp(peerNumber(a).get(), peerNumber(b).get()) == 0);
        }
    const Octets zeros(300, 0), one{0, 0, 1};
    EXPECT_TRUE(CSerialNumber() == CSerialNumber(zeros.data(), 300));
    EXPECT_TRUE(CSerialNumber(one.data(), 3) == CSerialNumber(one.data() + 2, 1));
    Octets longA(300, 0x11), longB = longA;
    longB[0] = 0x22;  // equal in their last 256 octets only
    EXPECT_FALSE(CSerialNumber(longA.data(), 300) == CSerialNumber(longB.data(), 300));
}

TEST(SerialNumber, IntegerFromSerialEncodesLikeOpenSSL) {
    for (const char* contents : kContents) {
        SCOPED_TRACE(contents);
        BN number = peerNumber(contents);
        ASN1_INTEGER* integer = BN_to_ASN1_INTEGER(number.get(), nullptr);
        unsigned char* der = nullptr;
        const int n = i2d_ASN1_INTEGER(integer, &der);
        EXPECT_EQ(encodedHex(CASN1_INTEGER(serialOf(contents))), toHex(der, static_cast<size_t>(n)));
        OPENSSL_free(der);
        ASN1_INTEGER_free(integer);
    }
}

TEST(SerialNumber, MagnitudesBeyond2048BitsAreRefused) {
    const std::string limit = "00" + std::string(512, 'F'), over = "01" + std::string(512, '0');
    EXPECT_EQ(serialOf(limit).GetSize(), 256);
    EXPECT_EQ(serialOf("FF" + std::string(510, '0')).GetSize(), 256);  // -2^2040
    EXPECT_TRUE(x509test::refused([&] { serialOf(over); }));
}

TEST(SerialNumber, ArchiveKeepsTheByteArrayFormAndTheSign) {
    const CSerialNumber positive = serialOf("00FB"), negative = serialOf("FB");
    EXPECT_EQ(testcommon::ToHex(testcommon::Store([&](CArchive& ar) { const_cast<CSerialNumber&>(positive).Serialize(ar); })),
              "0100fb");
    for (const CSerialNumber* serial : {&positive, &negative}) {
        auto octets = testcommon::Store([&](CArchive& ar) { const_cast<CSerialNumber*>(serial)->Serialize(ar); });
        testcommon::Loader in(octets);
        CSerialNumber loaded;
        loaded.Serialize(in.ar);
        EXPECT_TRUE(loaded == *serial);
        EXPECT_EQ(loaded.m_bNegative, serial->m_bNegative);
        // A reader of plain byte arrays refuses the negative one instead of misreading it.
        testcommon::Loader plain(octets);
        CByteArray bytes;
        EXPECT_EQ(testcommon::CauseOf([&] { bytes.Serialize(plain.ar); }),
                  serial->m_bNegative ? CArchiveException::generic : testcommon::kNothingThrown);
    }
}

TEST(SerialNumber, RandomPermutationIsThreeRandomsTheDigestAndFiveRandoms) {
    CSerialNumber serial = serialOf("FB");
    serial.RandomPermutation();
    ASSERT_EQ(serial.GetSize(), 24);
    EXPECT_EQ(serial.m_bNegative, 0);
    unsigned char digest[16];
    const unsigned char previous = 0x05;
    EVP_Digest(&previous, 1, digest, nullptr, EVP_md5(), nullptr);
    EXPECT_EQ(toHex(serial.GetData() + 3, 16), toHex(digest, 16));
    for (int i : {0, 1, 2, 19, 20, 21, 22, 23}) EXPECT_NE(serial.GetData()[i], 0);
    CSerialNumber fresh;
    fresh.RandomPermutation();
    EXPECT_EQ(fresh.GetSize(), 24);
    EXPECT_FALSE(fresh == serial);
}

}  // namespace
