#include "PreviewCommand.hpp"

#include "common/Base64.hpp"
#include "common/Scramble.hpp"

#include <algorithm>
#include <fstream>
#include <iostream>

namespace zd::vtclient {

namespace {

struct PreviewArguments {
    std::string name;
    std::string range; // the whole header line, or empty
    bool player = false;
    bool replayGain = false;
    std::string output;
};

bool Parse(std::span<const std::string> arguments, PreviewArguments& parsed)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (arg == "--bytes" && hasValue && parsed.range.empty()) {
            parsed.range = "Range: bytes=" + arguments[++i];
        } else if (arg == "--ms" && hasValue && parsed.range.empty()) {
            parsed.range = "Range: milliseconds=" + arguments[++i];
        } else if (arg == "--player") {
            parsed.player = true;
        } else if (arg == "--rg") {
            parsed.replayGain = true;
        } else if (arg == "-o" && hasValue) {
            parsed.output = arguments[++i];
        } else if (arg.rfind("-", 0) != 0 && parsed.name.empty()) {
            parsed.name = arg;
        } else {
            return false;
        }
    }
    return !parsed.name.empty() && !parsed.output.empty();
}

} // namespace

std::string PreviewTarget(const std::string& fileName, bool replayGain)
{
    // A name from the terminal is UTF-8: it goes as marked text.
    const bool wide = std::any_of(fileName.begin(), fileName.end(), [](char c) { return (c & 0x80) != 0; });
    std::string target = wide && !fileName.starts_with('\x7F') ? "\x7F" : "";
    for (const char c : fileName) {
        if (c == '\\')
            target += '/';
        else if (c == ' ')
            target += "%20";
        else
            target += c;
    }
    return target + (replayGain ? "?rg=1" : "") + ".mp3";
}

int RunPreview(const LoginOptions& options, std::span<const std::string> arguments)
{
    PreviewArguments parsed;
    if (!Parse(arguments, parsed)) {
        std::cerr << "usage: vtclient ... preview NAME [--bytes START-END | --ms START-END] [--player] [--rg] -o FILE\n";
        return 2;
    }
    Client client(options);
    std::string head = "GET /" + PreviewTarget(parsed.name, parsed.replayGain) + " HTTP/1.1\r\n"
                       "Host: " + options.host + "\r\n"
                       "User-Agent: " + std::string(parsed.player ? "Winamp vtclient" : "vtclient") + "\r\n"
                       "Authorization: Basic " + Base64Encode(Scramble(options.user + ":" + options.password, true))
                       + "\r\n";
    if (!parsed.range.empty())
        head += parsed.range + "\r\n";
    client.Write(head + "\r\n");

    const std::string status = client.ReadLine();
    std::cout << status << "\n";
    long long announced = -1;
    for (std::string line = client.ReadLine(); !line.empty(); line = client.ReadLine()) {
        std::cout << line << "\n";
        std::string lower = line;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower.rfind("content-length:", 0) == 0)
            announced = std::atoll(line.c_str() + 15);
    }
    std::ofstream out(parsed.output, std::ios::binary);
    long long received = 0;
    try {
        for (std::string bytes = client.ReadSome(); !bytes.empty(); bytes = client.ReadSome()) {
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            received += static_cast<long long>(bytes.size());
        }
    } catch (const std::exception& error) {
        std::cerr << "vtclient: " << error.what() << "\n";
    }
    std::cout << "received " << received << " bytes\n" << std::flush;
    if (!out)
        throw std::runtime_error("cannot write " + parsed.output);
    return status == "HTTP/1.1 200 OK" && received == announced ? 0 : 1;
}

} // namespace zd::vtclient
