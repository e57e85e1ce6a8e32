// The configurator's end of the line, reduced to what tests and bench tools
// need: open a terminal in raw mode, send requests the way the configurator
// frames them, and collect what comes back with arrival times.
#pragma once

#include "sim/protocol.h"

#include <chrono>
#include <string>
#include <vector>

namespace veltra::sim {

class LineClient
{
public:
    explicit LineClient(const std::string &path);
    ~LineClient();
    LineClient(const LineClient &) = delete;
    LineClient &operator=(const LineClient &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    void close();

    bool send(const Bytes &bytes);
    // The header frame, then after 10 ms the payload frame if the request has one.
    bool sendRequest(const Request &request);
    // Collects bytes until `quiet` has passed without any after the first one,
    // or until `limit` has passed in all.
    std::vector<LineChunk> receive(std::chrono::milliseconds quiet,
                                   std::chrono::milliseconds limit);

private:
    int m_fd = -1;
};

Bytes joinChunks(const std::vector<LineChunk> &chunks);
// Longest pause between consecutive chunks.
std::chrono::milliseconds longestPause(const std::vector<LineChunk> &chunks);

} // namespace veltra::sim
