// The repository library's exceptions, thrown by pointer; the catcher calls Delete().
#pragma once
#include <cstdint>
#include <string>

#include "tavrep/TavRepExport.h"

class TAVREP_API CTavException {
public:
    CTavException(int32_t code, uint32_t systemError, const char* source);
    virtual ~CTavException();
    virtual void Delete();  // destroys the object

    int32_t code;
    uint32_t systemError;
    char source[64];  // the raising operation, at most 63 characters
    // What exactly went wrong and where, when the raiser knows more than the code says
    // (a damaged block names its image, offset and damage); empty otherwise.
    std::string detail;

    // "<source>: <text of code>[: <detail>] (code N: <the system's message>)" for messages.
    std::string Describe() const;
};

class TAVREP_API CTavImageException : public CTavException {
public:
    using CTavException::CTavException;
};

class TAVREP_API CTavRepException : public CTavException {
public:
    using CTavException::CTavException;
};

// Codes of the table shared by the library.
constexpr int32_t TAVEX_OPEN_FAILED = 0;
constexpr int32_t TAVEX_NOT_FOUND = 1;
constexpr int32_t TAVEX_BUSY = 2;
constexpr int32_t TAVEX_READ_BLOCK = 3;
constexpr int32_t TAVEX_WRITE_NODES = 4;
constexpr int32_t TAVEX_NOT_IMAGE = 5;
constexpr int32_t TAVEX_ID_TOO_HIGH = 7;
constexpr int32_t TAVEX_WRONG_ID = 8;
constexpr int32_t TAVEX_ENTRY_TOO_HIGH = 9;
constexpr int32_t TAVEX_UNKNOWN_VERSION = 10;
