// The program entry: parses the command line, creates the main window
// object, runs the start-up sequence and the main loop until SIGTERM or
// SIGINT closes it in the order of "Exit".

#include "core/Version.hpp"
#include "gui/WindowApp.hpp"
#include "preview/PreviewServer.hpp"
#include "protocol/CommandSession.hpp"
#include "server/MainForm.hpp"
#include "server/MainThread.hpp"

#include <atomic>
#include <charconv>
#include <clocale>
#include <csignal>
#include <functional>
#include <memory>
#include <cstdio>
#include <optional>
#include <pthread.h>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr const char* kUsage =
    "Usage: zodavizi [--headless] [-a ROOT | /a ROOT] [--listen ADDR[:PORT]]\n"
    "\n"
    "  -a ROOT, /a ROOT      run the installation whose root folder is ROOT\n"
    "                        (the program folder is ROOT/ZODavizi/; otherwise\n"
    "                        the folder of the executable)\n"
    "  --listen ADDR[:PORT]  listen on this IPv4 address (and port) for this run\n"
    "                        only; the stored port is left unchanged\n"
    "  --headless            run without a window: log lines go to standard\n"
    "                        output, messages to standard error (also the\n"
    "                        case when no display is available)\n"
    "  --screenshot DIR      with a window: save a picture of each page into\n"
    "                        DIR (options.png, users.png), then close\n"
    "  --help                show this text\n"
    "  --version             show the version\n";

struct CommandLine {
    zd::StartOptions start;
    bool headless = false;
    std::string screenshot;
    bool help = false;
    bool version = false;
    std::string error;
};

bool ParseListen(std::string_view text, zd::StartOptions& start)
{
    const auto colon = text.rfind(':');
    start.ListenAddress = std::string(text.substr(0, colon));
    if (colon == std::string_view::npos)
        return !start.ListenAddress->empty();
    const std::string_view portText = text.substr(colon + 1);
    unsigned port = 0;
    const auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (error != std::errc() || end != portText.data() + portText.size() || port > 65535)
        return false;
    start.ListenPort = static_cast<std::uint16_t>(port);
    return true;
}

CommandLine Parse(const std::vector<std::string_view>& args)
{
    CommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "-a" || arg == "/a" || arg == "-A" || arg == "/A") {
            if (i + 1 >= args.size()) {
                line.error = "missing ROOT after " + std::string(arg);
                return line;
            }
            std::string root(args[++i]);
            if (root.empty() || root.back() != '/')
                root += '/';
            line.start.ProgramFolder = root + "ZODavizi/";
        } else if (arg == "--listen") {
            if (i + 1 >= args.size() || !ParseListen(args[++i], line.start)) {
                line.error = "--listen needs ADDR or ADDR:PORT";
                return line;
            }
        } else if (arg.starts_with("--listen=")) {
            if (!ParseListen(arg.substr(9), line.start)) {
                line.error = "--listen needs ADDR or ADDR:PORT";
                return line;
            }
        } else if (arg == "--screenshot") {
            if (i + 1 >= args.size()) {
                line.error = "missing DIR after --screenshot";
                return line;
            }
            line.screenshot = std::string(args[++i]);
        } else if (arg == "--headless") {
            line.headless = true;
        } else if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (arg == "--version") {
            line.version = true;
        } else {
            line.error = "unknown option " + std::string(arg);
            return line;
        }
    }
    return line;
}

// Waits for SIGTERM and SIGINT (blocked in every thread) and closes the
// server on the main thread; SIGUSR1 only ends the waiting.
class SignalWatcher {
public:
    static void BlockSignals()
    {
        sigset_t set = Signals();
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        std::signal(SIGPIPE, SIG_IGN);
    }

    // close: runs on the main thread for SIGTERM and SIGINT.
    SignalWatcher(zd::MainThread& mainThread, std::function<void()> close)
        : thread_([this, &mainThread, close = std::move(close)] {
              const sigset_t set = Signals();
              for (;;) {
                  int signal = 0;
                  if (sigwait(&set, &signal) != 0 || stop_)
                      return;
                  if (signal == SIGTERM || signal == SIGINT) {
                      mainThread.Post(close);
                  }
              }
          })
    {
    }

    ~SignalWatcher()
    {
        stop_ = true;
        pthread_kill(thread_.native_handle(), SIGUSR1);
        thread_.join();
    }

private:
    static sigset_t Signals()
    {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGUSR1);
        return set;
    }

    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string_view> args(argv + 1, argv + argc);
    const CommandLine line = Parse(args);
    if (!line.error.empty()) {
        std::fprintf(stderr, "zodavizi: %s\n%s", line.error.c_str(), kUsage);
        return 2;
    }
    if (line.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (line.version) {
        std::printf("zodavizi %s\n", zd::ProgramVersion());
        return 0;
    }

    std::setlocale(LC_ALL, "");
    // Numbers in files and on the wire are read and written the same in
    // every locale; the regional formats are captured apart.
    std::setlocale(LC_NUMERIC, "C");
    SignalWatcher::BlockSignals();

    zd::StartOptions start = line.start;
    start.Headless = line.headless || !zd::gui::WindowApp::DisplayAvailable();
    zd::MainThread mainThread;
    zd::PreviewServer previews; // outlives the form, whose hooks reach it
    zd::MainForm form(mainThread, start);
    zd::InstallCommandSession(form);
    previews.Install(form);
    std::unique_ptr<zd::gui::WindowApp> window;
    if (!start.Headless)
        window = std::make_unique<zd::gui::WindowApp>(argc, argv, mainThread, form);
    if (!form.StartServer())
        return form.ExitCode() != 0 ? form.ExitCode() : 1;
    SignalWatcher watcher(mainThread, [&] {
        if (window) {
            window->Close();
        } else {
            form.FormClose();
            mainThread.Quit(0);
        }
    });
    const int code = !window ? mainThread.Run()
                     : line.screenshot.empty() ? window->Run()
                                               : window->RunForPictures(line.screenshot);
    form.FormClose();
    return code;
}
