// vorlan keystore list|add|export: a key store (RSA keys with their certificates and owners)
// kept in a file sealed under a password (keystore_file.cpp).
#include <unistd.h>

#include <memory>

#include "tools/vorlan/cli.h"

namespace cli {

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
    std::uint32_t iterations = kKeyStoreIterations;
};

// Runs a command on its options, then wipes the password they hold, however the command ends.
void WithPassword(void (*command)(const Options&), Options& o) {
    struct Wiped {
        std::string& text;
        ~Wiped() { SecureWipe(text.data(), text.size()); }
    } wiped{o.password};
    command(o);
}

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
    const std::vector<unsigned char> sealed = SealKeyStore(records, o.password, o.iterations);
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
        "The file holds \"vorlanks\", the octet 2, a PBKDF2 iteration count (4 octets, big-endian, 1 to 10000000)\n"
        "and a 16-octet salt, then the store's DER in an encrypted file stream (records of 4,096 octets, each\n"
        "des-ede3-cbc from a zero IV and starting with 8 random octets, the last one padded as PKCS #7), then\n"
        "HMAC-SHA-256 of all that. PBKDF2 (RFC 8018) with HMAC-SHA-256 over the password and salt gives 32\n"
        "octets; HKDF-Expand (RFC 5869) of them gives the key (info \"vorlanks des-ede3-cbc\", 24 octets) and\n"
        "the MAC key (info \"vorlanks hmac-sha256\"). Stores of the earlier form (no octet 2, no MAC) are read\n"
        "and written in this form on the next add");
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
    list->callback([listOptions] { WithPassword(List, *listOptions); });

    auto* add = keystore->add_subcommand("add", "Add a key with its certificates (the store is made when missing)");
    auto addOptions = std::make_shared<Options>();
    common(add, *addOptions);
    add->add_option("--name", addOptions->name, "the record's name, unique in the store")->required();
    add->add_option("--key", addOptions->key, "key: keygen's file (private or public) or a PEM RSA private key")
        ->required();
    add->add_option("--cert", addOptions->certificates, "a certificate of the key, DER or PEM (repeatable)");
    add->add_option("--owner", addOptions->owner, "the owner's name: /C=DE/O=Example/CN=Erika");
    add->add_option("--iterations", addOptions->iterations, "PBKDF2 iteration count of the saved store")
        ->capture_default_str()
        ->check(CLI::Range(std::uint32_t{1}, kKeyStoreMaxIterations));
    add->callback([addOptions] { WithPassword(Add, *addOptions); });

    auto* exported = keystore->add_subcommand("export", "Write a record's key (keygen's form) and its certificates");
    auto exportOptions = std::make_shared<Options>();
    common(exported, *exportOptions);
    exported->add_option("--name", exportOptions->name, "the record's name")->required();
    exported->add_option("-o,--output", exportOptions->out, "key file to write (mode 0600 for a private key)")
        ->required();
    exported->add_option("--certs", exportOptions->certificatesOut, "file to write the certificates to, as PEM");
    exported->callback([exportOptions] { WithPassword(Export, *exportOptions); });
}

}  // namespace cli
