// Opening the two kinds of line the simulator can serve, and writing to them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace veltra::sim {

struct LineHandles
{
    int fd = -1;      // the side the simulator reads and writes
    int keepFd = -1;  // pty only: the terminal side, held open so `fd` never hangs up
    std::string path; // the terminal side a client opens
};

// A pseudo-terminal pair in raw mode; the simulator side is non-blocking.
bool openPtyLine(LineHandles &line);
// A serial port at 9600 baud, 8 data bits, odd parity, 1 stop bit, no flow control.
bool openSerialLine(const std::string &device, LineHandles &line);
void closeLine(LineHandles &line);

// Writes as much as the line takes within `timeoutMs`; returns the bytes written.
size_t writeToLine(int fd, const uint8_t *data, size_t size, int timeoutMs);

} // namespace veltra::sim
