// The encoding buffer, the length functions and the buffered sink; encoders that write an
// element's header and contents straight into a sink's block, and the in-place sink of
// encodeTo(CByteArray&): block protocol, overflow and changed values.
#include <openssl/asn1.h>
#include <openssl/bn.h>
#include <openssl/x509.h>

#include <filesystem>
#include <tuple>
#include <vector>

#include "asn1_test_util.h"

using namespace asn1test;

TEST(LengthFunctions, LengthsUseMinimalOctetsAndExtractionReportsEveryCode) {
    const std::tuple<unsigned long, int, unsigned long> lengths[] = {
        {127, 0, 129}, {128, 0, 131}, {256, 0, 260}, {0x1000000, 0, 0x1000006}, {0, 1, 4}};
    for (const auto& [contents, indefinite, total] : lengths)
        EXPECT_EQ(___computeEncodedLength(1, contents, indefinite), total) << contents;
    const std::tuple<const char*, unsigned long, int> rows[] = {
        {"30820100", 4, 260}, {"3084", 2, -1},  {"3085000000000000", 8, -2}, {"3080", 2, -3},       {"1F01", 2, -4},
        {"30", 1, -1},        {"308100", 3, 3}, {"30847FFFFFFF", 6, -2},     {"3083010000", 4, -1}, {"0400", 2, 2},
    };
    for (const auto& [hex, available, expected] : rows)
        EXPECT_EQ(___extractEncodingLength(fromHex(hex).data(), available), expected) << hex;
}

// The caller's buffer is copied, read in place or adopted (and freed: LeakSanitizer checks it);
// framework failures become the decoding exception keeping their cause; copies to and from files
// move exact counts and fail short.
TEST(DEREncoding, BufferModesFailuresAndFileCopies) {
    unsigned char caller[3] = {1, 2, 3};
    CDEREncoding copied(0, caller, 3, 0, 1), inPlace(0, caller, 3, 0, 0);
    caller[0] = 9;
    CDEREncoding owner(0, new unsigned char[2]{7, 8}, 2, 1, 0);
    EXPECT_TRUE(copied.ReadByte() == 1 && inPlace.ReadByte() == 9 && owner.ReadByte() == 7);
    // Written past their end, a copy and an adopted buffer grow into memory of their own.
    const Octets pattern = testcommon::Pattern(3000);
    for (CDEREncoding* grown : {&copied, &owner}) {
        grown->Seek(0, CFile::end);
        grown->Write(pattern.data(), pattern.size());
        Octets back(grown->Seek(0, CFile::current));
        grown->SeekToBegin();
        EXPECT_EQ(grown->Read(back.data(), back.size()), back.size());
        EXPECT_EQ(toHex(back.data() + back.size() - 3000, 3000), toHex(pattern.data(), 3000));
        EXPECT_EQ(back[0], grown == &copied ? 1 : 7);
    }

    CDEREncoding empty(0, CByteArray());
    EXPECT_EQ(DecodingReason([&] { empty.ReadByte(); }),
              "CException -> CDERDecodingException: unexpected end of file");
    EXPECT_EQ(DecodingReason([&] { empty.Seek(-5, CFile::begin); }),
              "CException -> CDERDecodingException: bad seek");
    EXPECT_STREQ(LastDecodingReason(), "CException -> CDERDecodingException: bad seek");

    const Octets octets = testcommon::Pattern(3000);
    CDEREncoding der(0, const_cast<unsigned char*>(octets.data()), octets.size(), 0, 0);
    CMemFile target;
    der.Read(target, 2500);
    EXPECT_EQ(toHex(target.GetBuffer(), target.GetLength()), toHex(octets.data(), 2500));
    EXPECT_THROW(der.Read(target, 501), CDERDecodingException*);
    CDEREncoding sink(0);
    target.SeekToBegin();
    sink.Write(target, 2000);
    EXPECT_TRUE(sink.Seek(0, CFile::current) == 2000 && throwsFileException([&] { sink.Write(target, 501); }));
}

TEST(BufferedFilter, WholeBlocksGoStraightFromTheCallersMemory) {
    Octets data(3100, 0x5A);
    RecordingSink sink(1024);
    sink.Write(data.data(), 2500);
    sink.Write(data.data() + 2500, 600);
    sink.Finish();
    EXPECT_EQ(sink.blocks, (std::vector<Block>{{0, data.data(), 1024}, {0, data.data() + 1024, 1024},
                                               {0, nullptr, 1024}, {1, nullptr, 28}}));
}

TEST(DEREncoding, FileBackedOctetStringStreamsAndRemovesItsTemporaryFile) {
    const Octets contents = testcommon::Pattern(3000);
    const testcommon::TempFile temp(contents);
    {
        auto* file = new CFile(temp.Path(), CFile::modeRead);
        file->Seek(1000, CFile::begin);
        CASN1_OCTET_STRING streamed(file, 1500, 1, 1);
        EXPECT_EQ(encodedHex(streamed), "048205DC" + toHex(contents.data() + 1000, 1500));
        CASN1_OCTET_STRING overlong(new CFile(temp.Path(), CFile::modeRead), 3001, 1, 0);
        EXPECT_TRUE(throwsFileException([&] { encodedHex(overlong); }));
    }
    EXPECT_FALSE(std::filesystem::exists(temp.Path()));  // the temporary file went with the last reference
}

