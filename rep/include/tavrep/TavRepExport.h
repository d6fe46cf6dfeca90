// Export macro of the repository library (built with hidden visibility).
#pragma once
#if defined(TAVREP_BUILDING)
#define TAVREP_API __attribute__((visibility("default")))
#else
#define TAVREP_API
#endif
