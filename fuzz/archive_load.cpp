// Loads arbitrary octets as the library's archives: objects of any registered class
// (keys, RSA keys, octet arrays), strings and counts. Every failure must be one of the
// framework's exceptions; whatever loads must store and load again to the same octets.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "vorlan/vorlan.h"

namespace {

// The archive octets of one object.
CByteArray Stored(const CObject* object) {
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        ar << object;
    }
    CByteArray octets;
    octets.SetSize(static_cast<int>(file.GetLength()));
    file.SeekToBegin();
    file.Read(octets.GetData(), static_cast<UINT>(octets.GetSize()));
    return octets;
}

// Every object the octets hold, until the first failure.
void LoadObjects(const uint8_t* data, size_t size) {
    CMemFile file(const_cast<uint8_t*>(data), static_cast<UINT>(size));
    CArchive ar(&file, CArchive::load);
    std::vector<std::unique_ptr<CObject>> loaded;
    try {
        for (int i = 0; i < 8; ++i) {
            CObject* object = ar.ReadObject(nullptr);
            // Repeated references hand back an object already owned here.
            bool known = false;
            for (const auto& held : loaded) known = known || held.get() == object;
            if (object && !known) loaded.emplace_back(object);
        }
    } catch (CException* e) {
        e->Delete();
    }
    for (const auto& object : loaded) {
        if (!object->IsSerializable()) continue;
        const CByteArray first = Stored(object.get());
        CMemFile again(const_cast<BYTE*>(first.GetData()), static_cast<UINT>(first.GetSize()));
        CArchive ar2(&again, CArchive::load);
        std::unique_ptr<CObject> reloaded(ar2.ReadObject(nullptr));
        const CByteArray second = Stored(reloaded.get());
        if (second.GetSize() != first.GetSize() ||
            std::memcmp(second.GetData(), first.GetData(), static_cast<size_t>(first.GetSize())) != 0)
            std::abort();
    }
}

void LoadStringsAndArrays(const uint8_t* data, size_t size) {
    CMemFile file(const_cast<uint8_t*>(data), static_cast<UINT>(size));
    CArchive ar(&file, CArchive::load);
    try {
        CString text;
        ar >> text;
        CByteArray octets;
        octets.Serialize(ar);
        CRC2key key(128);
        key.Serialize(ar);
        CRSAPrivateKey privateKey;
        privateKey.Serialize(ar);
    } catch (CException* e) {
        e->Delete();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LoadObjects(data, size);
    LoadStringsAndArrays(data, size);
    return 0;
}
