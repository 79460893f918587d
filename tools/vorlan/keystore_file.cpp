// The key store file: the DER of a CASN1_KCDNs sealed under a password.
//
// Written (format 2):
//   "vorlanks" (8 octets), the format octet 2, the PBKDF2 iteration count (4 octets,
//   big-endian), the salt (16 octets), the encrypted file stream, then HMAC-SHA-256 (32
//   octets) of everything before it.
//   PBKDF2 (RFC 8018) with HMAC-SHA-256 over the password and salt gives one 32-octet master
//   key; HKDF-Expand (RFC 5869, SHA-256) of the master gives the triple-DES key (the first 24
//   octets for the info "vorlanks des-ede3-cbc") and the MAC key (32 octets for the info
//   "vorlanks hmac-sha256"). One PBKDF2 block costs a guesser as much as it costs us.
//   The stream has records of 4,096 octets, each des-ede3-cbc from a zero IV; each record
//   begins with 8 random octets, drawn anew on every save, and the DER follows in the rest.
//   The ciphertext of that first block is the CBC IV of the rest of the record, so each
//   record has an IV of its own that nobody can predict (the explicit IV of TLS 1.1, RFC 4346
//   6.2.3.2), and the stream needs no IV per record.
//   The MAC is checked, in constant time, before anything is decrypted.
// Read also (format 1, no integrity): "vorlanks", the iteration count (its first octet is 0,
//   as every count read is below 2^24), the salt, then the stream of the DER alone under the
//   key (24 octets) and IV (8) of 32 PBKDF2 octets. The next save writes format 2.
// Any failure after the magic reads "wrong password or damaged store".
#include <algorithm>
#include <cstring>
#include <memory>

#include "tools/vorlan/cli.h"

namespace cli {

namespace {

using vorlan::detail::CWipedOctets;
using vorlan::detail::CWipedVector;

const char kMagic[8] = {'v', 'o', 'r', 'l', 'a', 'n', 'k', 's'};
constexpr unsigned char kSealed = 2;
constexpr size_t kSaltSize = 16;
constexpr size_t kMacSize = 32;
constexpr size_t kCountAt = sizeof kMagic + 1;  // format 2; format 1 has its count at sizeof kMagic
constexpr size_t kSaltAt = kCountAt + 4;
constexpr size_t kHeader = kSaltAt + kSaltSize;
constexpr size_t kOldHeader = sizeof kMagic + 4 + kSaltSize;
constexpr unsigned long kRecordSize = 4096;
constexpr size_t kLead = 8;  // the random block that starts each record
constexpr size_t kRecordData = kRecordSize - kLead;

// HMAC-SHA-256 (RFC 2104); the states after the padded key are computed once.
class HmacSha256 {
public:
    HmacSha256(const unsigned char* key, size_t length) {
        CWipedOctets<64> block;
        std::memset(block.data, 0, sizeof block.data);
        if (length > 64) {
            CSHA256DigestMaker shortened;
            shortened.UpdateBlock(key, static_cast<int>(length), nullptr, 1, 1);
            shortened.GetCurrentDigest(block.data);
        } else {
            std::memcpy(block.data, key, length);
        }
        for (unsigned char& c : block.data) c ^= 0x36;
        m_inner.UpdateBlock(block.data, 64, nullptr, 0, 1);
        for (unsigned char& c : block.data) c ^= 0x36 ^ 0x5C;
        m_outer.UpdateBlock(block.data, 64, nullptr, 0, 1);
    }

