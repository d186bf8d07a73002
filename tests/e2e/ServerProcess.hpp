#pragma once

// Starts a program of this build as a child process for end-to-end tests:
// arguments and extra environment, standard output and error captured in
// files, waiting for its TCP port on 127.0.0.1, signals, and a bounded wait
// for its exit. The destructor kills a child that is still running.

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "../support/Loopback.hpp"

extern char** environ;

namespace zd::e2e {

// A port on 127.0.0.1 that was free a moment ago (bound to port 0, read back).
inline std::uint16_t FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = testsupport::LoopbackAddress(0);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("no free port");
    ::close(fd);
    return ntohs(address.sin_port);
}

// True when a TCP connection to 127.0.0.1:port succeeds now.
inline bool PortAccepts(std::uint16_t port)
{
    const int fd = testsupport::ConnectLoopback(port);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

// The path of a program built by this build ("zodavizi", "vtclient").
inline std::string BuiltProgram(const std::string& name)
{
    for (const char* folder : {"/src/", "/tools/", "/"}) {
        const std::string path = std::string(ZD_BINARY_DIR) + folder + name;
        if (::access(path.c_str(), X_OK) == 0)
            return path;
    }
    throw std::runtime_error("program not built: " + name);
}

class ServerProcess {
public:
    ServerProcess(const std::string& program, const std::vector<std::string>& args,
                  const std::vector<std::string>& extraEnv = {"ZODAVIZI_UPNP=off"})
    {
        char folder[] = "/tmp/zd-process-XXXXXX";
        if (::mkdtemp(folder) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        folder_ = folder;
        const std::string out = (folder_ / "stdout").string();
        const std::string err = (folder_ / "stderr").string();

        std::vector<std::string> argText{program};
        argText.insert(argText.end(), args.begin(), args.end());
        std::vector<std::string> envText;
        for (char** entry = environ; *entry != nullptr; ++entry)
            envText.emplace_back(*entry);
        envText.insert(envText.end(), extraEnv.begin(), extraEnv.end());
        std::vector<char*> argv, envp;
        for (auto& text : argText)
            argv.push_back(text.data());
        argv.push_back(nullptr);
        for (auto& text : envText)
            envp.push_back(text.data());
        envp.push_back(nullptr);

        pid_ = ::fork();
        if (pid_ < 0)
            throw std::runtime_error("fork failed");
        if (pid_ == 0) {
            const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(outFd, 1);
            ::dup2(errFd, 2);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
    }

    ~ServerProcess()
    {
        if (!exitCode_) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    pid_t Pid() const noexcept { return pid_; }
    void Signal(int signal) const { ::kill(pid_, signal); }

    // Waits until 127.0.0.1:port accepts a connection; false when the bound
    // passed or the process ended first.
    bool WaitForPort(std::uint16_t port, std::chrono::milliseconds bound = std::chrono::seconds(10))
    {
        return WaitUntil([&] { return PortAccepts(port); }, bound);
    }

    // Waits until standard output or error holds the text.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds bound = std::chrono::seconds(10))
    {
        return WaitUntil([&] {
            return Stdout().find(text) != std::string::npos || Stderr().find(text) != std::string::npos;
        }, bound);
    }

    // The exit code (128 + signal when killed by one), or nullopt when the
    // process still runs after the bound.
    std::optional<int> WaitExit(std::chrono::milliseconds bound)
    {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (!exitCode_) {
            Reap();
            if (exitCode_ || std::chrono::steady_clock::now() > deadline)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return exitCode_;
    }

    bool Running()
    {
        Reap();
        return !exitCode_;
    }

    std::string Stdout() const { return ReadFile(folder_ / "stdout"); }
    std::string Stderr() const { return ReadFile(folder_ / "stderr"); }

private:
    template <class Condition>
    bool WaitUntil(Condition condition, std::chrono::milliseconds bound)
    {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        for (;;) {
            if (condition())
                return true;
            if (!Running() || std::chrono::steady_clock::now() > deadline)
                return condition();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    void Reap()
    {
        if (exitCode_)
            return;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_)
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    static std::string ReadFile(const std::filesystem::path& path)
    {
        std::ifstream file(path, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    std::filesystem::path folder_;
    pid_t pid_ = -1;
    std::optional<int> exitCode_;
};

// This build's server, headless, on the installation of rootArgument (its
// "-a" argument), listening on 127.0.0.1:port. Throws as ServerProcess.
inline std::unique_ptr<ServerProcess> StartHeadlessServer(const std::string& rootArgument, std::uint16_t port)
{
    return std::make_unique<ServerProcess>(
        BuiltProgram("zodavizi"),
        std::vector<std::string>{"--headless", "-a", rootArgument, "--listen", "127.0.0.1:" + std::to_string(port)});
}

// StartHeadlessServer, returning once the port accepts connections. Throws
// std::runtime_error with the server's error output when it does not.
inline std::unique_ptr<ServerProcess> RunHeadlessServer(const std::string& rootArgument, std::uint16_t port)
{
    auto server = StartHeadlessServer(rootArgument, port);
    if (!server->WaitForPort(port))
        throw std::runtime_error("server did not start: " + server->Stderr());
    return server;
}

} // namespace zd::e2e
