// vtclient subcommands for the settings reply, playlists and uploads.

#include "Client.hpp"

#include "protocol/PlaylistMerge.hpp"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace zd::vtclient {
namespace {

constexpr std::chrono::milliseconds kQuiet{300};
constexpr std::size_t kChunk = 65536;

std::optional<std::string> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

// The playlist as the server holds it; nullopt when it answers "-1".
std::optional<std::string> Download(Client& client, const std::string& name)
{
    client.WriteLine("GetPLG=" + name);
    const std::string size = client.ReadLine();
    if (size == "-1")
        return std::nullopt;
    std::size_t count = 0;
    try {
        count = std::stoul(size);
    } catch (const std::exception&) {
        throw std::runtime_error("unexpected reply to GetPLG=: " + size);
    }
    client.WriteLine("OK");
    return client.ReadExact(count);
}

// A playlist cut into its head and its blocks (each starting with its
// "B," line).
struct Blocks {
    std::vector<std::string_view> head;
    std::vector<std::vector<std::string_view>> blocks;
};

Blocks CutIntoBlocks(std::string_view text)
{
    Blocks cut;
    for (const auto line : SplitPlaylistLines(text)) {
        if (IsBlockStart(line))
            cut.blocks.emplace_back();
        (cut.blocks.empty() ? cut.head : cut.blocks.back()).push_back(line);
    }
    return cut;
}

std::string Prefix(std::size_t block)
{
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, "%04zu", block);
    return prefix;
}

// The save body that turns the server's copy into the local one: the
// content of every block that differs (the server keeps each named block's
// "B," line), and new blocks whole after the server's last one.
std::string SaveBody(const std::string& name, std::string_view server, std::string_view local,
                     std::size_t& changedBlocks)
{
    const Blocks old = CutIntoBlocks(server);
    const Blocks now = CutIntoBlocks(local);
    if (old.head != now.head)
        std::cerr << "vtclient: the head lines differ; the server keeps its own\n";
    if (now.blocks.size() < old.blocks.size())
        std::cerr << "vtclient: blocks cannot be removed; the server keeps its last "
                  << old.blocks.size() - now.blocks.size() << "\n";
    if (now.blocks.size() > 9999)
        throw std::runtime_error("a playlist holds at most 9999 blocks");
    std::string body = "00-1" + name + "\r\n";
    std::size_t lines = 0;
    changedBlocks = 0;
    for (std::size_t i = 0; i < now.blocks.size(); ++i) {
        const auto& block = now.blocks[i];
        const bool added = i >= old.blocks.size();
        if (!added && block == old.blocks[i])
            continue;
        if (!added && block.front() != old.blocks[i].front())
            std::cerr << "vtclient: block " << i << " keeps the server's first line\n";
        if (!added && block.size() == 1)
            std::cerr << "vtclient: block " << i << " cannot be emptied; the server keeps its lines\n";
        ++changedBlocks;
        for (std::size_t j = added ? 0 : 1; j < block.size(); ++j) {
            body += Prefix(i);
            body += block[j];
            body += "\r\n";
            ++lines;
        }
    }
    body += "9999" + std::to_string(lines) + "\r\n";
    return body;
}

int Settings(Client& client, std::span<const std::string>)
{
    client.WriteLine("Settings");
    const std::string reply = client.ReadUntilQuiet(kQuiet);
    int number = 0;
    for (const auto line : SplitPlaylistLines(reply))
        std::cout << ++number << ": " << line << "\n";
    std::cout.flush();
    return reply.empty() ? 1 : 0;
}

int GetPlaylist(Client& client, std::span<const std::string> arguments)
{
    const auto content = Download(client, arguments[0]);
    if (!content) {
        std::cout << "-1\n";
        return 1;
    }
    if (arguments.size() < 2 || arguments[1] == "-") {
        std::cout << *content << std::flush;
        return 0;
    }
    if (!WriteFile(arguments[1], *content)) {
        std::cerr << "vtclient: cannot write " << arguments[1] << "\n";
        return 1;
    }
    std::cout << content->size() << " bytes\n";
    return 0;
}

int SavePlaylist(Client& client, std::span<const std::string> arguments)
{
    const auto local = ReadFile(arguments[1]);
    if (!local) {
        std::cerr << "vtclient: cannot read " << arguments[1] << "\n";
        return 1;
    }
    const auto server = Download(client, arguments[0]).value_or(std::string());
    std::size_t changed = 0;
    const std::string body = SaveBody(arguments[0], server, *local, changed);
    client.WriteLine("WritePLG=");
    client.WriteLine(std::to_string(body.size()));
    const std::string ready = client.ReadLine();
    if (ready != "OK") {
        std::cout << ready << "\n";
        return 1;
    }
    client.Write(body);
    const std::string reply = client.ReadLine();
    std::cout << reply << " (" << changed << " blocks sent)\n";
    return reply == "OK" ? 0 : 1;
}

// Sends the file in chunks, so that a large voice track never sits in
// memory whole.
int Upload(Client& client, const std::string& command, const std::string& path,
           const std::string& name)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        std::cerr << "vtclient: cannot read " << path << "\n";
        return 1;
    }
    const auto size = static_cast<std::int64_t>(in.tellg());
    in.seekg(0);
    if (size <= 0) {
        std::cerr << "vtclient: " << path << " is empty\n";
        return 1;
    }
    client.WriteLine(command + name);
    client.WriteLine(std::to_string(size));
    const std::string ready = client.ReadLine();
    if (ready != "OK") {
        std::cout << ready << "\n";
        return 1;
    }
    std::vector<char> chunk(kChunk);
    std::int64_t left = size;
    while (left > 0) {
        const auto want = static_cast<std::streamsize>(std::min<std::int64_t>(left, kChunk));
        if (!in.read(chunk.data(), want))
            throw std::runtime_error("cannot read " + path);
        client.Write(std::string_view(chunk.data(), static_cast<std::size_t>(want)));
        left -= want;
    }
    const std::string result = client.ReadLine();
    std::cout << result << "\n";
    return result == "OK" ? 0 : 1;
}

std::string BaseName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The name given after the file, or the file's own name when none (or "-")
// is given.
std::string TargetName(std::span<const std::string> arguments)
{
    return arguments.size() < 2 || arguments[1] == "-" ? BaseName(arguments[0]) : arguments[1];
}

int UploadVoiceTrack(Client& client, std::span<const std::string> arguments)
{
    return Upload(client, "WriteVT=", arguments[0], TargetName(arguments));
}

int UploadPlaylistFile(Client& client, std::span<const std::string> arguments)
{
    return Upload(client, "WritePL=", arguments[0], TargetName(arguments));
}

const RegisterClientCommand settings{{"settings", 0, "(prints the reply with line numbers)", &Settings}};
const RegisterClientCommand getPlaylist{
    {"get-playlist", 1, "NAME [FILE] (no FILE or - prints it)", &GetPlaylist, 1}};
const RegisterClientCommand savePlaylist{
    {"save-playlist", 2, "NAME FILE (sends the blocks that differ from the server's copy)", &SavePlaylist}};
const RegisterClientCommand uploadVoiceTrack{
    {"upload-vt", 1, "FILE [NAME] (no NAME or - keeps the file's name)", &UploadVoiceTrack, 1}};
const RegisterClientCommand uploadPlaylistFile{
    {"upload-pl", 1, "FILE [NAME] (no NAME or - keeps the file's name)", &UploadPlaylistFile, 1}};

} // namespace
} // namespace zd::vtclient
