// vorlan dump [FILE|-]: the value tree of DER, or of each PEM block, printed with Dump.
#include <unistd.h>

#include <memory>
#include <optional>

#include "tools/vorlan/cli.h"

namespace cli {
namespace {

// Dumps each element of the octets in turn.
void DumpDER(const CByteArray& octets, CFile& out) {
    if (octets.GetSize() == 0) throw Failure("no DER octets to decode");
    CDEREncoding encoding(0, octets);
    const auto end = static_cast<long>(octets.GetSize());
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
        CFile out(STDOUT_FILENO);
        CArray<SPemBlock> blocks;
        ReadBlocks(*path, blocks);
        for (int i = 0; i < blocks.GetSize(); ++i) DumpDER(blocks[i].octets, out);
    });
}

}  // namespace cli
