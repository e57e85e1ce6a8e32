// veltra-sim: plays the transmitter at the far end of a serial line.
//
// With no arguments it opens a pseudo-terminal pair and prints the path a
// configurator should open as the first line of its output; with --count N it
// plays N transmitters, one pty each, and prints N paths; with --port it
// serves a real serial port. It serves until SIGINT or SIGTERM.
//
// While it serves, lines typed on its standard input set the temperature its
// sensors are in (see console.h), and whenever a transmitter's output is
// fixed or let go it prints what a meter in the loop would read.
#include "sim/console.h"
#include "sim/simulator.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

const char kUsage[] =
    "usage: veltra-sim [options]\n"
    "Simulates the transmitter on a new pseudo-terminal (its path is printed first)\n"
    "or on a serial port, until interrupted.\n"
    "  --port DEVICE      serve this serial port at 9600 8O1 instead of a pty\n"
    "  --count N          play N transmitters (1-16), one pty each, paths one a line;\n"
    "                     serial numbers count up from the first; not with --port\n"
    "  --password TEXT    administrator password (default 12345678)\n"
    "  --no-answer        carry out requests but never answer\n"
    "  --bad-check-byte   answer with a wrong check byte\n"
    "  --bad-type         answer with type byte 5\n"
    "  --split-reply      send each answer in two halves 500 ms apart\n"
    "  --result-code N    answer every request with result code N (0-255)\n"
    "  --flood            send bytes without pause, forever\n"
    "  --current-offset MA add MA mA to the loop current reported (-16 to 16)\n"
    "  --round-upper-range  keep a written upper range rounded to a whole degree\n"
    "  --temperature C    hold the sensor at C degrees (default: a slow swing 22-28)\n"
    "  --noise C          scatter each reading by up to +-C degrees (default 0.01)\n"
    "  --drift C          move a held temperature by C degrees a minute\n"
    "While serving, type on standard input: temperature C (or t C), noise C,\n"
    "drift C, auto (back to the swing), help.\n"
    "  --help             show this text\n";

struct Options
{
    static constexpr int kMaxCount = 16;
    std::string port;
    int count = 1;
    bool countGiven = false;
    std::string password = veltra::sim::DeviceModel::kDefaultPassword;
    veltra::sim::Faults faults;
    veltra::sim::Process process;
    bool help = false;
};

bool parseResultCode(const std::string &text, int &code)
{
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    code = std::atoi(text.c_str());
    return code <= 255;
}

bool parseCount(const std::string &text, int &count)
{
    if (text.empty() || text.size() > 2 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    count = std::atoi(text.c_str());
    return count >= 1 && count <= Options::kMaxCount;
}

bool parseMilliamps(const std::string &text, double &mA)
{
    char *end = nullptr;
    mA = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && mA >= -16.0 && mA <= 16.0;
}

// Returns false on a bad command line.
bool parseOptions(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            hasValue = true;
        }
        const bool takesValue = arg == "--port" || arg == "--password" || arg == "--result-code" ||
                                arg == "--current-offset" || arg == "--count" ||
                                arg == "--temperature" || arg == "--noise" || arg == "--drift";
        if (takesValue && !hasValue) {
            if (i + 1 >= argc)
                return false;
            value = argv[++i];
        } else if (!takesValue && hasValue) {
            return false;
        }
        veltra::sim::Faults &faults = options.faults;
        double degrees = 0;
        if (arg == "--port" && !value.empty())
            options.port = value;
        else if (arg == "--password")
            options.password = value;
        else if (arg == "--count" && parseCount(value, options.count))
            options.countGiven = true;
        else if (arg == "--result-code" && parseResultCode(value, faults.forcedResultCode))
            continue;
        else if (arg == "--current-offset" && parseMilliamps(value, faults.currentOffset))
            continue;
        else if (arg == "--temperature" && veltra::sim::parseDegrees(value, degrees))
            options.process.temperature = degrees;
        else if (arg == "--noise" && veltra::sim::parseDegrees(value, degrees) && degrees >= 0)
            options.process.noise = degrees;
        else if (arg == "--drift" && veltra::sim::parseDegrees(value, degrees))
            options.process.driftPerMinute = degrees;
        else if (arg == "--no-answer")
            faults.noAnswer = true;
        else if (arg == "--bad-check-byte")
            faults.badCheckByte = true;
        else if (arg == "--bad-type")
            faults.rejectedType = true;
        else if (arg == "--split-reply")
            faults.splitReply = true;
        else if (arg == "--flood")
            faults.flood = true;
        else if (arg == "--round-upper-range")
            faults.roundUpperRange = true;
        else if (arg == "--help" || arg == "-h")
            options.help = true;
        else
            return false;
    }
    // A serial port is one line, one transmitter.
    return !(options.countGiven && !options.port.empty());
}

