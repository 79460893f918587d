// The whole public interface of vorlan.
#pragma once

#include "vorlan/framework/archive.h"
#include "vorlan/framework/array.h"
#include "vorlan/framework/bytearray.h"
#include "vorlan/framework/exception.h"
#include "vorlan/framework/file.h"
#include "vorlan/framework/memfile.h"
#include "vorlan/framework/object.h"
#include "vorlan/framework/string.h"
#include "vorlan/framework/thread.h"
#include "vorlan/framework/time.h"
#include "vorlan/framework/types.h"

#include "vorlan/support/bytearraypro.h"
#include "vorlan/support/diagnostics.h"
#include "vorlan/support/hex.h"
#include "vorlan/support/lstring.h"
#include "vorlan/support/memfilepro.h"
#include "vorlan/support/module.h"
#include "vorlan/support/progress.h"
#include "vorlan/support/terminate.h"
