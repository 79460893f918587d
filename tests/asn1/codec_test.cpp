// The encoding buffer, the length functions and the buffered sink.
#include <unistd.h>

#include <cstring>

#include "asn1_test_util.h"
#include "vorlan/asn1/filters.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/framework/memfile.h"

using namespace asn1test;

TEST(LengthFunctions, ComputeEncodedLengthUsesMinimalLengthOctets) {
    EXPECT_EQ(___computeEncodedLength(1, 127, 0), 129u);
    EXPECT_EQ(___computeEncodedLength(1, 128, 0), 131u);
    EXPECT_EQ(___computeEncodedLength(1, 256, 0), 260u);
    EXPECT_EQ(___computeEncodedLength(1, 0x1000000, 0), 0x1000000u + 6);
    EXPECT_EQ(___computeEncodedLength(1, 0, 1), 4u);
}

TEST(LengthFunctions, ExtractEncodingLengthReportsEveryCode) {
    const struct {
        const char* hex;
        unsigned long available;
        int expected;
    } rows[] = {
        {"30820100", 4, 260}, {"3084", 2, -1},         {"3085000000000000", 8, -2}, {"3080", 2, -3},
        {"1F01", 2, -4},      {"30", 1, -1},           {"308100", 3, 3},            {"30847FFFFFFF", 6, -2},
        {"3083010000", 4, -1}, {"0400", 2, 2},
    };
    for (const auto& row : rows) {
        const Octets octets = fromHex(row.hex);
        EXPECT_EQ(___extractEncodingLength(octets.data(), row.available), row.expected) << row.hex;
    }
}

TEST(DEREncoding, Reached00LeavesThePositionOnOtherOctets) {
    Octets octets = fromHex("0001 0000");
    CDEREncoding der(0, octets.data(), octets.size(), 0, 0);
    EXPECT_EQ(der.reached00(), 0);
    EXPECT_EQ(der.Seek(0, CFile::current), 0);
    der.Seek(2, CFile::begin);
    EXPECT_EQ(der.reached00(), 1);
    EXPECT_EQ(der.Seek(0, CFile::current), 4);
    EXPECT_THROW(der.reached00(), CDERDecodingException*);
    EXPECT_STREQ(detail::lastDecodingReason(), "Unexpected end of file");
}

TEST(DEREncoding, BufferModesAdoptCopyOrReadInPlace) {
    unsigned char caller[3] = {1, 2, 3};
    CDEREncoding copied(0, caller, 3, 0, 1);
    CDEREncoding inPlace(0, caller, 3, 0, 0);
    caller[0] = 9;
    EXPECT_EQ(copied.ReadByte(), 1);
    EXPECT_EQ(inPlace.ReadByte(), 9);
    auto* adopted = new unsigned char[2]{7, 8};
    CDEREncoding owner(0, adopted, 2, 1, 0);  // frees the buffer; the sanitizer build checks it
    EXPECT_EQ(owner.ReadByte(), 7);
}

TEST(DEREncoding, FrameworkFailuresBecomeTheSharedDecodingException) {
    CDEREncoding der(0, CByteArray());
    CDERDecodingException* first = nullptr;
    try {
        der.ReadByte();
    } catch (CDERDecodingException* e) {
        first = e;
    }
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(detail::lastDecodingReason(), "CException -> CDERDecodingException");
    EXPECT_EQ(first->m_bAutoDelete, 0);
    first->Delete();  // the shared instance survives
    try {
        der.Seek(-5, CFile::begin);
    } catch (CDERDecodingException* e) {
        EXPECT_EQ(e, first);
    }
}

TEST(DEREncoding, HeapEncodingDiesWithItsLastReference) {
    auto* der = new CDEREncoding(1);
    EXPECT_EQ(der->AddRef(), 1);
    EXPECT_EQ(der->AddRef(), 2);
    EXPECT_EQ(der->Release(), 1);
    EXPECT_EQ(der->Release(), 0);  // deleted: LeakSanitizer reports the encoding otherwise
}

