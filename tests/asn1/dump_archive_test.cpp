// The dump text, the archive form and the lifetime of decoded trees.
#include <functional>

#include "asn1_test_util.h"
#include "vorlan/asn1/bitstring.h"
#include "vorlan/asn1/boolean.h"
#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/objectidentifier.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/asn1/strings.h"
#include "vorlan/framework/memfile.h"

using namespace asn1test;

namespace {

std::string dumpText(const CASN1Type& value, unsigned long indent = 0) {
    CMemFile file;
    value.Dump(indent, &file);
    return std::string(reinterpret_cast<const char*>(file.GetBuffer()), file.GetLength());
}

// One hex dump line of a value dumped with indentation `indent`.
std::string hexLine(std::string hex, const std::string& text, size_t indent = 3) {
    hex.resize(57, ' ');
    return std::string(indent + 3, ' ') + hex + text + "\r\n";
}

}  // namespace

TEST(Dump, SmallTreeGivesTheExactText) {
    CASN1_SEQUENCE sequence;
    sequence.AddObject(new CASN1_INTEGER(5ul));
    sequence.AddObject(new CASN1_BOOLEAN(1));
    CASN1_OBJECT_IDENTIFIER commonName(2, 5);
    commonName.AddIDComponent(4);
    commonName.AddIDComponent(3);
    sequence.AddObject(commonName.clone());
    sequence.AddObject(new CASN1_OCTET_STRING(CString("ab")));
    const unsigned char nibble = 0x0A;
    sequence.AddObject(new CASN1_BIT_STRING(&nibble, 4, 0));
    const std::string expected =
        "<UNIV, SEQUENCE(OF), C> SIZE: 2 + 19 = 21 (0x2 + 0x13 = 0x15)\r\n"
        "{\r\n"
        "   <UNIV, INTEGER, P> SIZE: 2 + 1 = 3 (0x2 + 0x1 = 0x3)\r\n" +
        hexLine("05 ", ".") +
        "\r\n"
        "   <UNIV, BOOLEAN, P> SIZE: 2 + 1 = 3 (0x2 + 0x1 = 0x3)\r\n"
        "      TRUE\r\n"
        "\r\n"
        "   <UNIV, OBJECT IDENTIFIER, P> SIZE: 2 + 3 = 5 (0x2 + 0x3 = 0x5)\r\n" +
        hexLine("55 04 03 ", "U..") +
        "      OID = 2.5.4.3\r\n"
        "\r\n"
        "   <UNIV, OCTET STRING, P> SIZE: 2 + 2 = 4 (0x2 + 0x2 = 0x4)\r\n" +
        hexLine("61 62 ", "ab") +
        "\r\n"
        "   <UNIV, BIT STRING, P> SIZE: 2 + 2 = 4 (0x2 + 0x2 = 0x4)\r\n" +
        hexLine("04 a0 ", "..") +
        "   BITS = 4 (0x4)\r\n"
        "}\r\n";
    EXPECT_EQ(dumpText(sequence), expected);
}

TEST(Dump, HeaderLinesForOtherClassesLongContentsAndIndefiniteLengths) {
    CASN1_TAGGED context(0x83, 0);
    EXPECT_EQ(dumpText(context), "<CSPEC, 3 (0x3), C> SIZE: 2 + 0 = 2 (0x2 + 0x0 = 0x2)\r\n{\r\n}\r\n");
    CASN1_UniversalString universal;
    EXPECT_EQ(dumpText(universal), "<UNIV, 28 (0x1c), P> SIZE: 2 + 0 = 2 (0x2 + 0x0 = 0x2)\r\n");
    CASN1_TAGGED open(0x41, 1);
    EXPECT_EQ(dumpText(open, 1), " <APP, 1 (0x1), C> SIZE: 2 + ? = ? (0x2 + ? = ?)\r\n {\r\n }\r\n");
    const Octets twenty(20, 0x41);
    const std::string text = dumpText(CASN1_IA5String(twenty.data(), twenty.size()));
    const size_t firstLine = text.find("\r\n") + 2;
    const size_t secondLine = text.find("\r\n", firstLine) + 2;
    std::string eighteen;
    for (int i = 0; i < 18; ++i) eighteen += "41 ";
    EXPECT_EQ(text.substr(firstLine, secondLine - firstLine), hexLine(eighteen, std::string(18, 'A'), 0));
    EXPECT_EQ(text.substr(secondLine), hexLine("41 41 ", "AA", 0));
    EXPECT_EQ(dumpText(CASN1_BOOLEAN(0)), "<UNIV, BOOLEAN, P> SIZE: 2 + 1 = 3 (0x2 + 0x1 = 0x3)\r\n   FALSE\r\n");
}

