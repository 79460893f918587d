// The dump text, the archive form and the lifetime of decoded trees.
#include "asn1_test_util.h"

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

TEST(Dump, SmallTreeOtherClassesLongContentsAndIndefiniteLengthsGiveTheExactText) {
    // { 5, TRUE, 2.5.4.3, 'ab', '1010'B }
    const auto sequence = Built(fromHex("3013 020105 0101FF 0603550403 04026162 030204A0"));
    const std::string expected =
        "<UNIV, SEQUENCE(OF), C> SIZE: 2 + 19 = 21 (0x2 + 0x13 = 0x15)\r\n{\r\n"
        "   <UNIV, INTEGER, P> SIZE: 2 + 1 = 3 (0x2 + 0x1 = 0x3)\r\n" + hexLine("05 ", ".") + "\r\n"
        "   <UNIV, BOOLEAN, P> SIZE: 2 + 1 = 3 (0x2 + 0x1 = 0x3)\r\n      TRUE\r\n\r\n"
        "   <UNIV, OBJECT IDENTIFIER, P> SIZE: 2 + 3 = 5 (0x2 + 0x3 = 0x5)\r\n" + hexLine("55 04 03 ", "U..") +
        "      OID = 2.5.4.3\r\n\r\n"
        "   <UNIV, OCTET STRING, P> SIZE: 2 + 2 = 4 (0x2 + 0x2 = 0x4)\r\n" + hexLine("61 62 ", "ab") + "\r\n"
        "   <UNIV, BIT STRING, P> SIZE: 2 + 2 = 4 (0x2 + 0x2 = 0x4)\r\n" + hexLine("04 a0 ", "..") +
        "   BITS = 4 (0x4)\r\n}\r\n";
    EXPECT_EQ(dumpText(*sequence), expected);
    // Header lines of other classes, long contents and indefinite lengths.
    EXPECT_EQ(dumpText(CASN1_TAGGED(0x83, 0)), "<CSPEC, 3 (0x3), C> SIZE: 2 + 0 = 2 (0x2 + 0x0 = 0x2)\r\n{\r\n}\r\n");
    EXPECT_EQ(dumpText(CASN1_UniversalString()), "<UNIV, 28 (0x1c), P> SIZE: 2 + 0 = 2 (0x2 + 0x0 = 0x2)\r\n");
    EXPECT_EQ(dumpText(CASN1_TAGGED(0x41, 1), 1), " <APP, 1 (0x1), C> SIZE: 2 + ? = ? (0x2 + ? = ?)\r\n {\r\n }\r\n");
    EXPECT_EQ(dumpText(CASN1_BOOLEAN(0)), "<UNIV, BOOLEAN, P> SIZE: 2 + 1 = 3 (0x2 + 0x1 = 0x3)\r\n   FALSE\r\n");
    // Twenty octets: a full line of eighteen, then the rest.
    std::string eighteen;
    for (int i = 0; i < 18; ++i) eighteen += "41 ";
    EXPECT_EQ(dumpText(CASN1_IA5String(Octets(20, 0x41).data(), 20)),
              "<UNIV, IA5String, P> SIZE: 2 + 20 = 22 (0x2 + 0x14 = 0x16)\r\n" +
                  hexLine(eighteen, std::string(18, 'A'), 0) + hexLine("41 41 ", "AA", 0));
}

TEST(Archive, RoundTripKeepsTheDERTheTreeOutlivesTheArchiveAndLoadFailuresAreGeneric) {
    const Octets cert = certificate();
    auto tree = Built(cert);
    const Octets stored = testcommon::Store([&](CArchive& ar) { tree->_Serialize(ar); });
    const Octets header = {0, static_cast<unsigned char>(cert.size()), static_cast<unsigned char>(cert.size() >> 8)};
    EXPECT_EQ(toHex(stored), toHex(header) + toHex(cert));  // format version, 16-bit length, DER
    CASN1_SEQUENCE loaded;
    {
        testcommon::Loader loader(stored);
        loaded._Serialize(loader.ar);
    }
    EXPECT_EQ(encodedHex(loaded), toHex(cert));
    // An unknown format version, no DER at all, DER that does not decode, another class than the
    // target's; an archive that ends early.
    for (const std::string hex : {"01 0500 3003020101", "00 0000", "00 0300 300402", "00 0300 020101", "00"}) {
        CASN1_SEQUENCE target;
        testcommon::Loader loader(fromHex(hex));
        EXPECT_EQ(testcommon::CauseOf([&] { target._Serialize(loader.ar); }),
                  hex == "00" ? CArchiveException::endOfFile : CArchiveException::generic)
            << hex;
        EXPECT_EQ(target.GetComponents().GetSize(), 0);
    }
}

