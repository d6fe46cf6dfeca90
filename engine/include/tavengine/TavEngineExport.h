// Export macro of the engine library (built with hidden visibility).
#pragma once
#if defined(TAVENGINE_BUILDING)
#define TAVENGINE_API __attribute__((visibility("default")))
#else
#define TAVENGINE_API
#endif
