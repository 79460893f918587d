#include "vorlan/asn1/tabledecoder.h"

#include <memory>

#include "vorlan/asn1/decoder.h"
#include "vorlan/asn1/octetstring.h"

namespace {

using detail::ValueAccess;
using ValuePtr = std::unique_ptr<CASN1Type>;
using IsValidFunction = ASN1_COMPONENT_INFO::IsValidFunction;

// Identifier and length octets of one element; offsets are positions in the encoding.
struct Header {
    BYTE identifier;  // stored form, constructed bit cleared
    bool constructed;
    bool indefinite;
    unsigned long length;  // contents octets of the definite form
};

// One pass over the octets of an encoding held in memory. Each read is bounded by the limit
// of the element that contains it before it happens.
class TableDecoder {
public:
    TableDecoder(CDEREncoding& der, const unsigned char* base, unsigned long position, EASN1DecodeForm form)
        : m_der(der),
          m_base(base),
          m_position(position),
          m_element(position),
          m_bStrict(form != EASN1DecodeForm::tolerant) {}

    unsigned long position() const { return m_position; }
    unsigned long element() const { return m_element; }

    // 1 when the target's element fills the type's table.
    int decodeTarget(CASN1Type& target, const ASN1_TYPE_INFO& type, unsigned long limit) {
        const Header h = readHeader(limit);
        if (h.identifier != target.identifier) ___throwDERDecodingException("Another class and tag number expected");
        if (!h.constructed) {
            readPrimitive(target, h);
            return 0;
        }
        return readConstructed(target, h, type.m_pRows, limit, 0);
    }

private:
    // The components of one constructed element, read in order for the row walk.
    class ElementSource {
    public:
        ElementSource(TableDecoder& decoder, CASN1Type& parent, const Header& h, unsigned long limit, int depth)
            : m_decoder(decoder),
              m_parent(parent),
              m_limit(h.indefinite ? limit : decoder.m_position + h.length),
              m_bIndefinite(h.indefinite),
              m_depth(depth) {}

        bool more() {
            if (m_bEnded) return false;
            if (!m_bIndefinite) return m_decoder.m_position < m_limit;
            m_decoder.require(m_limit, 2);
            const unsigned char* at = m_decoder.m_base + m_decoder.m_position;
            if (at[0] != 0 || at[1] != 0) return true;
            m_decoder.m_position += 2;
            m_bEnded = true;
            return false;
        }
        int isMember(const ASN1_COMPONENT_INFO& row) const {
            return row.isMemberByIdentifier(ASN1StoredIdentifier(m_decoder.m_base[m_decoder.m_position]));
        }
        int take(const ASN1_COMPONENT_INFO& row) {
            int valid = 0;
            const Header h = m_decoder.readHeader(m_limit);
            append(m_decoder.decodeForRow(row, 1, h, m_limit, m_depth + 1, valid));
            return valid;
        }
        // A component outside any table, decoded by its identifier.
        void takeGeneric() {
            const Header h = m_decoder.readHeader(m_limit);
            append(m_decoder.decodeGeneric(h, m_limit, m_depth + 1));
        }
        // The component for `isValid` of an explicitly tagged row's type (anyTag 0).
        int takeInner(IsValidFunction isValid, const ASN1_TYPE_INFO* type) {
            int valid = 0;
            const Header h = m_decoder.readHeader(m_limit);
            append(m_decoder.decodeForType(isValid, type, 0, h, m_limit, m_depth + 1, valid));
            return valid;
        }

    private:
        void append(ValuePtr component) {
            if (component) ValueAccess::addConstructedComponent(m_parent, component.release());
        }

        TableDecoder& m_decoder;
        CASN1Type& m_parent;
        unsigned long m_limit;
        bool m_bIndefinite;
        bool m_bEnded = false;
        int m_depth;
    };

    void require(unsigned long limit, unsigned long count) const {
        if (count > limit - m_position) ___throwDERDecodingException("Unexpected end of file");
    }

    BYTE readOctet(unsigned long limit) {
        require(limit, 1);
        return m_base[m_position++];
    }

