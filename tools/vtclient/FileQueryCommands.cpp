// vtclient subcommands for the file commands: existence, marker lines,
// hints, scheduling history and tag writes.

#include "Client.hpp"

#include "common/DosTime.hpp"
#include "common/MarkedText.hpp"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace zd::vtclient {
namespace {

// A name typed in the shell (UTF-8) as marked text.
std::string Marked(const std::string& name) { return MarkIfHigh(name); }

// One item of a comma list: quoted when it holds a comma, a space or a quote.
std::string ListItem(const std::string& name)
{
    if (name.find_first_of(", \"") == std::string::npos)
        return name;
    std::string quoted = "\"";
    for (const char c : name) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

std::vector<std::string> SplitNames(const std::string& names)
{
    std::vector<std::string> list;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = names.find('|', start);
        list.push_back(names.substr(start, bar - start));
        if (bar == std::string::npos)
            return list;
        start = bar + 1;
    }
}

// A packed DOS date-time from a decimal value or "YYYY-MM-DD HH:MM:SS".
std::int64_t DosTimeArgument(const std::string& text)
{
    int year = 0;
    unsigned month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(text.c_str(), "%d-%u-%u %u:%u:%u", &year, &month, &day, &hour, &minute, &second) >= 3
        && text.find('-') != std::string::npos)
        return PackDosDateTime(year, month, day, hour, minute, second);
    try {
        std::size_t used = 0;
        const long long value = std::stoll(text, &used);
        return used == text.size() ? value : -1;
    } catch (const std::exception&) {
        return -1;
    }
}

int Exists(Client& client, std::span<const std::string> args)
{
    client.WriteLine("Exists=" + Marked(args[0]));
    const std::string reply = client.ReadLine();
    std::cout << reply << "\n";
    return reply == "1" || reply == "0" ? 0 : 1;
}

int FileCheck(Client& client, std::span<const std::string> args)
{
    const std::vector<std::string> names = SplitNames(args[0]);
    std::string list;
    for (const std::string& name : names)
        list += ListItem(Marked(name)) + ",";
    client.WriteLine("FileCheck=" + std::to_string(list.size()));
    client.WriteLine(list);
    for (const std::string& name : names)
        std::cout << name << ": " << client.ReadLine() << "\n";
    return 0;
}

int FileHint(Client& client, std::span<const std::string> args)
{
    client.WriteLine("FileHint=" + Marked(args[0]));
    const std::string count = client.ReadLine();
    std::size_t size = 0;
    try {
        size = std::stoul(count);
    } catch (const std::exception&) {
        throw std::runtime_error("unexpected reply to FileHint=: " + count);
    }
    std::string text = client.ReadExact(size);
    if (!text.empty() && text[0] == '\x7F')
        text.erase(0, 1);
    std::string shown;
    for (const char c : text)
        if (c != '\r')
            shown += c;
    std::cout << shown << (shown.empty() ? "" : "\n");
    return 0;
}

int WriteTag(Client& client, std::span<const std::string> args)
{
    client.WriteLine("WriteTag=" + Marked(args[0]) + '\x1F' + args[1] + '\x1F' + Marked(args[2]));
    const std::string reply = client.ReadLine();
    std::cout << reply << "\n";
    return reply == "OK" ? 0 : 1;
}

int Scheduled(Client& client, std::span<const std::string> args)
{
    const std::string mode = args[0] == "add" ? "1" : args[0] == "remove" ? "2" : "";
    const std::int64_t time = DosTimeArgument(args[1]);
    if (mode.empty() || time < 0) {
        std::cerr << "vtclient: scheduled add|remove TIME NAME (TIME: packed DOS value or YYYY-MM-DD HH:MM:SS)\n";
        return 1;
    }
    client.WriteLine("Scheduled=" + mode + "," + std::to_string(time) + "," + ListItem(Marked(args[2])));
    // No reply comes; an existence query shows that the server has done it.
    client.WriteLine("Exists=" + Marked(args[2]));
    client.ReadLine();
    std::cout << "sent\n";
    return 0;
}

const RegisterClientCommand exists{{"exists", 1, "NAME", &Exists}};
const RegisterClientCommand fileCheck{{"file-check", 1, "NAME[|NAME...]", &FileCheck}};
const RegisterClientCommand fileHint{{"file-hint", 1, "NAME", &FileHint}};
const RegisterClientCommand writeTag{{"write-tag", 3, "NAME FIELD VALUE", &WriteTag}};
const RegisterClientCommand scheduled{{"scheduled", 3, "add|remove TIME NAME", &Scheduled}};

} // namespace
} // namespace zd::vtclient
