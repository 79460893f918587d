/// \file
/// CASN1Type: the abstract base of every ASN.1 value — header state, the virtual
/// interface of the encoder, decoder and tagging, ownership, comparison, archive form
/// and dump.
#pragma once

#include <cstddef>
#include <memory>

#include "vorlan/asn1/bufferedfilter.h"
#include "vorlan/asn1/derencoding.h"
#include "vorlan/asn1/valuealloc.h"
#include "vorlan/framework/archive.h"
#include "vorlan/framework/bytearray.h"
#include "vorlan/framework/file.h"
#include "vorlan/framework/string.h"

class CASN1_TAGGED;
class CCryptoProcessor;
class CDigestMaker;

namespace vorlan::detail {
struct ValueAccess;
class CBackwardBuffer;
}

class CASN1Type {
public:
    /// Value objects are made and freed in large numbers: their blocks are kept and reused per
    /// thread (valuealloc.h).
    static void* operator new(size_t size) { return vorlan::detail::TakeBlock(size); }
    static void operator delete(void* block, size_t size) noexcept { vorlan::detail::KeepBlock(block, size); }

    /// The DER encoding into a target; contentsOnly drops identifier and length,
    /// useTag writes `tag` in place of the own identifier.
    virtual void encodeTo(CBufferedFilterNS& out, int contentsOnly = 0, int useTag = 0, unsigned char tag = 0) const;
    virtual void encodeTo(CArchive& out, int contentsOnly = 0, int useTag = 0, unsigned char tag = 0) const;
    virtual void encodeTo(CDEREncoding& out, int contentsOnly = 0, int useTag = 0, unsigned char tag = 0) const;
    virtual void encodeTo(CFile& out, int contentsOnly = 0, int useTag = 0, unsigned char tag = 0) const;
    /// The clear contents (value octets without encoding artefacts) into a target.
    virtual void getClearData(CBufferedFilterNS& out) const;
    virtual void getClearData(CArchive& out) const;
    virtual void getClearData(CDEREncoding& out) const;
    virtual void getClearData(CFile& out) const;
    virtual ~CASN1Type() = default;
    virtual void clear() = 0;
    virtual CASN1Type* clone() const = 0;
    /// A new value holding this value's data; this value is left empty.
    virtual CASN1Type* cloneAndDie() = 0;
    /// Takes the data of `source` when the identifiers are equal (1), else 0; deletes `source`.
    virtual int moveFrom(CASN1Type* source) = 0;

protected:
    virtual void addConstructedComponent(CASN1Type* component) = 0;
    virtual void setContents(CDEREncoding& der, unsigned long size) = 0;
    virtual int allowsConstructed() const = 0;
    virtual int allowsPrimitive() const = 0;

public:
    virtual void writeEncoding(CBufferedFilterNS& out, int contentsOnly, int useTag, unsigned char tag) const = 0;
    /// The DER encoding (own identifier) put in front of what `out` holds: the one pass of an
    /// encode into memory. By default the length and then writeEncoding into the room it takes;
    /// the stock writers write straight, and a class that writes a constructed value otherwise
    /// than they do overrides this beside writeEncoding.
    virtual void writeBackward(vorlan::detail::CBackwardBuffer& out) const;
    virtual void writeClearContents(CBufferedFilterNS& out) const = 0;
    virtual void buildImplicitTAGGED(CASN1_TAGGED& tagged) = 0;
    virtual void buildExplicitTAGGED(CASN1_TAGGED& tagged);
    virtual int fromImplicit(CASN1_TAGGED& tagged) = 0;
    virtual int fromExplicit(CASN1_TAGGED& tagged) = 0;
    virtual unsigned long getEncodedLength(int contentsOnly) const = 0;
    virtual unsigned long getClearContentsLength() const = 0;
    virtual void OnOffAlignLeft(int on) const { SetMode(m_bAlignLeft, on); }
    virtual void OnOffClearAfterGet(int on) const { SetMode(m_bClearAfterGet, on); }
    virtual void OnOffSorted(int on) const { SetMode(m_bSorted, on); }
    virtual void Dump(unsigned long indent, CFile* file) const;

    int isSorted() const { return m_bSorted; }
    /// `out` sized to the whole encoding and filled with it.
    void encodeTo(CByteArray& out) const;
    /// Decodes the element at the encoding's position into this value; cleared on failure.
    void decodeFrom(CDEREncoding& der);
    void GetClearData(CByteArray& out, int alignLeft);
    /// 0 when `size` is below the clear length; else the clear contents at the front
    /// (alignLeft) or the back of the buffer, the rest zeroed with zeroFill.
    int GetClearData(unsigned char* buffer, unsigned long size, int alignLeft, int zeroFill) const;
    void GetString(CString& text) const;
    /// The encoding, written as by writeEncoding, fed into `digest` and ended with the final call.
    void digestEncoding(CDigestMaker& digest, int contentsOnly = 0, int useTag = 0, unsigned char tag = 0) const;
    /// The clear contents the same way: the content octets of a segmented OCTET STRING as one stream.
    void digestClearContents(CDigestMaker& digest) const;
    /// The encoding or the clear contents run through the processor's cipher into a target;
    /// the processor's chaining state is used as it stands.
    void encryptEncoding(CCryptoProcessor& processor, CFile& out, int contentsOnly = 0) const;
    void encryptEncoding(CCryptoProcessor& processor, CDEREncoding& out, int contentsOnly = 0) const;
    void encryptEncoding(CCryptoProcessor& processor, CArchive& out, int contentsOnly = 0) const;
    void encryptEncoding(CCryptoProcessor& processor, CBufferedFilterNS& out, int contentsOnly = 0) const;
    void encryptClearContents(CCryptoProcessor& processor, CFile& out) const;
    void encryptClearContents(CCryptoProcessor& processor, CDEREncoding& out) const;
    void encryptClearContents(CCryptoProcessor& processor, CArchive& out) const;
    void encryptClearContents(CCryptoProcessor& processor, CBufferedFilterNS& out) const;
    void decryptEncoding(CCryptoProcessor& processor, CFile& out, int contentsOnly = 0) const;
    void decryptEncoding(CCryptoProcessor& processor, CDEREncoding& out, int contentsOnly = 0) const;
    void decryptEncoding(CCryptoProcessor& processor, CArchive& out, int contentsOnly = 0) const;
    void decryptEncoding(CCryptoProcessor& processor, CBufferedFilterNS& out, int contentsOnly = 0) const;
    void decryptClearContents(CCryptoProcessor& processor, CFile& out) const;
    void decryptClearContents(CCryptoProcessor& processor, CDEREncoding& out) const;
    void decryptClearContents(CCryptoProcessor& processor, CArchive& out) const;
    void decryptClearContents(CCryptoProcessor& processor, CBufferedFilterNS& out) const;
    /// Archive form: octet 0, then the DER as a serialized CByteArray.
    void _Serialize(CArchive& ar);

