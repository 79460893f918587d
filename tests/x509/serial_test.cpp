// CSerialNumber and the INTEGER conversions, checked against OpenSSL's INTEGER and BIGNUM:
// the sign survives, numbers compare by value, long serials are refused.
#include <openssl/asn1.h>
#include <openssl/evp.h>

#include "peer.h"
#include "vorlan/asn1/integer.h"
#include "vorlan/x509/serialnumber.h"

namespace x509test {
namespace {

using BN = std::unique_ptr<BIGNUM, decltype(&BN_free)>;

CSerialNumber SerialOf(const std::string& contentsHex) {
    return static_cast<CASN1_INTEGER&>(*Built(Tlv(0x02, FromHex(contentsHex))));
}

// The number of two's-complement contents by BIGNUM arithmetic (OpenSSL's INTEGER parser
// refuses the padded forms that certificates still carry).
BN PeerNumber(const std::string& contentsHex) {
    const Octets contents = FromHex(contentsHex);
    BN bn(BN_bin2bn(contents.data(), static_cast<int>(contents.size()), nullptr), BN_free);
    if (!contents.empty() && contents[0] >= 0x80) {
        BN power(BN_new(), BN_free);
        BN_set_bit(power.get(), static_cast<int>(8 * contents.size()));
        BN_sub(bn.get(), bn.get(), power.get());
    }
    return bn;
}

const char* const kContents[] = {"05", "000005", "7F", "0080", "00FB", "FB", "FF05", "80", "FF80", "FFFFFB",
                                 "0100", "FF00", "00FFFFFFFFFFFFFFFFFF", "8000000000000000000001"};

TEST(SerialNumber, IntegerConversionsKeepSignAndMagnitudeCompareAsOpenSSLAndStopAt2048Bits) {
    for (const char* contents : kContents) {
        SCOPED_TRACE(contents);
        const CSerialNumber serial = SerialOf(contents);
        const BN number = PeerNumber(contents);
        char* hex = BN_bn2hex(number.get());
        EXPECT_EQ(static_cast<CString>(serial).str(), hex);
        OPENSSL_free(hex);
        const std::unique_ptr<ASN1_INTEGER, decltype(&ASN1_INTEGER_free)> integer(
            BN_to_ASN1_INTEGER(number.get(), nullptr), ASN1_INTEGER_free);
        EXPECT_EQ(Encoded(CASN1_INTEGER(serial)), Der(integer.get(), i2d_ASN1_INTEGER));
        for (const char* other : kContents)
            EXPECT_EQ(serial == SerialOf(other), BN_cmp(number.get(), PeerNumber(other).get()) == 0) << other;
    }
    EXPECT_EQ(static_cast<CString>(SerialOf("00")), "00");
    EXPECT_EQ(SerialOf("").GetSize(), 0);
    EXPECT_EQ(static_cast<CString>(CSerialNumber(FromHex("0AFF").data(), 2)), "0AFF");
    const Octets zeros(300, 0), one{0, 0, 1};
    EXPECT_TRUE(CSerialNumber() == CSerialNumber(zeros.data(), 300));
    EXPECT_TRUE(CSerialNumber(one.data(), 3) == CSerialNumber(one.data() + 2, 1));
    Octets longA(300, 0x11), longB = longA;
    longB[0] = 0x22;  // equal in their last 256 octets only
    EXPECT_FALSE(CSerialNumber(longA.data(), 300) == CSerialNumber(longB.data(), 300));
    // Magnitudes beyond 2,048 bits are refused.
    EXPECT_EQ(SerialOf("00" + std::string(512, 'F')).GetSize(), 256);
    EXPECT_EQ(SerialOf("FF" + std::string(510, '0')).GetSize(), 256);  // -2^2040
    EXPECT_TRUE(Refused([&] { SerialOf("01" + std::string(512, '0')); }));
}

TEST(SerialNumber, ArchiveAndCopiesKeepTheByteArrayFormAndTheSign) {
    const CSerialNumber positive = SerialOf("00FB"), negative = SerialOf("FB");
    EXPECT_EQ(ToHex(Stored(positive)), "0100fb");
    EXPECT_TRUE(CSerialNumber(negative).m_bNegative && !(CSerialNumber(negative) == positive));  // copies keep it
    for (const CSerialNumber* serial : {&positive, &negative}) {
        CSerialNumber loaded;
        EXPECT_EQ(LoadInto(loaded, Stored(*serial)), kNothingThrown);
        EXPECT_TRUE(loaded == *serial && loaded.m_bNegative == serial->m_bNegative);
        // A reader of plain byte arrays refuses the negative one instead of misreading it.
        CByteArray bytes;
        EXPECT_EQ(LoadInto(bytes, Stored(*serial)), serial->m_bNegative ? CArchiveException::generic : kNothingThrown);
    }
}

TEST(SerialNumber, RandomPermutationIsThreeRandomsTheDigestOfThePreviousAndFiveRandoms) {
    CSerialNumber serial = SerialOf("FB"), fresh;
    serial.RandomPermutation();
    fresh.RandomPermutation();
    ASSERT_TRUE(serial.GetSize() == 24 && fresh.GetSize() == 24 && !serial.m_bNegative);
    Octets digest(16);
    const unsigned char previous = 0x05;
    EVP_Digest(&previous, 1, digest.data(), nullptr, EVP_md5(), nullptr);
    EXPECT_EQ(Octets(serial.GetData() + 3, serial.GetData() + 19), digest);
    for (int i : {0, 1, 2, 19, 20, 21, 22, 23}) EXPECT_NE(serial.GetData()[i], 0);
    EXPECT_FALSE(fresh == serial);
}

}  // namespace
}  // namespace x509test
