#include "vorlan/x509/certificationchain.h"

#include <algorithm>
#include <variant>
#include <vector>

#include "vorlan/x509/certificate.h"
#include "vorlan/x509/structurecheck.h"

namespace {

// A certificate as compared: its fields, or, when it cannot be read, its DER (never equal
// to a certificate that can).
using Compared = std::variant<CCertificate, std::vector<BYTE>>;

std::vector<Compared> ComparedForms(const CCertificationChain& chain) {
    std::vector<Compared> forms;
    forms.reserve(static_cast<std::size_t>(chain.GetSize()));
    for (int i = 0; i < chain.GetSize(); ++i) {
        CCertificate certificate;
        if (vorlan::detail::Passes([&] { chain[i].SetDataTo(certificate); })) {
            forms.emplace_back(std::move(certificate));
            continue;
        }
        CByteArray der;
        chain[i].encodeTo(der);
        forms.emplace_back(std::vector<BYTE>(der.GetData(), der.GetData() + der.GetSize()));
    }
    return forms;
}

}  // namespace

CCertificationChain::CCertificationChain(const CCertificationChain& other) : CCertificationChain() { Copy(other); }

CCertificationChain& CCertificationChain::operator=(const CCertificationChain& other) {
    Copy(other);
    return *this;
}

int CCertificationChain::IsSubChainOf(const CCertificationChain& other) const {
    if (GetSize() == 0 || GetSize() > other.GetSize()) return 0;
    const std::vector<Compared> run = ComparedForms(*this), within = ComparedForms(other);
    return std::search(within.begin(), within.end(), run.begin(), run.end()) != within.end();
}

void SerializeElements(CArchive& ar, CCertificationChain* elements, int count) {
    for (int i = 0; i < count; ++i) elements[i].Serialize(ar);
}
