// LDAP messages from arbitrary octets: the table-directed decode must agree with the generic
// decoder followed by the table walk; what decodes must write back and decode again to the same
// octets, and the framing functions must read the same ID and operation.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "vorlan/asn1/decoder.h"
#include "vorlan/ldap/filterstring.h"
#include "vorlan/ldap/framing.h"
#include "vorlan/ldap/requests.h"
#include "vorlan/ldap/values.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

template <class F>
bool succeeds(F&& action) {
    try {
        action();
        return true;
    } catch (CDERDecodingException* e) {
        e->Delete();
        return false;
    }
}

// An encoding over the octets, read in place, released with the scope.
struct Encoding {
    Encoding(const uint8_t* data, size_t size)
        : der(new CDEREncoding(1, const_cast<uint8_t*>(data), static_cast<unsigned long>(size), 0, 1)) {
        der->AddRef();
    }
    Encoding(const Encoding&) = delete;
    Encoding& operator=(const Encoding&) = delete;
    ~Encoding() { der->Release(); }
    CDEREncoding* der;
};

void readMembers(const CASN1_LDAPMessage& message) {
    const CASN1_ProtocolOpChoice op = message.get_protocolOp();
    succeeds([&] { ReadLDAPResult(op.GetValue()); });
    if (op.is_searchRequest()) succeeds([&] { FormatLDAPFilter(op.get_searchRequest().get_filter().GetValue()); });
    if (op.is_searchResEntry()) {
        const CASN1_PartialAttributeList& list = op.get_searchResEntry().get_attributes();
        for (int i = 0; i < list.getComponentCount(); ++i)
            static_cast<void>(LDAPString(list.getComponent(i).get_type()));
    }
    for (int i = 0; i < message.getControlCount(); ++i) static_cast<void>(message.getControl(i).is_controlValue());
    succeeds([&] { CheckLDAPSendable(message); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Encoding tableInput(data, size), genericInput(data, size);
    std::unique_ptr<CASN1_LDAPMessage> tolerant;
    const bool tableDecodes = succeeds([&] { tolerant = std::make_unique<CASN1_LDAPMessage>(*tableInput.der); });
    const bool genericValid = succeeds([&] {
        const std::unique_ptr<CASN1Type> value(___buildFromEncoding(*genericInput.der));
        if (!CASN1_LDAPMessage::isValid(value.get(), 0)) ___throwDERDecodingException("not valid");
    });
    require(tableDecodes == genericValid);
    if (tableDecodes) require(CASN1_LDAPMessage::isValid(tolerant.get(), 0));

    std::unique_ptr<CASN1_LDAPMessage> strict;
    if (!succeeds([&] { strict = DecodeLDAPMessage(data, static_cast<unsigned long>(size)); })) return 0;
    require(tableDecodes);
    require(GetMessageID(data, size) == strict->GetMessageID());
    require(GetOperationTag(data, size) == strict->get_protocolOp().GetValue().identifier);
    readMembers(*strict);

    CByteArray written, again;
    strict->encodeTo(written);
    const auto reread = DecodeLDAPMessage(written.GetData(), static_cast<unsigned long>(written.GetSize()));
    reread->encodeTo(again);
    require(written.GetSize() == again.GetSize() &&
            std::equal(written.GetData(), written.GetData() + written.GetSize(), again.GetData()));
    return 0;
}
