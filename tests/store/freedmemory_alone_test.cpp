// Secrets left in freed memory: a private key read from DER, written back, used to sign, put in a
// key-store record, copied into a CDEREncoding and archived both ways, then everything destroyed. No
// block given back to the heap may hold 16 octets of either prime. This executable replaces
// free, realloc and every operator delete to look into each block before it goes.
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include <gtest/gtest.h>

#include "vorlan/framework/archive.h"
#include "vorlan/framework/memfile.h"
#include "vorlan/store/keystore.h"
#include "vorlan/x509/privatekey.h"

extern "C" void __libc_free(void* block);

namespace {

// The octets of a hexadecimal text, made at compile time so that the test's own copies of the
// key live outside the heap.
template <std::size_t N>
struct HexOctets {
    static constexpr std::size_t size = (N - 1) / 2;
    unsigned char data[size];
    consteval explicit HexOctets(const char (&text)[N]) : data{} {
        auto digit = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
        for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<unsigned char>(digit(text[2 * i]) * 16 + digit(text[2 * i + 1]));
    }
};

// A 1,024-bit key of `openssl genrsa -traditional`, as RSAPrivateKey DER, and its primes as
// `openssl rsa -text` prints them.
constexpr HexOctets kKeyDer(
    "3082025c02010002818100a3f6887153afbd726b2bb318a01afcda6c78660540cfd8196fed0e5a3b9a8c14acd8ef78d6"
    "0d124e2d11bb09d7c7335a70126c3485c0386180fd4a4c53e059e3a86d2a2462ba9d53c72a796a84589326c54dcb609b"
    "0092b24e1521aa2d3636d0341967bc6bad96b89a57476da885e0a1c80951a7db8acf160db20a28a038bcc70203010001"
    "028180085bd016deea4da1209f88b0cfb0b0853e1461371157c72f7cca3bfa13a1cc545d7f6dadde53aa443bfdf4680b"
    "0d07ac2b9c74d1b4a3d8fbf784721e340472f09848e4c97b30cdd71fbd7d8fd1b3afc6b8d1afb19e61abdf82abb374f7"
    "11019f14acb017cd6b5182f1da8b80a577d075c339ae081e1da03b0e4b42d1bad46539024100cd05e676480d06c14923"
    "13fcf5195f731eb141e67fc73f074f2ec89609ae4b664ec9f001423ead4c2d68a1f85d2307408e940c1c6078fa34ff13"
    "f34ab3b46ecd024100ccbb15d49230758d8b3cdb40686fbeaa7caabfeee00c54445ad5056e5c8a8c785ade77283c1ec4"
    "c6f781d03318034e089848cf6811bb4bfa12a7815fe79a71e302404a8c78ae4da89eea2d43da02c2c4851680f48737df"
    "027e029462388185e7a07704f31c97f8947dc31347d68d4ea06c04a75361cbf7b0459a7b9daf7b5c38a1890241009a3d"
    "405f1b9c029416984c9e23903c56f9013304662b23b933ad552025fc038411019547ecb34990949b6a1d7433d930447a"
    "6637835456131ac6b3836b5b41fd02405507086ed2a9f4c190183b2a2f3fd5b890ed2608025606e2d7e8d1d59ec49ed8"
    "5187c98b5298dbe49aab2ec14239d3f4d1bb3a5f63be6600e6c9451246221ea5");
constexpr HexOctets kPrime1(
    "cd05e676480d06c1492313fcf5195f731eb141e67fc73f074f2ec89609ae4b664ec9f001423ead4c2d68a1f85d230740"
    "8e940c1c6078fa34ff13f34ab3b46ecd");
constexpr HexOctets kPrime2(
    "ccbb15d49230758d8b3cdb40686fbeaa7caabfeee00c54445ad5056e5c8a8c785ade77283c1ec4c6f781d03318034e08"
    "9848cf6811bb4bfa12a7815fe79a71e3");

// Each prime cut into runs of 16 octets: a copy of 31 octets or more of a prime holds one.
constexpr std::size_t kRun = 16;
std::atomic<bool> g_watching{false};
std::atomic<int> g_blocksWithSecrets{0};
std::atomic<std::size_t> g_firstSize{0};

bool HoldsAPrime(const void* block, std::size_t size) {
    for (const unsigned char* prime : {kPrime1.data, kPrime2.data})
        for (std::size_t at = 0; at + kRun <= kPrime1.size; at += kRun)
            if (memmem(block, size, prime + at, kRun)) return true;
    return false;
}

// Not inlined, so that a debugger's breakpoint here shows who freed the block.
[[gnu::noinline]] void FoundSecret(std::size_t size) {
    if (g_blocksWithSecrets.fetch_add(1) == 0) g_firstSize = size;
}

void Inspect(void* block) {
    if (!block || !g_watching.load(std::memory_order_relaxed)) return;
    const std::size_t size = malloc_usable_size(block);
    if (HoldsAPrime(block, size)) FoundSecret(size);
}

// Watches the blocks freed while it lives.
struct Watch {
    Watch() {
        g_blocksWithSecrets = 0;
        g_watching = true;
    }
    ~Watch() { g_watching = false; }
};

}  // namespace

