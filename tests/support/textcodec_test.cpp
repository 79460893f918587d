#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <string>
#include <vector>

#include "vorlan/support/base64.h"
#include "vorlan/support/pem.h"

namespace {

std::vector<BYTE> Pattern(int length) {
    std::vector<BYTE> octets(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) octets[static_cast<size_t>(i)] = static_cast<BYTE>(i * 37 + 11);
    return octets;
}

std::string Octets(const CByteArray& array) { return std::string(reinterpret_cast<const char*>(array.GetData()), array.GetSize()); }

// The message of the text-format failure the action raises, "" when it raises none.
template <class Action>
std::string FailureOf(Action action) {
    try {
        action();
    } catch (CFileException* e) {
        char message[256];
        e->GetErrorMessage(message, sizeof message);
        const int cause = e->m_cause;
        e->Delete();
        return cause == CFileException::invalidFile ? message : "wrong cause";
    }
    return "";
}

std::string OpensslPem(const char* label, const std::vector<BYTE>& data) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio(bio, label, "", data.data(), static_cast<long>(data.size()));
    char* text = nullptr;
    const long size = BIO_get_mem_data(bio, &text);
    std::string pem(text, static_cast<size_t>(size));
    BIO_free(bio);
    return pem;
}

TEST(Base64, MatchesTheStandardVectorsAndOpensslAtEveryLength) {
    const std::pair<const char*, const char*> vectors[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
                                                           {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
                                                           {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, text] : vectors) {
        EXPECT_EQ(EncodeBase64(reinterpret_cast<const BYTE*>(plain), static_cast<int>(strlen(plain))), text);
        CByteArray back;
        DecodeBase64(text, static_cast<int>(strlen(text)), back);
        EXPECT_EQ(Octets(back), plain);
    }
    for (int length = 0; length < 100; ++length) {
        const auto data = Pattern(length);
        std::string theirs(static_cast<size_t>(length + 2) / 3 * 4 + 1, '\0');
        theirs.resize(static_cast<size_t>(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(theirs.data()), data.data(), length)));
        EXPECT_EQ(EncodeBase64(data.data(), length), theirs.c_str()) << length;
    }
}

TEST(Base64, DecodingRejectsEveryTextThatIsNotCanonical) {
    const std::pair<const char*, const char*> rows[] = {
        {"Zg=", "multiple of 4"},       {"Zh==", "bits beyond"},        {"Zm9=", "bits beyond"},
        {"Zg==Zg==", "character 2"},   {"Z===", "character 1"},        {"====", "character 0"},
        {"Zm9v\n", "multiple of 4"},   {"Zm 9", "character 2"},        {"Zm9\xff", "character 3"},
        {"Zm-_", "character 2"},
    };
    for (const auto& [text, reason] : rows) {
        CByteArray out;
        const std::string failure = FailureOf([&text = text, &out] { DecodeBase64(text, static_cast<int>(strlen(text)), out); });
        EXPECT_NE(failure.find(reason), std::string::npos) << text << ": " << failure;
    }
}

TEST(Pem, EncodesAsOpensslDoesAndDecodesEveryBlockAroundOtherText) {
    for (int length : {0, 1, 47, 48, 49, 300}) {
        const auto data = Pattern(length);
        const CString ours = EncodePem("CERTIFICATE", data.data(), length);
        EXPECT_EQ(ours.str(), OpensslPem("CERTIFICATE", data)) << length;
    }
    std::string text = "Subject: test\r\n";
    for (const std::string& part : {OpensslPem("X509 CRL", Pattern(70)), std::string("between\n"),
                                    OpensslPem("PKCS7", Pattern(5)), std::string("-----END trailing")})
        text += part;
    CArray<SPemBlock> blocks;
    ASSERT_EQ(DecodePem(text.data(), static_cast<int>(text.size()), blocks), 2);
    EXPECT_EQ(blocks[0].label, "X509 CRL");
    EXPECT_EQ(Octets(blocks[0].octets), std::string(reinterpret_cast<const char*>(Pattern(70).data()), 70));
    EXPECT_EQ(blocks[1].label, "PKCS7");
    EXPECT_EQ(blocks[1].octets.GetSize(), 5);

    std::string crlf;
    for (const char c : OpensslPem("A B-C", Pattern(90))) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(DecodePem(crlf.data(), static_cast<int>(crlf.size()), blocks), 1);
    EXPECT_EQ(blocks[2].octets.GetSize(), 90);
    EXPECT_EQ(DecodePem("no blocks here\n", 15, blocks), 0);
}

TEST(Pem, MalformedBlocksFailWithTheirReason) {
    const std::pair<std::string, const char*> rows[] = {
        {"-----BEGIN A-----\nZm9v\n", "no END line"},
        {"-----BEGIN A-----\nZm9v\n-----END B-----\n", "does not repeat the label"},
        {"-----BEGIN A-----\nProc-Type: 4,ENCRYPTED\n\nZm9v\n-----END A-----\n", "offset 22 is not base64"},
        {"-----BEGIN A\nZm9v\n-----END A-----\n", "five hyphens"},
        {"-----BEGINA-----\n-----END A-----\n", "no space"},
        {"-----BEGIN A  B-----\n-----END A  B-----\n", "label at offset 0"},
        {"-----BEGIN A-----\nZm9\n-----END A-----\n", "multiple of 4"},
        {"-----BEGIN A-----", "no END line"},
    };
    for (const auto& [text, reason] : rows) {
        CArray<SPemBlock> blocks;
        const std::string failure = FailureOf([&text = text, &blocks] { DecodePem(text.data(), static_cast<int>(text.size()), blocks); });
        EXPECT_NE(failure.find(reason), std::string::npos) << text << ": " << failure;
    }
    EXPECT_NE(FailureOf([] { EncodePem("bad--label", nullptr, 0); }).find("not valid"), std::string::npos);
}

}  // namespace
