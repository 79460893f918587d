// Names, times and serial numbers read from arbitrary DER: whatever reads must be written
// back and read again to the same value; texts, labels, copies, comparisons and the
// archive form run on the way.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "vorlan/asn1/decoder.h"
#include "vorlan/asn1/integer.h"
#include "vorlan/framework/memfile.h"
#include "vorlan/x509/rdnsequence.h"
#include "vorlan/x509/serialnumber.h"
#include "vorlan/x509/utctime.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

void checkName(const CASN1Type& value) {
    CDistinguishedName name;
    CASN1_RDNSequence::Read(value, name);
    const CDistinguishedName copy(name);
    require(copy == name && __isTheSameOwner(copy, name));
    static_cast<void>(static_cast<CString>(name));
    static_cast<void>(name.GetOneLine());
    static_cast<void>(name.GetLabel() + name.GetLabel2() + name.FirstAttribute());
    static_cast<void>(name.IsVeriSignImage() + name.IsVeriSignResponse(copy) + name.IsStronglySubordinateTo(copy));

    // A decoded name is written in the types it came in and reads back equal.
    CByteArray written;
    CASN1_RDNSequence(name).encodeTo(written);
    auto* der = new CDEREncoding(1, written.GetData(), static_cast<unsigned long>(written.GetSize()), 0, 1);
    der->AddRef();
    CDistinguishedName again = CASN1_RDNSequence(*der);
    der->Release();
    require(again == name);

    CMemFile file;
    {
        CArchive out(&file, CArchive::store);
        name.Serialize(out);
    }
    file.SeekToBegin();
    CArchive in(&file, CArchive::load);
    CDistinguishedName loaded;
    loaded.Serialize(in);
    require(loaded == name);
}

void checkTime(const CASN1_UTCTime& value) {
    CUTCTime time(std::time_t{0});
    try {
        value.SetDataTo(time);
    } catch (CDERDecodingException* e) {
        e->Delete();
        return;
    }
    CByteArray received, written;
    const_cast<CASN1_UTCTime&>(value).GetClearData(received, 1);
    CASN1_UTCTime(time).GetClearData(written, 1);
    require(received.GetSize() == written.GetSize() &&
            std::memcmp(received.GetData(), written.GetData(), static_cast<size_t>(written.GetSize())) == 0);
    CUTCTime earlier = time;
    --earlier;
    require(earlier.IsValid() && earlier < time && time.GetTime() - earlier.GetTime() == 1);
    static_cast<void>(time.GetTimeAsString(1, 0));
}

void checkSerial(const CASN1_INTEGER& value) {
    CSerialNumber serial;
    try {
        serial = value;
    } catch (CDERDecodingException* e) {
        e->Delete();
        return;
    }
    const CSerialNumber again = CASN1_INTEGER(serial);
    require(again == serial && again.m_bNegative == serial.m_bNegative);
    static_cast<void>(static_cast<CString>(serial));
}

void visit(const CASN1Type& value) {
    if (CASN1_RDNSequence::isValid(&value, 1)) checkName(value);
    if (const auto* time = dynamic_cast<const CASN1_UTCTime*>(&value)) checkTime(*time);
    if (const auto* integer = dynamic_cast<const CASN1_INTEGER*>(&value)) checkSerial(*integer);
    if (const auto* constructed = dynamic_cast<const CASN1_CONSTRUCTED_TYPE*>(&value))
        for (int i = 0; i < constructed->GetCount(); ++i)
            if (const CASN1Type* component = constructed->GetComponents()[i]) visit(*component);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto* der = new CDEREncoding(1, const_cast<uint8_t*>(data), size, 0, 1);
    der->AddRef();
    std::unique_ptr<CASN1Type> tree;
    try {
        tree.reset(___buildFromEncoding(*der));
    } catch (CDERDecodingException* e) {
        e->Delete();
    }
    der->Release();
    if (tree) visit(*tree);
    return 0;
}
