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

/// The abstract base of every ASN.1 value: an identifier octet, the constructed and indefinite
/// flags, and the virtual interface of encoding, decoding, tagging and copying. A value owns its
/// components and octets; values given by pointer to one of its operations become its own.
/// Malformed input fails with CDERDecodingException*, file and archive targets with the
/// framework's exceptions.
class CASN1Type {
public:
    /// Value objects are made and freed in large numbers: their blocks are kept and reused per
    /// thread (valuealloc.h).
    static void* operator new(size_t size) { return vorlan::detail::TakeBlock(size); }
    /// Gives the block back to the thread's store (operator new takes it from there).
    static void operator delete(void* block, size_t size) noexcept { vorlan::detail::KeepBlock(block, size); }

    ///@{
    /// The DER encoding into a target; contentsOnly drops identifier and length,
    /// useTag writes `tag` in place of the own identifier.
    virtual void encodeTo(CBufferedFilterNS& out, int contentsOnly = 0, int useTag = 0, unsigned char tag = 0) const;
    virtual void encodeTo(CArchive& out, int contentsOnly = 0, int useTag = 0, unsigned char tag = 0) const;
    virtual void encodeTo(CDEREncoding& out, int contentsOnly = 0, int useTag = 0, unsigned char tag = 0) const;
    virtual void encodeTo(CFile& out, int contentsOnly = 0, int useTag = 0, unsigned char tag = 0) const;
    ///@}
    ///@{
    /// The clear contents (value octets without encoding artefacts) into a target.
    virtual void getClearData(CBufferedFilterNS& out) const;
    virtual void getClearData(CArchive& out) const;
    virtual void getClearData(CDEREncoding& out) const;
    virtual void getClearData(CFile& out) const;
    ///@}
    virtual ~CASN1Type() = default;
    /// Empties the value: no contents, no components (freed), as a new value.
    virtual void clear() = 0;
    /// A deep copy of the value and its components as a new object of the same class, owned by
    /// the caller.
    virtual CASN1Type* clone() const = 0;
    /// A new value holding this value's data; this value is left empty.
    virtual CASN1Type* cloneAndDie() = 0;
    /// Takes the data of `source` when the identifiers are equal (1), else 0; deletes `source`.
    virtual int moveFrom(CASN1Type* source) = 0;

protected:
    /// Adds a decoded component; the value takes ownership of it.
    virtual void addConstructedComponent(CASN1Type* component) = 0;
    /// Reads `size` contents octets of a primitive encoding from the encoding's position; the
    /// decoding exception when they are not a valid value of the class.
    virtual void setContents(CDEREncoding& der, unsigned long size) = 0;
    /// 1 when the class may be encoded constructed.
    virtual int allowsConstructed() const = 0;
    /// 1 when the class may be encoded primitive.
    virtual int allowsPrimitive() const = 0;

public:
    /// Writes the DER encoding into a sink, as encodeTo does (contentsOnly, useTag and tag alike).
    virtual void writeEncoding(CBufferedFilterNS& out, int contentsOnly, int useTag, unsigned char tag) const = 0;
    /// The DER encoding (own identifier) put in front of what `out` holds: the one pass of an
    /// encode into memory. By default the length and then writeEncoding into the room it takes;
    /// the stock writers write straight, and a class that writes a constructed value otherwise
    /// than they do overrides this beside writeEncoding.
    virtual void writeBackward(vorlan::detail::CBackwardBuffer& out) const;
    /// Writes the clear contents into a sink, as getClearData does.
    virtual void writeClearContents(CBufferedFilterNS& out) const = 0;
    /// Makes `tagged` carry this value implicitly: the same contents under the tagged value's
    /// identifier. The data are moved when clear-after-get is on, copied otherwise.
    virtual void buildImplicitTAGGED(CASN1_TAGGED& tagged) = 0;
    /// Makes `tagged` the explicit wrapper of this value: one component, a clone (or, with
    /// clear-after-get on, the value's data moved out by cloneAndDie).
    virtual void buildExplicitTAGGED(CASN1_TAGGED& tagged);
    /// Takes the contents of an implicitly tagged value as this class's own: 1, or 0 when the
    /// encoding's form (primitive or constructed) is not allowed here.
    virtual int fromImplicit(CASN1_TAGGED& tagged) = 0;
    /// Takes the one component of an explicitly tagged value: 1, or 0 when it is not of this class.
    virtual int fromExplicit(CASN1_TAGGED& tagged) = 0;
    /// The number of octets encodeTo writes (contentsOnly: of the contents alone).
    virtual unsigned long getEncodedLength(int contentsOnly) const = 0;
    /// The number of octets of the clear contents.
    virtual unsigned long getClearContentsLength() const = 0;
    /// Sets the alignment of the clear contents of bit strings whose length is no multiple of 8:
    /// the bits at the front (on) or the back of their octets; a constructed value passes it on.
    virtual void OnOffAlignLeft(int on) const { SetMode(m_bAlignLeft, on); }
    /// With `on`, tagging and copying out move the value's data instead of copying them.
    virtual void OnOffClearAfterGet(int on) const { SetMode(m_bClearAfterGet, on); }
    /// With `on`, the components of a SET OF are encoded in DER order.
    virtual void OnOffSorted(int on) const { SetMode(m_bSorted, on); }
    /// Writes the value as an indented tree line, "<class, tag, P|C> SIZE: ...", with hex dumps of
    /// the contents, to `file` (and the console when g_bDumpToConsole is set) through ___WriteFormatted.
    virtual void Dump(unsigned long indent, CFile* file) const;

