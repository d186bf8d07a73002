#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zd::vtclient {

// Where and how to log in.
struct LoginOptions {
    std::string host = "127.0.0.1";
    std::uint16_t port = 2323;
    std::string user;
    std::string password;
    std::string clientInfo = "vtclient";
    std::string caFile;  // empty: accept the server's certificate as it is
    std::chrono::milliseconds timeout{10000};
};

// A command connection to the server. Connect, then Login (the line
// exchange with the switch to TLS); afterwards every read and write travels
// inside TLS. All calls throw std::runtime_error on a socket, TLS or
// time-out failure, and on a connection the server closed.
class Client {
public:
    explicit Client(const LoginOptions& options);  // connects (plain TCP)
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // Runs "Login", "241", the identification line, the TLS handshake, user
    // name and password; returns the server's reply line ("OK", "Fail" ...).
    // A reply other than "241" to "Login" is returned as it is (e.g. "001").
    std::string Login();

    void Write(std::string_view bytes);
    void WriteLine(std::string_view line);  // appends CR LF
    std::string ReadLine();                 // without the CR LF
    std::string ReadExact(std::size_t count);
    // Whatever arrives until the server has been quiet for `quiet` (the first
    // byte is awaited for the full time-out); empty when the server closed.
    std::string ReadUntilQuiet(std::chrono::milliseconds quiet);
    // The bytes buffered, or else what one read brings (waiting up to the
    // time-out); empty when the server closed.
    std::string ReadSome();
    void SetTimeout(std::chrono::milliseconds timeout) noexcept;
    const LoginOptions& Options() const noexcept;
    bool IsTls() const noexcept;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// A subcommand of the command line: its name, the number of arguments that
// always follow it, a usage text, what it does on a logged-in client, and how
// many optional arguments may follow those. The optional ones are the next
// words up to the end of the line, the next subcommand name or a lone "--"
// (which is dropped). It prints its results to standard output and returns
// the exit code (0 = success); it gets between argumentCount and
// argumentCount + optionalCount arguments.
struct ClientCommand {
    std::string_view name;
    std::size_t argumentCount;
    std::string_view usage;
    int (*run)(Client& client, std::span<const std::string> arguments);
    std::size_t optionalCount = 0;
};

// Adds a subcommand; use it through a file-scope RegisterClientCommand:
//   static const RegisterClientCommand getPlaylist{{"get-plg", 1, "NAME [FILE]", &GetPlaylist, 1}};
struct RegisterClientCommand {
    explicit RegisterClientCommand(ClientCommand command);
};

// Every registered subcommand, in registration order.
const std::vector<ClientCommand>& ClientCommands();

} // namespace zd::vtclient
