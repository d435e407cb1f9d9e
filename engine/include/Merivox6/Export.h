// Visibility of the engine library's symbols: only what this folder's headers
// declare is exported from libMerivox6.so; everything else stays hidden.
#pragma once

#if defined(MERIVOX6_BUILDING)
#define MERIVOX6_API __attribute__((visibility("default")))
#else
#define MERIVOX6_API
#endif
