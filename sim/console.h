// What veltra-sim understands on its standard input while it serves: the
// process its sensors are in, changed by hand as a calibrator would be.
//
//   temperature 50   (or: t 50)   hold the sensor at 50 °C
//   noise 0.2                     scatter every reading by up to ±0.2 °C
//   drift 0.5                     move the held temperature 0.5 °C a minute
//   auto                          back to the slow swing around 25 °C
#pragma once

#include "sim/devicemodel.h"

#include <string>

namespace veltra::sim {

// Applies one command line to `process`. Returns what to print back: the
// process as it now is, or how the line was not understood.
std::string applyConsoleCommand(const std::string &line, Process &process);
std::string describeProcess(const Process &process);
// Parses a number of degrees in the C locale; false for anything else.
bool parseDegrees(const std::string &text, double &value);

} // namespace veltra::sim
