// vorlan keystore list|add|export: a key store (RSA keys with their certificates and owners)
// kept in an encrypted file stream under a key derived from a password.
//
// The file: "vorlanks" (8 octets), the PBKDF2 iteration count (4 octets, big-endian), the salt
// (16 octets), then an encrypted file stream (records of 4,096 octets, triple-DES-CBC) of the
// DER of the store. PBKDF2 (RFC 8018) with HMAC-SHA-256 gives 32 octets: the triple-DES key
// (24) and the IV (8).
#include <unistd.h>

#include <cstring>
#include <memory>

#include "tools/vorlan/cli.h"

namespace cli {

namespace {

const char kMagic[8] = {'v', 'o', 'r', 'l', 'a', 'n', 'k', 's'};
constexpr size_t kHeader = 8 + 4 + 16;
constexpr unsigned long kRecordSize = 4096;
constexpr std::uint32_t kIterations = 100000;

// HMAC-SHA-256 (RFC 2104); the states after the padded key are computed once.
class HmacSha256 {
public:
    explicit HmacSha256(const std::string& key) {
        vorlan::detail::CWipedOctets<64> block;
        std::memset(block.data, 0, sizeof block.data);
        if (key.size() > 64) {
            CSHA256DigestMaker shortened;
            shortened.UpdateBlock(reinterpret_cast<const unsigned char*>(key.data()), static_cast<int>(key.size()),
                                  nullptr, 1, 1);
            shortened.GetCurrentDigest(block.data);
        } else {
            std::memcpy(block.data, key.data(), key.size());
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

}  // namespace

void DeriveKey(const std::string& password, const unsigned char* salt, size_t saltLength, std::uint32_t iterations,
               unsigned char* out, size_t length) {
    const HmacSha256 hmac(password);
    std::vector<unsigned char> first(salt, salt + saltLength);
    first.resize(saltLength + 4);
    for (std::uint32_t block = 1; length > 0; ++block) {
        for (int i = 0; i < 4; ++i) first[saltLength + i] = static_cast<unsigned char>(block >> (24 - 8 * i));
        vorlan::detail::CWipedOctets<32> u, t;
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

namespace {

// The cipher of a store file's stream: triple-DES-CBC under the key and IV derived from the
// password, the salt and the iteration count.
class StoreCipher {
public:
    StoreCipher(const std::string& password, const unsigned char* salt, std::uint32_t iterations) {
        vorlan::detail::CWipedOctets<32> derived;
        DeriveKey(password, salt, 16, iterations, derived.data, sizeof derived.data);
        m_key.Set(derived.data, 24);
        m_processor = std::make_unique<CCBC<CTripleDESAlgorithm>>(m_key, derived.data + 24);
    }
    CCBC<CTripleDESAlgorithm>& Processor() { return *m_processor; }

private:
    CTripleDESkey m_key;
    std::unique_ptr<CCBC<CTripleDESAlgorithm>> m_processor;
};

}  // namespace

std::vector<unsigned char> SealKeyStore(const CASN1_KCDNs& store, const std::string& password) {
    std::vector<unsigned char> file(kMagic, kMagic + sizeof kMagic);
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<unsigned char>(kIterations >> (24 - 8 * i)));
    file.resize(kHeader);
    CRandomsGenerator().GetRandomBlock(file.data() + 12, 16);  // a fresh salt each time
    StoreCipher cipher(password, file.data() + 12, kIterations);
    CMemFile sealed;
    {
        CCryptoFile stream(&sealed, cipher.Processor(), kRecordSize, 0);
        CByteArray der;
        store.encodeTo(der);
        stream.Write(der.GetData(), static_cast<UINT>(der.GetSize()));
        stream.Close();
    }
    file.insert(file.end(), sealed.GetBuffer(), sealed.GetBuffer() + sealed.GetLength());
    return file;
}

std::unique_ptr<Decoded<CASN1_KCDNs>> OpenKeyStore(const std::vector<unsigned char>& file, const std::string& password,
                                                   const std::string& name) {
    if (file.size() < kHeader || std::memcmp(file.data(), kMagic, sizeof kMagic) != 0)
        throw Failure(name + ": not a vorlan key store");
    std::uint32_t iterations = 0;
    for (int i = 0; i < 4; ++i) iterations = iterations << 8 | file[8 + i];
    if (iterations == 0 || iterations > 10000000) throw Failure(name + ": bad PBKDF2 iteration count");
    StoreCipher cipher(password, file.data() + 12, iterations);
    CMemFile underlying(const_cast<BYTE*>(file.data() + kHeader), static_cast<UINT>(file.size() - kHeader));
    const std::string failed = name + ": wrong password or damaged store (";
    CByteArray der;
    try {
        CCryptoFile stream(&underlying, cipher.Processor(), kRecordSize, 0);
        der.SetSize(static_cast<int>(stream.GetLength()));
        if (stream.Read(der.GetData(), static_cast<UINT>(der.GetSize())) != static_cast<UINT>(der.GetSize()))
            throw Failure(failed + "the stream ends early)");
    } catch (CException* e) {
        throw Failure(failed + Describe(e) + ")");
    }
    try {
        return std::make_unique<Decoded<CASN1_KCDNs>>(der, name);
    } catch (const Failure& e) {
        throw Failure(failed + (e.what() + name.size() + 2) + ")");
    }
}

namespace {

struct Options {
    std::string store;
    std::string password;
    std::string name;
    std::string key;
    std::vector<std::string> certificates;
    std::string owner;
    std::string out;
    std::string certificatesOut;
};

void List(const Options& o) {
    const auto store = OpenKeyStore(ReadAll(o.store), o.password, o.store);
    const CASN1_KCDNs& records = **store;
    for (int i = 0; i < records.GetCount(); ++i) {
        const CASN1_RSAKeyWithCertsAndDistinguishedName& record = records.GetRecord(i);
        CRSAPublicKey key;
        record.GetPublicKey(key);
        std::printf("%s: RSA %s key, %u bits\n", record.GetName().str().c_str(),
                    record.IsPrivateKey() ? "private" : "public", key.bits);
        if (record.IsDistinguishedName()) {
            CDistinguishedName owner;
            record.GetDistinguishedName(owner);
            std::printf("   owner: %s\n", owner.GetOneLine().str().c_str());
        }
        for (int c = 0; c < record.GetCertificateCount(); ++c) {
            CCertificate certificate;
            record.GetCertificate(c).SetDataTo(certificate);
            std::printf("   certificate: %s, serial %s\n", certificate.m_subject.GetOneLine().str().c_str(),
                        CString(certificate.m_serialNumber).str().c_str());
        }
    }
    std::printf("%d record%s\n", records.GetCount(), records.GetCount() == 1 ? "" : "s");
}

void Add(const Options& o) {
    // Decoded first: the store's values may share their encodings, which must outlive them.
    std::vector<std::unique_ptr<Decoded<CASN1_Certificate>>> certificates;
    for (const std::string& path : o.certificates)
        certificates.push_back(std::make_unique<Decoded<CASN1_Certificate>>(path, "CERTIFICATE"));
    std::unique_ptr<Decoded<CASN1_KCDNs>> opened;
    if (::access(o.store.c_str(), F_OK) == 0) opened = OpenKeyStore(ReadAll(o.store), o.password, o.store);
    CASN1_KCDNs fresh;
    CASN1_KCDNs& records = opened ? **opened : fresh;
    if (records.FindRecord(o.name.c_str()) >= 0) throw Failure(o.store + ": already holds \"" + o.name + "\"");
    const std::unique_ptr<CRSAPublicKey> key = LoadKey(o.key);
    const CDistinguishedName owner = o.owner.empty() ? CDistinguishedName() : ParseSubject(o.owner);
    const auto* privateKey = dynamic_cast<const CRSAPrivateKey*>(key.get());
    const CDistinguishedName* named = o.owner.empty() ? nullptr : &owner;
    auto record = privateKey
                      ? std::make_unique<CASN1_RSAKeyWithCertsAndDistinguishedName>(*privateKey, o.name.c_str(), named)
                      : std::make_unique<CASN1_RSAKeyWithCertsAndDistinguishedName>(*key, o.name.c_str(), named);
    for (const auto& certificate : certificates)
        record->AddCertificate(static_cast<CASN1_Certificate*>((*certificate)->clone()));
    records.AddObject(record.release());
    const std::vector<unsigned char> sealed = SealKeyStore(records, o.password);
    OutputFile out(o.store, 0600);
    out.File().Write(sealed.data(), static_cast<UINT>(sealed.size()));
    out.Commit();
    std::printf("\"%s\" added to %s (%d records)\n", o.name.c_str(), o.store.c_str(), records.GetCount());
}

void Export(const Options& o) {
    const auto store = OpenKeyStore(ReadAll(o.store), o.password, o.store);
    const CASN1_KCDNs& records = **store;
    const int index = records.FindRecord(o.name.c_str());
    if (index < 0) throw Failure(o.store + ": holds no \"" + o.name + "\"");
    const CASN1_RSAKeyWithCertsAndDistinguishedName& record = records.GetRecord(index);
    std::unique_ptr<CRSAPublicKey> key;
    if (record.IsPrivateKey()) {
        auto privateKey = std::make_unique<CRSAPrivateKey>();
        record.GetPrivateKey(*privateKey);
        key = std::move(privateKey);
    } else {
        key = std::make_unique<CRSAPublicKey>();
        record.GetPublicKey(*key);
    }
    if (!o.certificatesOut.empty()) {
        OutputFile certificates(o.certificatesOut);
        for (int c = 0; c < record.GetCertificateCount(); ++c) {
            CByteArray der;
            record.GetCertificate(c).encodeTo(der);
            const CString pem = EncodePem("CERTIFICATE", der.GetData(), der.GetSize());
            certificates.File().Write(static_cast<const char*>(pem), static_cast<UINT>(pem.GetLength()));
        }
        certificates.Commit();
    }
    OutputFile out(o.out, record.IsPrivateKey() ? 0600 : 0644);
    {
        CArchive ar(&out.File(), CArchive::store);
        ar << static_cast<const CObject*>(key.get());
        ar.Close();
    }
    out.Commit();
    std::printf("\"%s\" saved to %s\n", o.name.c_str(), o.out.c_str());
}

}  // namespace

void AddKeystoreCommands(CLI::App& app) {
    auto* keystore = app.add_subcommand(
        "keystore",
        "List, add and export RSA keys and their certificates in a password-protected key store file.\n"
        "The file holds \"vorlanks\", a PBKDF2 iteration count (4 octets, big-endian, 100000 when made here) and a\n"
        "16-octet salt, then the store's DER in an encrypted file stream: records of 4,096 octets, each\n"
        "des-ede3-cbc from the IV, the last one padded as PKCS #7. Key and IV are the 32 octets of PBKDF2\n"
        "(RFC 8018) with HMAC-SHA-256 over the password and salt: 24 for the key, 8 for the IV");
    keystore->require_subcommand(1);
    const auto common = [](CLI::App* command, Options& options) {
        command->add_option("store", options.store, "key store file")->required();
        command->add_option("-p,--password", options.password, "the store's password")
            ->envname("VORLAN_PASSWORD")
            ->required();
    };

    auto* list = keystore->add_subcommand("list", "Print each record: name, key, owner and certificates");
    auto listOptions = std::make_shared<Options>();
    common(list, *listOptions);
    list->callback([listOptions] { List(*listOptions); });

    auto* add = keystore->add_subcommand("add", "Add a key with its certificates (the store is made when missing)");
    auto addOptions = std::make_shared<Options>();
    common(add, *addOptions);
    add->add_option("--name", addOptions->name, "the record's name, unique in the store")->required();
    add->add_option("--key", addOptions->key, "key: keygen's file (private or public) or a PEM RSA private key")
        ->required();
    add->add_option("--cert", addOptions->certificates, "a certificate of the key, DER or PEM (repeatable)");
    add->add_option("--owner", addOptions->owner, "the owner's name: /C=DE/O=Example/CN=Erika");
    add->callback([addOptions] { Add(*addOptions); });

    auto* exported = keystore->add_subcommand("export", "Write a record's key (keygen's form) and its certificates");
    auto exportOptions = std::make_shared<Options>();
    common(exported, *exportOptions);
    exported->add_option("--name", exportOptions->name, "the record's name")->required();
    exported->add_option("-o,--output", exportOptions->out, "key file to write (mode 0600 for a private key)")
        ->required();
    exported->add_option("--certs", exportOptions->certificatesOut, "file to write the certificates to, as PEM");
    exported->callback([exportOptions] { Export(*exportOptions); });
}

}  // namespace cli
