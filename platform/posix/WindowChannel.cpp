// Window channels and named events on POSIX: Unix domain sockets in the lock folder.
#include "platform/WindowChannel.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Clock.h"
#include "platform/NamedLock.h"
#include "platform/SysError.h"

namespace plat {

namespace {

constexpr uint32_t READ_REQUEST_MS = 250;   // a request's message must come this soon
constexpr uint32_t WRITE_ANSWER_MS = 1000;  // and its answer must be taken this soon
constexpr int MAX_REQUESTS_PER_SERVE = 16;  // the rest waits for the next call
constexpr size_t MAX_PENDING = 32;          // connections whose messages are not complete
constexpr uint64_t POLL_SLICE_MS = 50;      // a slow request's time-out is checked this often
constexpr size_t HEADER_BYTES = 8;

uint64_t Fnv1a64(const std::string& text) {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// "w0123456789abcdef." for windows, "e...." for events: the start of the socket names.
std::string NamePrefix(char kind, const std::string& name) {
    char text[24];
    std::snprintf(text, sizeof text, "%c%016llx.", kind, static_cast<unsigned long long>(Fnv1a64(name)));
    return text;
}

bool FillAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        SetLastError(ERR_FILENAME_TOO_LONG);
        return false;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

bool ProcessAlive(uint32_t pid) { return pid != 0 && (::kill(pid_t(pid), 0) == 0 || errno != ESRCH); }

// The sockets of the lock folder whose names start with `prefix`, with the process id
// that follows it; those of ended processes are removed.
std::vector<ChannelAddress> ListSockets(const std::string& prefix) {
    std::vector<ChannelAddress> found;
    const std::string dir = LockFolder();
    if (dir.empty()) return found;
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return found;
    while (dirent* entry = ::readdir(d)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const size_t suffix = name.rfind(".sock");
        if (suffix == std::string::npos || suffix + 5 != name.size()) continue;
        uint32_t pid = 0;
        size_t i = prefix.size();
        for (; i < name.size() && name[i] >= '0' && name[i] <= '9' && pid < 100000000; ++i)
            pid = pid * 10 + uint32_t(name[i] - '0');
        const std::string path = dir + "/" + name;
        if (!ProcessAlive(pid)) {
            ::unlink(path.c_str());
            continue;
        }
        found.push_back({path, pid});
    }
    ::closedir(d);
    return found;
}

// Waits until `fd` is ready for `events` or `deadline` (NowMillis) passes.
bool WaitReady(int fd, short events, uint64_t deadline) {
    for (;;) {
        const uint64_t now = NowMillis();
        if (now >= deadline) return false;
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, int(deadline - now));
        if (r > 0) return true;
        if (r == 0) return false;
        if (errno != EINTR) return false;
    }
}

enum class IoResult { Done, Closed, Failed };

// Reads exactly `size` bytes before `deadline`. Closed: the other end closed first (with
// `got` bytes read).
IoResult ReadAll(int fd, uint8_t* data, size_t size, uint64_t deadline, size_t& got) {
    got = 0;
    while (got < size) {
        const ssize_t n = ::recv(fd, data + got, size - got, MSG_DONTWAIT);
        if (n > 0) {
            got += size_t(n);
            continue;
        }
        if (n == 0) return IoResult::Closed;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return IoResult::Failed;
        if (!WaitReady(fd, POLLIN, deadline)) return IoResult::Failed;
    }
    return IoResult::Done;
}

bool WriteAll(int fd, const uint8_t* data, size_t size, uint64_t deadline) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::send(fd, data + done, size - done, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        if (!WaitReady(fd, POLLOUT, deadline)) return false;
    }
    return true;
}

void PutU32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = uint8_t(value >> (8 * i));
}

uint32_t GetU32(const uint8_t* in) {
    return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}

