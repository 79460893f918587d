/// \file
/// The content-encryption algorithms with which enveloped, signed-and-enveloped and
/// encrypted data are sealed and opened here: triple DES and AES-128, -192 and -256, all
/// in CBC mode with padding, the algorithm's parameters being the IV as an OCTET STRING.
#pragma once

#include <memory>

#include "vorlan/cipher/cryptoprocessor.h"
#include "vorlan/cipher/key.h"
#include "vorlan/framework/file.h"
#include "vorlan/pkcs/envelopeddata.h"

/// The content-encryption algorithms: triple DES and AES-128, -192 and -256, in CBC mode.
enum EContentEncryption { des_ede3_cbc, aes128_cbc, aes192_cbc, aes256_cbc };

/// A content-encryption algorithm with its key and IV, which seals content into an
/// EncryptedContentInfo and opens one. Not copyable; the key is owned and wiped with it.
class CContentEncryption {
public:
    /// A new random key and IV of the algorithm.
    explicit CContentEncryption(EContentEncryption algorithm);
    /// The algorithm and IV that a received identifier names, with a key of the algorithm's
    /// length for the recipient to fill (UnlockKey). Another algorithm, or parameters other
    /// than an IV of one block, fail with the decoding exception.
    explicit CContentEncryption(const CASN1_AlgorithmIdentifier& identifier);
    CContentEncryption(const CContentEncryption&) = delete;
    CContentEncryption& operator=(const CContentEncryption&) = delete;
    ~CContentEncryption();

    /// The algorithm.
    EContentEncryption GetAlgorithm() const;
    ///@{
    /// The content key (to wrap for recipients, or to fill with an unwrapped one); owned here.
    CKey& GetKey() { return *m_key; }
    const CKey& GetKey() const { return *m_key; }
    ///@}

    /// The content, of type contentType (owned from now on), encrypted with the key and IV,
    /// under the identifier that names both.
    CASN1_EncryptedContentInfo* Seal(CASN1_OBJECT_IDENTIFIER* contentType, const unsigned char* content,
                                     unsigned long length) const;
    /// The plaintext of the encrypted content into out. Missing content fails with the
    /// decoding exception; bad padding, as a wrong key gives, with the unlock exception.
    void Open(const CASN1_EncryptedContentInfo& info, CFile& out) const;

    struct Algorithm;

private:
    std::unique_ptr<CCryptoProcessor> NewProcessor() const;

    const Algorithm* m_algorithm;
    std::unique_ptr<CKey> m_key;
    unsigned char m_iv[16];
};
