#include "vorlan/cipher/aes.h"

#include "vorlan/support/unlockexception.h"
#include "vorlan/support/wipe.h"

CAESAlgorithm::CAESAlgorithm(const CAESkey& key, int noChaining, const unsigned char* iv)
    : CAESAlgorithm(key, noChaining, iv, vorlan::detail::FastestAesKernels()) {}

CAESAlgorithm::CAESAlgorithm(const CAESkey& key, int noChaining, const unsigned char* iv,
                             const vorlan::detail::AesKernels& kernels)
    : CCryptoProcessor(vorlan::detail::kAesBlock, noChaining, iv), m_kernels(kernels) {
    if (!key.IsValid()) AfxThrowUnlockException("CAESAlgorithm - the key must have 16, 24 or 32 octets!");
    vorlan::detail::AesExpandKey(key.Data(), key.Size(), m_schedule);
    m_kernels.prepare(m_schedule);
}

CAESAlgorithm::~CAESAlgorithm() { SecureWipe(&m_schedule, sizeof m_schedule); }

void CAESAlgorithm::EncryptCBC(const unsigned char* in, unsigned long len, unsigned char* out,
                               unsigned char* chain) const {
    m_kernels.cbcEncrypt(m_schedule, in, out, len / vorlan::detail::kAesBlock, chain);
}

void CAESAlgorithm::DecryptCBC(const unsigned char* in, unsigned long len, unsigned char* out,
                               unsigned char* chain) const {
    m_kernels.cbcDecrypt(m_schedule, in, out, len / vorlan::detail::kAesBlock, chain);
}

void CAESAlgorithm::EncipherAlgorithm(const unsigned char* in, unsigned char* out) const {
    m_kernels.encrypt(m_schedule, in, out, 1);
}

void CAESAlgorithm::DecipherAlgorithm(const unsigned char* in, unsigned char* out) const {
    m_kernels.decrypt(m_schedule, in, out, 1);
}
