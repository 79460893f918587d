#include "vorlan/ldap/framing.h"

#include "vorlan/asn1/derencoding.h"
#include "vorlan/asn1/derreader.h"
#include "vorlan/asn1/identifier.h"

namespace {

using vorlan::detail::CDERReader;
using vorlan::detail::EDERFault;
using vorlan::detail::SDERElement;

// The next element of `reader`, its failure named after what was expected.
SDERElement next(CDERReader& reader, const char* what) {
    SDERElement element;
    if (reader.Next(element) != EDERFault::none)
        ___throwDERDecodingException("LDAP message: malformed or truncated %s", what);
    return element;
}

// The components of the envelope SEQUENCE, which must fill the message exactly.
CDERReader envelope(const unsigned char* p, unsigned long size) {
    CDERReader outer(p, size);
    const SDERElement message = next(outer, "message");
    if (message.identifier != (kASN1Sequence | kASN1Constructed)) ___throwDERDecodingException("LDAP message: SEQUENCE expected");
    if (!outer.AtEnd()) ___throwDERDecodingException("LDAP message: octets after the message");
    return CDERReader(message);
}

unsigned long messageID(CDERReader& components) {
    const SDERElement id = next(components, "messageID");
    if (id.identifier != kASN1Integer) ___throwDERDecodingException("LDAP message: messageID is no INTEGER");
    unsigned long value = 0;
    if (!ReadLDAPMessageID(id.contents, id.Length(), value))
        ___throwDERDecodingException("LDAP message: messageID out of range 0..2^31-1");
    return value;
}

}  // namespace

int ReadLDAPMessageID(const unsigned char* contents, unsigned long length, unsigned long& value) {
    // Four octets hold 0 to 2^31-1 with a clear sign bit; a leading zero octet must be needed.
    if (length == 0 || length > 4 || (contents[0] & 0x80) ||
        (length > 1 && contents[0] == 0 && !(contents[1] & 0x80)))
        return 0;
    value = 0;
    for (unsigned long i = 0; i < length; ++i) value = (value << 8) | contents[i];
    return 1;
}

unsigned long FrameLength(const unsigned char* p, unsigned long available, unsigned long maxPdu) {
    if (available == 0) return 0;
    if (p[0] != (kASN1Sequence | kASN1Constructed)) ___throwDERDecodingException("LDAP message does not start with a SEQUENCE");
    const int total = ___extractEncodingLength(p, available);
    if (total == -1) return 0;
    if (total == -3) ___throwDERDecodingException("LDAP message with indefinite length");
    if (total < 0 || static_cast<unsigned long>(total) > maxPdu)
        ___throwDERDecodingException("LDAP message longer than %lu octets", maxPdu);
    return static_cast<unsigned long>(total) <= available ? static_cast<unsigned long>(total) : 0;
}

void CheckLDAPElementCount(const unsigned char* p, unsigned long size, unsigned long maxElements) {
    // Each element has identifier and length octets of its own: `size` octets hold at most
    // size / 2 elements, so most messages need no count.
    if (size / 2 <= maxElements) return;
    unsigned long count = 0;
    SDERElement element;
    for (CDERReader reader(p, size); !reader.AtEnd(); ++count) {
        if (reader.Step(element) != EDERFault::none)
            ___throwDERDecodingException("LDAP message: malformed or truncated element");
        if (count == maxElements) ___throwDERDecodingException("LDAP message of more than %lu elements", maxElements);
    }
}

unsigned long GetMessageID(const unsigned char* p, unsigned long size) {
    CDERReader components = envelope(p, size);
    return messageID(components);
}

unsigned char GetOperationTag(const unsigned char* p, unsigned long size) {
    CDERReader components = envelope(p, size);
    messageID(components);
    SDERElement operation = next(components, "protocolOp");
    // A connectionless message carries a user name first; no operation is an OCTET STRING.
    if (operation.identifier == kASN1OctetString) operation = next(components, "protocolOp");
    return ASN1StoredIdentifier(operation.identifier);
}
