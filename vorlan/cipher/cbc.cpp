#include "vorlan/cipher/cbc.h"

CCBC_ModeProcessor::CCBC_ModeProcessor(unsigned long blockSize) : blockSize(blockSize), saved(blockSize) {}
