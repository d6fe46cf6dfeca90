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

// The text of a caught exception (Describe), after which the exception is deleted: the one
// way every catcher of a CTavException* turns it into a message. Null gives
// "unknown repository error".
TAVREP_API std::string TakeException(CTavException* e);

// The text of the exception now being handled, whatever its kind: a CTavException* gives
// TakeException's text (and is deleted), a std::exception its what(), anything else
// "unexpected failure". The one way a boundary of the suite (an engine's entry, a plug-in's
// export, a call into program code, a window's handler) turns "catch (...)" into a message
// without leaking what was thrown. Call it only inside a catch handler.
TAVREP_API std::string TakeCurrentException();

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
