#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/common/exceptions.h"
#include "tests/common/octets.h"
#include "vorlan/support/base64.h"
#include "vorlan/support/pem.h"

namespace {

using testcommon::Pattern;

std::string Octets(const CByteArray& array) { return std::string(reinterpret_cast<const char*>(array.GetData()), array.GetSize()); }
std::string Octets(const std::vector<BYTE>& octets) { return std::string(octets.begin(), octets.end()); }

std::string OpensslPem(const char* label, const std::vector<BYTE>& data) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio(bio, label, "", data.data(), static_cast<long>(data.size()));
    char* text = nullptr;
    const long size = BIO_get_mem_data(bio, &text);
    std::string pem(text, static_cast<size_t>(size));
    BIO_free(bio);
    return pem;
}

TEST(Base64, EncodesAsOpensslDoesAtEveryLengthAndDecodesBack) {
    for (int length = 0; length < 100; ++length) {
        const auto data = Pattern(length);
        std::string theirs(static_cast<size_t>(length + 2) / 3 * 4 + 1, '\0');
        theirs.resize(static_cast<size_t>(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(theirs.data()), data.data(), length)));
        EXPECT_EQ(EncodeBase64(data.data(), length), theirs.c_str()) << length;
        CByteArray back;
        DecodeBase64(theirs.c_str(), static_cast<int>(theirs.size()), back);
        EXPECT_EQ(Octets(back), Octets(data)) << length;
    }
}

// Base64 that is not canonical and malformed PEM blocks fail with their reason.
TEST(TextFormats, MalformedTextFailsWithItsReason) {
    const std::tuple<bool, std::string, const char*> rows[] = {
        {false, "Zg=", "multiple of 4"},      {false, "Zh==", "bits beyond"},      {false, "Zm9=", "bits beyond"},
        {false, "Zg==Zg==", "character 2"},   {false, "Z===", "character 1"},      {false, "====", "character 0"},
        {false, "Zm9v\n", "multiple of 4"},   {false, "Zm 9", "character 2"},      {false, "Zm9\xff", "character 3"},
        {false, "Zm-_", "character 2"},
        {true, "-----BEGIN A-----\nZm9v\n", "no END line"}, {true, "-----BEGIN A-----", "no END line"},
        {true, "-----BEGIN A-----\nZm9v\n-----END B-----\n", "does not repeat the label"},
        {true, "-----BEGIN A-----\nProc-Type: 4,ENCRYPTED\n\nZm9v\n-----END A-----\n", "offset 22 is not base64"},
        {true, "-----BEGIN A\nZm9v\n-----END A-----\n", "five hyphens"},
        {true, "-----BEGINA-----\n-----END A-----\n", "no space"},
        {true, "-----BEGIN A  B-----\n-----END A  B-----\n", "label at offset 0"},
        {true, "-----BEGIN A-----\nZm9\n-----END A-----\n", "multiple of 4"},
    };
    for (const auto& [pem, text, reason] : rows) {
        const auto decode = [&, &text = text, pem = pem] {
            CArray<SPemBlock> blocks;
            CByteArray out;
            pem ? DecodePem(text.data(), static_cast<int>(text.size()), blocks)
                : (DecodeBase64(text.data(), static_cast<int>(text.size()), out), 0);
        };
        EXPECT_EQ(testcommon::CauseOf<CFileException>(decode), CFileException::invalidFile) << text;
        const std::string failure = testcommon::MessageOf<CFileException>(decode);
        EXPECT_NE(failure.find(reason), std::string::npos) << text << ": " << failure;
    }
    EXPECT_NE(testcommon::MessageOf<CFileException>([] { EncodePem("bad--label", nullptr, 0); }).find("not valid"),
              std::string::npos);
}

TEST(Pem, EncodesAsOpensslDoesAndDecodesEveryBlockAroundOtherText) {
    for (int length : {0, 1, 47, 48, 49, 300})
        EXPECT_EQ(EncodePem("CERTIFICATE", Pattern(length).data(), length).str(),
                  OpensslPem("CERTIFICATE", Pattern(length)));
    const std::string text = "Subject: test\r\n" + OpensslPem("X509 CRL", Pattern(70)) + "between\n" +
                             OpensslPem("PKCS7", Pattern(5)) + "-----END trailing";
    CArray<SPemBlock> blocks;
    ASSERT_EQ(DecodePem(text.data(), static_cast<int>(text.size()), blocks), 2);
    EXPECT_TRUE(blocks[0].label + "/" + blocks[1].label == "X509 CRL/PKCS7" &&
                Octets(blocks[0].octets) == Octets(Pattern(70)) && blocks[1].octets.GetSize() == 5);
    std::string crlf;
    for (const char c : OpensslPem("A B-C", Pattern(90))) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_TRUE(DecodePem(crlf.data(), static_cast<int>(crlf.size()), blocks) == 1 && blocks[2].octets.GetSize() == 90);
    EXPECT_EQ(DecodePem("no blocks here\n", 15, blocks), 0);
}

}  // namespace
