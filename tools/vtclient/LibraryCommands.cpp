// vtclient subcommands for the library: the permitted categories and the
// search.

#include "Client.hpp"

#include "scheduler/LibrarySearch.hpp"
#include "scheduler/SchedulerSettings.hpp"

#include <iostream>
#include <string>
#include <vector>

namespace zd::vtclient {
namespace {

constexpr int kCategoryReplyLines = 4;
constexpr std::size_t kMatchColumns = 20;

// A column on one line of tab-separated output.
std::string Cell(std::string text)
{
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return text;
}

int Categories(Client& client, std::span<const std::string>)
{
    client.WriteLine("Categories");
    for (int i = 0; i < kCategoryReplyLines; ++i)
        std::cout << client.ReadLine() << "\n";
    return 0;
}

// Prints the matches, one per line, columns separated by tabs under a header
// line; other entries of the list (error texts) go to standard error.
int Search(Client& client, std::span<const std::string> args)
{
    client.WriteLine("Search=" + args[0]);
    const std::string count = client.ReadLine();
    std::string header;
    for (const auto& title : SearchColumnTitles())
        header += (header.empty() ? "" : "\t") + title;
    std::cout << header << "\n";
    if (count == "0")
        return 0;
    std::size_t size = 0;
    try {
        size = std::stoul(count);
    } catch (const std::exception&) {
        std::cerr << "search: unexpected reply: " << count << "\n";
        return 1;
    }
    const std::vector<std::string> items = SplitCommaList(client.ReadExact(size));
    int result = 0;
    for (const std::string& item : items) {
        const std::vector<std::string> columns = SplitCommaList(item);
        if (columns.size() != kMatchColumns) {
            std::cerr << "search: " << item << "\n";
            result = 1;
            continue;
        }
        std::string line;
        for (const auto& column : columns)
            line += (line.empty() ? "" : "\t") + Cell(column);
        std::cout << line << "\n";
    }
    return result;
}

const RegisterClientCommand categories{{"categories", 0, "", &Categories}};
const RegisterClientCommand search{{"search", 1, "'REQUEST'", &Search}};

} // namespace
} // namespace zd::vtclient
