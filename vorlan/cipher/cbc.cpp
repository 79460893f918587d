#include "vorlan/cipher/cbc.h"

#include "vorlan/support/wipe.h"

CCBC_ModeProcessor::CCBC_ModeProcessor(unsigned long blockSize) : blockSize(blockSize), saved(blockSize) {}

CCBC_ModeProcessor::~CCBC_ModeProcessor() {
    if (!saved.empty()) SecureWipe(saved.data(), saved.size());
}