namespace {

// What a message's windows read: the [1] window as an INTEGER and as an OCTET STRING, and
// the OCTET STRING's text.
std::string windowsOf(CASN1Type& message) {
    auto& components = dynamic_cast<CASN1_CONSTRUCTED_TYPE&>(message);
    auto& tagged = dynamic_cast<CASN1_TAGGED&>(components.GetComponent(0));
    CASN1_INTEGER number;
    CASN1_OCTET_STRING octets;
    EXPECT_TRUE(number.fromImplicit(tagged) && octets.fromImplicit(tagged));
    CString text;
    components.GetComponent(1).GetString(text);
    return clearHex(number) + "/" + clearHex(octets) + "/" + static_cast<const char*>(text);
}

}  // namespace

// Trees, windows and copies of windows and values outlive the caller's handle and what they came from.
TEST(Ownership, WindowsOutliveTheirHandleAndAFailedDecodeLeavesTheTargetEmptyAndNoReferenceBehind) {
    const std::string first = "300E8102ABCD040378797AA203020105", second = "300E8102EF010403717273A203020107";
    const Octets octets = fromHex(first + second + first);
    const testcommon::TempFile file(octets);
    // The ways a caller hands the octets to a local handle.
    const std::function<CDEREncoding*()> handles[] = {
        [&] { return new CDEREncoding(0, const_cast<unsigned char*>(octets.data()), octets.size(), 0, 1); },
        [&] {
            auto* adopted = new unsigned char[octets.size()];
            std::copy(octets.begin(), octets.end(), adopted);
            return new CDEREncoding(0, adopted, octets.size(), 1, 0);
        },
        [&] { return new CDEREncoding(0, new CFile(file.Path(), CFile::modeRead), 0, 1); },
    };
    for (const auto& handle : handles) {
        std::unique_ptr<CASN1Type> middle, windowCopy;
        CASN1_SEQUENCE last;
        {
            const std::unique_ptr<CDEREncoding> der(handle());
            std::unique_ptr<CASN1Type> gone(___buildFromEncoding(*der));
            EXPECT_EQ(windowsOf(*gone), "ABCD/ABCD/xyz");
            gone.reset();  // its windows let go; the handle reads on
            middle.reset(___buildFromEncoding(*der));
            EXPECT_EQ(windowsOf(*middle), "EF01/EF01/qrs");
            windowCopy.reset(dynamic_cast<CASN1_SEQUENCE&>(*middle).GetComponents()[0]->clone());
            last.decodeFrom(*der);
        }
        EXPECT_TRUE(encodedHex(*middle) == second && encodedHex(last) == first && windowsOf(last) == "ABCD/ABCD/xyz");
        middle.reset();
        EXPECT_EQ(encodedHex(*windowCopy), "8102EF01");  // the last holder keeps the encoding alive
    }
    auto original = std::make_unique<CASN1_OCTET_STRING>(CString("shared"));
    const CASN1_OCTET_STRING copy(*original);
    original.reset();  // copies share the contents
    EXPECT_EQ(encodedHex(copy), "0406736861726564");
    // A failed decode (a component past its parent's end; a SET where the target is a SEQUENCE)
    // leaves the target empty and no reference behind.
    for (const char* hex : {"3008 8102ABCD 0201", "3103020101"}) {
        CASN1_SEQUENCE target;
        target.AddObject(new CASN1_INTEGER(1ul));
        SharedEncoding shared(fromHex(hex));
        EXPECT_THROW(target.decodeFrom(*shared.der), CDERDecodingException*);
        // Nothing decoded is kept, and a partial window's reference was dropped.
        EXPECT_TRUE(target.GetComponents().GetSize() == 0 && shared.der->m_nRefCount == 1) << hex;
    }
    EXPECT_STREQ(LastDecodingReason(), "Another class and tag number expected (at octet 0)");
}