namespace {

Octets archived(const std::function<void(CArchive&)>& store) {
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        store(ar);
        ar.Close();
    }
    return Octets(file.GetBuffer(), file.GetBuffer() + file.GetLength());
}

void loadInto(CASN1Type& value, Octets octets) {
    CMemFile file(octets.data(), static_cast<UINT>(octets.size()));
    CArchive ar(&file, CArchive::load);
    value._Serialize(ar);
}

}  // namespace

TEST(Archive, RoundTripKeepsTheDERAndTheTreeOutlivesTheArchive) {
    const Octets cert = certificate();
    auto tree = decode(cert);
    const Octets stored = archived([&](CArchive& ar) { tree->_Serialize(ar); });
    ASSERT_EQ(stored[0], 0);  // format version
    EXPECT_EQ(stored[1] | stored[2] << 8, static_cast<int>(cert.size()));
    EXPECT_EQ(toHex(stored.data() + 3, stored.size() - 3), toHex(cert.data(), cert.size()));
    CASN1_SEQUENCE loaded;
    loadInto(loaded, stored);
    EXPECT_EQ(encodedHex(loaded), toHex(cert.data(), cert.size()));
}

TEST(Archive, LoadFailuresAreGenericArchiveExceptions) {
    const Octets rows[] = {
        fromHex("01 0500 3003020101"),  // unknown format version
        fromHex("00 0000"),             // no DER at all
        fromHex("00 0300 300402"),      // DER that does not decode
        fromHex("00 0300 020101"),      // another class than the target's
        fromHex("00"),                  // archive ends early
    };
    for (const Octets& row : rows) {
        CASN1_SEQUENCE target;
        try {
            loadInto(target, row);
            ADD_FAILURE() << toHex(row.data(), row.size()) << " loaded";
        } catch (CArchiveException* e) {
            EXPECT_TRUE(e->m_cause == CArchiveException::generic || e->m_cause == CArchiveException::endOfFile);
            e->Delete();
        }
        EXPECT_EQ(target.GetComponents().GetSize(), 0);
    }
}

TEST(Ownership, DecodedTreesAndTaggedCopiesOutliveTheCallersHandle) {
    const Octets octets = fromHex("3009 8102ABCD A103020105");
    std::unique_ptr<CASN1Type> tree;
    std::unique_ptr<CASN1Type> windowCopy;
    {
        SharedEncoding shared(octets);  // the caller's reference ends with this scope
        tree.reset(___buildFromEncoding(*shared.der));
        windowCopy.reset(dynamic_cast<CASN1_SEQUENCE&>(*tree).GetComponents()[0]->clone());
    }
    EXPECT_EQ(encodedHex(*tree), "30098102ABCDA103020105");
    tree.reset();
    EXPECT_EQ(encodedHex(*windowCopy), "8102ABCD");  // the last holder keeps the encoding alive
}

TEST(Ownership, FailedDecodeLeavesNothingBehind) {
    CASN1_SEQUENCE target;
    target.AddObject(new CASN1_INTEGER(1ul));
    const Octets octets = fromHex("3008 8102ABCD 0201");
    SharedEncoding shared(octets);
    EXPECT_THROW(target.decodeFrom(*shared.der), CDERDecodingException*);
    EXPECT_EQ(target.GetComponents().GetSize(), 0);
    EXPECT_EQ(shared.der->m_nRefCount, 1);  // the partial window's reference was dropped
}