namespace {

// Component `index` of a constructed value, as a constructed value.
CASN1_CONSTRUCTED_TYPE* componentOf(CASN1Type& value, int index) {
    auto* constructed = dynamic_cast<CASN1_CONSTRUCTED_TYPE*>(&value);
    return constructed ? dynamic_cast<CASN1_CONSTRUCTED_TYPE*>(constructed->GetComponents()[index]) : nullptr;
}

// A SEQUENCE of `count` elements of `size` contents octets each, of INTEGER (a primitive
// class), UTF8String (a window on the decoded octets) and PrintableString (a string class).
Octets sequenceOf(unsigned char identifier, size_t size, int count) {
    Octets body;
    for (int i = 0; i < count; ++i) {
        const Octets element = Tlv(identifier, Octets(size, static_cast<unsigned char>(0x41 + i % 26)));
        body.insert(body.end(), element.begin(), element.end());
    }
    return Tlv(0x30, body);
}

TEST(EncodeFastPath, ElementWritesHandOnWholeBlocksOnly) {
    // Headers and contents that straddle every block boundary, windows longer than the short-copy
    // sizes, long-form lengths, contents longer than a block.
    const std::vector<Octets> inputs = {certificate(), sequenceOf(0x02, 5, 300), sequenceOf(0x1A, 33, 80),
                                        sequenceOf(0x13, 130, 20), sequenceOf(0x04, 1500, 3)};
    for (const Octets& input : inputs) {
        auto value = Built(input);
        for (unsigned long blockSize : {7ul, 64ul, 1024ul}) {
            RecordingSink sink(blockSize);
            value->writeEncoding(sink, 0, 0, 0);
            sink.Finish();
            EXPECT_EQ(toHex(sink.octets), toHex(input)) << "block " << blockSize;
            for (const auto& [final, data, length] : sink.blocks)
                EXPECT_TRUE(final ? length < blockSize : length == blockSize);
            EXPECT_EQ(sink.m_dwTotal, input.size());
        }
        EXPECT_EQ(encodedHex(*value), toHex(input));
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
        CByteArray out;
        EXPECT_EQ(testcommon::CauseOf<CFileException>([&] { CUnderstatedInteger(0x01020304, shortBy).encodeTo(out); }),
                  CFileException::diskFull);
    }
}

TEST(EncodeFastPath, LengthsKeptByThePassServeEveryWritingOrder) {
    Octets deep = Tlv(0x02, {1}), wide, mixed = fromHex("A110 3080 3003020105 3180020107 0000 0000");
    for (int i = 0; i < 100; ++i) deep = Tlv(0x30, deep);
    for (int i = 0; i < 100; ++i) {
        const Octets element = Tlv(0x30, Tlv(0x02, {static_cast<unsigned char>(i)}));
        wide.insert(wide.end(), element.begin(), element.end());
    }
    wide = Tlv(0x30, wide);
    // More constructed values than the pass keeps inline, and indefinite lengths among definite ones.
    for (const Octets& octets : {deep, wide, mixed}) {
        const auto tree = Built(octets);
        EXPECT_EQ(encodedHex(*tree), toHex(octets));  // the whole tree summed, then written
        CMemFile written;  // summed by the writers on the way
        tree->encodeTo(static_cast<CFile&>(written));
        EXPECT_EQ(toHex(written.GetBuffer(), written.GetLength()), toHex(octets));
        CMemFile contents;  // the outer header left out
        tree->encodeTo(static_cast<CFile&>(contents), 1);
        const unsigned long header = octets.size() - tree->getEncodedLength(1);
        EXPECT_EQ(toHex(contents.GetBuffer(), contents.GetLength()),
                  toHex(octets.data() + header, tree->getEncodedLength(1)));
    }
}

TEST(EncodeFastPath, EncodingFollowsChangesMadeBetweenEncodings) {
    auto cert = Built(certificate());
    const unsigned long before = cert->getEncodedLength(0);
    auto* body = componentOf(*cert, 0);
    ASSERT_NE(body, nullptr);
    auto* serial = dynamic_cast<CASN1_INTEGER*>(body->GetComponents()[1]);
    ASSERT_NE(serial, nullptr);
    // Serial numbers on both sides of the short/long length boundary and of the body's 2-octet length.
    for (int size : {1, 127, 128, 300}) {
        serial->SetSize(size);
        for (int i = 0; i < size; ++i) serial->SetAt(i, static_cast<BYTE>(0x11 + i));
        CByteArray der;
        cert->encodeTo(der);
        const unsigned char* p = der.GetData();
        X509* parsed = d2i_X509(nullptr, &p, der.GetSize());
        ASSERT_NE(parsed, nullptr) << size;
        EXPECT_EQ(p, der.GetData() + der.GetSize());
        BIGNUM *number = ASN1_INTEGER_to_BN(X509_get0_serialNumber(parsed), nullptr),
               *expected = BN_bin2bn(serial->GetData(), size, nullptr);
        EXPECT_EQ(BN_cmp(number, expected), 0) << size;
        BN_free(number), BN_free(expected), X509_free(parsed);
    }
    // A component added to a name through the public component list.
    auto* issuer = componentOf(*body, 3);
    ASSERT_NE(issuer, nullptr);
    const int names = issuer->GetComponents().GetSize();
    issuer->AddObject(issuer->GetComponents()[0]->clone());
    CByteArray grown;
    cert->encodeTo(grown);
    auto reread = Built(Octets(grown.GetData(), grown.GetData() + grown.GetSize()));
    EXPECT_EQ(componentOf(*componentOf(*reread, 0), 3)->GetComponents().GetSize(), names + 1);
    EXPECT_NE(static_cast<unsigned long>(grown.GetSize()), before);
}

}  // namespace