bool WriteMessage(int fd, const ChannelMessage& message, uint64_t deadline) {
    std::vector<uint8_t> data(HEADER_BYTES + message.bytes.size());
    PutU32(data.data(), message.type);
    PutU32(data.data() + 4, uint32_t(message.bytes.size()));
    if (!message.bytes.empty()) std::memcpy(data.data() + HEADER_BYTES, message.bytes.data(), message.bytes.size());
    return WriteAll(fd, data.data(), data.size(), deadline);
}

// Reads one message. Closed with nothing read: the other end said nothing.
IoResult ReadMessage(int fd, ChannelMessage& message, uint64_t deadline, bool& nothing) {
    uint8_t header[HEADER_BYTES];
    size_t got = 0;
    IoResult r = ReadAll(fd, header, sizeof header, deadline, got);
    nothing = r == IoResult::Closed && got == 0;
    if (r != IoResult::Done) return r;
    const uint32_t length = GetU32(header + 4);
    if (length > CHANNEL_MAX_BYTES) return IoResult::Failed;
    message.type = GetU32(header);
    message.bytes.assign(length, 0);
    if (length == 0) return IoResult::Done;
    r = ReadAll(fd, message.bytes.data(), length, deadline, got);
    return r == IoResult::Done ? r : IoResult::Failed;
}

std::atomic<uint32_t> g_socketCount{0};

}  // namespace

CChannelServer::~CChannelServer() { Close(); }

void CChannelServer::Close() {
    for (const Pending& p : m_pending) ::close(p.fd);
    m_pending.clear();
    if (m_fd < 0) return;
    ::close(m_fd);
    ::unlink(m_path.c_str());
    m_fd = -1;
    m_path.clear();
    m_title.clear();
}

bool CChannelServer::Open(const std::string& title) {
    Close();
    const std::string dir = LockFolder();
    if (dir.empty()) return false;
    // The process id, and a number for each socket of the process: several windows of one
    // process may carry one title.
    const std::string path = dir + "/" + NamePrefix('w', title) + std::to_string(::getpid()) + "." +
                             std::to_string(g_socketCount.fetch_add(1)) + ".sock";
    sockaddr_un address;
    if (!FillAddress(path, address)) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        SetLastError(MapErrno(errno));
        return false;
    }
    ::unlink(path.c_str());  // left by an ended process that had our id
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0) {
        SetLastError(MapErrno(errno));
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_path = path;
    m_title = title;
    return true;
}

void CChannelServer::AcceptWaiting() {
    while (m_pending.size() < MAX_PENDING) {
        const int connection = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (connection < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;  // none waiting (or a failure the next call may not see)
        }
        m_pending.push_back({connection, NowMillis(), {}});
    }
}

