// DbxInput: the byte source the DBX reader works on (a file, a stored file, memory).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A seekable stream of bytes. The reader never trusts a length field with an allocation:
// it reads through ReadAppend, which grows its buffer only as bytes really arrive.
class DbxInput {
public:
    virtual ~DbxInput();
    // Moves to an absolute offset. Seeking past the end is allowed; reads there deliver 0.
    // The reader does not look at the result.
    virtual bool Seek(uint64_t offset) = 0;
    // Reads up to `count` bytes; returns the number delivered (short only at the end or on
    // an error).
    virtual size_t Read(void* buffer, size_t count) = 0;
    // True once the input is exhausted.
    virtual bool AtEnd() = 0;

    // Appends exactly `count` bytes read at the current position to `out`; false (with
    // whatever arrived appended) when fewer arrive. Memory grows in steps, so a `count`
    // far beyond the input's real size costs at most one step more than the input holds.
    bool ReadAppend(std::vector<uint8_t>& out, uint64_t count);
    bool ReadAppend(std::string& out, uint64_t count);

private:
    template <class Buffer>
    bool ReadAppendTo(Buffer& out, uint64_t count);
};
