#include "vorlan/pkcs/pkcsstructure.h"

#include "vorlan/asn1/integer.h"
#include "vorlan/pkcs/contentinfo.h"

namespace vorlan::detail {

void CheckVersion(CStructureReader& reader, unsigned long expected, const char* unreadable) {
    const auto* version = dynamic_cast<const CASN1_INTEGER*>(&reader.Next(kASN1Integer, "version"));
    unsigned long number = 0;
    if (!version || !version->GetInteger(number)) ___throwDERDecodingException("%s", unreadable);
    if (number != expected) ___throwDERDecodingException("version %lu, %lu expected", number, expected);
}

const CASN1Type& CheckNext(CStructureReader& reader, PkcsCheck check, const char* field) {
    const CASN1Type& component = reader.NextAny(field);
    if (!check(&component, 0)) ___throwDERDecodingException("%s is not valid", field);
    return component;
}

void CheckSetOf(const CASN1Type& value, int anyTag, PkcsCheck element, const char* field) {
    if (!CASN1_SET::isValid(&value, anyTag)) ___throwDERDecodingException("%s is not a SET", field);
    CStructureReader reader(dynamic_cast<const CASN1_CONSTRUCTED_TYPE&>(value));
    while (!reader.AtEnd()) CheckNext(reader, element, field);
}

int HasTagAt(const CASN1_CONSTRUCTED_TYPE& parent, int index, BYTE tag) {
    return index < parent.GetCount() && parent.GetComponents()[index] &&
           parent.GetComponents()[index]->identifier == tag;
}

CASN1_SET* SetFromImplicit(const CASN1_CONSTRUCTED_TYPE& parent, int index, int clearAfterGet) {
    CASN1_TAGGED& tagged = Typed<CASN1_TAGGED>(parent, index, "SET OF");
    tagged.OnOffClearAfterGet(clearAfterGet);
    auto set = std::make_unique<CASN1_SET>();
    const int read = set->fromImplicit(tagged);
    tagged.OnOffClearAfterGet(0);
    set->OnOffClearAfterGet(0);
    if (!read) ___throwDERDecodingException("SET OF cannot be read");
    return set.release();
}

CASN1_TAGGED* NewImplicitSet(BYTE tag, const CASN1_SET& set) {
    auto tagged = std::make_unique<CASN1_TAGGED>(tag, 0);
    CASN1_SET(set).buildImplicitTAGGED(*tagged);
    return tagged.release();
}

CASN1_SET* NewSortedCopy(const CASN1_SET& set) {
    auto sorted = std::make_unique<CASN1_SET>();
    sorted->m_bSorted = 1;
    for (int i = 0; i < set.GetCount(); ++i) sorted->AddObject(set.GetComponent(i).clone());
    return sorted.release();
}

void DecodeChecked(CASN1_CONSTRUCTED_TYPE& self, CDEREncoding& der, PkcsCheck isValid, const char* reason) {
    self.decodeFrom(der);
    if (isValid(&self, 0)) return;
    self.clear();
    ___throwDERDecodingException("%s", reason);
}

void FromValue(CASN1_CONSTRUCTED_TYPE& self, const CASN1Type& value, PkcsCheck isValid, const char* reason) {
    if (self.moveFrom(value.clone()) && isValid(&self, 0)) return;
    self.clear();
    ___throwDERDecodingException("%s", reason);
}

void FromContent(CASN1_CONSTRUCTED_TYPE& self, const CASN1_ContentInfo& contentInfo,
                 const CASN1_OBJECT_IDENTIFIER& type, PkcsCheck isValid, const char* reason) {
    if (!CASN1_ContentInfo::isValid(&contentInfo, 0) || !(contentInfo.GetContentType() == type) ||
        !contentInfo.IsContent())
        ___throwDERDecodingException("%s", reason);
    FromValue(self, contentInfo.GetContent(), isValid, reason);
}

}  // namespace vorlan::detail
