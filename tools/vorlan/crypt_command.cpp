// vorlan encrypt|decrypt: whole files through a CBC cipher with EncryptFile/DecryptFile.
#include <memory>

#include "tools/vorlan/cli.h"

namespace cli {
namespace {

struct CryptOptions {
    std::string cipher = "des3";
    std::string key;
    std::string iv;
    unsigned rc2Bits = 0;
    unsigned rounds = 12;
    unsigned blockSize = 8;
    bool noPadding = false;
    std::string in;
    std::string out;
};

// Fills a key of the cipher's class from the hexadecimal option; the class fixes the length.
template <class Key>
Key MakeKey(const std::string& hex, Key key) {
    const std::vector<unsigned char> octets = ParseHex(hex, key.Size(), "--key");
    key.Set(octets.data(), octets.size());
    return key;
}

std::unique_ptr<CCryptoProcessor> MakeCipher(const CryptOptions& o) {
    const bool aes = o.cipher.rfind("aes", 0) == 0;
    const std::vector<unsigned char> iv = ParseHex(o.iv, o.cipher == "rc5" ? o.blockSize : aes ? 16 : 8, "--iv");
    if (o.cipher == "aes128") return std::make_unique<CCBC<CAESAlgorithm>>(MakeKey(o.key, CAES128key()), iv.data());
    if (o.cipher == "aes192") return std::make_unique<CCBC<CAESAlgorithm>>(MakeKey(o.key, CAES192key()), iv.data());
    if (o.cipher == "aes256") return std::make_unique<CCBC<CAESAlgorithm>>(MakeKey(o.key, CAES256key()), iv.data());
    if (o.cipher == "des") return std::make_unique<CCBC<CDESAlgorithm>>(MakeKey(o.key, CDESkey()), iv.data());
    if (o.cipher == "des3")
        return std::make_unique<CCBC<CTripleDESAlgorithm>>(MakeKey(o.key, CTripleDESkey()), iv.data());
    if (o.cipher == "idea") return std::make_unique<CCBC<CIDEAAlgorithm>>(MakeKey(o.key, CIDEAkey()), iv.data());
    if (o.cipher == "rc2") {
        // Any key length; the effective bits default to the key's own length.
        const std::vector<unsigned char> octets = ParseHex(o.key, 0, "--key");
        CRC2key key(static_cast<unsigned short>(o.rc2Bits ? o.rc2Bits : 8 * octets.size()));
        key.Set(octets.data(), octets.size());
        return std::make_unique<CCBC<CRC2Algorithm>>(key, iv.data());
    }
    const std::vector<unsigned char> octets = ParseHex(o.key, 0, "--key");
    CRC5key key;
    if (!key.Set(octets.data(), octets.size())) throw Failure("--key: an RC5 key has 0 to 255 octets");
    if (o.noPadding) return std::make_unique<CCBC<CRC5Algorithm>>(key, o.rounds, o.blockSize, iv.data());
    return std::make_unique<CCBC<CRC5PadAlgorithm>>(key, o.rounds, o.blockSize, iv.data());
}

constexpr unsigned long kChunk = 64 * 1024;

void Run(const CryptOptions& o, bool encrypt) {
    std::unique_ptr<CCryptoProcessor> cipher = MakeCipher(o);
    CFile in;
    OpenInput(in, o.in);
    OutputFile out(o.out);
    TerminalProgress bar(encrypt ? "encrypting" : "decrypting");
    if (encrypt)
        EncryptFile(*cipher, in, 0, out.File(), kChunk, bar.Progress(), 1);
    else
        DecryptFile(*cipher, in, 0, out.File(), kChunk, bar.Progress(), 1);
    bar.Finish();
    out.Commit();
}

void AddCryptCommand(CLI::App& app, const char* name, const char* description, bool encrypt) {
    auto* command = app.add_subcommand(name, description);
    auto options = std::make_shared<CryptOptions>();
    command->add_option("--cipher", options->cipher, "aes128, aes192, aes256, des, des3, idea, rc2 or rc5 (CBC mode)")
        ->check(CLI::IsMember({"aes128", "aes192", "aes256", "des", "des3", "idea", "rc2", "rc5"}))
        ->capture_default_str();
    command->add_option("--key", options->key, "key octets in hexadecimal")->required();
    command->add_option("--iv", options->iv, "initialisation vector in hexadecimal (one block)")->required();
    command->add_option("--rc2-bits", options->rc2Bits, "RC2 effective key bits (default: the key's length)");
    command->add_option("--rounds", options->rounds, "RC5 rounds")->capture_default_str()->check(CLI::Range(0, 255));
    command->add_option("--block-size", options->blockSize, "RC5 block size in octets: 2, 4, 8 or 16")
        ->capture_default_str()
        ->check(CLI::IsMember({2u, 4u, 8u, 16u}));
    command->add_flag("--no-padding", options->noPadding, "RC5 without padding (whole blocks only)");
    command->add_option("in", options->in, "input file")->required();
    command->add_option("out", options->out, "output file (written only when complete)")->required();
    command->callback([options, encrypt] { Run(*options, encrypt); });
}

}  // namespace

void AddCryptCommands(CLI::App& app) {
    AddCryptCommand(app, "encrypt", "Encrypt a file in CBC mode with padding (the same as openssl enc -nosalt)", true);
    AddCryptCommand(app, "decrypt", "Decrypt a file made by encrypt (or openssl enc -nosalt)", false);
}

}  // namespace cli
