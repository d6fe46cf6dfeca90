// Window messages over Unix domain sockets in the lock folder.
#include "platform/WindowChannel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Clock.h"
#include "platform/NamedLock.h"
#include "platform/SysError.h"

namespace plat {

namespace {

constexpr int RECEIVE_TIMEOUT_MS = 1000;
constexpr uint64_t FNV_OFFSET_BASIS = 0xcbf29ce484222325ULL;
constexpr uint64_t FNV_PRIME = 0x100000001b3ULL;

uint64_t Fnv1a64(const std::string& text) {
    uint64_t hash = FNV_OFFSET_BASIS;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= FNV_PRIME;
    }
    return hash;
}

bool MakeAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty()) return false;
    if (path.size() >= sizeof address.sun_path) {
        SetLastError(ERR_FILENAME_TOO_LONG);
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// A connected socket to `path`, or -1 with the last error.
int Connect(const std::string& path) {
    sockaddr_un address;
    if (!MakeAddress(path, address)) return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        SetLastError(MapErrno(errno));
        return -1;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        SetLastError(errno == ECONNREFUSED || errno == ENOENT ? ERR_FILE_NOT_FOUND : MapErrno(errno));
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads exactly `size` bytes before `deadline` (milliseconds of NowMillis).
bool ReadFull(int fd, void* buffer, size_t size, uint64_t deadline) {
    auto* out = static_cast<char*>(buffer);
    while (size > 0) {
        const uint64_t now = NowMillis();
        if (now >= deadline) return false;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(deadline - now));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const ssize_t got = ::read(fd, out, size);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got <= 0) return false;
        out += got;
        size -= size_t(got);
    }
    return true;
}

bool WriteFull(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t put = ::send(fd, data, size, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            SetLastError(MapErrno(errno));
            return false;
        }
        data += put;
        size -= size_t(put);
    }
    return true;
}

void PutLe32(char* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = char((value >> (8 * i)) & 0xFF);
}

uint32_t GetLe32(const unsigned char* in) {
    return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}

}  // namespace

std::string WindowSocketPath(const std::string& title) {
    const std::string dir = LockFolder();
    if (dir.empty()) return {};
    char name[40];
    std::snprintf(name, sizeof name, "%016llx.window", static_cast<unsigned long long>(Fnv1a64(title)));
    return dir + "/" + name;
}

CWindowListener::~CWindowListener() { Close(); }

void CWindowListener::Close() {
    if (m_fd < 0) return;
    ::close(m_fd);
    ::unlink(m_path.c_str());
    m_fd = -1;
    m_path.clear();
}

bool CWindowListener::Listen(const std::string& title) {
    Close();
    const std::string path = WindowSocketPath(title);
    sockaddr_un address;
    if (!MakeAddress(path, address)) return false;
    // A socket file whose window still answers belongs to that window; one left by a
    // program that ended is taken over.
    if (const int other = Connect(path); other >= 0) {
        ::close(other);
        SetLastError(ERR_ALREADY_EXISTS);
        return false;
    }
    ::unlink(path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        SetLastError(MapErrno(errno));
        return false;
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0) {
        SetLastError(MapErrno(errno));
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_path = path;
    return true;
}

bool CWindowListener::Receive(WindowMessage& message) {
    if (m_fd < 0) return false;
    const int peer = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer < 0) return false;
    const uint64_t deadline = NowMillis() + RECEIVE_TIMEOUT_MS;
    unsigned char header[8];
    bool ok = ReadFull(peer, header, sizeof header, deadline);
    if (ok) {
        const uint32_t length = GetLe32(header + 4);
        ok = length <= WINDOW_MESSAGE_MAX;
        if (ok) {
            message.type = GetLe32(header);
            message.bytes.assign(length, '\0');
            ok = ReadFull(peer, message.bytes.data(), length, deadline);
        }
    }
    ::close(peer);
    return ok;
}

bool SendWindowMessage(const std::string& title, const WindowMessage& message) {
    if (message.bytes.size() > WINDOW_MESSAGE_MAX) {
        SetLastError(ERR_INVALID_PARAMETER);
        return false;
    }
    std::string packet(8, '\0');
    PutLe32(packet.data(), message.type);
    PutLe32(packet.data() + 4, uint32_t(message.bytes.size()));
    packet += message.bytes;
    return SendWindowBytes(title, packet);
}

bool SendWindowBytes(const std::string& title, const std::string& bytes) {
    const int fd = Connect(WindowSocketPath(title));
    if (fd < 0) return false;
    const bool ok = WriteFull(fd, bytes.data(), bytes.size());
    ::close(fd);
    return ok;
}

}  // namespace plat
