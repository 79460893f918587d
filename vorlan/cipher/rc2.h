/// \file
/// RC2 (RFC 2268) with an effective key length, and CBadRC2Algorithm, the same cipher
/// over a substitution table formed from two installable tables.
#pragma once

#include <array>
#include <cstdint>

#include "vorlan/cipher/cryptoprocessor.h"
#include "vorlan/cipher/key.h"

/// RC2 (RFC 2268) on 8-octet blocks with the key's effective length. The expanded key is wiped
/// with the object.
class CRC2Algorithm : public CCryptoProcessor {
public:
    using KeyType = CRC2key;  ///< the key class
    /// the key expansion's substitution table (PITABLE)
    using SubstitutionTable = std::array<std::uint8_t, 256>;

    /// Key length T = the key's size (1 to 128 octets), effective bits T1 = its
    /// effectiveBits (1 to 1024); other values throw CUnlockException.
    CRC2Algorithm(const CRC2key& key, int noChaining, const unsigned char* iv);
    ~CRC2Algorithm() override;

protected:
    /// The key expansion over another substitution table.
    CRC2Algorithm(const CRC2key& key, int noChaining, const unsigned char* iv, const SubstitutionTable& table);

    void EncipherAlgorithm(const unsigned char* in, unsigned char* out) const override;
    void DecipherAlgorithm(const unsigned char* in, unsigned char* out) const override;

private:
    /// The expanded key as 64 little-endian 16-bit words.
    std::array<std::uint16_t, 64> m_K{};
};

/// RC2 whose substitution table is formed at each construction from a table of 256
/// signed 32-bit integers and a table of 256 octets: entry i is octets[i] XOR the low
/// octet of (integers[i] % 256), the remainder taking the integer's sign. The shipped
/// tables (integers all zero, octets the RFC 2268 table) make it standard RC2.
class CBadRC2Algorithm : public CRC2Algorithm {
public:
    /// RC2 over the table formed from the installed source tables.
    CBadRC2Algorithm(const CRC2key& key, int noChaining, const unsigned char* iv);

    /// Installs the two source tables for every later construction (for data made with
    /// tables other than the shipped ones). Not synchronised: call it before ciphers
    /// are constructed in other threads.
    static void InstallSourceTables(const std::int32_t* integers, const std::uint8_t* octets);
    /// Back to the shipped tables.
    static void InstallDefaultSourceTables();

private:
    static SubstitutionTable FormTable();
};
