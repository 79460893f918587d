#include "vorlan/asn1/constructed.h"

#include <mutex>
#include <utility>

#include "vorlan/asn1/backwardbuffer.h"
#include "vorlan/asn1/definiteheader.h"
#include "vorlan/asn1/encodingpass.h"
#include "vorlan/asn1/tagged.h"
#include "vorlan/support/diagnostics.h"

namespace {

// A flag setter applied to every component, last to first.
void propagate(const CASN1ComponentArray& components, void (CASN1Type::*setter)(int) const, int on) {
    for (int i = components.GetSize() - 1; i >= 0; --i)
        if (components[i]) (components[i]->*setter)(on);
}

}  // namespace

unsigned long CASN1_CONSTRUCTED_TYPE::componentsLength(bool writing) const {
    vorlan::detail::EncodingPass* pass = vorlan::detail::EncodingPass::Current();
    if (!pass) return sumComponentLengths();
    return pass->Length(this, writing, [this] { return sumComponentLengths(); });
}

void CASN1_CONSTRUCTED_TYPE::buildOnce() const {
    static std::mutex building;
    const std::lock_guard<std::mutex> lock(building);
    if (!m_bDeferred.load(std::memory_order_relaxed)) return;
    const_cast<CASN1_CONSTRUCTED_TYPE*>(this)->buildComponents();
    m_bDeferred.store(false, std::memory_order_release);
}

CASN1_CONSTRUCTED_TYPE& CASN1_CONSTRUCTED_TYPE::operator=(const CASN1_CONSTRUCTED_TYPE& other) {
    if (this == &other) return *this;
    other.buildDeferred();
    CASN1_PRIMITIVE_TYPE::operator=(other);
    releaseDeferred();
    m_components.SetSize(0);
    for (int i = 0; i < other.m_components.GetSize(); ++i) {
        const CASN1Type* component = other.m_components[i];
        if (component) AddObject(component->clone());
    }
    return *this;
}

void CASN1_CONSTRUCTED_TYPE::operatorMOVE(CASN1_CONSTRUCTED_TYPE& source) {
    if (this == &source) return;
    source.buildDeferred();
    CASN1_PRIMITIVE_TYPE::operatorMOVE(source);
    releaseDeferred();
    m_components.SetSize(0);
    const int n = source.m_components.GetSize();
    m_components.SetSize(n);
    for (int i = 0; i < n; ++i) m_components[i] = std::exchange(source.m_components[i], nullptr);
    source.m_components.SetSize(0);
}

void CASN1_CONSTRUCTED_TYPE::AddObject(CASN1Type* component) {
    std::unique_ptr<CASN1Type> owned(component);
    buildDeferred();
    m_components.Add(component);
    owned.release();
}

void CASN1_CONSTRUCTED_TYPE::throwNoComponent(int index) const {
    if (index < 0 || index >= m_components.GetSize())
        ___throwDERDecodingException("Component %d requested of %d", index, m_components.GetSize());
    ___throwDERDecodingException("Component %d is empty", index);
}

void CASN1_CONSTRUCTED_TYPE::addConstructedComponent(CASN1Type* component) {
    std::unique_ptr<CASN1Type> owned(component);
    if (ASN1StoredIdentifier(identifier) != ASN1StoredIdentifier(component->identifier))
        ___throwDERDecodingException("Tag number is not the same: 0x%x current, 0x%x inserted", identifier,
                                     component->identifier);
    AddObject(owned.release());
}

void CASN1_CONSTRUCTED_TYPE::clear() {
    CASN1_PRIMITIVE_TYPE::clear();
    releaseDeferred();
    m_components.SetSize(0);
}

unsigned long CASN1_CONSTRUCTED_TYPE::sumComponentLengths() const {
    unsigned long total = 0;
    CASN1Type* const* components = m_components.GetData();
    for (int i = 0, n = m_components.GetSize(); i < n; ++i)
        if (components[i]) total += components[i]->getEncodedLength(0);
    return total;
}

void CASN1_CONSTRUCTED_TYPE::writeEncoding(CBufferedFilterNS& out, int contentsOnly, int useTag,
                                           unsigned char tag) const {
    buildDeferred();
    if (!m_bConstructed) {
        CASN1_PRIMITIVE_TYPE::writeEncoding(out, contentsOnly, useTag, tag);
        return;
    }
    const unsigned char identifierOctet = static_cast<unsigned char>((useTag ? tag : identifier) | kASN1Constructed);
    if (!contentsOnly) {
        // Taken also for the indefinite form, so the pass meets the values in the order it summed them.
        const unsigned long length = componentsLength(true);
        if (m_bIndefinite) {
            const unsigned char header[2] = {identifierOctet, kASN1IndefiniteLength};
            out.Write(header, 2);
        } else {
            vorlan::detail::writeDefiniteHeader(out, identifierOctet, length);
        }
    }
    // Components go straight into the same sink, each with its own header; writers leave the
    // tree as it is, so the component list is read once.
    CASN1Type* const* components = m_components.GetData();
    for (int i = 0, n = m_components.GetSize(); i < n; ++i)
        if (components[i]) components[i]->writeEncoding(out, 0, 0, 0);
    if (m_bIndefinite && !contentsOnly) {
        const unsigned char endOfContents[2] = {0, 0};
        out.Write(endOfContents, 2);
    }
}

