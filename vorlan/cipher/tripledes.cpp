#include "vorlan/cipher/tripledes.h"

#include "vorlan/support/unlockexception.h"
#include "vorlan/support/wipe.h"

CTripleDESAlgorithm::CTripleDESAlgorithm(const CTripleDESkey& key, int noChaining, const unsigned char* iv)
    : CCryptoProcessor(8, noChaining, iv) {
    if (key.Size() != 24) AfxThrowUnlockException("CTripleDESAlgorithm - the key must have 24 octets!");
    for (int i = 0; i < 3; ++i) vorlan::detail::DesKeySchedule(key.Data() + 8 * i, m_encryptKeys[i], m_decryptKeys[i]);
}

CTripleDESAlgorithm::~CTripleDESAlgorithm() {
    SecureWipe(m_encryptKeys, sizeof m_encryptKeys);
    SecureWipe(m_decryptKeys, sizeof m_decryptKeys);
}

void CTripleDESAlgorithm::EncipherAlgorithm(const unsigned char* in, unsigned char* out) const {
    const vorlan::detail::DesRoundKeys* const schedules[3] = {&m_encryptKeys[0], &m_decryptKeys[1], &m_encryptKeys[2]};
    vorlan::detail::DesCrypt(in, out, schedules, 3);
}

void CTripleDESAlgorithm::DecipherAlgorithm(const unsigned char* in, unsigned char* out) const {
    const vorlan::detail::DesRoundKeys* const schedules[3] = {&m_decryptKeys[2], &m_encryptKeys[1], &m_decryptKeys[0]};
    vorlan::detail::DesCrypt(in, out, schedules, 3);
}
