// Messages between the windows of our programs. A window that other programs look for (by
// the title the design gives it, "TvrBrowser - %s" and the like) listens on a Unix domain
// socket in the lock folder (LockFolder), named by a hash of its title. A message is its
// type (32 bits), the length of its bytes (32 bits), both little-endian, and the bytes.
#pragma once
#include <cstdint>
#include <string>

namespace plat {

// The most bytes one message may carry.
constexpr uint32_t WINDOW_MESSAGE_MAX = 64 * 1024;

struct WindowMessage {
    uint32_t type = 0;
    std::string bytes;
};

// The socket path of the window with this title; empty when there is no lock folder.
std::string WindowSocketPath(const std::string& title);

// The listening end of one window.
class CWindowListener {
public:
    CWindowListener() = default;
    ~CWindowListener();  // closes the socket and removes its file
    CWindowListener(const CWindowListener&) = delete;
    CWindowListener& operator=(const CWindowListener&) = delete;

    // Listens under `title` (an earlier title is given up). False, with the last error, when
    // the socket cannot be made or another window of that title is listening already.
    bool Listen(const std::string& title);
    void Close();
    // The descriptor that becomes readable when a message waits; -1 when closed.
    int Handle() const { return m_fd; }
    // Takes one waiting message. False when none waits or the sender's message was not
    // whole within a second or is larger than WINDOW_MESSAGE_MAX (it is dropped).
    bool Receive(WindowMessage& message);

private:
    int m_fd = -1;
    std::string m_path;
};

// Sends a message to the window with this title. False, with the last error, when no such
// window listens or the message could not be sent whole.
bool SendWindowMessage(const std::string& title, const WindowMessage& message);
// Sends `bytes` as they are (a message put together elsewhere, or a broken one).
bool SendWindowBytes(const std::string& title, const std::string& bytes);

}  // namespace plat
