#include "vorlan/digest/digestmaker.h"

#include <algorithm>
#include <cstring>

#include "vorlan/framework/exception.h"
#include "vorlan/framework/file.h"
#include "vorlan/support/progress.h"
#include "vorlan/support/wipe.h"

namespace {

constexpr unsigned long fileChunk = 1024;

}  // namespace

void CDigestMaker::Hint(CProgress* progress) const {
    if (progress) progress->Hint(1);
}

void CDigestMaker::CompressBuffer(CProgress* progress) {
    Hint(progress);
    UpdateDigest(Buffer());
    count = 0;
}

void CDigestMaker::UpdateDigests(const unsigned char* data, int blocks) {
    for (int i = 0; i < blocks; ++i) UpdateDigest(data + i * blockSize);
}

void CDigestMaker::UpdateBlock(const unsigned char* data, int len, CProgress* progress, int final, int countLength) {
    len = std::max(len, 0);
    if (countLength) UpdateTotalLength(len);
    unsigned char* buffer = Buffer();
    int used = 0;
    if (count > 0 && len > 0) {
        used = std::min(blockSize - count, len);
        std::memcpy(buffer + count, data, static_cast<size_t>(used));
        count += used;
        if (count == blockSize) CompressBuffer(progress);
    }
    // Whole blocks straight from the data while more than a block remains; the last
    // octets, up to a whole block, go through the buffer.
    const int direct = len - used > 0 ? (len - used - 1) / blockSize : 0;
    if (progress) {
        for (int i = 0; i < direct; ++i) {
            Hint(progress);
            UpdateDigest(data + used + i * blockSize);
        }
    } else if (direct > 0) {
        UpdateDigests(data + used, direct);
    }
    used += direct * blockSize;
    if (used < len) {
        std::memcpy(buffer + count, data + used, static_cast<size_t>(len - used));
        count += len - used;
        if (count == blockSize) CompressBuffer(progress);
    }
    if (final) {
        Hint(progress);
        UpdateLastBytes();
    }
}

void CDigestMaker::UpdateFile(CFile& file, unsigned long len, CProgress* progress, int final) {
    if (len == 0) {
        const DWORD length = file.GetLength();
        const DWORD position = file.GetPosition();
        len = length > position ? length - position : 0;
    }
    if (progress) progress->SetUp(static_cast<int>(len >> 3), 0, 1, 0);
    vorlan::detail::CWipedOctets<fileChunk> chunk;
    auto feed = [&](unsigned long n, int last) {
        // A file shorter than the length asked for is an error, not a shorter message.
        if (file.Read(chunk.data, static_cast<UINT>(n)) != n)
            AfxThrowFileException(CFileException::endOfFile, -1, file.GetFilePath());
        UpdateBlock(chunk.data, static_cast<int>(n), progress, last, 1);
    };
    const unsigned long chunks = len / fileChunk;
    const unsigned long rest = len % fileChunk;
    for (unsigned long i = 0; i < chunks; ++i) feed(fileChunk, final && rest == 0 && i + 1 == chunks);
    if (rest != 0) feed(rest, final);
    if (final && len == 0) UpdateBlock(chunk.data, 0, progress, final, 1);
    if (progress) progress->SetUp(1, 0, 1, 1);
}

void CDigestMaker::PadWithLength(std::span<const unsigned char> length) {
    static constexpr unsigned char padding[128] = {0x80};
    const int room = blockSize - count, field = static_cast<int>(length.size());
    UpdateBlock(padding, room > field ? room - field : room + blockSize - field, nullptr, 0, 0);
    UpdateBlock(length.data(), field, nullptr, 0, 0);
}