    Header readHeader(unsigned long limit) {
        m_element = m_position;
        const BYTE octet = readOctet(limit);
        if ((octet & kASN1TagMask) == kASN1HighTagNumber)
            ___throwDERDecodingException("High tag number form is not supported");
        Header h{ASN1StoredIdentifier(octet), (octet & kASN1Constructed) != 0, false, 0};
        if (h.identifier == kASN1Universal)
            ___throwDERDecodingException("Universal tag 0 is reserved for end-of-contents octets");
        const BYTE first = readOctet(limit);
        if (first == kASN1IndefiniteLength) {
            if (m_bStrict) ___throwDERDecodingException("Indefinite length where only the definite form is allowed");
            // The primitive form reads 0x80 as an empty length, as the generic decoder does.
            h.indefinite = h.constructed;
            return h;
        }
        if (m_bStrict && h.constructed && h.identifier == kASN1OctetString)
            ___throwDERDecodingException("Constructed OCTET STRING where only the primitive form is allowed");
        h.length = first;
        if (first & kASN1LongLength) {
            const unsigned n = first & ~kASN1LongLength;
            if (n > 4) ___throwDERDecodingException("4 bytes-encoded-length is only suported");
            h.length = 0;
            for (unsigned i = 0; i < n; ++i) h.length = (h.length << 8) | readOctet(limit);
        }
        require(limit, h.length);
        return h;
    }

    void readPrimitive(CASN1Type& value, const Header& h) {
        if (!ValueAccess::allowsPrimitive(value))
            ___throwDERDecodingException("Encoded type does not allow primitive encoding method");
        value.m_bConstructed = 0;
        value.m_bIndefinite = 0;
        m_der.Seek(static_cast<long>(m_position), CFile::begin);
        ValueAccess::setContents(value, m_der, h.length);
        m_position += h.length;
    }

    // A primitive string or tagged value: a window on the encoding, as setContents would keep.
    ValuePtr readWindow(const Header& h) {
        std::unique_ptr<CASN1_TAGGED> window(h.identifier == kASN1OctetString ? new CASN1_OCTET_STRING
                                                                              : new CASN1_TAGGED(h.identifier, 0));
        window->m_bConstructed = 0;
        window->shareWindow(&m_der, static_cast<DWORD>(h.length), static_cast<DWORD>(m_position));
        m_position += h.length;
        return window;
    }

    // The checks and flags of a constructed element; its components come next.
    ElementSource beginConstructed(CASN1Type& value, const Header& h, unsigned long limit, int depth) {
        if (!ValueAccess::allowsConstructed(value))
            ___throwDERDecodingException("Encoded type does not allow constructed encoding method");
        if (depth >= kMaxDERNestingDepth)
            ___throwDERDecodingException("Constructed encodings nest deeper than %d levels", kMaxDERNestingDepth);
        value.m_bConstructed = 1;
        value.m_bIndefinite = h.indefinite;
        return ElementSource(*this, value, h, limit, depth);
    }

    // The components of a constructed element: by the rows when there are any, else generically.
    int readConstructed(CASN1Type& value, const Header& h, const ASN1_COMPONENT_INFO* rows, unsigned long limit,
                        int depth) {
        ElementSource source = beginConstructed(value, h, limit, depth);
        if (rows) return detail::walkComponents(rows, source);
        while (source.more()) source.takeGeneric();
        return 1;
    }

    // The class ___makeASN1Class gives the identifier, read as the generic decoder reads it.
    ValuePtr decodeGeneric(const Header& h, unsigned long limit, int depth) {
        if (!h.constructed && (h.identifier == kASN1OctetString || (h.identifier & kASN1ClassMask)))
            return readWindow(h);
        ValuePtr value(___makeASN1Class(h.identifier));
        if (h.constructed)
            readConstructed(*value, h, nullptr, limit, depth);
        else
            readPrimitive(*value, h);
        return value;
    }

    // A value of `row` with validity as the row's isValid(value, anyTag) gives it.
    ValuePtr decodeForRow(const ASN1_COMPONENT_INFO& row, int anyTag, const Header& h, unsigned long limit, int depth,
                          int& valid) {
        const bool untagged = row.m_taggingMethod == TAGGING_NONE;
        if ((row.m_bAny && untagged) || !row.m_pfnIsValid) {
            valid = (row.m_bAny && untagged) || anyTag || row.rowIdentifier() == h.identifier;
            return decodeGeneric(h, limit, depth);
        }
        if (untagged)
            return decodeForType(row.m_pfnIsValid, row.m_pType, row.m_pfnResolveAlternative ? 0 : anyTag, h, limit,
                                 depth, valid);
        if (!anyTag && row.rowIdentifier() != h.identifier) return nullptr;
        if (row.m_taggingMethod == TAGGING_IMPLICIT)
            return decodeForType(row.m_pfnIsValid, row.m_pType, 1, h, limit, depth, valid);
        // Explicit: a constructed wrapper around exactly one value of the type.
        if (!h.constructed) return nullptr;
        ValuePtr wrapper(new CASN1_TAGGED(h.identifier, 0));
        ElementSource source = beginConstructed(*wrapper, h, limit, depth);
        valid = source.more() && source.takeInner(row.m_pfnIsValid, row.m_pType) && !source.more();
        return wrapper;
    }