TEST(DEREncoding, FileCopiesMoveExactCountsAndFailShort) {
    Octets octets(3000);
    for (size_t i = 0; i < octets.size(); ++i) octets[i] = static_cast<unsigned char>(i * 7);
    CDEREncoding der(0, octets.data(), octets.size(), 0, 0);
    CMemFile target;
    der.Read(target, 2500);
    ASSERT_EQ(target.GetLength(), 2500u);
    EXPECT_EQ(std::memcmp(target.GetBuffer(), octets.data(), 2500), 0);
    EXPECT_THROW(der.Read(target, 501), CDERDecodingException*);

    CDEREncoding sink(0);
    target.SeekToBegin();
    sink.Write(target, 2000);
    EXPECT_EQ(sink.Seek(0, CFile::current), 2000);
    EXPECT_TRUE(throwsException<CFileException>([&] { sink.Write(target, 501); }));
}

namespace {

// Records every block it is handed.
class RecordingSink : public virtual CBufferedFilterNS {
public:
    RecordingSink() { SetBlockSize(1024); }
    void ProcessBlock(int final, const unsigned char* data, unsigned long length) override {
        calls.push_back({final, data, data ? length : m_dwFill});
    }
    struct Call {
        int final;
        const unsigned char* data;
        unsigned long length;
    };
    std::vector<Call> calls;
};

}  // namespace

TEST(BufferedFilter, WholeBlocksGoStraightFromTheCallersMemory) {
    Octets data(3100, 0x5A);
    RecordingSink sink;
    sink.Write(data.data(), 2500);
    ASSERT_EQ(sink.calls.size(), 2u);
    EXPECT_EQ(sink.calls[0].data, data.data());
    EXPECT_EQ(sink.calls[1].data, data.data() + 1024);
    EXPECT_EQ(sink.calls[1].length, 1024u);
    EXPECT_EQ(sink.m_dwFill, 452u);
    sink.Write(data.data() + 2500, 600);
    ASSERT_EQ(sink.calls.size(), 3u);
    EXPECT_EQ(sink.calls[2].data, nullptr);
    EXPECT_EQ(sink.calls[2].length, 1024u);
    EXPECT_EQ(sink.m_dwFill, 28u);
    EXPECT_EQ(sink.m_dwTotal, 3100u);
    sink.Finish();
    EXPECT_EQ(sink.calls.back().final, 1);
    EXPECT_EQ(sink.calls.back().length, 28u);
}

TEST(DEREncoding, FileBackedOctetStringStreamsAndRemovesItsTemporaryFile) {
    char path[] = "/tmp/vorlan_asn1_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    Octets contents(3000);
    for (size_t i = 0; i < contents.size(); ++i) contents[i] = static_cast<unsigned char>(i);
    ASSERT_EQ(write(fd, contents.data(), contents.size()), static_cast<ssize_t>(contents.size()));
    close(fd);
    {
        auto* file = new CFile(path, CFile::modeRead);
        file->Seek(1000, CFile::begin);
        CASN1_OCTET_STRING streamed(file, 1500, 1, 1);
        CByteArray out;
        streamed.encodeTo(out);
        const Octets header = fromHex("048205DC");
        ASSERT_EQ(out.GetSize(), 1504);
        EXPECT_EQ(std::memcmp(out.GetData(), header.data(), 4), 0);
        EXPECT_EQ(std::memcmp(out.GetData() + 4, contents.data() + 1000, 1500), 0);
        CASN1_OCTET_STRING overlong(new CFile(path, CFile::modeRead), 3001, 1, 0);
        EXPECT_TRUE(throwsException<CFileException>([&] { overlong.encodeTo(out); }));
    }
    EXPECT_NE(access(path, F_OK), 0);  // the temporary file went with the last reference
}
