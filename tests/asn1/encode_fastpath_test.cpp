// Encoders that write an element's header and contents straight into a sink's block, and
// the in-place sink of encodeTo(CByteArray&): block protocol, overflow and changed values.
#include <openssl/asn1.h>
#include <openssl/bn.h>
#include <openssl/x509.h>

#include <vector>

#include "tests/asn1/asn1_test_util.h"
#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/octetstring.h"

namespace {

using asn1test::Octets;

// Component `index` of a constructed value, as a constructed value.
CASN1_CONSTRUCTED_TYPE* componentOf(CASN1Type& value, int index) {
    auto* constructed = dynamic_cast<CASN1_CONSTRUCTED_TYPE*>(&value);
    return constructed ? dynamic_cast<CASN1_CONSTRUCTED_TYPE*>(constructed->GetComponents()[index]) : nullptr;
}

// One DER element with a definite length (test-side builder, independent of the encoder).
Octets tlv(unsigned char identifier, const Octets& contents) {
    Octets out{identifier};
    const size_t n = contents.size();
    if (n < 128) {
        out.push_back(static_cast<unsigned char>(n));
    } else {
        Octets length;
        for (size_t v = n; v; v >>= 8) length.insert(length.begin(), static_cast<unsigned char>(v));
        out.push_back(static_cast<unsigned char>(0x80 | length.size()));
        out.insert(out.end(), length.begin(), length.end());
    }
    out.insert(out.end(), contents.begin(), contents.end());
    return out;
}

// A SEQUENCE of `count` elements of `size` contents octets each, of INTEGER (a primitive
// class), UTF8String (a window on the decoded octets) and PrintableString (a string class).
Octets sequenceOf(unsigned char identifier, size_t size, int count) {
    Octets body;
    for (int i = 0; i < count; ++i) {
        const Octets element = tlv(identifier, Octets(size, static_cast<unsigned char>(0x41 + i % 26)));
        body.insert(body.end(), element.begin(), element.end());
    }
    return tlv(0x30, body);
}

// Records the blocks a writer hands on.
class BlockRecorder : public virtual CBufferedFilterNS {
public:
    explicit BlockRecorder(unsigned long blockSize) { SetBlockSize(blockSize); }
    void ProcessBlock(int final, const unsigned char* data, unsigned long length) override {
        if (!data) {
            data = m_pBlock;
            length = m_dwFill;
        }
        (final ? finalSize : sizes.emplace_back()) = length;
        octets.insert(octets.end(), data, data + length);
    }
    std::vector<unsigned long> sizes;
    unsigned long finalSize = 0;
    Octets octets;
};

TEST(EncodeFastPath, ElementWritesHandOnWholeBlocksOnly) {
    const std::vector<Octets> inputs = {
        asn1test::certificate(),
        sequenceOf(0x02, 5, 300),   // headers and contents straddle every block boundary
        sequenceOf(0x1A, 33, 80),   // windows longer than the short-copy sizes
        sequenceOf(0x13, 130, 20),  // long-form lengths
        sequenceOf(0x04, 1500, 3),  // contents longer than a block
    };
    for (const Octets& input : inputs) {
        auto value = asn1test::decode(input);
        for (unsigned long blockSize : {7ul, 64ul, 1024ul}) {
            BlockRecorder sink(blockSize);
            value->writeEncoding(sink, 0, 0, 0);
            sink.Finish();
            EXPECT_EQ(asn1test::toHex(sink.octets), asn1test::toHex(input)) << "block " << blockSize;
            for (unsigned long size : sink.sizes) EXPECT_EQ(size, blockSize);
            EXPECT_LT(sink.finalSize, blockSize);
            EXPECT_EQ(sink.m_dwTotal, input.size());
        }
        EXPECT_EQ(asn1test::encodedHex(*value), asn1test::toHex(input));
    }
}

// An INTEGER whose length understates what its writer writes by `m_dwShort` octets.
class CUnderstatedInteger : public CASN1_INTEGER {
public:
    CUnderstatedInteger(unsigned long value, unsigned long shortBy) : CASN1_INTEGER(value), m_dwShort(shortBy) {}
    unsigned long getEncodedLength(int contentsOnly) const override {
        return CASN1_INTEGER::getEncodedLength(contentsOnly) - m_dwShort;
    }
    unsigned long m_dwShort;
};

TEST(EncodeFastPath, EncodeToByteArrayRefusesWriterLongerThanItsLength) {
    for (unsigned long shortBy : {1ul, 3ul, 6ul}) {
        CUnderstatedInteger value(0x01020304, shortBy);
        CByteArray out;
        EXPECT_EQ(testcommon::CauseOf<CFileException>([&] { value.encodeTo(out); }), CFileException::diskFull)
            << shortBy;
    }
}

TEST(EncodeFastPath, LengthsKeptByThePassServeEveryWritingOrder) {
    Octets deep = tlv(0x02, {1}), wide, mixed = asn1test::fromHex("A110 3080 3003020105 3180020107 0000 0000");
    for (int i = 0; i < 100; ++i) deep = tlv(0x30, deep);
    for (int i = 0; i < 100; ++i) {
        const Octets element = tlv(0x30, tlv(0x02, {static_cast<unsigned char>(i)}));
        wide.insert(wide.end(), element.begin(), element.end());
    }
    wide = tlv(0x30, wide);
    // More constructed values than the pass keeps inline, and indefinite lengths among definite ones.
    for (const Octets& octets : {deep, wide, mixed}) {
        const auto tree = asn1test::decode(octets);
        CByteArray summedFirst;  // the whole tree summed, then written
        tree->encodeTo(summedFirst);
        EXPECT_EQ(asn1test::toHex(summedFirst), asn1test::toHex(octets));
        CMemFile written;  // summed by the writers on the way
        tree->encodeTo(static_cast<CFile&>(written));
        EXPECT_EQ(asn1test::toHex(written.GetBuffer(), written.GetLength()), asn1test::toHex(octets));
        CMemFile contents;  // the outer header left out
        tree->encodeTo(static_cast<CFile&>(contents), 1);
        const unsigned long header = octets.size() - tree->getEncodedLength(1);
        EXPECT_EQ(asn1test::toHex(contents.GetBuffer(), contents.GetLength()),
                  asn1test::toHex(octets.data() + header, tree->getEncodedLength(1)));
    }
}

TEST(EncodeFastPath, EncodingFollowsChangesMadeBetweenEncodings) {
    auto certificate = asn1test::decode(asn1test::certificate());
    CByteArray before;
    certificate->encodeTo(before);
    auto* body = componentOf(*certificate, 0);
    ASSERT_NE(body, nullptr);
    auto* serial = dynamic_cast<CASN1_INTEGER*>(body->GetComponents()[1]);
    ASSERT_NE(serial, nullptr);

    // Serial numbers on both sides of the short/long length boundary and of the body's 2-octet length.
    for (int size : {1, 127, 128, 300}) {
        serial->SetSize(size);
        for (int i = 0; i < size; ++i) serial->SetAt(i, static_cast<BYTE>(0x11 + i));
        CByteArray der;
        certificate->encodeTo(der);
        const unsigned char* p = der.GetData();
        X509* parsed = d2i_X509(nullptr, &p, der.GetSize());
        ASSERT_NE(parsed, nullptr) << size;
        EXPECT_EQ(p, der.GetData() + der.GetSize());
        BIGNUM* number = ASN1_INTEGER_to_BN(X509_get0_serialNumber(parsed), nullptr);
        std::vector<unsigned char> magnitude(static_cast<size_t>(BN_num_bytes(number)));
        BN_bn2bin(number, magnitude.data());
        EXPECT_EQ(asn1test::toHex(magnitude.data(), magnitude.size()), asn1test::toHex(serial->GetData(), size));
        BN_free(number);
        X509_free(parsed);
    }

    // A component added to a name through the public component list.
    auto* issuer = componentOf(*body, 3);
    ASSERT_NE(issuer, nullptr);
    const int names = issuer->GetComponents().GetSize();
    issuer->AddObject(issuer->GetComponents()[0]->clone());
    CByteArray grown;
    certificate->encodeTo(grown);
    auto reread = asn1test::decode(Octets(grown.GetData(), grown.GetData() + grown.GetSize()));
    auto* rereadIssuer = componentOf(*componentOf(*reread, 0), 3);
    EXPECT_EQ(rereadIssuer->GetComponents().GetSize(), names + 1);
    EXPECT_NE(grown.GetSize(), before.GetSize());
}

}  // namespace
