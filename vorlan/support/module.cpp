#include "vorlan/support/module.h"

void Vorlan_Release_980204() {}
