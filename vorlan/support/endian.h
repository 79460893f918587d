/// \file
/// Unsigned words read from and written to octets in a stated byte order, whatever the
/// machine's own: ciphers and digests fix the order of their words.
#pragma once

#include <bit>
#include <concepts>
#include <cstdint>
#include <cstring>

namespace vorlan::detail {

template <std::unsigned_integral Word>
constexpr Word ByteSwap(Word word) {
    if constexpr (sizeof(Word) == 1)
        return word;
    else if constexpr (sizeof(Word) == 2)
        return __builtin_bswap16(word);
    else if constexpr (sizeof(Word) == 4)
        return __builtin_bswap32(word);
    else
        return __builtin_bswap64(word);
}

template <std::unsigned_integral Word, std::endian Order>
inline Word LoadWord(const unsigned char* p) {
    Word word;
    std::memcpy(&word, p, sizeof word);
    if constexpr (Order != std::endian::native) word = ByteSwap(word);
    return word;
}

template <std::endian Order, std::unsigned_integral Word>
inline void StoreWord(Word word, unsigned char* p) {
    if constexpr (Order != std::endian::native) word = ByteSwap(word);
    std::memcpy(p, &word, sizeof word);
}

template <std::unsigned_integral Word>
inline Word LoadBigEndian(const unsigned char* p) { return LoadWord<Word, std::endian::big>(p); }
template <std::unsigned_integral Word>
inline Word LoadLittleEndian(const unsigned char* p) { return LoadWord<Word, std::endian::little>(p); }
template <std::unsigned_integral Word>
inline void StoreBigEndian(Word word, unsigned char* p) { StoreWord<std::endian::big>(word, p); }
template <std::unsigned_integral Word>
inline void StoreLittleEndian(Word word, unsigned char* p) { StoreWord<std::endian::little>(word, p); }

}  // namespace vorlan::detail