void CASN1_CONSTRUCTED_TYPE::writeBackward(vorlan::detail::CBackwardBuffer& out) const {
    buildDeferred();
    if (!m_bConstructed) {
        CASN1_PRIMITIVE_TYPE::writeBackward(out);
        return;
    }
    const unsigned char identifierOctet = static_cast<unsigned char>(identifier | kASN1Constructed);
    const unsigned long after = out.Size();
    if (m_bIndefinite) {
        unsigned char* endOfContents = out.Prepend(2);
        endOfContents[0] = endOfContents[1] = 0;
    }
    CASN1Type* const* components = m_components.GetData();
    for (int i = m_components.GetSize(); i-- > 0;)
        if (components[i]) components[i]->writeBackward(out);
    if (m_bIndefinite) {
        unsigned char* header = out.Prepend(2);
        header[0] = identifierOctet;
        header[1] = kASN1IndefiniteLength;
        return;
    }
    const unsigned long length = out.Size() - after;
    const unsigned h = vorlan::detail::definiteHeaderOctets(length);
    vorlan::detail::putDefiniteHeader(out.Prepend(h), identifierOctet, length, h);
}

void CASN1_CONSTRUCTED_TYPE::writeClearContents(CBufferedFilterNS& out) const {
    buildDeferred();
    if (!m_bConstructed) {
        CASN1_PRIMITIVE_TYPE::writeClearContents(out);
        return;
    }
    for (int i = 0; i < m_components.GetSize(); ++i)
        if (m_components[i]) m_components[i]->writeClearContents(out);
}

unsigned long CASN1_CONSTRUCTED_TYPE::getEncodedLength(int contentsOnly) const {
    buildDeferred();
    if (!m_bConstructed) return CASN1_PRIMITIVE_TYPE::getEncodedLength(contentsOnly);
    const unsigned long s = componentsLength(false);
    if (contentsOnly) return s;
    return m_bIndefinite ? s + 4 : vorlan::detail::definiteEncodedLength(s);
}

unsigned long CASN1_CONSTRUCTED_TYPE::getClearContentsLength() const {
    buildDeferred();
    if (!m_bConstructed) return CASN1_PRIMITIVE_TYPE::getClearContentsLength();
    unsigned long total = 0;
    for (int i = 0; i < m_components.GetSize(); ++i)
        if (m_components[i]) total += m_components[i]->getClearContentsLength();
    return total;
}

void CASN1_CONSTRUCTED_TYPE::buildImplicitTAGGED(CASN1_TAGGED& tagged) {
    buildDeferred();
    if (!m_bConstructed) {
        CASN1_PRIMITIVE_TYPE::buildImplicitTAGGED(tagged);
        return;
    }
    tagged.clear();
    const int n = m_components.GetSize();
    tagged.m_components.SetSize(n);
    if (m_bClearAfterGet) {
        for (int i = 0; i < n; ++i) tagged.m_components[i] = std::exchange(m_components[i], nullptr);
        m_components.SetSize(0);
    } else {
        for (int i = 0; i < n; ++i) tagged.m_components[i] = m_components[i] ? m_components[i]->clone() : nullptr;
    }
    tagged.m_bConstructed = 1;
    tagged.m_bIndefinite = m_bIndefinite;
}

int CASN1_CONSTRUCTED_TYPE::fromImplicit(CASN1_TAGGED& tagged) {
    buildDeferred();
    if (!tagged.m_bConstructed) return CASN1_PRIMITIVE_TYPE::fromImplicit(tagged);
    if (!allowsConstructed()) return 0;
    m_bConstructed = 1;
    m_bIndefinite = tagged.m_bIndefinite;
    CASN1ComponentArray& source = tagged.m_components;
    if (tagged.m_bClearAfterGet) {
        for (int i = 0; i < source.GetSize(); ++i)
            if (source[i]) addConstructedComponent(std::exchange(source[i], nullptr));
        tagged.clear();
    } else {
        for (int i = 0; i < source.GetSize(); ++i)
            if (source[i]) addConstructedComponent(source[i]->clone());
    }
    return 1;
}

void CASN1_CONSTRUCTED_TYPE::OnOffAlignLeft(int on) const {
    buildDeferred();
    SetMode(m_bAlignLeft, on);
    propagate(m_components, &CASN1Type::OnOffAlignLeft, on);
}

void CASN1_CONSTRUCTED_TYPE::OnOffClearAfterGet(int on) const {
    buildDeferred();
    SetMode(m_bClearAfterGet, on);
    propagate(m_components, &CASN1Type::OnOffClearAfterGet, on);
}

void CASN1_CONSTRUCTED_TYPE::OnOffSorted(int on) const {
    buildDeferred();
    SetMode(m_bSorted, on);
    propagate(m_components, &CASN1Type::OnOffSorted, on);
}

void CASN1_CONSTRUCTED_TYPE::Dump(unsigned long indent, CFile* file) const {
    buildDeferred();
    if (!m_bConstructed) {
        CASN1_PRIMITIVE_TYPE::Dump(indent, file);
        return;
    }
    CASN1Type::Dump(indent, file);
    const CString margin(' ', static_cast<int>(indent));
    ___WriteFormatted(file, "%s{\r\n", static_cast<const char*>(margin));
    bool first = true;
    for (int i = 0; i < m_components.GetSize(); ++i) {
        if (!m_components[i]) continue;
        if (!first) ___WriteFormatted(file, "\r\n");
        first = false;
        m_components[i]->Dump(indent + 3, file);
    }
    ___WriteFormatted(file, "%s}\r\n", static_cast<const char*>(margin));
}
