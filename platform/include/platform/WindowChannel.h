// Messages between programs, addressed by window title: each window that others may reach
// listens on a Unix domain socket in the lock folder (LockFolder), named by a hash of its
// title and the process id, so that several windows may carry one title and a program
// finds every one of them by the title alone. The names are
// "w<64-bit hash of the title in hex>.<process id>.<number>.sock". One message is a type (32 bits,
// little-endian), a length (32 bits, little-endian) and that many bytes.
//
// A request is one connection: the asking side connects, sends one message and reads at
// most one answer; the window answers or closes without a word.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace plat {

// Messages longer than this are refused by both sides (a garbled length is not an
// allocation size).
constexpr uint32_t CHANNEL_MAX_BYTES = 64 * 1024;

struct ChannelMessage {
    uint32_t type = 0;
    std::vector<uint8_t> bytes;
};

// A window found by its title.
struct ChannelAddress {
    std::string path;  // the socket
    uint32_t pid = 0;  // the process that listens on it
};

// The listening end of one window.
class CChannelServer {
public:
    CChannelServer() = default;
    ~CChannelServer();
    CChannelServer(const CChannelServer&) = delete;
    CChannelServer& operator=(const CChannelServer&) = delete;

    // Listens under `title`, leaving the previous title first. False with the last error
    // when the socket cannot be made.
    bool Open(const std::string& title);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    // The listening descriptor: readable when a request connects; -1 when closed.
    int Handle() const { return m_fd; }
    const std::string& Title() const { return m_title; }
    const std::string& Path() const { return m_path; }

    // The answer to one request; nullopt: none.
    using Handler = std::function<std::optional<ChannelMessage>(const ChannelMessage&)>;
    // Handles the requests whose messages have arrived, waiting up to `waitMs` for one.
    // Never waits for a slow sender: a connection whose message is not complete yet is
    // kept for the next call, and closed unanswered when it stays incomplete for a while
    // or sends nothing sensible (a wrong length, too many bytes). Returns the number of
    // requests handled.
    int Serve(uint32_t waitMs, const Handler& handler);

private:
    struct Pending {
        int fd = -1;
        uint64_t since = 0;
        std::vector<uint8_t> data;
    };
    void AcceptWaiting();
    // Reads what `p` has sent; true when it is done with (handled, or closed).
    bool Advance(Pending& p, const Handler& handler, int& handled);

    std::vector<Pending> m_pending;
    int m_fd = -1;
    std::string m_title;
    std::string m_path;
};

// Every window now listening under `title` (none when nobody does). Sockets left behind
// by processes that ended are removed on the way.
std::vector<ChannelAddress> FindChannels(const std::string& title);

enum class ChannelResult {
    Answered,    // `answer` holds the answer
    NoAnswer,    // the window closed the request without answering
    NotReached,  // nobody listens there (any more)
    BadAnswer,   // a short, over-long or late answer
};

// Sends `request` to the window at `address` and waits up to `timeoutMs` for its answer.
ChannelResult ChannelRequest(const ChannelAddress& address, const ChannelMessage& request,
                             ChannelMessage& answer, uint32_t timeoutMs);

// A named event (the design's event message): listeners wait for it, and firing it
// wakes every listener of that name at that moment. Carried by datagram sockets in the
// lock folder named by a hash of the event's name.
class CEventListener {
public:
    explicit CEventListener(const std::string& name);
    ~CEventListener();
    CEventListener(const CEventListener&) = delete;
    CEventListener& operator=(const CEventListener&) = delete;
    bool IsOpen() const { return m_fd >= 0; }
    // True when the event was fired since the listener was made (or since the last Wait
    // that returned true), waiting up to `timeoutMs`.
    bool Wait(uint32_t timeoutMs);

private:
    int m_fd = -1;
    std::string m_name;
    std::string m_path;
};

// Fires the event `name`; the number of listeners reached.
int FireEvent(const std::string& name);

}  // namespace plat
