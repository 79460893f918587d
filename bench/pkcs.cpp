// Reading received 1 MiB messages: a signed one verified (SHA-1 digest of the content, one
// RSA-2048 signer with signed attributes, the key from the certificate the message carries)
// and an enveloped one opened (RSA key unwrap, triple DES), beside OpenSSL's PKCS7_verify and
// PKCS7_decrypt on the same octets. The openssl command makes the key and both messages.
#include <benchmark/benchmark.h>
#include <openssl/pem.h>
#include <openssl/pkcs7.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "vorlan/cipher/cbc.h"
#include "vorlan/cipher/tripledes.h"
#include "vorlan/digest/sha1.h"
#include "vorlan/framework/memfile.h"
#include "vorlan/pkcs/envelopeddata.h"
#include "vorlan/pkcs/signeddata.h"
#include "vorlan/x509/asn1certificate.h"
#include "vorlan/x509/certificate.h"
#include "vorlan/x509/privatekey.h"

namespace {

namespace fs = std::filesystem;
using Octets = std::vector<unsigned char>;

Octets readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Octets(std::istreambuf_iterator<char>(in), {});
}

struct Messages {
    fs::path dir = fs::temp_directory_path() / ("vorlan-bench-pkcs-" + std::to_string(::getpid()));
    Octets signedMessage, envelopedMessage, keyDer;
    Messages() {
        fs::create_directories(dir);
        const std::string d = dir.string();
        Octets content(1 << 20);
        for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<unsigned char>(i * 31 + (i >> 9));
        std::ofstream(dir / "content", std::ios::binary)
            .write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
        const std::string commands =
            "openssl req -x509 -newkey rsa:2048 -nodes -sha1 -days 2 -subj /CN=bench -keyout " + d + "/key.pem -out " +
            d + "/cert.pem && openssl rsa -traditional -in " + d + "/key.pem -outform DER -out " + d +
            "/key.der && openssl smime -sign -md sha1 -nodetach -binary -outform DER -signer " + d +
            "/cert.pem -inkey " + d + "/key.pem -in " + d + "/content -out " + d +
            "/signed && openssl smime -encrypt -des3 -binary -outform DER -in " + d + "/content -out " + d +
            "/enveloped " + d + "/cert.pem";
        if (std::system((commands + " 2>/dev/null").c_str()) != 0) std::abort();
        signedMessage = readFile(dir / "signed");
        envelopedMessage = readFile(dir / "enveloped");
        keyDer = readFile(dir / "key.der");
    }
    ~Messages() { fs::remove_all(dir); }
};

const Messages& messages() {
    static const Messages m;
    return m;
}

// The decoded message keeps windows on the octets; the encoding lives on the stack meanwhile.
template <class Use>
void decoded(const Octets& octets, Use&& use) {
    CDEREncoding der(0, const_cast<unsigned char*>(octets.data()), octets.size(), 0, 0);
    der.AddRef();
    use(CASN1_ContentInfo(der));
}

void BM_VerifySigned1MiB_Vorlan(benchmark::State& state) {
    for (auto _ : state) {
        decoded(messages().signedMessage, [&](const CASN1_ContentInfo& info) {
            CASN1_SignedData message(info);
            CSHA1DigestMaker maker;
            message.GetContentInfo().GetContent().digestClearContents(maker);
            unsigned char digest[20];
            maker.GetCurrentDigest(digest);
            const std::unique_ptr<CASN1_SET> certificates(message.GetCertificates(1));
            CASN1_Certificate certificate;
            certificate.moveFrom(certificates->GetComponent(0).cloneAndDie());
            CCertificate signer;
            certificate.SetDataTo(signer);
            CRSAPublicKey key;
            signer.SetDataTo(key);
            if (!message.GetSignerInfo(0).IsSignatureOKFor(key, message.GetContentInfo().GetContentType(), digest, 20)) state.SkipWithError("not verified");
        });
    }
}

void BM_VerifySigned1MiB_OpenSSL(benchmark::State& state) {
    X509_STORE* store = X509_STORE_new();
    for (auto _ : state) {
        const unsigned char* at = messages().signedMessage.data();
        PKCS7* p7 = d2i_PKCS7(nullptr, &at, static_cast<long>(messages().signedMessage.size()));
        if (PKCS7_verify(p7, nullptr, store, nullptr, nullptr, PKCS7_NOVERIFY | PKCS7_BINARY) != 1)
            state.SkipWithError("not verified");
        PKCS7_free(p7);
    }
    X509_STORE_free(store);
}

void BM_OpenEnveloped1MiB_Vorlan(benchmark::State& state) {
    CRSAPrivateKey key;
    {
        CDEREncoding der(0, const_cast<unsigned char*>(messages().keyDer.data()), messages().keyDer.size(), 0, 0);
        der.AddRef();
        CASN1_PrivateKey structure;
        structure.decodeFrom(der);
        structure.SetDataTo(key);
    }
    for (auto _ : state) {
        decoded(messages().envelopedMessage, [&](const CASN1_ContentInfo& info) {
            const CASN1_EnvelopedData message(info);
            CByteArray locked, iv;
            message.GetRecipientInfo(0).GetEncryptedKey().GetClearData(locked, 1);
            CTripleDESkey contentKey;
            key.UnlockKey(locked, contentKey, key.bits);
            const CASN1_EncryptedContentInfo& content = message.GetEncryptedContentInfo();
            const_cast<CASN1Type&>(content.GetContentEncryptionAlgorithm().GetComponent(1)).GetClearData(iv, 1);
            CCBC<CTripleDESAlgorithm> cipher(contentKey, iv.GetData());
            CMemFile opened(1 << 20);
            content.GetEncryptedContent().decryptClearContents(cipher, opened);
            if (opened.GetLength() != 1 << 20) state.SkipWithError("not opened");
        });
    }
}

void BM_OpenEnveloped1MiB_OpenSSL(benchmark::State& state) {
    const Octets& keyDer = messages().keyDer;
    const unsigned char* keyAt = keyDer.data();
    EVP_PKEY* key = d2i_PrivateKey(EVP_PKEY_RSA, nullptr, &keyAt, static_cast<long>(keyDer.size()));
    for (auto _ : state) {
        const unsigned char* at = messages().envelopedMessage.data();
        PKCS7* p7 = d2i_PKCS7(nullptr, &at, static_cast<long>(messages().envelopedMessage.size()));
        BIO* out = BIO_new(BIO_s_mem());
        if (PKCS7_decrypt(p7, key, nullptr, out, PKCS7_BINARY) != 1 || BIO_ctrl_pending(out) != 1 << 20)
            state.SkipWithError("not opened");
        BIO_free(out);
        PKCS7_free(p7);
    }
    EVP_PKEY_free(key);
}

}  // namespace

BENCHMARK(BM_VerifySigned1MiB_Vorlan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VerifySigned1MiB_OpenSSL)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenEnveloped1MiB_Vorlan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenEnveloped1MiB_OpenSSL)->Unit(benchmark::kMillisecond);
