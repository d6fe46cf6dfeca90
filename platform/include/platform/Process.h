// Processes and the environment.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plat {

std::optional<std::string> GetEnv(const std::string& name);
bool SetEnv(const std::string& name, const std::string& value);
std::string HomeDirectory();
std::string ExecutablePath();  // /proc/self/exe
uint32_t ProcessId();
uint32_t UserId();
// For a program that runs one job and ends (tavctl, TavCmdHost): large buffers come from
// the heap and freed memory stays with the process, instead of being mapped fresh for every
// large buffer and handed back at once. A run copies and encodes whole node tables (tens of
// megabytes) several times; touching fresh pages each time cost it a third of a run with no
// change.
void KeepFreedMemory();
bool StdoutIsTerminal();
bool StdinIsTerminal();
// Reads a line from the terminal without echo (for passwords); nullopt when no terminal.
std::optional<std::string> ReadPasswordFromTerminal(const std::string& prompt);

// Starts `argv` and waits for it; its exit status, or -1 when it could not be started
// or was killed by a signal.
int RunProcess(const std::vector<std::string>& argv);
// Starts `argv` (searched in PATH), writes `input` to its standard input and collects what it
// writes to standard output and standard error (together) into `output`; its exit status,
// or -1 when it could not be started or was killed by a signal.
int RunProcessCapture(const std::vector<std::string>& argv, const std::string& input,
                      std::string& output);
// True when `name` is a program found in PATH (or an executable path).
bool ProgramExists(const std::string& name);

// A child process started without waiting.
class CChildProcess {
public:
    CChildProcess() = default;
    ~CChildProcess();  // kills and reaps a child that is still running
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;
    bool Start(const std::vector<std::string>& argv);
    int Wait();  // exit status, -1 on signal or when not started
    bool Running() const { return m_pid > 0; }

private:
    int m_pid = -1;
};

}  // namespace plat