    // A value with validity as isValid(value, anyTag) of the type gives it: a record in its own
    // class (or, under another tag, a CASN1_TAGGED holding its components), a CHOICE as its
    // alternative, anything else generically and checked by the function.
    ValuePtr decodeForType(IsValidFunction isValid, const ASN1_TYPE_INFO* type, int anyTag, const Header& h,
                           unsigned long limit, int depth, int& valid) {
        if (type && type->m_bChoice && !anyTag) {
            // Alternatives are told apart by identifier: the first that takes it decides.
            for (const ASN1_COMPONENT_INFO* row = type->m_pRows; !row->m_bEndOfList; ++row)
                if (row->isMemberByIdentifier(h.identifier)) return decodeForRow(*row, 1, h, limit, depth, valid);
            return nullptr;
        }
        if (type && !type->m_bChoice) {
            if (!h.constructed || (!anyTag && h.identifier != type->m_tagAndClass)) return nullptr;
            ValuePtr value(h.identifier == type->m_tagAndClass ? type->m_pfnMake() : new CASN1_TAGGED(h.identifier, 0));
            valid = readConstructed(*value, h, type->m_pRows, limit, depth);
            return value;
        }
        ValuePtr value = decodeGeneric(h, limit, depth);
        valid = isValid(value.get(), anyTag);
        return value;
    }

    CDEREncoding& m_der;
    const unsigned char* m_base;  // the octet at position p is m_base[p]
    unsigned long m_position;
    unsigned long m_element;  // where the element being read starts, for failure reasons
    bool m_bStrict;
};

// Holds one reference to an encoding for a scope.
struct EncodingHold {
    explicit EncodingHold(CDEREncoding* encoding) : m_pEncoding(encoding) { m_pEncoding->AddRef(); }
    EncodingHold(const EncodingHold&) = delete;
    EncodingHold& operator=(const EncodingHold&) = delete;
    ~EncodingHold() { m_pEncoding->Release(); }
    CDEREncoding* m_pEncoding;
};

// Decodes from an encoding held in memory; the octets consumed.
unsigned long decodeInMemory(CASN1Type& target, const ASN1_TYPE_INFO& type, CDEREncoding& der,
                             const unsigned char* base, unsigned long start, unsigned long end, EASN1DecodeForm form) {
    TableDecoder decoder(der, base, start, form);
    int valid;
    try {
        valid = decoder.decodeTarget(target, type, end);
    } catch (CDERDecodingException*) {
        CDERDecodingException::Append(" (at octet %lu)", decoder.element());
        throw;
    }
    if (!valid) ___throwDERDecodingException("%s::(CDEREncoding& der) - der not valid", type.m_szName);
    return decoder.position() - start;
}

// A stream that is not in memory: the element's octets copied into memory first (the whole
// rest when its length cannot be told from the header), windows then refer to the copy.
unsigned long decodeCopy(CASN1Type& target, const ASN1_TYPE_INFO& type, CDEREncoding& der, unsigned long start,
                         unsigned long remaining, EASN1DecodeForm form) {
    unsigned char head[2 + 4];
    const unsigned long headSize = der.Read(head, remaining < sizeof head ? remaining : sizeof head);
    const int total = ___extractEncodingLength(head, headSize);
    const unsigned long count =
        total > 0 && static_cast<unsigned long>(total) <= remaining ? static_cast<unsigned long>(total) : remaining;
    der.Seek(static_cast<long>(start), CFile::begin);
    std::unique_ptr<unsigned char[]> octets(new unsigned char[count ? count : 1]);
    if (der.Read(octets.get(), count) != count) ___throwDERDecodingException("Unexpected end of file");
    auto* copy = new CDEREncoding(1, octets.release(), count, 1, 0);
    EncodingHold hold(copy);
    return decodeInMemory(target, type, *copy, copy->MemoryWindow(0, count), 0, count, form);
}

}  // namespace

void ___decodeNamed(CASN1Type& target, const ASN1_TYPE_INFO& type, CDEREncoding& der, EASN1DecodeForm form) {
    target.clear();
    try {
        const auto start = static_cast<unsigned long>(der.Seek(0, CFile::current));
        const unsigned long remaining = der.Remaining();
        const unsigned char* base = der.MemoryWindow(0, static_cast<DWORD>(start + remaining));
        const unsigned long consumed = base ? decodeInMemory(target, type, der, base, start, start + remaining, form)
                                            : decodeCopy(target, type, der, start, remaining, form);
        der.Seek(static_cast<long>(start + consumed), CFile::begin);
    } catch (CDERDecodingException*) {
        target.clear();
        throw;
    }
}
