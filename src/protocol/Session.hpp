#pragma once

#include <string_view>

namespace zd {

class MainForm;
class Connection;
class TContextData;

// What a command handler works on: the server's main window object (lists,
// log, settings, all reached on the main thread), the connection it answers
// on, and the connection's session record.
struct Session {
    MainForm& form;
    Connection& connection;
    TContextData& context;
};

// A row of the dispatch table runs one of these with the argument cut from
// the trimmed command line (empty for commands without argument). A handler
// turns its own failures into reply words; what escapes it ends the
// connection and is logged by the listener.
using CommandHandler = void (*)(Session& session, std::string_view argument);

} // namespace zd
