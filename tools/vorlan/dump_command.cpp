// vorlan dump [FILE|-]: the value tree of DER, or of each PEM block, printed with Dump.
#include <memory>
#include <optional>
#include <unistd.h>

#include "tools/vorlan/cli.h"

namespace cli {
namespace {

// Octets of base64 text; characters outside the alphabet (line breaks) are skipped.
std::vector<unsigned char> DecodeBase64(std::string_view text) {
    std::vector<unsigned char> out;
    unsigned buffer = 0;
    int bits = 0;
    for (const char c : text) {
        int value = -1;
        if (c >= 'A' && c <= 'Z') value = c - 'A';
        else if (c >= 'a' && c <= 'z') value = c - 'a' + 26;
        else if (c >= '0' && c <= '9') value = c - '0' + 52;
        else if (c == '+') value = 62;
        else if (c == '/') value = 63;
        else if (c == '=') break;
        else if (!std::isspace(static_cast<unsigned char>(c))) throw Failure("PEM block holds a character outside base64");
        if (value < 0) continue;
        buffer = (buffer << 6) | static_cast<unsigned>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<unsigned char>(buffer >> bits));
        }
    }
    return out;
}

// The DER of every PEM block in the text; none when it holds no "-----BEGIN" line.
std::vector<std::vector<unsigned char>> PemBlocks(std::string_view text) {
    std::vector<std::vector<unsigned char>> blocks;
    for (size_t at = text.find("-----BEGIN"); at != std::string_view::npos; at = text.find("-----BEGIN", at)) {
        const size_t bodyStart = text.find('\n', at);
        const size_t end = text.find("-----END", at);
        if (bodyStart == std::string_view::npos || end == std::string_view::npos || end < bodyStart)
            throw Failure("PEM block without its -----END line");
        blocks.push_back(DecodeBase64(text.substr(bodyStart, end - bodyStart)));
        at = end + 1;
    }
    return blocks;
}

// Dumps each element of the octets in turn.
void DumpDER(const std::vector<unsigned char>& der, CFile& out) {
    if (der.empty()) throw Failure("no DER octets to decode");
    CByteArray octets;
    octets.SetSize(static_cast<int>(der.size()));
    std::copy(der.begin(), der.end(), octets.GetData());
    CDEREncoding encoding(0, octets);
    encoding.AddRef();  // our own hold: values that share the encoding release theirs as they die
    const auto end = static_cast<long>(der.size());
    while (encoding.Seek(0, CFile::current) < end) {
        std::unique_ptr<CASN1Type> value;
        try {
            value.reset(___buildFromEncoding(encoding));
        } catch (CDERDecodingException* e) {
            throw Failure("not valid DER: " + Describe(e));
        }
        value->Dump(0, &out);
    }
}

}  // namespace

void AddDumpCommand(CLI::App& app) {
    auto* command = app.add_subcommand("dump", "Decode DER or PEM and print the ASN.1 value tree");
    auto path = std::make_shared<std::string>("-");
    command->add_option("file", *path, "DER or PEM file, \"-\" for standard input")->capture_default_str();
    command->callback([path] {
        const std::vector<unsigned char> input = ReadAll(*path);
        CFile out(STDOUT_FILENO);
        const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
        const auto blocks = PemBlocks(text);
        if (blocks.empty()) {
            DumpDER(input, out);
            return;
        }
        for (const auto& der : blocks) DumpDER(der, out);
    });
}

}  // namespace cli
