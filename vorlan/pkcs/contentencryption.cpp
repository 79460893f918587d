#include "vorlan/pkcs/contentencryption.h"

#include "vorlan/asn1/wellknownoids.h"
#include "vorlan/cipher/aes.h"
#include "vorlan/cipher/cbc.h"
#include "vorlan/cipher/tripledes.h"
#include "vorlan/framework/memfile.h"
#include "vorlan/random/randomsgenerator.h"
#include "vorlan/support/wipe.h"

struct CContentEncryption::Algorithm {
    EContentEncryption id;
    const char* name;
    unsigned long block;
    CASN1_OBJECT_IDENTIFIER* (*newIdentifier)();
    CKey* (*newKey)();
    std::unique_ptr<CCryptoProcessor> (*newProcessor)(const CKey& key, const unsigned char* iv);
};

namespace {

template <class Oid, class Key, class Cipher>
constexpr CContentEncryption::Algorithm Row(EContentEncryption id, const char* name, unsigned long block) {
    return {id,
            name,
            block,
            []() -> CASN1_OBJECT_IDENTIFIER* { return new Oid; },
            []() -> CKey* { return new Key; },
            [](const CKey& key, const unsigned char* iv) -> std::unique_ptr<CCryptoProcessor> {
                return std::make_unique<CCBC<Cipher>>(static_cast<const Key&>(key), iv);
            }};
}

const CContentEncryption::Algorithm kAlgorithms[] = {
    Row<CASN1_DES_EDE3_CBC, CTripleDESkey, CTripleDESAlgorithm>(des_ede3_cbc, "des-ede3-cbc", 8),
    Row<CASN1_aes128_CBC, CAES128key, CAESAlgorithm>(aes128_cbc, "aes-128-cbc", 16),
    Row<CASN1_aes192_CBC, CAES192key, CAESAlgorithm>(aes192_cbc, "aes-192-cbc", 16),
    Row<CASN1_aes256_CBC, CAES256key, CAESAlgorithm>(aes256_cbc, "aes-256-cbc", 16),
};

const CContentEncryption::Algorithm& Named(const CASN1Type& identifier) {
    const auto* oid = dynamic_cast<const CASN1_OBJECT_IDENTIFIER*>(&identifier);
    if (oid == nullptr) ___throwDERDecodingException("the content encryption algorithm is not an object identifier");
    for (const auto& algorithm : kAlgorithms)
        if (*std::unique_ptr<CASN1_OBJECT_IDENTIFIER>(algorithm.newIdentifier()) == *oid) return algorithm;
    CString dotted;
    oid->GetDecimalDottedString(dotted);
    ___throwDERDecodingException("unknown content encryption algorithm %s", dotted.str().c_str());
}

}  // namespace

CContentEncryption::CContentEncryption(EContentEncryption algorithm)
    : m_algorithm(&kAlgorithms[algorithm]), m_key(m_algorithm->newKey()) {
    CRandomsGenerator().GetRandomBlock(m_iv, m_algorithm->block);
}

CContentEncryption::CContentEncryption(const CASN1_AlgorithmIdentifier& identifier)
    : m_algorithm(&Named(identifier.GetComponent(0))), m_key(m_algorithm->newKey()) {
    const auto* iv =
        identifier.GetCount() == 2 ? dynamic_cast<const CASN1_OCTET_STRING*>(&identifier.GetComponent(1)) : nullptr;
    if (iv == nullptr || iv->getClearContentsLength() != m_algorithm->block)
        ___throwDERDecodingException("the %s parameters are not an IV of %lu octets", m_algorithm->name,
                                     m_algorithm->block);
    iv->GetClearData(m_iv, m_algorithm->block, 1, 0);
}

CContentEncryption::~CContentEncryption() { SecureWipe(m_iv, sizeof m_iv); }

EContentEncryption CContentEncryption::GetAlgorithm() const { return m_algorithm->id; }

std::unique_ptr<CCryptoProcessor> CContentEncryption::NewProcessor() const {
    return m_algorithm->newProcessor(*m_key, m_iv);
}

CASN1_EncryptedContentInfo* CContentEncryption::Seal(CASN1_OBJECT_IDENTIFIER* contentType, const unsigned char* content,
                                                     unsigned long length) const {
    std::unique_ptr<CASN1_OBJECT_IDENTIFIER> type(contentType);
    const std::unique_ptr<CCryptoProcessor> sealer = NewProcessor();
    CMemFile sealed;
    CASN1_OCTET_STRING(content, length).encryptClearContents(*sealer, sealed);
    auto* algorithm =
        new CASN1_AlgorithmIdentifier(m_algorithm->newIdentifier(), new CASN1_OCTET_STRING(m_iv, m_algorithm->block));
    return new CASN1_EncryptedContentInfo(type.release(), algorithm,
                                          new CASN1_OCTET_STRING(sealed.GetBuffer(), sealed.GetLength()));
}

void CContentEncryption::Open(const CASN1_EncryptedContentInfo& info, CFile& out) const {
    if (!info.IsEncryptedContent()) ___throwDERDecodingException("the message has no encrypted content");
    const std::unique_ptr<CCryptoProcessor> opener = NewProcessor();
    info.GetEncryptedContent().decryptClearContents(*opener, out);
}