    /// 1 when SET OF components are encoded sorted (OnOffSorted).
    int isSorted() const { return m_bSorted; }
    /// `out` sized to the whole encoding and filled with it.
    void encodeTo(CByteArray& out) const;
    /// Decodes the element at the encoding's position into this value; cleared on failure.
    void decodeFrom(CDEREncoding& der);
    /// `out` replaced by the clear contents, bits aligned as alignLeft says (OnOffAlignLeft).
    void GetClearData(CByteArray& out, int alignLeft);
    /// 0 when `size` is below the clear length; else the clear contents at the front
    /// (alignLeft) or the back of the buffer, the rest zeroed with zeroFill.
    int GetClearData(unsigned char* buffer, unsigned long size, int alignLeft, int zeroFill) const;
    /// The clear contents as a text, octet for octet.
    void GetString(CString& text) const;
    /// The encoding, written as by writeEncoding, fed into `digest` and ended with the final call.
    void digestEncoding(CDigestMaker& digest, int contentsOnly = 0, int useTag = 0, unsigned char tag = 0) const;
    /// The clear contents the same way: the content octets of a segmented OCTET STRING as one stream.
    void digestClearContents(CDigestMaker& digest) const;
    /// The encoding or the clear contents run through the processor's cipher into a target;
    /// the processor's chaining state is used as it stands.
    ///@{
    /// The encoding or the clear contents run through the processor's cipher (encrypting or
    /// decrypting) into a target; the processor's chaining state is used as it stands. Cipher
    /// failures are CUnlockException*.
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
    ///@}
    /// Archive form: octet 0, then the DER as a serialized CByteArray.
    void _Serialize(CArchive& ar);

    /// The identifier octet, with the constructed bit (0x20) cleared.
    BYTE identifier = 0;
    /// 1 when encoded constructed.
    int m_bConstructed = 0;
    /// 1 when the value was read with an indefinite length (a constructed one writes it so again).
    int m_bIndefinite = 0;
    /// Bit alignment of the clear contents (OnOffAlignLeft).
    mutable int m_bAlignLeft = 1;
    /// Move instead of copy when tagging (OnOffClearAfterGet).
    mutable int m_bClearAfterGet = 0;
    /// SET OF components encoded in DER order (OnOffSorted).
    mutable int m_bSorted = 0;

protected:
    /// Only the value classes make values.
    CASN1Type() = default;
    /// A mode is written only when it changes: a value that threads share is then only read
    /// as long as they all ask for the same mode (const reads such as GetClearData set one).
    static void SetMode(int& mode, int on) {
        if (mode != on) mode = on;
    }
    /// Copies the header state; the classes copy their data.
    CASN1Type(const CASN1Type&) = default;
    /// Assigns the header state; the classes assign their data.
    CASN1Type& operator=(const CASN1Type&) = default;

    friend struct vorlan::detail::ValueAccess;
};

/// Order of two values by their DER encodings: negative, 0 or positive.
int ___cmp(const CASN1Type& a, const CASN1Type& b);

/// Arrays of component pointers own their components; their storage is kept like the values'.
void DestructElements(CASN1Type** elements, int count);
/// Storage for arrays of component pointers, taken from the values' block store.
inline void* AllocateElementBlock(CASN1Type**, size_t bytes) { return vorlan::detail::TakeBlock(bytes); }
/// Gives such storage back.
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
#define DECLARE_ASN1_VALUE_COPIES(X)                                     \
public:                                                                  \
    /** A deep copy of other: its components and octets are copied. */  \
    X(const X& other);                                                   \
    CASN1Type* clone() const override;                                   \
    CASN1Type* cloneAndDie() override;                                   \
    int moveFrom(CASN1Type* source) override;

/// The same for a class without data of its own: it assigns with its base's assignment.
#define DECLARE_ASN1_VALUE_FAMILY(X)                    \
    DECLARE_ASN1_VALUE_COPIES(X)                        \
    /** Replaces the value by a deep copy of other. */ \
    X& operator=(const X& other) = default;

/// Defines the copy family of X. DATA is the class whose operator= and operatorMOVE carry the
/// data (X itself, or the base it assigns with); the remaining arguments are those of X's empty
/// constructor.
#define IMPLEMENT_ASN1_VALUE_FAMILY(X, DATA, ...)                                                       \
    X::X(const X& other) : X(__VA_ARGS__) { *this = other; }                                            \
    CASN1Type* X::clone() const { return vorlan::detail::cloneValue(*this, new X(__VA_ARGS__)); }              \
    CASN1Type* X::cloneAndDie() { return vorlan::detail::cloneAndDieValue<DATA>(*this, new X(__VA_ARGS__)); } \
    int X::moveFrom(CASN1Type* source) { return vorlan::detail::moveValue<DATA>(*this, source); }
