// The encoding buffer, the length functions and the buffered sink.
#include <filesystem>
#include <tuple>

#include "asn1_test_util.h"
#include "vorlan/asn1/filters.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/framework/memfile.h"

using namespace asn1test;

TEST(LengthFunctions, LengthsUseMinimalOctetsAndExtractionReportsEveryCode) {
    EXPECT_EQ(___computeEncodedLength(1, 127, 0), 129u);
    EXPECT_EQ(___computeEncodedLength(1, 128, 0), 131u);
    EXPECT_EQ(___computeEncodedLength(1, 256, 0), 260u);
    EXPECT_EQ(___computeEncodedLength(1, 0x1000000, 0), 0x1000000u + 6);
    EXPECT_EQ(___computeEncodedLength(1, 0, 1), 4u);
    const struct {
        const char* hex;
        unsigned long available;
        int expected;
    } rows[] = {
        {"30820100", 4, 260}, {"3084", 2, -1},    {"3085000000000000", 8, -2}, {"3080", 2, -3}, {"1F01", 2, -4},
        {"30", 1, -1},        {"308100", 3, 3},   {"30847FFFFFFF", 6, -2},     {"3083010000", 4, -1}, {"0400", 2, 2},
    };
    for (const auto& row : rows)
        EXPECT_EQ(___extractEncodingLength(fromHex(row.hex).data(), row.available), row.expected) << row.hex;
}

TEST(DEREncoding, BufferModesAdoptCopyOrReadInPlace) {
    unsigned char caller[3] = {1, 2, 3};
    CDEREncoding copied(0, caller, 3, 0, 1);
    CDEREncoding inPlace(0, caller, 3, 0, 0);
    caller[0] = 9;
    EXPECT_EQ(copied.ReadByte(), 1);
    EXPECT_EQ(inPlace.ReadByte(), 9);
    CDEREncoding owner(0, new unsigned char[2]{7, 8}, 2, 1, 0);  // frees the buffer; LeakSanitizer checks it
    EXPECT_EQ(owner.ReadByte(), 7);
}

TEST(DEREncoding, FrameworkFailuresBecomeTheDecodingExceptionKeepingTheirCause) {
    CDEREncoding der(0, CByteArray());
    EXPECT_EQ(testcommon::MessageOf<CDERDecodingException>([&] { der.ReadByte(); }),
              "CException -> CDERDecodingException: unexpected end of file");
    EXPECT_EQ(testcommon::MessageOf<CDERDecodingException>([&] { der.Seek(-5, CFile::begin); }),
              "CException -> CDERDecodingException: bad seek");
    EXPECT_STREQ(LastDecodingReason(), "CException -> CDERDecodingException: bad seek");
}

TEST(DEREncoding, FileCopiesMoveExactCountsAndFailShort) {
    const Octets octets = testcommon::Pattern(3000);
    CDEREncoding der(0, const_cast<unsigned char*>(octets.data()), octets.size(), 0, 0);
    CMemFile target;
    der.Read(target, 2500);
    EXPECT_EQ(toHex(target.GetBuffer(), target.GetLength()), toHex(octets.data(), 2500));
    EXPECT_THROW(der.Read(target, 501), CDERDecodingException*);

    CDEREncoding sink(0);
    target.SeekToBegin();
    sink.Write(target, 2000);
    EXPECT_EQ(sink.Seek(0, CFile::current), 2000);
    EXPECT_TRUE(throwsFileException([&] { sink.Write(target, 501); }));
}

// Records every block it is handed: final flag, where it lies, length.
using Call = std::tuple<int, const unsigned char*, unsigned long>;
class RecordingSink : public virtual CBufferedFilterNS {
public:
    RecordingSink() { SetBlockSize(1024); }
    void ProcessBlock(int final, const unsigned char* data, unsigned long length) override {
        calls.emplace_back(final, data, data ? length : m_dwFill);
    }
    std::vector<Call> calls;
};

TEST(BufferedFilter, WholeBlocksGoStraightFromTheCallersMemory) {
    Octets data(3100, 0x5A);
    RecordingSink sink;
    sink.Write(data.data(), 2500);
    sink.Write(data.data() + 2500, 600);
    sink.Finish();
    EXPECT_EQ(sink.calls, (std::vector<Call>{{0, data.data(), 1024},
                                             {0, data.data() + 1024, 1024},
                                             {0, nullptr, 1024},
                                             {1, nullptr, 28}}));
}

TEST(DEREncoding, FileBackedOctetStringStreamsAndRemovesItsTemporaryFile) {
    const Octets contents = testcommon::Pattern(3000);
    const testcommon::TempFile temp(contents);
    {
        auto* file = new CFile(temp.Path(), CFile::modeRead);
        file->Seek(1000, CFile::begin);
        CASN1_OCTET_STRING streamed(file, 1500, 1, 1);
        CByteArray out;
        streamed.encodeTo(out);
        EXPECT_EQ(toHex(out), "048205DC" + toHex(contents.data() + 1000, 1500));
        CASN1_OCTET_STRING overlong(new CFile(temp.Path(), CFile::modeRead), 3001, 1, 0);
        EXPECT_TRUE(throwsFileException([&] { overlong.encodeTo(out); }));
    }
    EXPECT_FALSE(std::filesystem::exists(temp.Path()));  // the temporary file went with the last reference
}
