#include "vorlan/cipher/fileencryption.h"

#include <algorithm>

#include "vorlan/support/unlockexception.h"
#include "vorlan/support/wipe.h"

namespace {

// The octets to process: len, or from the position of `in` to its end when len is 0.
unsigned long InputLength(CFile& in, int len, const char* reason) {
    if (len < 0) AfxThrowUnlockException(reason);
    if (len > 0) return static_cast<unsigned long>(len);
    const DWORD length = in.GetLength(), position = in.GetPosition();
    return length > position ? length - position : 0;
}

// At least one block, rounded up to whole blocks.
unsigned long RoundChunk(const CCryptoProcessor& proc, unsigned long chunk) {
    const unsigned long size = proc.UsableBlockSize();
    return chunk == 0 ? size : ((chunk - 1) / size + 1) * size;
}

// A file shorter than the length given must not leave stale buffer octets in the output.
void ReadExactly(CFile& in, unsigned char* buffer, unsigned long count) {
    if (count != 0 && in.Read(buffer, static_cast<UINT>(count)) != count)
        AfxThrowFileException(CFileException::endOfFile, -1, in.GetFilePath());
}

void WriteOctets(CFile& out, const unsigned char* buffer, unsigned long count) {
    if (count != 0) out.Write(buffer, static_cast<UINT>(count));
}

void SetUpProgress(CProgress* progress, int setUp, unsigned long hints) {
    if (progress != nullptr && setUp) progress->SetUp(static_cast<int>(hints), 1, 1, 1);
}

using BlockOperation = void (CCryptoProcessor::*)(const unsigned char*, unsigned long, unsigned char*, CProgress*);
using FinalOperation = unsigned long (CCryptoProcessor::*)(const unsigned char*, unsigned long, unsigned char*,
                                                           CProgress*);

// `full` chunks through the block operation, then `rest` octets through the final
// one, in one buffer processed in place (no larger than the input needs).
void ProcessChunks(CCryptoProcessor& proc, CFile& in, CFile& out, unsigned long chunk, unsigned long full,
                   unsigned long rest, unsigned long finalOutMax, CProgress* progress, BlockOperation blocks,
                   FinalOperation final) {
    // Holds plaintext on one side or the other.
    vorlan::detail::CWipedVector<unsigned char> buffer(std::max(full != 0 ? chunk : rest, finalOutMax));
    for (unsigned long i = 0; i < full; ++i) {
        ReadExactly(in, buffer.data(), chunk);
        (proc.*blocks)(buffer.data(), chunk, buffer.data(), progress);
        WriteOctets(out, buffer.data(), chunk);
    }
    ReadExactly(in, buffer.data(), rest);
    WriteOctets(out, buffer.data(), (proc.*final)(buffer.data(), rest, buffer.data(), progress));
}

}  // namespace

void EncryptFile(CCryptoProcessor& proc, CFile& in, int len, CFile& out, unsigned long chunk, CProgress* progress,
                 int setUpProgress) {
    chunk = RoundChunk(proc, chunk);
    const unsigned long total = InputLength(in, len, "EncryptFile - in_size < 0!");
    proc.CheckPlaintextSize(total);
    const unsigned long full = total / chunk, rest = total % chunk;
    const unsigned long finalOutMax = proc.EncrFinalOutMaxSize(rest);
    SetUpProgress(progress, setUpProgress, proc.CountHints(total, 1));
    ProcessChunks(proc, in, out, chunk, full, rest, finalOutMax, progress, &CCryptoProcessor::EncryptBlock,
                  &CCryptoProcessor::EncryptFinal);
}

void DecryptFile(CCryptoProcessor& proc, CFile& in, int len, CFile& out, unsigned long chunk, CProgress* progress,
                 int setUpProgress) {
    chunk = RoundChunk(proc, chunk);
    const unsigned long total = InputLength(in, len, "DecryptFile - in_size < 0!");
    proc.CheckCiphertextSize(total);
    unsigned long full = total / chunk, rest = total % chunk;
    if (rest == 0) {  // DecryptFinal must see the last block, so the last chunk is held back
        --full;
        rest = chunk;
    }
    const unsigned long finalOutMax = proc.DecrFinalOutMaxSize(rest);
    SetUpProgress(progress, setUpProgress, proc.CountHints(total, 0));
    ProcessChunks(proc, in, out, chunk, full, rest, finalOutMax, progress, &CCryptoProcessor::DecryptBlock,
                  &CCryptoProcessor::DecryptFinal);
}
