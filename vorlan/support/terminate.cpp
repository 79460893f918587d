#include "vorlan/support/terminate.h"

namespace {

CTerminateCompareException g_terminateCompare(FALSE);
CTerminateValidationException g_terminateValidation(FALSE);

}  // namespace

void ___throwTerminateCompareException(int) { throw &g_terminateCompare; }

void ___throwTerminateValidationException(int) { throw &g_terminateValidation; }
