/// \file
/// CASN1_TAGGED: an explicitly or implicitly tagged value. Constructed, it holds
/// components; primitive, it is a window (position, length) on the counted stream of an
/// encoding, so decoding and copying never copy its contents.
#pragma once

#include "vorlan/asn1/constructed.h"

/// An explicitly or implicitly tagged value. Constructed, it owns its components; primitive, it
/// is a window on the counted stream of an encoding, one reference held, so it outlives the
/// CDEREncoding it was decoded from.
class CASN1_TAGGED : public CASN1_CONSTRUCTED_TYPE {
public:
    CASN1_TAGGED() { m_bConstructed = 1; }
    /// `tag`: class bits and tag number, without the constructed bit.
    CASN1_TAGGED(unsigned char tag, int indefinite) {
        identifier = tag;
        m_bConstructed = 1;
        m_bIndefinite = indefinite;
    }
    ~CASN1_TAGGED() override;
    DECLARE_ASN1_VALUE_COPIES(CASN1_TAGGED)

    /// The constructed assignment; the window is shared (one more reference).
    CASN1_TAGGED& operator=(const CASN1_TAGGED& other);
    /// The constructed move; the window is shared, the source keeps its reference.
    void operatorMOVE(CASN1_TAGGED& source);

    /// Refers to `length` octets at `position` of `stream` with a reference of its own (null: no window).
    void shareWindow(vorlan::detail::SharedStream* stream, DWORD length, DWORD position);
    /// The same, taking over the caller's reference.
    void takeWindow(vorlan::detail::SharedStream* stream, DWORD length, DWORD position) {
        if (m_pEncoding) releaseEncoding();
        m_pEncoding = stream;
        m_dwLength = stream ? length : 0;
        m_dwPosition = stream ? position : 0;
    }

    void clear() override;
    void writeEncoding(CBufferedFilterNS& out, int contentsOnly, int useTag, unsigned char tag) const override;
    void writeBackward(vorlan::detail::CBackwardBuffer& out) const override;
    void writeClearContents(CBufferedFilterNS& out) const override;
    void buildImplicitTAGGED(CASN1_TAGGED& tagged) override;
    unsigned long getEncodedLength(int contentsOnly) const override;
    unsigned long getClearContentsLength() const override;

    /// The stream of the encoding the window reads; one reference held.
    vorlan::detail::SharedStream* m_pEncoding = nullptr;
    DWORD m_dwLength = 0;  ///< the window's length
    DWORD m_dwPosition = 0;  ///< the window's start in the stream

protected:
    void addConstructedComponent(CASN1Type* component) override { AddObject(component); }
    /// Keeps a reference to the decoder's stream and skips the contents.
    void setContents(CDEREncoding& der, unsigned long size) override;

private:
    void releaseEncoding();
};
