#include "vorlan/asn1/decoder.h"

#include "vorlan/asn1/bitstring.h"
#include "vorlan/asn1/boolean.h"
#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/null.h"
#include "vorlan/asn1/objectidentifier.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/asn1/set.h"
#include "vorlan/asn1/strings.h"
#include "vorlan/asn1/utctime.h"

namespace {

using vorlan::detail::ValueAccess;

// The decoder's place in the stream: its position (kept here instead of asking the
// stream), and where the element being read starts, which a failure reports.
struct Cursor {
    CDEREncoding& der;
    unsigned long position;
    unsigned long element;
};

void require(const Cursor& at, unsigned long limit, unsigned long count) {
    if (count > limit - at.position) ___throwDERDecodingException("Unexpected end of file");
}

BYTE readOctet(Cursor& at, unsigned long limit) {
    require(at, limit, 1);
    const BYTE octet = at.der.ReadByte();
    ++at.position;
    return octet;
}

BYTE readIdentifier(Cursor& at, unsigned long limit) {
    const BYTE octet = readOctet(at, limit);
    if ((octet & kASN1TagMask) == kASN1HighTagNumber) ___throwDERDecodingException("High tag number form is not supported");
    // Universal tag 0 belongs to the end-of-contents octets: as an element it would be
    // written back as 00 00 and end an indefinite-length parent early.
    if (ASN1StoredIdentifier(octet) == kASN1Universal) ___throwDERDecodingException("Universal tag 0 is reserved for end-of-contents octets");
    return octet;
}

// A definite length from its first octet; the value is checked against the limit here.
unsigned long readLength(Cursor& at, unsigned long limit, BYTE first) {
    unsigned long length = first;
    if (first & kASN1LongLength) {
        const unsigned n = first & ~kASN1LongLength;
        if (n > 4) ___throwDERDecodingException("4 bytes-encoded-length is only suported");
        length = 0;
        for (unsigned i = 0; i < n; ++i) length = (length << 8) | readOctet(at, limit);
    }
    require(at, limit, length);
    return length;
}

CASN1Type* buildElement(Cursor& at, unsigned long limit, int depth);

// One component; once it is read, failures belong to the value that receives it again.
void readComponent(CASN1Type& value, Cursor& at, unsigned long limit, int depth) {
    const unsigned long start = at.element;
    CASN1Type* component = buildElement(at, limit, depth + 1);
    at.element = start;
    ValueAccess::addConstructedComponent(value, component);
}

void readComponents(CASN1Type& value, Cursor& at, unsigned long end, int depth) {
    while (at.position < end) readComponent(value, at, end, depth);
}

void readComponentsUntil00(CASN1Type& value, Cursor& at, unsigned long limit, int depth) {
    for (;;) {
        require(at, limit, 2);
        if (at.der.reached00()) {
            at.position += 2;
            return;
        }
        readComponent(value, at, limit, depth);
    }
}

void checkPrimitiveAllowed(const CASN1Type& value) {
    if (!ValueAccess::allowsPrimitive(value))
        ___throwDERDecodingException("Encoded type does not allow primitive encoding method");
}

void readPrimitiveContents(CASN1Type& value, Cursor& at, unsigned long length) {
    ValueAccess::setContents(value, at.der, length);
    at.position += length;
}

void checkConstructedAllowed(const CASN1Type& value, int depth) {
    if (!ValueAccess::allowsConstructed(value))
        ___throwDERDecodingException("Encoded type does not allow constructed encoding method");
    if (depth >= kMaxDERNestingDepth)
        ___throwDERDecodingException("Constructed encodings nest deeper than %d levels", kMaxDERNestingDepth);
}

// Length octets and contents of an element whose identifier octet has been read.
void decodeBody(CASN1Type& value, BYTE identifierOctet, Cursor& at, unsigned long limit, int depth) {
    const BYTE first = readOctet(at, limit);
    if (!(identifierOctet & kASN1Constructed)) {
        checkPrimitiveAllowed(value);
        value.m_bConstructed = 0;
        value.m_bIndefinite = 0;
        readPrimitiveContents(value, at, first == kASN1IndefiniteLength ? 0 : readLength(at, limit, first));
        return;
    }
    checkConstructedAllowed(value, depth);
    value.m_bConstructed = 1;
    if (first == kASN1IndefiniteLength) {
        value.m_bIndefinite = 1;
        readComponentsUntil00(value, at, limit, depth);
    } else {
        value.m_bIndefinite = 0;
        const unsigned long length = readLength(at, limit, first);
        readComponents(value, at, at.position + length, depth);
    }
}

CASN1Type* buildElement(Cursor& at, unsigned long limit, int depth) {
    at.element = at.position;
    const BYTE identifierOctet = readIdentifier(at, limit);
    std::unique_ptr<CASN1Type> value(___makeASN1Class(ASN1StoredIdentifier(identifierOctet)));
    decodeBody(*value, identifierOctet, at, limit, depth);
    return value.release();
}

// Runs `decode` from the stream's position, with the end of the stream as the outer limit;
// a failure's reason gets the offset of the element that failed.
template <class Decode>
auto decodeAt(CDEREncoding& der, Decode&& decode) {
    const auto position = static_cast<unsigned long>(der.Seek(0, CFile::current));
    Cursor at{der, position, position};
    try {
        return decode(at, position + der.Remaining());
    } catch (CDERDecodingException*) {
        CDERDecodingException::Append(" (at octet %lu)", at.element);
        throw;
    }
}

}  // namespace

