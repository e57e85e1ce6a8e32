#include "sim/console.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace veltra::sim {

namespace {

const char kConsoleHelp[] =
    "commands: temperature C (or t C), noise C, drift C_PER_MINUTE, auto, help";

} // namespace

bool parseDegrees(const std::string &text, double &value)
{
    char *end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(value) && std::fabs(value) <= 5000.0;
}

std::string describeProcess(const Process &process)
{
    char text[160];
    if (process.temperature)
        std::snprintf(text, sizeof text, "process: %.3f °C held, noise ±%.3f °C, drift %.3f °C/min",
                      *process.temperature, process.noise, process.driftPerMinute);
    else
        std::snprintf(text, sizeof text, "process: slow swing 22…28 °C, noise ±%.3f °C",
                      process.noise);
    return text;
}

std::string applyConsoleCommand(const std::string &line, Process &process)
{
    std::istringstream words(line);
    std::string command, argument, extra;
    words >> command >> argument >> extra;
    if (command.empty())
        return {};
    if (command == "help" || command == "?")
        return kConsoleHelp;
    if (command == "auto" && argument.empty()) {
        process.temperature.reset();
        process.driftPerMinute = 0;
        return describeProcess(process);
    }
    double value = 0;
    if (!extra.empty() || !parseDegrees(argument, value))
        return "not understood: " + line + " (" + kConsoleHelp + ")";
    if (command == "temperature" || command == "t")
        process.temperature = value;
    else if (command == "noise" && value >= 0)
        process.noise = value;
    else if (command == "drift")
        process.driftPerMinute = value;
    else
        return "not understood: " + line + " (" + kConsoleHelp + ")";
    return describeProcess(process);
}

} // namespace veltra::sim
