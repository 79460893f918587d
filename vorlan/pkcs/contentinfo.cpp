#include "vorlan/pkcs/contentinfo.h"

#include <memory>
#include <typeinfo>

#include "vorlan/pkcs/pkcsstructure.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_ContentInfo, CASN1_CONSTRUCTED_TYPE)

namespace {

constexpr BYTE kContentTag = ASN1ContextTag(0);

// A constructed [0] holding exactly one value.
bool IsExplicitWrapper(const CASN1Type& value) {
    const auto* tagged = dynamic_cast<const CASN1_TAGGED*>(&value);
    return tagged && value.identifier == kContentTag && value.m_bConstructed && tagged->GetCount() == 1 &&
           tagged->GetComponents()[0];
}

// ContentInfo ::= SEQUENCE {
//      contentType ContentType,
//      content [0] EXPLICIT ANY DEFINED BY contentType OPTIONAL }
struct SContentInfo {
    const CASN1Type *contentType, *content;
};

SContentInfo WalkContentInfo(const CASN1Type& value, int anyTag = 1, bool check = false) {
    vorlan::detail::CPkcsWalk walk(value, anyTag, "ContentInfo", check);
    const SContentInfo fields{.contentType = &walk.Next(kASN1ObjectIdentifier, "contentType"),
                              .content = walk.Optional(kContentTag)};
    if (check && fields.content && !IsExplicitWrapper(*fields.content))
        ___throwDERDecodingException("ContentInfo.content is not valid");
    return walk.Ended(fields);
}

}  // namespace

CASN1_ContentInfo::CASN1_ContentInfo(CASN1_OBJECT_IDENTIFIER* type) { AddObject(type); }

CASN1_ContentInfo::CASN1_ContentInfo(CASN1_OBJECT_IDENTIFIER* type, CASN1Type* content) {
    std::unique_ptr<CASN1Type> owned(content);
    AddObject(type);
    if (content) appendWrapped(owned.release());
}

CASN1_ContentInfo::CASN1_ContentInfo(CASN1_OBJECT_IDENTIFIER* type, CASN1_TAGGED* content) {
    std::unique_ptr<CASN1_TAGGED> owned(content);
    AddObject(type);
    if (!content) return;
    if (typeid(*content) != typeid(CASN1_TAGGED)) {
        appendWrapped(owned.release());
        return;
    }
    if (!IsExplicitWrapper(*content))
        ___throwDERDecodingException("ContentInfo content must be a [0] wrapper of exactly one value");
    AddObject(owned.release());
}

void CASN1_ContentInfo::appendWrapped(CASN1Type* content) {
    std::unique_ptr<CASN1Type> owned(content);
    // The content itself goes in: nothing is copied and nothing is left to the caller.
    auto wrapper = std::make_unique<CASN1_TAGGED>(kContentTag, 0);
    wrapper->AddObject(owned.release());
    AddObject(wrapper.release());
    m_bIndefinite = 1;
}

CASN1_ContentInfo::CASN1_ContentInfo(CDEREncoding& der) {
    vorlan::detail::DecodeChecked(*this, der, isValid, "ContentInfo contents is not valid");
}

CASN1_OBJECT_IDENTIFIER& CASN1_ContentInfo::GetContentType() const {
    return vorlan::detail::Typed<CASN1_OBJECT_IDENTIFIER>(*this, WalkContentInfo(*this).contentType, "contentType");
}

int CASN1_ContentInfo::IsContent() const { return WalkContentInfo(*this).content != nullptr; }

CASN1Type& CASN1_ContentInfo::GetContent() const {
    const CASN1Type* wrapper = WalkContentInfo(*this).content;
    if (!wrapper || !IsExplicitWrapper(*wrapper)) ___throwDERDecodingException("ContentInfo content is not valid");
    return const_cast<CASN1Type&>(dynamic_cast<const CASN1_TAGGED&>(*wrapper).GetComponent(0));
}

void CASN1_ContentInfo::DeleteContent() {
    if (const CASN1Type* content = WalkContentInfo(*this).content)
        vorlan::detail::RemoveComponent(*this, *content, true);
}

int CASN1_ContentInfo::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Valid(WalkContentInfo, value, anyTag);
}
