#include "vorlan/ldap/framing.h"

#include "vorlan/asn1/derencoding.h"
#include "vorlan/asn1/identifier.h"

namespace {

struct Element {
    unsigned char identifier;
    const unsigned char* contents;
    unsigned long length;
};

// Elements one after the other within [p, end); every length is checked before it is used.
class ElementReader {
public:
    ElementReader(const unsigned char* p, unsigned long size) : m_p(p), m_end(p + size) {}

    bool atEnd() const { return m_p == m_end; }

    Element next(const char* what) {
        const Element element = header(what);
        m_p = element.contents + element.length;
        return element;
    }

    // Past the next element, or into its contents when it is constructed: repeated, it visits
    // every element at every depth once.
    void step(const char* what) {
        const Element element = header(what);
        m_p = (element.identifier & kASN1Constructed) ? element.contents : element.contents + element.length;
    }

private:
    Element header(const char* what) const {
        const unsigned long available = static_cast<unsigned long>(m_end - m_p);
        const int total = ___extractEncodingLength(m_p, available);
        if (total < 0 || static_cast<unsigned long>(total) > available)
            ___throwDERDecodingException("LDAP message: malformed or truncated %s", what);
        const unsigned long length = (m_p[1] & kASN1LongLength) ? 2 + (m_p[1] & 0x7F) : 2;
        return {m_p[0], m_p + length, static_cast<unsigned long>(total) - length};
    }

    const unsigned char* m_p;
    const unsigned char* m_end;
};

// The components of the envelope SEQUENCE, which must fill the message exactly.
ElementReader envelope(const unsigned char* p, unsigned long size) {
    ElementReader outer(p, size);
    const Element message = outer.next("message");
    if (message.identifier != (kASN1Sequence | kASN1Constructed)) ___throwDERDecodingException("LDAP message: SEQUENCE expected");
    if (!outer.atEnd()) ___throwDERDecodingException("LDAP message: octets after the message");
    return ElementReader(message.contents, message.length);
}

unsigned long messageID(ElementReader& components) {
    const Element id = components.next("messageID");
    if (id.identifier != kASN1Integer) ___throwDERDecodingException("LDAP message: messageID is no INTEGER");
    unsigned long value = 0;
    if (!ReadLDAPMessageID(id.contents, id.length, value))
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
    unsigned long count = 0;
    for (ElementReader reader(p, size); !reader.atEnd(); reader.step("element"))
        if (++count > maxElements) ___throwDERDecodingException("LDAP message of more than %lu elements", maxElements);
}

unsigned long GetMessageID(const unsigned char* p, unsigned long size) {
    ElementReader components = envelope(p, size);
    return messageID(components);
}

unsigned char GetOperationTag(const unsigned char* p, unsigned long size) {
    ElementReader components = envelope(p, size);
    messageID(components);
    Element operation = components.next("protocolOp");
    // A connectionless message carries a user name first; no operation is an OCTET STRING.
    if (operation.identifier == kASN1OctetString) operation = components.next("protocolOp");
    return ASN1StoredIdentifier(operation.identifier);
}
