#include "vorlan/asn1/namedtype.h"

namespace vorlan::detail {

void throwMemberAbsent(const char* structure, const char* member) {
    ___throwDERDecodingException("%s::%s - member absent", structure, member);
}

void throwMemberClass(const char* structure, const char* member) {
    ___throwDERDecodingException("%s::%s - component of another class", structure, member);
}

}  // namespace vorlan::detail

const CASN1Type& CASN1ChoiceView::GetValue() const {
    if (!m_pValue) ___throwDERDecodingException("CHOICE view of no value");
    return *m_pValue;
}
