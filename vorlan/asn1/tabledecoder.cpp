#include "vorlan/asn1/tabledecoder.h"

#include <memory>
#include <vector>

#include "vorlan/asn1/decoder.h"
#include "vorlan/asn1/derreader.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/asn1/sharedstream.h"

namespace {

using vorlan::detail::ValueAccess;
using ValuePtr = std::unique_ptr<CASN1Type>;
using IsValidFunction = ASN1_COMPONENT_INFO::IsValidFunction;

// Identifier and length octets of one element; offsets are positions in the encoding.
struct Header {
    BYTE identifier;  // stored form, constructed bit cleared
    bool constructed;
    bool indefinite;
    unsigned long length;  // contents octets of the definite form
};

// References to the encoding's stream for the windows of one decode: taken at once for as
// many windows as the octets can hold (every element has two header octets at least), handed
// out without touching the shared count, and the rest given back at the end, also on failure.
class WindowReferences {
public:
    WindowReferences(vorlan::detail::SharedStream* stream, unsigned long octets)
        : m_pStream(stream), m_nLeft(stream ? static_cast<long>(octets / 2 + 1) : 0) {
        if (m_nLeft) m_pStream->AddRef(m_nLeft);
    }
    WindowReferences(const WindowReferences&) = delete;
    WindowReferences& operator=(const WindowReferences&) = delete;
    ~WindowReferences() {
        if (m_nLeft) m_pStream->Release(m_nLeft);
    }

    // The stream with one reference for the caller.
    vorlan::detail::SharedStream* take() {
        if (m_nLeft)
            --m_nLeft;
        else if (m_pStream)
            m_pStream->AddRef();
        return m_pStream;
    }

private:
    vorlan::detail::SharedStream* m_pStream;
    long m_nLeft;
};

// The components read for a value the decoder made itself (a named value or a tagged wrapper,
// which keep the plain component slots), handed over in one array at the end; owned until then.
// The first few are held inline; past them, all of them are held in one vector.
class PendingComponents {
public:
    PendingComponents() = default;
    PendingComponents(const PendingComponents&) = delete;
    PendingComponents& operator=(const PendingComponents&) = delete;
    ~PendingComponents() {
        CASN1Type* const* held = data();
        for (int i = 0; i < m_nCount; ++i) delete held[i];
    }

    void add(ValuePtr component) {
        if (m_nCount < kInline) {
            m_inline[m_nCount] = component.get();
        } else {
            if (m_nCount == kInline) m_spill.assign(m_inline, m_inline + kInline);
            m_spill.push_back(component.get());
        }
        component.release();
        ++m_nCount;
    }
    // One append, so that a failure leaves every component here.
    void handTo(CASN1_CONSTRUCTED_TYPE& parent) {
        parent.GetComponents().AppendElements(data(), m_nCount);
        m_nCount = 0;
        m_spill.clear();
    }

private:
    static constexpr int kInline = 8;
    CASN1Type* const* data() const { return m_nCount <= kInline ? m_inline : m_spill.data(); }

    CASN1Type* m_inline[kInline];
    std::vector<CASN1Type*> m_spill;
    int m_nCount = 0;
};

// One pass over the octets of an encoding held in memory. Each read is bounded by the limit
// of the element that contains it before it happens.
class TableDecoder {
public:
    TableDecoder(CDEREncoding& der, const unsigned char* base, unsigned long position, unsigned long end,
                 EASN1DecodeForm form)
        : m_der(der),
          m_references(der.GetStream(), end - position),
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
        return readConstructed(target, nullptr, h, type.m_pRows, limit, 0);
    }

private:
    // The components of one constructed element, read in order for the row walk.
    class ElementSource {
    public:
        ElementSource(TableDecoder& decoder, CASN1Type& parent, CASN1_CONSTRUCTED_TYPE* own, const Header& h,
                      unsigned long limit, int depth)
            : m_decoder(decoder),
              m_parent(parent),
              m_pOwn(own),
              m_limit(h.indefinite ? limit : decoder.m_position + h.length),
              m_bIndefinite(h.indefinite),
              m_depth(depth) {}

        bool more() {
            if (!m_bIndefinite) return m_decoder.m_position < m_limit;
            if (m_bEnded) return false;
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
            // The common member, a string or tagged value without a check of its own, is a
            // window straight away, as decodeForRow would make it.
            if (!row.m_pfnIsValid && isWindow(h)) {
                append(m_decoder.readWindow(h));
                return 1;
            }
            // An untagged member of a named type goes to its type as decodeForRow would send it,
            // without the call through decodeForRow (the most frequent typed member).
            if (row.m_pfnIsValid && row.m_taggingMethod == TAGGING_NONE && !row.m_bAny && !row.m_pfnResolveAlternative)
                append(m_decoder.decodeForType(row.m_pfnIsValid, row.m_pType, 1, h, m_limit, m_depth + 1, valid));
            else
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

        // The parent the decoder made gets the components read into it now.
        void finish() {
            if (m_pOwn) m_pending.handTo(*m_pOwn);
        }

    private:
        void append(ValuePtr component) {
            if (!component) return;
            if (m_pOwn)
                m_pending.add(std::move(component));
            else
                ValueAccess::addConstructedComponent(m_parent, component.release());
        }

        TableDecoder& m_decoder;
        CASN1Type& m_parent;
        CASN1_CONSTRUCTED_TYPE* m_pOwn;  // the parent when the decoder made it, else null
        PendingComponents m_pending;
        unsigned long m_limit;
        bool m_bIndefinite;
        bool m_bEnded = false;
        int m_depth;
    };