    void Mac(const unsigned char* data, size_t length, unsigned char (&out)[32]) const {
        CSHA256DigestMaker inner = m_inner;
        inner.UpdateBlock(data, static_cast<int>(length), nullptr, 1, 1);
        inner.GetCurrentDigest(out);
        CSHA256DigestMaker outer = m_outer;
        outer.UpdateBlock(out, 32, nullptr, 1, 1);
        outer.GetCurrentDigest(out);
    }

private:
    CSHA256DigestMaker m_inner;
    CSHA256DigestMaker m_outer;
};

// The first block of HKDF-Expand (RFC 5869): HMAC(master, info || 1).
void Expand(const unsigned char (&master)[32], const char* info, unsigned char (&out)[32]) {
    std::vector<unsigned char> label(info, info + std::strlen(info));
    label.push_back(1);
    HmacSha256(master, sizeof master).Mac(label.data(), label.size(), out);
}

// Equal in time that does not depend on where the octets differ.
bool SameMac(const unsigned char* a, const unsigned char* b) {
    unsigned char difference = 0;
    for (size_t i = 0; i < kMacSize; ++i) difference |= a[i] ^ b[i];
    return difference == 0;
}

// Triple-DES-CBC for a stream: the key and its processor.
class StoreCipher {
public:
    StoreCipher(const unsigned char* key, const unsigned char* iv) {
        m_key.Set(key, 24);
        m_processor = std::make_unique<CCBC<CTripleDESAlgorithm>>(m_key, iv);
    }
    CCBC<CTripleDESAlgorithm>& Processor() { return *m_processor; }

private:
    CTripleDESkey m_key;
    std::unique_ptr<CCBC<CTripleDESAlgorithm>> m_processor;
};

// The keys of format 2 for a header's salt and iteration count.
struct SealKeys {
    CWipedOctets<32> cipher;
    CWipedOctets<32> mac;

    SealKeys(const std::string& password, const unsigned char* salt, std::uint32_t iterations) {
        CWipedOctets<32> master;
        DeriveKey(password, salt, kSaltSize, iterations, master.data, sizeof master.data);
        Expand(master.data, "vorlanks des-ede3-cbc", cipher.data);
        Expand(master.data, "vorlanks hmac-sha256", mac.data);
    }
    void Mac(const unsigned char* data, size_t length, unsigned char (&out)[32]) const {
        HmacSha256(mac.data, sizeof mac.data).Mac(data, length, out);
    }
};

// Any fixed IV serves: the random block leading each record makes the chaining value unpredictable.
constexpr unsigned char kZeroIV[8] = {};

[[noreturn]] void Damaged() { AfxThrowFileException(CFileException::generic, -1); }

// The iteration count at `at`: 1 to the cap, so a hostile file cannot make us derive for hours.
std::uint32_t ReadCount(const unsigned char* at) {
    std::uint32_t count = 0;
    for (int i = 0; i < 4; ++i) count = count << 8 | at[i];
    if (count == 0 || count > kKeyStoreMaxIterations) Damaged();
    return count;
}

// The plaintext of a stream, all of it.
CWipedVector<unsigned char> Decrypt(const unsigned char* stream, size_t length, CCryptoProcessor& processor) {
    CMemFile underlying(const_cast<BYTE*>(stream), static_cast<UINT>(length));
    CCryptoFile file(&underlying, processor, kRecordSize, 0);
    CWipedVector<unsigned char> plain(file.GetLength());
    if (file.Read(plain.data(), static_cast<UINT>(plain.size())) != plain.size()) Damaged();
    return plain;
}

// Format 2: the MAC first, then the records without their leading blocks.
void OpenSealed(const std::vector<unsigned char>& file, const std::string& password, CByteArray& der) {
    if (file.size() < kHeader + kMacSize || file[sizeof kMagic] != kSealed) Damaged();
    const SealKeys keys(password, file.data() + kSaltAt, ReadCount(file.data() + kCountAt));
    const size_t macAt = file.size() - kMacSize;
    unsigned char mac[32];
    keys.Mac(file.data(), macAt, mac);
    if (!SameMac(mac, file.data() + macAt)) Damaged();
    StoreCipher cipher(keys.cipher.data, kZeroIV);
    const CWipedVector<unsigned char> plain = Decrypt(file.data() + kHeader, macAt - kHeader, cipher.Processor());
    const size_t records = (plain.size() + kRecordSize - 1) / kRecordSize;
    if (records == 0 || plain.size() <= (records - 1) * kRecordSize + kLead) Damaged();  // a last record of no data
    der.SetSize(static_cast<int>(plain.size() - records * kLead));
    for (size_t record = 0; record < records; ++record) {
        const size_t at = record * kRecordSize + kLead;
        const size_t take = std::min(kRecordData, plain.size() - at);
        std::memcpy(der.GetData() + record * kRecordData, plain.data() + at, take);
    }
}

// Format 1: the stream of the DER under the key and IV of 32 PBKDF2 octets.
void OpenOld(const std::vector<unsigned char>& file, const std::string& password, CByteArray& der) {
    if (file.size() < kOldHeader) Damaged();
    CWipedOctets<32> derived;
    DeriveKey(password, file.data() + sizeof kMagic + 4, kSaltSize, ReadCount(file.data() + sizeof kMagic),
              derived.data, sizeof derived.data);
    StoreCipher cipher(derived.data, derived.data + 24);
    const CWipedVector<unsigned char> plain =
        Decrypt(file.data() + kOldHeader, file.size() - kOldHeader, cipher.Processor());
    der.SetSize(static_cast<int>(plain.size()));
    std::copy(plain.begin(), plain.end(), der.GetData());
}

}  // namespace

void DeriveKey(const std::string& password, const unsigned char* salt, size_t saltLength, std::uint32_t iterations,
               unsigned char* out, size_t length) {
    const HmacSha256 hmac(reinterpret_cast<const unsigned char*>(password.data()), password.size());
    std::vector<unsigned char> first(salt, salt + saltLength);
    first.resize(saltLength + 4);
    for (std::uint32_t block = 1; length > 0; ++block) {
        for (int i = 0; i < 4; ++i) first[saltLength + i] = static_cast<unsigned char>(block >> (24 - 8 * i));
        CWipedOctets<32> u, t;
        hmac.Mac(first.data(), first.size(), u.data);
        std::memcpy(t.data, u.data, 32);
        for (std::uint32_t j = 1; j < iterations; ++j) {
            hmac.Mac(u.data, 32, u.data);
            for (int i = 0; i < 32; ++i) t.data[i] ^= u.data[i];
        }
        const size_t take = std::min<size_t>(32, length);
        std::memcpy(out, t.data, take);
        out += take;
        length -= take;
    }
}

std::vector<unsigned char> SealKeyStore(const CASN1_KCDNs& store, const std::string& password,
                                        std::uint32_t iterations) {
    std::vector<unsigned char> file(kMagic, kMagic + sizeof kMagic);
    file.push_back(kSealed);
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<unsigned char>(iterations >> (24 - 8 * i)));
    file.resize(kHeader);
    CRandomsGenerator random;
    random.GetRandomBlock(file.data() + kSaltAt, kSaltSize);  // a fresh salt each time
    const SealKeys keys(password, file.data() + kSaltAt, iterations);

