// Processes, the environment and the terminal on POSIX.
#include "platform/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <malloc.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/SysError.h"

extern char** environ;

namespace plat {

namespace {

// The longest password line kept; the rest of a longer line is read and dropped.
constexpr size_t MAX_PASSWORD_LENGTH = 4096;

// Signals that end the program while a password is typed: the terminal's echo must be
// back on before they take effect.
constexpr int ENDING_SIGNALS[] = {SIGINT, SIGTERM, SIGQUIT, SIGHUP};
constexpr size_t ENDING_SIGNAL_COUNT = sizeof ENDING_SIGNALS / sizeof ENDING_SIGNALS[0];
volatile sig_atomic_t g_caughtSignal = 0;

void NoteSignal(int signal) { g_caughtSignal = signal; }

// Starts `argv` (searched in PATH); the child's pid, or -1 with the last error set.
int Spawn(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].empty()) {
        SetLastError(ERR_INVALID_PARAMETER);
        return -1;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    int rc = ::posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ);
    if (rc != 0) {
        SetLastError(MapErrno(rc));
        return -1;
    }
    return int(pid);
}

// Waits for `pid`; its exit status, or -1 when it died from a signal.
int Reap(int pid) {
    int status = 0;
    while (::waitpid(pid_t(pid), &status, 0) < 0) {
        if (errno != EINTR) {
            SetLastError(MapErrno(errno));
            return -1;
        }
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    SetLastError(ERR_GEN_FAILURE);
    return -1;
}

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += size_t(n);
    }
}

}  // namespace

std::optional<std::string> GetEnv(const std::string& name) {
    const char* value = ::getenv(name.c_str());
    if (!value) return std::nullopt;
    return std::string(value);
}

bool SetEnv(const std::string& name, const std::string& value) {
    if (::setenv(name.c_str(), value.c_str(), 1) != 0) {
        SetLastError(MapErrno(errno));
        return false;
    }
    return true;
}

std::string HomeDirectory() {
    const char* home = ::getenv("HOME");
    if (home && *home) return home;
    long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(hint > 0 ? size_t(hint) : 16384, '\0');
    struct passwd entry;
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir)
        return found->pw_dir;
    SetLastError(ERR_FILE_NOT_FOUND);
    return {};
}

std::string ExecutablePath() {
    std::string buffer(256, '\0');
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            SetLastError(MapErrno(errno));
            return {};
        }
        if (size_t(n) < buffer.size()) {
            buffer.resize(size_t(n));
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

uint32_t ProcessId() { return uint32_t(::getpid()); }

uint32_t UserId() { return uint32_t(::getuid()); }

bool StdoutIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

bool StdinIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }

std::optional<std::string> ReadPasswordFromTerminal(const std::string& prompt) {
    int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0) {
        SetLastError(MapErrno(errno));
        return std::nullopt;
    }
    struct termios saved;
    if (::tcgetattr(tty, &saved) != 0) {
        SetLastError(MapErrno(errno));
        ::close(tty);
        return std::nullopt;
    }
    // Catch the ending signals (those not ignored) so the echo is restored before they act.
    struct sigaction previous[ENDING_SIGNAL_COUNT];
    bool installed[ENDING_SIGNAL_COUNT] = {};
    g_caughtSignal = 0;
    for (size_t i = 0; i < ENDING_SIGNAL_COUNT; ++i) {
        if (::sigaction(ENDING_SIGNALS[i], nullptr, &previous[i]) != 0 ||
            previous[i].sa_handler == SIG_IGN)
            continue;
        struct sigaction catcher = {};
        catcher.sa_handler = NoteSignal;
        ::sigemptyset(&catcher.sa_mask);
        catcher.sa_flags = 0;  // no SA_RESTART: read(2) returns EINTR
        installed[i] = ::sigaction(ENDING_SIGNALS[i], &catcher, nullptr) == 0;
    }

    WriteAll(tty, prompt);
    struct termios quiet = saved;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    quiet.c_lflag |= ICANON;
    ::tcsetattr(tty, TCSAFLUSH, &quiet);

    std::string line;
    bool gotLine = false;
    for (;;) {
        char c;
        ssize_t n = ::read(tty, &c, 1);
        if (n < 0 && errno == EINTR) {
            if (g_caughtSignal) break;
            continue;
        }
        if (n <= 0) break;
        if (c == '\n') {
            gotLine = true;
            break;
        }
        if (line.size() < MAX_PASSWORD_LENGTH) line += c;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();

    ::tcsetattr(tty, TCSAFLUSH, &saved);
    WriteAll(tty, "\n");
    ::close(tty);
    for (size_t i = 0; i < ENDING_SIGNAL_COUNT; ++i)
        if (installed[i]) ::sigaction(ENDING_SIGNALS[i], &previous[i], nullptr);
    if (g_caughtSignal) {
        int caught = g_caughtSignal;
        g_caughtSignal = 0;
        ::raise(caught);  // delivered now, with the terminal as it was
        line.assign(line.size(), '\0');
        SetLastError(ERR_GEN_FAILURE);
        return std::nullopt;
    }
    if (!gotLine && line.empty()) {
        SetLastError(ERR_HANDLE_EOF);
        return std::nullopt;
    }
    return line;
}

