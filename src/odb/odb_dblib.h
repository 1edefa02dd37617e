#pragma once

// The one place that includes the TDS client library's headers, with Microsoft's names.
#ifndef MSDBLIB
#define MSDBLIB 1
#endif
#include <sybdb.h>
#include <sybfront.h>