    CByteArray der;  // wiped when freed
    store.encodeTo(der);
    CWipedVector<unsigned char> plain;
    plain.reserve(der.GetSize() + kLead * (der.GetSize() / kRecordData + 1));
    for (size_t at = 0; at < static_cast<size_t>(der.GetSize()); at += kRecordData) {
        unsigned char lead[kLead];
        random.GetRandomBlock(lead, kLead);
        plain.insert(plain.end(), lead, lead + kLead);
        const size_t take = std::min(kRecordData, der.GetSize() - at);
        plain.insert(plain.end(), der.GetData() + at, der.GetData() + at + take);
    }

    StoreCipher cipher(keys.cipher.data, kZeroIV);
    CMemFile sealed;
    {
        CCryptoFile stream(&sealed, cipher.Processor(), kRecordSize, 0);
        stream.Write(plain.data(), static_cast<UINT>(plain.size()));
        stream.Close();
    }
    file.insert(file.end(), sealed.GetBuffer(), sealed.GetBuffer() + sealed.GetLength());
    unsigned char mac[32];
    keys.Mac(file.data(), file.size(), mac);
    file.insert(file.end(), mac, mac + sizeof mac);
    return file;
}

std::unique_ptr<Decoded<CASN1_KCDNs>> OpenKeyStore(const std::vector<unsigned char>& file, const std::string& password,
                                                   const std::string& name) {
    if (file.size() < sizeof kMagic || std::memcmp(file.data(), kMagic, sizeof kMagic) != 0)
        throw Failure(name + ": not a vorlan key store");
    const Failure damaged(name + ": wrong password or damaged store");
    CByteArray der;  // wiped when freed
    try {
        // A format 1 count is below 2^24, so its first octet is 0 where format 2 has its octet.
        if (file.size() > sizeof kMagic && file[sizeof kMagic] == 0)
            OpenOld(file, password, der);
        else
            OpenSealed(file, password, der);
    } catch (CException* e) {
        e->Delete();
        throw damaged;
    }
    try {
        return std::make_unique<Decoded<CASN1_KCDNs>>(der, name);
    } catch (const Failure&) {
        throw damaged;
    }
}

}  // namespace cli
