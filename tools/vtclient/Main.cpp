// vtclient: logs in to a ZO Davizi server (with the switch to TLS), then
// sends each command and prints what comes back.

#include "Client.hpp"
#include "PreviewCommand.hpp"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

using zd::vtclient::Client;
using zd::vtclient::ClientCommand;
using zd::vtclient::ClientCommands;
using zd::vtclient::LoginOptions;

constexpr std::chrono::milliseconds kQuiet{300};
constexpr std::string_view kEndOfArguments = "--";

void Usage()
{
    std::cerr << "usage: vtclient [--host H] [--port P] --user U\n"
                 "                [--password P | --password-file FILE] [--client-info TEXT]\n"
                 "                [--ca FILE] [--timeout MS] [COMMAND ...]\n"
                 "The password comes from --password (other local users can read it in the\n"
                 "process list), from the first line of --password-file FILE, or from the\n"
                 "environment variable ZODAVIZI_PASSWORD. Without --ca the server's certificate\n"
                 "is not verified and its SHA-256 fingerprint is printed on standard error.\n"
                 "Logs in (the credentials travel inside TLS), prints the login reply, then sends\n"
                 "each COMMAND as one line and prints the reply. Subcommands ([ARG] is optional;\n"
                 "optional arguments end at the next subcommand name, at a lone \"--\" (dropped)\n"
                 "or at the end):\n"
                 "  preview NAME [--bytes START-END | --ms START-END] [--player] [--rg] -o FILE\n"
                 "      (alone, instead of the login: fetches an MP3 preview over HTTP)\n";
    for (const ClientCommand& command : ClientCommands())
        std::cerr << "  " << command.name << " " << command.usage << "\n";
    std::cerr << "Exit code 0 only when the login reply is \"OK\" and every subcommand succeeded.\n";
}

// What a reply looks like on a terminal: CR LF shown as a line end.
void Print(const std::string& reply)
{
    std::string text;
    for (std::size_t i = 0; i < reply.size(); ++i)
        if (!(reply[i] == '\r' && i + 1 < reply.size() && reply[i + 1] == '\n'))
            text += reply[i];
    std::cout << text;
    if (!text.empty() && text.back() != '\n')
        std::cout << '\n';
    std::cout.flush();
}

std::optional<long> Number(const std::string& text)
{
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The first line of a file without its line end; nullopt when it cannot be read.
std::optional<std::string> FirstLineOf(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::string line;
    std::getline(file, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

const ClientCommand* FindCommand(const std::string& word)
{
    for (const ClientCommand& command : ClientCommands())
        if (command.name == word)
            return &command;
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    LoginOptions options;
    std::vector<std::string> commands;
    std::optional<std::vector<std::string>> preview;
    bool haveUser = false;
    bool havePassword = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "preview" && commands.empty()) {
            // Everything after it is the preview's own.
            preview.emplace(argv + i + 1, argv + argc);
            break;
        }
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc)
                return std::nullopt;
            return std::string(argv[++i]);
        };
        std::optional<std::string> v;
        if (arg == "--help" || arg == "-h") {
            Usage();
            return 0;
        } else if (arg == "--host" && (v = value())) {
            options.host = *v;
        } else if (arg == "--port" && (v = value())) {
            const auto port = Number(*v);
            if (!port || *port < 1 || *port > 65535) {
                std::cerr << "vtclient: bad port " << *v << "\n";
                return 2;
            }
            options.port = static_cast<std::uint16_t>(*port);
        } else if (arg == "--user" && (v = value())) {
            options.user = *v;
            haveUser = true;
        } else if (arg == "--password" && (v = value())) {
            options.password = *v;
            havePassword = true;
        } else if (arg == "--password-file" && (v = value())) {
            const auto password = FirstLineOf(*v);
            if (!password) {
                std::cerr << "vtclient: cannot read the password file " << *v << "\n";
                return 2;
            }
            options.password = *password;
            havePassword = true;
        } else if (arg == "--client-info" && (v = value())) {
            options.clientInfo = *v;
        } else if (arg == "--ca" && (v = value())) {
            options.caFile = *v;
        } else if (arg == "--timeout" && (v = value())) {
            const auto ms = Number(*v);
            if (!ms || *ms <= 0) {
                std::cerr << "vtclient: bad time-out " << *v << "\n";
                return 2;
            }
            options.timeout = std::chrono::milliseconds(*ms);
        } else if (arg.rfind("--", 0) == 0 && arg.size() > 2) {
            std::cerr << "vtclient: unknown or incomplete option " << arg << "\n";
            Usage();
            return 2;
        } else {
            commands.push_back(arg);
        }
    }
    if (!havePassword) {
        if (const char* fromEnvironment = std::getenv("ZODAVIZI_PASSWORD")) {
            options.password = fromEnvironment;
            havePassword = true;
        }
    }
    if (!haveUser || !havePassword) {
        Usage();
        return 2;
    }

    try {
        if (preview)
            return zd::vtclient::RunPreview(options, *preview);
        Client client(options);
        const std::string reply = client.Login();
        std::cout << reply << "\n" << std::flush;
        if (reply != "OK")
            return 1;
        int result = 0;
        for (std::size_t i = 0; i < commands.size(); ++i) {
            if (const ClientCommand* command = FindCommand(commands[i])) {
                if (command->argumentCount > commands.size() - i - 1) {
                    std::cerr << "vtclient: " << command->name << " needs " << command->usage << "\n";
                    return 2;
                }
                std::vector<std::string> arguments(commands.begin() + static_cast<long>(i) + 1,
                                                   commands.begin() + static_cast<long>(i + 1 + command->argumentCount));
                i += command->argumentCount;
                // Optional arguments end at the end, at the next subcommand
                // or at a lone "--", which is dropped.
                for (std::size_t taken = 0; taken < command->optionalCount && i + 1 < commands.size()
                     && commands[i + 1] != kEndOfArguments && !FindCommand(commands[i + 1]);
                     ++taken)
                    arguments.push_back(commands[++i]);
                if (i + 1 < commands.size() && commands[i + 1] == kEndOfArguments)
                    ++i;
                if (command->run(client, arguments) != 0)
                    result = 1;
                continue;
            }
            client.WriteLine(commands[i]);
            Print(client.ReadUntilQuiet(kQuiet));
        }
        return result;
    } catch (const std::exception& error) {
        std::cerr << "vtclient: " << error.what() << "\n";
        return 3;
    }
}
