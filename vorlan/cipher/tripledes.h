/// \file
/// Triple DES, EDE with three keys: encrypt with k1, decrypt with k2, encrypt with k3
/// (k1 = k3 gives two-key EDE, k1 = k2 = k3 single DES).
#pragma once

#include "vorlan/cipher/des.h"

/// Triple DES, EDE with three keys, on 8-octet blocks; a key of another length is
/// CUnlockException*. The round keys are wiped with the object.
class CTripleDESAlgorithm : public CCryptoProcessor {
public:
    using KeyType = CTripleDESkey;  ///< the key class

    /// The key must hold 24 octets: k1, k2 and k3.
    CTripleDESAlgorithm(const CTripleDESkey& key, int noChaining, const unsigned char* iv);
    ~CTripleDESAlgorithm() override;

protected:
    void EncipherAlgorithm(const unsigned char* in, unsigned char* out) const override;
    void DecipherAlgorithm(const unsigned char* in, unsigned char* out) const override;

private:
    /// Encryption and decryption round keys of k1, k2 and k3.
    vorlan::detail::DesRoundKeys m_encryptKeys[3]{};
    vorlan::detail::DesRoundKeys m_decryptKeys[3]{};
};