extern "C" void free(void* block) noexcept {
    Inspect(block);
    __libc_free(block);
}

// A block that moves goes through free, so that it is looked into too.
extern "C" void* realloc(void* block, std::size_t size) noexcept {
    if (!block) return std::malloc(size);
    if (size == 0) {
        free(block);
        return nullptr;
    }
    void* moved = std::malloc(size);
    if (!moved) return nullptr;
    const std::size_t old = malloc_usable_size(block);
    std::memcpy(moved, block, old < size ? old : size);
    free(block);
    return moved;
}

void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete(void* block, std::size_t) noexcept { free(block); }
void operator delete[](void* block, std::size_t) noexcept { free(block); }
void operator delete(void* block, std::align_val_t) noexcept { free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { free(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { free(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { free(block); }

namespace {

using CRecord = CASN1_RSAKeyWithCertsAndDistinguishedName;

// The key read from DER that `encoding` holds.
CRSAPrivateKey ReadKey(CDEREncoding& encoding) {
    CASN1_PrivateKey structure;
    structure.decodeFrom(encoding);
    CRSAPrivateKey key;
    structure.SetDataTo(key);
    return key;
}

// The watch sees blocks freed: one that holds a prime of the key says which path left it.
TEST(FreedMemory, HoldsNoPrimeOfAPrivateKeyOnceEverythingIsDestroyed) {
    // The interposed free sees the heap: a marker written now is found when the block goes.
    {
        Watch watch;
        void* block = std::malloc(64);
        std::memcpy(block, kPrime1.data + 16, kRun);
        std::free(block);
        ASSERT_EQ(g_blocksWithSecrets, 1) << "free is not interposed";
    }
    Watch watch;
    {
        // Read from DER in place, and the numbers written back.
        CDEREncoding der(0, const_cast<unsigned char*>(kKeyDer.data), kKeyDer.size, 0, 0);
        const CRSAPrivateKey key = ReadKey(der);
        ASSERT_EQ(0, std::memcmp(key.prime1 + CRSAPrivateKey::kHalfFieldSize - kPrime1.size, kPrime1.data, kPrime1.size));
        CByteArray written;
        CASN1_PrivateKey(key).encodeTo(written);
        ASSERT_EQ(written.GetSize(), static_cast<int>(kKeyDer.size));
        // A signature: the private operation works on the primes.
        const unsigned char digest[16] = {1, 2, 3};
        CByteArray signature;
        key.LockDigest(md5, digest, signature);
        EXPECT_EQ(signature.GetSize(), 128);

        // A key-store record and a store of two, longer than an encoder's inline buffer, written
        // and read back from a private copy.
        CASN1_KCDNs store;
        store.AddObject(new CRecord(key, CString("mine"), nullptr));
        store.AddObject(new CRecord(key, CString("again"), nullptr));
        CByteArray record, stored;
        store.GetRecord(0).encodeTo(record);
        store.encodeTo(stored);
        {
            CDEREncoding copy(0, stored);
            CRSAPrivateKey read;
            CASN1_KCDNs(copy).GetRecord(1).GetPrivateKey(read);
            EXPECT_EQ(0, std::memcmp(read.prime2, key.prime2, sizeof read.prime2));
        }
        {
            CDEREncoding copy(0, written);
            EXPECT_EQ(0, std::memcmp(ReadKey(copy).prime1, key.prime1, sizeof key.prime1));
        }

        // The key and its structure through an archive, stored and loaded.
        CMemFile file;
        {
            CArchive out(&file, CArchive::store);
            const_cast<CRSAPrivateKey&>(key).Serialize(out);
            CASN1_PrivateKey(key)._Serialize(out);
        }
        file.SeekToBegin();
        {
            CArchive in(&file, CArchive::load);
            CRSAPrivateKey loaded;
            loaded.Serialize(in);
            CASN1_PrivateKey structure;
            structure._Serialize(in);
            EXPECT_EQ(0, std::memcmp(loaded.prime2, key.prime2, sizeof key.prime2));
        }
    }
    EXPECT_EQ(g_blocksWithSecrets, 0) << "the first of them " << g_firstSize << " octets";
}

}  // namespace
