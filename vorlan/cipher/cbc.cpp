#include "vorlan/cipher/cbc.h"

#include <cstring>

#include "vorlan/support/wipe.h"

CCBC_ModeProcessor::CCBC_ModeProcessor(unsigned long blockSize) : blockSize(blockSize), saved(blockSize) {}

CCBC_ModeProcessor::~CCBC_ModeProcessor() {
    if (!saved.empty()) SecureWipe(saved.data(), saved.size());
}

void CCBC_ModeProcessor::EncryptPreProcess(const unsigned char* in, unsigned char* out, unsigned char* chain) {
    for (unsigned long i = 0; i < blockSize; ++i) out[i] = in[i] ^ chain[i];
}

void CCBC_ModeProcessor::EncryptPostProcess(const unsigned char* in, unsigned char* out, unsigned char* chain) {
    std::memcpy(chain, in, blockSize);
    std::memmove(out, in, blockSize);
}

void CCBC_ModeProcessor::DecryptPreProcess(const unsigned char* in, unsigned char* out, unsigned char*) {
    std::memcpy(saved.data(), in, blockSize);
    std::memmove(out, in, blockSize);
}

void CCBC_ModeProcessor::DecryptPostProcess(const unsigned char* in, unsigned char* out, unsigned char* chain) {
    for (unsigned long i = 0; i < blockSize; ++i) out[i] = in[i] ^ chain[i];
    std::memcpy(chain, saved.data(), blockSize);
}
