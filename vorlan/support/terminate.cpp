#include "vorlan/support/terminate.h"

#include "vorlan/support/sharedexception.h"

void ___throwTerminateCompareException(int) { vorlan::detail::ThrowShared<CTerminateCompareException>(); }

void ___throwTerminateValidationException(int) { vorlan::detail::ThrowShared<CTerminateValidationException>(); }
