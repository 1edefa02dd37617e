#pragma once

// The one place that includes the TDS client library's headers, with Microsoft's names.
#ifndef MSDBLIB
#define MSDBLIB 1
#endif
#include <sybdb.h>
#include <sybfront.h>

// The library's own login record (its "dump"), exported by libsybdb though not declared in
// its public headers; a null name closes it. Only the login path uses it, to learn why an
// encrypted login failed.
extern "C" int tdsdump_open(const char* filename);
