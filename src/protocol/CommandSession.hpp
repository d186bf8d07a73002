#pragma once

#include <optional>
#include <string>

namespace zd {

class Connection;
class MainForm;
class TContextData;
struct Session;

// One pass of the command loop of a connection, on its thread: reads one
// line (trimmed), commits pending Users-page edits on the main thread, then
// runs the login exchange ("Login"), hands an HTTP request line to the
// preview branch, answers "Bye!" and closes when nobody is logged in, or
// dispatches the command. Closes the connection when the read time-out
// passed with nothing read. Throws what ends the connection (socket, TLS,
// time-out in mid-line); the listener logs it.
void TCPServerExecute(MainForm& form, Connection& connection, TContextData& context);

// The login exchange after the line "Login" (greeting "241" or "001", client
// identification, the switch to TLS, name and password, the access rules,
// the reply and its log line). Throws as TCPServerExecute.
void RunLoginExchange(Session& session);

// Reads a line with the connection's read time-out, trimmed of spaces and
// control characters; nullopt when the time-out passed with nothing read.
// Throws as Connection::ReadLine.
std::optional<std::string> ReadTrimmedLine(Connection& connection);

// Installs TCPServerExecute as the form's command handler and the
// connected-users file as the form's publishing hook. Call before StartServer.
void InstallCommandSession(MainForm& form);

} // namespace zd
