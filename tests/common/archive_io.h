// Archives over memory files: storing to octets and loading from them.
#pragma once

#include <utility>
#include <vector>

#include "tests/common/exceptions.h"
#include "vorlan/framework/archive.h"
#include "vorlan/framework/memfile.h"

namespace testcommon {

// The octets that `fill` writes to a storing archive.
template <class Fill>
std::vector<BYTE> Store(Fill fill) {
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        fill(ar);
    }
    std::vector<BYTE> out(file.GetLength());
    file.SeekToBegin();
    file.Read(out.data(), static_cast<UINT>(out.size()));
    return out;
}

// A loading archive over a copy of the octets, kept alive with its file.
struct Loader {
    explicit Loader(std::vector<BYTE> octets)
        : data(std::move(octets)), file(data.data(), static_cast<UINT>(data.size())) {}
    std::vector<BYTE> data;
    CMemFile file;
    CArchive ar{&file, CArchive::load};
};

}  // namespace testcommon