    void require(unsigned long limit, unsigned long count) const {
        if (count > limit - m_position) vorlan::detail::ThrowDERFault(vorlan::detail::EDERFault::truncated);
    }

    Header readHeader(unsigned long limit) {
        using vorlan::detail::EDERFault;
        // The position is read and stored once; a failure leaves it where the element starts.
        unsigned long at = m_position;
        m_element = at;
        vorlan::detail::SDERHeader read;
        const EDERFault fault =
            vorlan::detail::ReadDERHeader([&]() -> int { return at < limit ? m_base[at++] : -1; }, read);
        if (fault != EDERFault::none) vorlan::detail::ThrowDERFault(fault);
        Header h{ASN1StoredIdentifier(read.octet), (read.octet & kASN1Constructed) != 0, false, read.length};
        if (read.indefinite) {
            if (m_bStrict) vorlan::detail::ThrowDERFault(EDERFault::indefinite);
            // The primitive form reads 0x80 as an empty length, as the generic decoder does.
            h.indefinite = h.constructed;
        } else if (m_bStrict && h.constructed && h.identifier == kASN1OctetString) {
            ___throwDERDecodingException("Constructed OCTET STRING where only the primitive form is allowed");
        }
        if (h.length > limit - at) vorlan::detail::ThrowDERFault(EDERFault::truncated);
        m_position = at;
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

    // Is the element read as a window: a primitive OCTET STRING or tagged value.
    static bool isWindow(const Header& h) {
        return !h.constructed && (h.identifier == kASN1OctetString || (h.identifier & kASN1ClassMask));
    }

    // A primitive string or tagged value: a window on the encoding, as setContents would keep.
    ValuePtr readWindow(const Header& h) {
        std::unique_ptr<CASN1_TAGGED> window(h.identifier == kASN1OctetString ? new CASN1_OCTET_STRING
                                                                              : new CASN1_TAGGED(h.identifier, 0));
        window->m_bConstructed = 0;
        window->takeWindow(m_references.take(), static_cast<DWORD>(h.length), static_cast<DWORD>(m_position));
        m_position += h.length;
        return window;
    }

    // The checks and flags of a constructed element; its components come next.
    ElementSource beginConstructed(CASN1Type& value, CASN1_CONSTRUCTED_TYPE* own, const Header& h, unsigned long limit,
                                   int depth) {
        vorlan::detail::CheckConstructedEncoding(value, depth);
        value.m_bConstructed = 1;
        value.m_bIndefinite = h.indefinite;
        return ElementSource(*this, value, own, h, limit, depth);
    }

    // The components of a constructed element: by the rows when there are any, else generically.
    // `own` is the value itself when the decoder made it.
    int readConstructed(CASN1Type& value, CASN1_CONSTRUCTED_TYPE* own, const Header& h, const ASN1_COMPONENT_INFO* rows,
                        unsigned long limit, int depth) {
        ElementSource source = beginConstructed(value, own, h, limit, depth);
        int valid = 1;
        if (rows)
            valid = vorlan::detail::walkComponents(rows, source);
        else
            while (source.more()) source.takeGeneric();
        source.finish();
        return valid;
    }

    // The class ___makeASN1Class gives the identifier, read as the generic decoder reads it.
    ValuePtr decodeGeneric(const Header& h, unsigned long limit, int depth) {
        if (isWindow(h)) return readWindow(h);
        ValuePtr value(___makeASN1Class(h.identifier));
        if (h.constructed)
            readConstructed(*value, nullptr, h, nullptr, limit, depth);
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
        ElementSource source = beginConstructed(*wrapper, nullptr, h, limit, depth);
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
            std::unique_ptr<CASN1_CONSTRUCTED_TYPE> value(
                h.identifier == type->m_tagAndClass ? type->m_pfnMake() : new CASN1_TAGGED(h.identifier, 0));
            valid = readConstructed(*value, value.get(), h, type->m_pRows, limit, depth);
            return value;
        }
        ValuePtr value = decodeGeneric(h, limit, depth);
        valid = isValid(value.get(), anyTag);
        return value;
    }

    CDEREncoding& m_der;
    WindowReferences m_references;
    const unsigned char* m_base;  // the octet at position p is m_base[p]
    unsigned long m_position;
    unsigned long m_element;  // where the element being read starts, for failure reasons
    bool m_bStrict;
};

// Decodes from an encoding held in memory; the octets consumed.
unsigned long decodeInMemory(CASN1Type& target, const ASN1_TYPE_INFO& type, CDEREncoding& der,
                             const unsigned char* base, unsigned long start, unsigned long end, EASN1DecodeForm form) {
    TableDecoder decoder(der, base, start, end, form);
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
    if (der.Read(octets.get(), count) != count) vorlan::detail::ThrowDERFault(vorlan::detail::EDERFault::truncated);
    CDEREncoding copy(0, octets.release(), count, 1, 0);
    return decodeInMemory(target, type, copy, copy.MemoryWindow(0, count), 0, count, form);
}

}  // namespace

void ASN1DecodeNamed(CASN1Type& target, const ASN1_TYPE_INFO& type, CDEREncoding& der, EASN1DecodeForm form) {
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