    BYTE identifier = 0;
    int m_bConstructed = 0;
    int m_bIndefinite = 0;
    mutable int m_bAlignLeft = 1;
    mutable int m_bClearAfterGet = 0;
    mutable int m_bSorted = 0;

protected:
    CASN1Type() = default;
    /// A mode is written only when it changes: a value that threads share is then only read
    /// as long as they all ask for the same mode (const reads such as GetClearData set one).
    static void SetMode(int& mode, int on) {
        if (mode != on) mode = on;
    }
    CASN1Type(const CASN1Type&) = default;
    CASN1Type& operator=(const CASN1Type&) = default;

    friend struct vorlan::detail::ValueAccess;
};

/// Order of two values by their DER encodings: negative, 0 or positive.
int ___cmp(const CASN1Type& a, const CASN1Type& b);

/// Arrays of component pointers own their components; their storage is kept like the values'.
void DestructElements(CASN1Type** elements, int count);
inline void* AllocateElementBlock(CASN1Type**, size_t bytes) { return vorlan::detail::TakeBlock(bytes); }
inline void FreeElementBlock(CASN1Type**, void* block, size_t bytes) noexcept { vorlan::detail::KeepBlock(block, bytes); }

namespace vorlan::detail {

/// The clear contents of a value whose contents are whole octets (not a BIT STRING with unused
/// bits) at the end of `field`, zeros before them; 0 when they do not fit. Unlike
/// GetClearData(…, 0, …) it leaves the value's align-left flag on, so threads may read a value
/// they share.
int ClearDataAtEnd(const CASN1Type& value, unsigned char* field, unsigned long size);

/// The decoder's and the tagging code's door to the protected slots of any value.
struct ValueAccess {
    static void addConstructedComponent(CASN1Type& v, CASN1Type* c) { v.addConstructedComponent(c); }
    static void setContents(CASN1Type& v, CDEREncoding& der, unsigned long size) { v.setContents(der, size); }
    static int allowsConstructed(const CASN1Type& v) { return v.allowsConstructed(); }
    static int allowsPrimitive(const CASN1Type& v) { return v.allowsPrimitive(); }
};

/// Moves `source` into `self` through the data class D when the identifiers match; source dies.
template <class D>
int moveValue(D& self, CASN1Type* source) {
    std::unique_ptr<CASN1Type> owned(source);
    if (source->identifier != self.identifier) return 0;
    auto* data = dynamic_cast<D*>(source);
    if (!data) return 0;
    self.operatorMOVE(*data);
    return 1;
}

template <class X>
CASN1Type* cloneValue(const X& value, X* fresh) {
    std::unique_ptr<X> owned(fresh);
    *owned = value;
    return owned.release();
}

template <class X>
CASN1Type* cloneAndDieValue(X& value, X* fresh) {
    fresh->operatorMOVE(value);
    return fresh;
}

}  // namespace vorlan::detail

/// The copy family of a value class: copy constructor, clone, cloneAndDie and moveFrom. A class
/// with data of its own declares its operator= and operatorMOVE beside it.
#define DECLARE_ASN1_VALUE_COPIES(X)            \
public:                                         \
    X(const X& other);                          \
    CASN1Type* clone() const override;          \
    CASN1Type* cloneAndDie() override;          \
    int moveFrom(CASN1Type* source) override;

/// The same for a class without data of its own: it assigns with its base's assignment.
#define DECLARE_ASN1_VALUE_FAMILY(X) \
    DECLARE_ASN1_VALUE_COPIES(X)     \
    X& operator=(const X& other) = default;

/// Defines the copy family of X. DATA is the class whose operator= and operatorMOVE carry the
/// data (X itself, or the base it assigns with); the remaining arguments are those of X's empty
/// constructor.
#define IMPLEMENT_ASN1_VALUE_FAMILY(X, DATA, ...)                                                       \
    X::X(const X& other) : X(__VA_ARGS__) { *this = other; }                                            \
    CASN1Type* X::clone() const { return vorlan::detail::cloneValue(*this, new X(__VA_ARGS__)); }              \
    CASN1Type* X::cloneAndDie() { return vorlan::detail::cloneAndDieValue<DATA>(*this, new X(__VA_ARGS__)); } \
    int X::moveFrom(CASN1Type* source) { return vorlan::detail::moveValue<DATA>(*this, source); }