CASN1Type* ___makeASN1Class(unsigned char identifier) {
    switch (identifier) {
        case kASN1Boolean: return new CASN1_BOOLEAN(0);
        case kASN1Integer: return new CASN1_INTEGER;
        case kASN1BitString: return new CASN1_BIT_STRING;
        case kASN1OctetString: return new CASN1_OCTET_STRING;
        case kASN1Null: return new CASN1_NULL;
        case kASN1ObjectIdentifier: {
            auto* oid = new CASN1_OBJECT_IDENTIFIER;
            oid->RemoveAll();
            return oid;
        }
        case kASN1Enumerated: return new CASN1_ENUMERATED;
        case kASN1Sequence: return new CASN1_SEQUENCE;
        case kASN1Set: return new CASN1_SET;
        case kASN1NumericString: return new CASN1_NumericString;
        case kASN1PrintableString: return new CASN1_PrintableString;
        case kASN1VisibleString: return new CASN1_VisibleString;
        case kASN1T61String: return new CASN1_T61String;
        case kASN1UTF8String: return new CASN1_UTF8String;
        case kASN1IA5String: return new CASN1_IA5String;
        case kASN1UTCTime: return new CASN1_UTCTime;
        case kASN1GeneralizedTime: return new CASN1_GeneralizedTime;
        case kASN1UniversalString: return new CASN1_UniversalString;
        case kASN1BMPString: return new CASN1_BMPString;
        default: return new CASN1_TAGGED(identifier, 0);
    }
}

CASN1Type* ___buildFromEncoding(CDEREncoding& der) {
    return decodeAt(der, [](Cursor& at, unsigned long limit) { return buildElement(at, limit, 0); });
}

void ___buildFromEncoding(CASN1Type& target, CDEREncoding& der) {
    decodeAt(der, [&](Cursor& at, unsigned long limit) {
        const BYTE identifierOctet = readIdentifier(at, limit);
        if (ASN1StoredIdentifier(identifierOctet) != target.identifier)
            ___throwDERDecodingException("Another class and tag number expected");
        decodeBody(target, identifierOctet, at, limit, 0);
    });
}

void ___getContentsFromEncoding(CASN1Type& target, CDEREncoding& der, unsigned long length) {
    decodeAt(der, [&](Cursor& at, unsigned long limit) {
        if (!target.m_bConstructed) {
            checkPrimitiveAllowed(target);
            require(at, limit, length);
            readPrimitiveContents(target, at, length);
            return;
        }
        checkConstructedAllowed(target, 0);
        if (target.m_bIndefinite) {
            readComponentsUntil00(target, at, limit, 0);
        } else {
            require(at, limit, length);
            readComponents(target, at, at.position + length, 0);
        }
    });
}
