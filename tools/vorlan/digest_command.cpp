// vorlan digest md2|md5|sha1|sha256|sha384|sha512 FILE...: one "<hex>  <name>" line per file, as md5sum prints.
#include <memory>

#include "tools/vorlan/cli.h"

namespace cli {
namespace {

std::string DigestOf(const std::string& algorithm, const std::string& path) {
    auto [digest, size, block] = MakeDigest(algorithm);
    if (path == "-") {
        const std::vector<unsigned char> data = ReadAll(path);
        digest->UpdateBlock(data.data(), static_cast<int>(data.size()), nullptr, 1, 1);
    } else {
        CFile file;
        OpenInput(file, path);
        TerminalProgress bar(path, file.GetLength() / static_cast<unsigned long long>(block) + 1);
        digest->UpdateFile(file, 0, bar.Progress(), 1);
    }
    unsigned char out[64];  // the longest digest, SHA-512's
    digest->GetCurrentDigest(out);
    CString hex = OctetsToHexChars(out, size);
    hex.MakeLower();
    return std::string(hex) + "  " + path;
}

}  // namespace

void AddDigestCommand(CLI::App& app) {
    auto* command =
        app.add_subcommand("digest", "Print the MD2, MD5, SHA-1, SHA-256, SHA-384 or SHA-512 digest of files (\"-\": standard input)");
    auto algorithm = std::make_shared<std::string>();
    auto files = std::make_shared<std::vector<std::string>>();
    command->add_option("algorithm", *algorithm, "md2, md5, sha1, sha256, sha384 or sha512")
        ->required()
        ->check(CLI::IsMember({"md2", "md5", "sha1", "sha256", "sha384", "sha512"}));
    command->add_option("files", *files, "files to digest")->required();
    command->callback([algorithm, files] {
        for (const std::string& path : *files) std::printf("%s\n", DigestOf(*algorithm, path).c_str());
    });
}

}  // namespace cli
