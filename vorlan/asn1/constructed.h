/// \file
/// CASN1_CONSTRUCTED_TYPE: a value that is either primitive (contents octets) or
/// constructed (an owned, ordered list of component values). A subclass may leave its
/// components to be built on first use from octets it keeps (deferComponents); every accessor,
/// copy, move, encoding and walk of this class builds them first.
#pragma once

#include <atomic>
#include <utility>

#include "vorlan/asn1/primitive.h"
#include "vorlan/framework/array.h"

/// component pointers; the array owns what they point at
using CASN1ComponentArray = CArray<CASN1Type*, CASN1Type*>;

/// A value that is either primitive (contents octets) or constructed: an ordered list of
/// component values it owns, deleted with it. Accessors out of range or at an empty slot fail
/// with the decoding exception.
class CASN1_CONSTRUCTED_TYPE : public CASN1_PRIMITIVE_TYPE {
public:
    ~CASN1_CONSTRUCTED_TYPE() override = default;

    /// The primitive move, then the components' pointers taken over in order.
    void operatorMOVE(CASN1_CONSTRUCTED_TYPE& source);

    /// Appends; the value owns the component from now on.
    virtual void AddObject(CASN1Type* component);

    ///@{
    /// The components (built first when deferred); the value keeps owning them.
    const CASN1ComponentArray& GetComponents() const { return buildDeferred(), m_components; }
    CASN1ComponentArray& GetComponents() { return buildDeferred(), m_components; }
    ///@}
    /// Bounds-checked access: an index out of range or an empty slot is a decoding failure.
    int GetCount() const { return buildDeferred(), m_components.GetSize(); }
    ///@{
    /// Component `index`; the decoding exception out of range or at an empty slot.
    const CASN1Type& GetComponent(int index) const {
        buildDeferred();
        if (index < 0 || index >= m_components.GetSize() || !m_components[index]) throwNoComponent(index);
        return *m_components[index];
    }
    CASN1Type& GetComponent(int index) { return const_cast<CASN1Type&>(std::as_const(*this).GetComponent(index)); }
    ///@}

    void clear() override;
    void writeEncoding(CBufferedFilterNS& out, int contentsOnly, int useTag, unsigned char tag) const override;
    void writeBackward(vorlan::detail::CBackwardBuffer& out) const override;
    void writeClearContents(CBufferedFilterNS& out) const override;
    void buildImplicitTAGGED(CASN1_TAGGED& tagged) override;
    int fromImplicit(CASN1_TAGGED& tagged) override;
    unsigned long getEncodedLength(int contentsOnly) const override;
    unsigned long getClearContentsLength() const override;
    void OnOffAlignLeft(int on) const override;
    void OnOffClearAfterGet(int on) const override;
    void OnOffSorted(int on) const override;
    void Dump(unsigned long indent, CFile* file) const override;

protected:
    CASN1_CONSTRUCTED_TYPE() = default;
    /// A primitive value holding a copy of `size` contents octets.
    CASN1_CONSTRUCTED_TYPE(const unsigned char* data, unsigned long size) : CASN1_PRIMITIVE_TYPE(data, size) {}
    /// The primitive assignment, then a clone of each of the source's components.
    CASN1_CONSTRUCTED_TYPE& operator=(const CASN1_CONSTRUCTED_TYPE& other);

    /// A segment of a constructed string: it must carry this value's identifier.
    void addConstructedComponent(CASN1Type* component) override;
    int allowsConstructed() const override { return 1; }
    int allowsPrimitive() const override { return 1; }

    /// Sum of the components' whole encodings; within an encoding pass summed once. A writer
    /// takes it just before writing the components.
    unsigned long componentsLength(bool writing) const;

    /// The components are left to buildComponents, which the first use calls once (safe between
    /// threads); clear, an assignment and a move into this value drop that state.
    void deferComponents() { m_bDeferred.store(true, std::memory_order_release); }
    /// 1 while the components wait to be built.
    int hasDeferredComponents() const { return m_bDeferred.load(std::memory_order_acquire); }
    /// Drops the state without building, for a move that hands the octets on with it; 1 when it was set.
    int releaseDeferred() { return m_bDeferred.exchange(false, std::memory_order_acq_rel); }
    /// Fills m_components of a value left with deferComponents.
    virtual void buildComponents() {}
    /// Builds deferred components now.
    void buildDeferred() const {
        if (hasDeferredComponents()) buildOnce();
    }

    CASN1ComponentArray m_components;  ///< the components, owned

private:
    void buildOnce() const;
    unsigned long sumComponentLengths() const;
    [[noreturn]] void throwNoComponent(int index) const;

    mutable std::atomic<bool> m_bDeferred{false};
};
