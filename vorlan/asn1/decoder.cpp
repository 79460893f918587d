#include "vorlan/asn1/decoder.h"

#include "vorlan/asn1/bitstring.h"
#include "vorlan/asn1/boolean.h"
#include "vorlan/asn1/derreader.h"
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
    if (count > limit - at.position) vorlan::detail::ThrowDERFault(vorlan::detail::EDERFault::truncated);
}

// The element's header; its form is checked against the value before its length against the limit.
vorlan::detail::SDERHeader readHeader(Cursor& at, unsigned long limit) {
    vorlan::detail::SDERHeader header;
    const auto next = [&]() -> int {
        if (at.position >= limit) return -1;
        ++at.position;
        return at.der.ReadByte();
    };
    const vorlan::detail::EDERFault fault = vorlan::detail::ReadDERHeader(next, header);
    if (fault != vorlan::detail::EDERFault::none) vorlan::detail::ThrowDERFault(fault);
    return header;
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

// The contents of an element whose header has been read.
void decodeBody(CASN1Type& value, const vorlan::detail::SDERHeader& header, Cursor& at, unsigned long limit, int depth) {
    if (!(header.octet & kASN1Constructed)) {
        checkPrimitiveAllowed(value);
        require(at, limit, header.length);
        value.m_bConstructed = 0;
        value.m_bIndefinite = 0;
        readPrimitiveContents(value, at, header.length);
        return;
    }
    vorlan::detail::CheckConstructedEncoding(value, depth);
    require(at, limit, header.length);
    value.m_bConstructed = 1;
    value.m_bIndefinite = header.indefinite;
    if (header.indefinite)
        readComponentsUntil00(value, at, limit, depth);
    else
        readComponents(value, at, at.position + header.length, depth);
}

CASN1Type* buildElement(Cursor& at, unsigned long limit, int depth) {
    at.element = at.position;
    const vorlan::detail::SDERHeader header = readHeader(at, limit);
    std::unique_ptr<CASN1Type> value(___makeASN1Class(ASN1StoredIdentifier(header.octet)));
    decodeBody(*value, header, at, limit, depth);
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
        const vorlan::detail::SDERHeader header = readHeader(at, limit);
        if (ASN1StoredIdentifier(header.octet) != target.identifier)
            ___throwDERDecodingException("Another class and tag number expected");
        decodeBody(target, header, at, limit, 0);
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
        vorlan::detail::CheckConstructedEncoding(target, 0);
        if (target.m_bIndefinite) {
            readComponentsUntil00(target, at, limit, 0);
        } else {
            require(at, limit, length);
            readComponents(target, at, at.position + length, 0);
        }
    });
}
