#include "core/DbxInput.h"

#include <algorithm>

namespace {
// Buffers grow by at most this much per read, so an unchecked length field cannot make the
// reader allocate far beyond what the input delivers.
constexpr uint64_t READ_STEP = 1 << 20;
}  // namespace

DbxInput::~DbxInput() = default;

template <class Buffer>
bool DbxInput::ReadAppendTo(Buffer& out, uint64_t count) {
    while (count > 0) {
        const size_t step = size_t(std::min(count, READ_STEP));
        const size_t before = out.size();
        out.resize(before + step);
        const size_t got = Read(out.data() + before, step);
        out.resize(before + std::min(got, step));
        if (got < step) return false;
        count -= step;
    }
    return true;
}

bool DbxInput::ReadAppend(std::vector<uint8_t>& out, uint64_t count) {
    return ReadAppendTo(out, count);
}

bool DbxInput::ReadAppend(std::string& out, uint64_t count) { return ReadAppendTo(out, count); }