using Simulators = std::vector<std::unique_ptr<veltra::sim::Simulator>>;

// Reads commands until standard input ends. A simulator started in the
// background of a shell gets EIO instead of being stopped (SIGTTIN is
// ignored), and tries again later: it may be brought to the foreground.
void readConsole(const Simulators &simulators, std::mutex &guard, const bool &stopping)
{
    char line[256];
    for (;;) {
        if (!std::fgets(line, sizeof line, stdin)) {
            if (std::feof(stdin) || errno != EIO)
                return;
            std::clearerr(stdin);
            std::this_thread::sleep_for(std::chrono::seconds(1));
            continue;
        }
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        std::lock_guard<std::mutex> lock(guard);
        if (stopping)
            return;
        std::string reply;
        for (const auto &simulator : simulators) {
            veltra::sim::Process process = simulator->process();
            // A drifting temperature goes on from where it has got to.
            if (process.temperature)
                process.temperature = simulator->temperature();
            reply = veltra::sim::applyConsoleCommand(text, process);
            if (reply.rfind("process:", 0) == 0)
                simulator->setProcess(process);
        }
        if (!reply.empty())
            std::printf("%s\n", reply.c_str());
        std::fflush(stdout);
    }
}

// Says when a transmitter's output is fixed or let go, with the current a
// meter in the loop would show, so that a loop test can be done by hand.
void reportOutputs(const Simulators &simulators, std::vector<float> &fixed)
{
    for (size_t k = 0; k < simulators.size(); ++k) {
        const float now = simulators[k]->state().fixedCurrent;
        if (now == fixed[k])
            continue;
        fixed[k] = now;
        const std::string which =
            simulators.size() > 1 ? " (" + simulators[k]->devicePath() + ")" : std::string();
        if (now > 0.0f)
            std::printf("output fixed at %.3f mA%s: the meter reads %.3f mA\n", now, which.c_str(),
                        simulators[k]->loopCurrent());
        else
            std::printf("output released%s: the meter reads %.3f mA\n", which.c_str(),
                        simulators[k]->loopCurrent());
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    // Block the stop signals before the serving thread exists, so that only
    // sigwait below ever sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    // Every line is opened before anything is served or printed, so that a
    // failure leaves no half-started set behind.
    std::vector<std::unique_ptr<veltra::sim::Simulator>> simulators;
    for (int k = 0; k < options.count; ++k) {
        auto simulator = std::make_unique<veltra::sim::Simulator>();
        const bool opened =
            options.port.empty() ? simulator->openPty() : simulator->openPort(options.port);
        if (!opened) {
            std::fprintf(stderr, "veltra-sim: cannot open %s\n",
                         options.port.empty() ? "a pseudo-terminal" : options.port.c_str());
            return 1;
        }
        simulator->setPassword(options.password);
        simulator->setFaults(options.faults);
        simulator->setProcess(options.process);
        if (k > 0) {
            // Distinct serial numbers, so that a rack of them can be told apart.
            veltra::sim::DeviceState state = simulator->state();
            state.production.serial += k;
            simulator->setState(state);
        }
        simulators.push_back(std::move(simulator));
    }
    for (const auto &simulator : simulators)
        simulator->start();
    for (const auto &simulator : simulators)
        std::printf("%s\n", simulator->devicePath().c_str());
    std::fflush(stdout);

    static std::mutex consoleGuard; // outlives main for a console thread still reading
    static bool stopping = false;
    std::signal(SIGTTIN, SIG_IGN);
    std::thread(readConsole, std::cref(simulators), std::ref(consoleGuard), std::cref(stopping))
        .detach();

    std::vector<float> fixed(simulators.size(), 0.0f);
    const timespec tick{0, 200 * 1000 * 1000};
    while (sigtimedwait(&stopSignals, nullptr, &tick) < 0)
        reportOutputs(simulators, fixed);
    {
        // The console thread may be waiting for a line; it must not touch
        // the simulators once they go.
        std::lock_guard<std::mutex> lock(consoleGuard);
        stopping = true;
    }
    for (const auto &simulator : simulators)
        simulator->stop();
    // What was served, for whoever compares it with what the configurator got:
    // the totals first, in the form a single transmitter has always printed,
    // then each transmitter's requests/replies when there are several.
    size_t requests = 0, replies = 0;
    std::string list;
    for (const auto &simulator : simulators) {
        const size_t served = simulator->requests().size(), sent = simulator->repliesSent();
        requests += served;
        replies += sent;
        list += (list.empty() ? "" : ", ") + std::to_string(served) + "/" + std::to_string(sent);
    }
    const std::string each = simulators.size() > 1 ? " (" + list + ")" : std::string();
    std::fprintf(stderr, "veltra-sim: %zu requests, %zu replies sent%s\n", requests, replies,
                 each.c_str());
    return 0;
}