bool CChannelServer::Advance(Pending& p, const Handler& handler, int& handled) {
    uint8_t buffer[4096];
    for (;;) {
        size_t want = HEADER_BYTES;
        if (p.data.size() >= HEADER_BYTES) {
            const uint32_t length = GetU32(p.data.data() + 4);
            if (length > CHANNEL_MAX_BYTES) return true;  // nonsense: closed unanswered
            want = HEADER_BYTES + length;
        }
        if (p.data.size() >= HEADER_BYTES && p.data.size() == want) {
            ChannelMessage request;
            request.type = GetU32(p.data.data());
            request.bytes.assign(p.data.begin() + HEADER_BYTES, p.data.end());
            ++handled;
            if (std::optional<ChannelMessage> answer = handler(request))
                WriteMessage(p.fd, *answer, NowMillis() + WRITE_ANSWER_MS);
            return true;
        }
        const size_t room = std::min(sizeof buffer, want - p.data.size());
        const ssize_t n = ::recv(p.fd, buffer, room, MSG_DONTWAIT);
        if (n > 0) {
            p.data.insert(p.data.end(), buffer, buffer + n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return NowMillis() - p.since >= READ_REQUEST_MS;  // not yet: kept, unless too slow
        return true;  // closed before its message was complete
    }
}

int CChannelServer::Serve(uint32_t waitMs, const Handler& handler) {
    if (m_fd < 0) return 0;
    const uint64_t deadline = NowMillis() + waitMs;
    int handled = 0;
    for (;;) {
        AcceptWaiting();
        for (size_t i = 0; i < m_pending.size() && handled < MAX_REQUESTS_PER_SERVE;) {
            if (Advance(m_pending[i], handler, handled)) {
                ::close(m_pending[i].fd);
                m_pending.erase(m_pending.begin() + std::ptrdiff_t(i));
            } else {
                ++i;
            }
        }
        const uint64_t now = NowMillis();
        if (handled > 0 || now >= deadline) return handled;
        // Wait for a new connection or more of a pending one's message.
        std::vector<pollfd> fds{{m_fd, POLLIN, 0}};
        for (const Pending& p : m_pending) fds.push_back({p.fd, POLLIN, 0});
        const uint64_t wait = std::min<uint64_t>(deadline - now, POLL_SLICE_MS);
        ::poll(fds.data(), fds.size(), int(wait));
    }
}

std::vector<ChannelAddress> FindChannels(const std::string& title) { return ListSockets(NamePrefix('w', title)); }

ChannelResult ChannelRequest(const ChannelAddress& address, const ChannelMessage& request,
                             ChannelMessage& answer, uint32_t timeoutMs) {
    sockaddr_un sa;
    if (!FillAddress(address.path, sa)) return ChannelResult::NotReached;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return ChannelResult::NotReached;
    const uint64_t deadline = NowMillis() + timeoutMs;
    // A full backlog answers EAGAIN: the window is busy, so try again until the deadline.
    for (;;) {
        if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) break;
        if (errno == EINTR) continue;
        if (errno == EAGAIN && NowMillis() < deadline) {
            SleepMillis(5);
            continue;
        }
        ::close(fd);
        return ChannelResult::NotReached;
    }
    ChannelResult result = ChannelResult::BadAnswer;
    bool nothing = false;
    if (!WriteMessage(fd, request, deadline)) {
        result = ChannelResult::NotReached;
    } else {
        const IoResult r = ReadMessage(fd, answer, deadline, nothing);
        if (r == IoResult::Done) result = ChannelResult::Answered;
        else if (nothing) result = ChannelResult::NoAnswer;
    }
    ::close(fd);
    return result;
}

CEventListener::CEventListener(const std::string& name) : m_name(name) {
    const std::string dir = LockFolder();
    if (dir.empty()) return;
    m_path = dir + "/" + NamePrefix('e', name) + std::to_string(::getpid()) + "." +
             std::to_string(g_socketCount.fetch_add(1)) + ".sock";
    sockaddr_un address;
    if (!FillAddress(m_path, address)) return;
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return;
    ::unlink(m_path.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        SetLastError(MapErrno(errno));
        ::close(fd);
        return;
    }
    m_fd = fd;
}

CEventListener::~CEventListener() {
    if (m_fd < 0) return;
    ::close(m_fd);
    ::unlink(m_path.c_str());
}

bool CEventListener::Wait(uint32_t timeoutMs) {
    if (m_fd < 0) return false;
    const uint64_t deadline = NowMillis() + timeoutMs;
    for (;;) {
        char buffer[64];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n >= 0) {
            // Several firings count as one.
            while (::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT) >= 0) {
            }
            return true;
        }
        if (errno == EINTR) continue;
        if (!WaitReady(m_fd, POLLIN, deadline)) return false;
    }
}

int FireEvent(const std::string& name) {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    int reached = 0;
    for (const ChannelAddress& listener : ListSockets(NamePrefix('e', name))) {
        sockaddr_un address;
        if (!FillAddress(listener.path, address)) continue;
        const char mark = 1;
        if (::sendto(fd, &mark, 1, MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&address),
                     sizeof address) == 1)
            ++reached;
    }
    ::close(fd);
    return reached;
}

}  // namespace plat