int RunProcess(const std::vector<std::string>& argv) {
    int pid = Spawn(argv);
    return pid < 0 ? -1 : Reap(pid);
}

int RunProcessCapture(const std::vector<std::string>& argv, const std::string& input,
                      std::string& output) {
    output.clear();
    if (argv.empty() || argv[0].empty()) {
        SetLastError(ERR_INVALID_PARAMETER);
        return -1;
    }
    int toChild[2] = {-1, -1};
    int fromChild[2] = {-1, -1};
    if (::pipe2(toChild, O_CLOEXEC) != 0) {
        SetLastError(MapErrno(errno));
        return -1;
    }
    if (::pipe2(fromChild, O_CLOEXEC) != 0) {
        SetLastError(MapErrno(errno));
        ::close(toChild[0]);
        ::close(toChild[1]);
        return -1;
    }
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDERR_FILENO);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    if (rc != 0) {
        ::close(toChild[1]);
        ::close(fromChild[0]);
        SetLastError(MapErrno(rc));
        return -1;
    }
    // Feed the input and drain the output together, so that neither side waits on a full pipe.
    int writeEnd = toChild[1];
    size_t written = 0;
    if (input.empty()) {
        ::close(writeEnd);
        writeEnd = -1;
    } else {
        ::fcntl(writeEnd, F_SETFL, ::fcntl(writeEnd, F_GETFL) | O_NONBLOCK);
    }
    const sighandler_t previousPipe = ::signal(SIGPIPE, SIG_IGN);
    char buffer[4096];
    for (;;) {
        struct pollfd fds[2] = {{fromChild[0], POLLIN, 0}, {writeEnd, POLLOUT, 0}};
        const int n = ::poll(fds, writeEnd >= 0 ? 2 : 1, -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (writeEnd >= 0 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t w = ::write(writeEnd, input.data() + written, input.size() - written);
            if (w > 0) written += size_t(w);
            if (w < 0 && errno != EAGAIN && errno != EINTR) written = input.size();
            if (written >= input.size()) {
                ::close(writeEnd);
                writeEnd = -1;
            }
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t r = ::read(fromChild[0], buffer, sizeof buffer);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;
            output.append(buffer, size_t(r));
        }
    }
    if (writeEnd >= 0) ::close(writeEnd);
    ::close(fromChild[0]);
    ::signal(SIGPIPE, previousPipe);
    return Reap(int(pid));
}

bool ProgramExists(const std::string& name) {
    if (name.empty()) return false;
    if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0;
    const char* path = ::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        const std::string candidate = folder + "/" + name;
        struct stat info;
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

CChildProcess::~CChildProcess() {
    if (m_pid > 0) {
        ::kill(pid_t(m_pid), SIGKILL);
        Reap(m_pid);
        m_pid = -1;
    }
}

bool CChildProcess::Start(const std::vector<std::string>& argv) {
    if (m_pid > 0) {
        SetLastError(ERR_INVALID_PARAMETER);  // one child at a time
        return false;
    }
    int pid = Spawn(argv);
    if (pid < 0) return false;
    m_pid = pid;
    return true;
}

int CChildProcess::Wait() {
    if (m_pid <= 0) {
        SetLastError(ERR_INVALID_PARAMETER);
        return -1;
    }
    int status = Reap(m_pid);
    m_pid = -1;
    return status;
}

}  // namespace plat

namespace plat {

void KeepFreedMemory() {
#if defined(__GLIBC__)
    // 32 MiB is the largest mapping threshold the allocator accepts; above it, buffers are
    // mapped as before. Freed memory at the heap's top is kept up to 1 GiB.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
}

}  // namespace plat
