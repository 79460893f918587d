// vorlan keygen: a new RSA key pair in the archive form of CRSAPrivateKey.
// vorlan rsa FILE: a key's size, public exponent and modulus.
#include <memory>

#include "tools/vorlan/cli.h"

namespace cli {
namespace {

struct KeygenOptions {
    unsigned bits = 3072;
    bool e3 = false;
    std::string out;
};

void Keygen(const KeygenOptions& o) {
    if (o.bits < 508 || o.bits > 4096) throw Failure("--bits must be from 508 to 4096 (the key archive's range)");
    OutputFile out(o.out, 0600);
    std::unique_ptr<CRSAKeyPair> key;
    {
        TerminalProgress bar("generating");
        key = std::make_unique<CRSAKeyPair>(static_cast<unsigned short>(o.bits), o.e3 ? 0 : 1, nullptr, 0,
                                            bar.Progress());
    }
    {
        CArchive ar(&out.File(), CArchive::store);
        ar << static_cast<const CObject*>(key.get());
        ar.Close();
    }
    out.Commit();
    std::printf("%u-bit RSA key pair (e = %s) saved to %s\n", o.bits, o.e3 ? "3" : "65537", o.out.c_str());
}

void PrintKey(const std::string& path, bool showPrivate) {
    const std::unique_ptr<CRSAPublicKey> key = LoadKey(path);
    const auto* privateKey = dynamic_cast<const CRSAPrivateKey*>(key.get());
    std::printf("%s key, %u bits\n", privateKey ? "RSA private" : "RSA public", key->bits);
    std::printf("publicExponent: %s\n", FieldHex(key->publicExponent, sizeof key->publicExponent).c_str());
    std::printf("modulus: %s\n", FieldHex(key->modulus, sizeof key->modulus).c_str());
    if (!privateKey || !showPrivate) return;
    const struct {
        const char* name;
        const BYTE* field;
        size_t size;
    } fields[] = {
        {"privateExponent", privateKey->privateExponent, sizeof privateKey->privateExponent},
        {"prime1", privateKey->prime1, sizeof privateKey->prime1},
        {"prime2", privateKey->prime2, sizeof privateKey->prime2},
        {"exponent1", privateKey->exponent1, sizeof privateKey->exponent1},
        {"exponent2", privateKey->exponent2, sizeof privateKey->exponent2},
        {"coefficient", privateKey->coefficient, sizeof privateKey->coefficient},
    };
    for (const auto& f : fields) std::printf("%s: %s\n", f.name, FieldHex(f.field, f.size).c_str());
}

}  // namespace

void AddKeyCommands(CLI::App& app) {
    auto* keygen = app.add_subcommand("keygen", "Generate an RSA key pair and save it in the library's archive form");
    auto options = std::make_shared<KeygenOptions>();
    keygen->add_option("--bits", options->bits, "modulus size in bits (508 to 4096)")->capture_default_str();
    keygen->add_flag("--e3", options->e3, "public exponent 3 instead of 65537");
    keygen->add_option("-o,--output", options->out, "key file to write (mode 0600)")->required();
    keygen->callback([options] { Keygen(*options); });

    auto* rsa = app.add_subcommand("rsa", "Print an RSA key file's size, public exponent and modulus");
    auto path = std::make_shared<std::string>();
    auto showPrivate = std::make_shared<bool>(false);
    rsa->add_option("file", *path, "key: keygen's file or a PEM RSA private key (PKCS #1, PKCS #8)")->required();
    rsa->add_flag("--show-private", *showPrivate, "also print the private exponent, primes and CRT values");
    rsa->callback([path, showPrivate] { PrintKey(*path, *showPrivate); });
}

}  // namespace cli
