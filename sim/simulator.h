// The simulated transmitter on a line: a pseudo-terminal pair or a real
// serial port, served by a thread of its own. Every public member may be
// called from any thread.
//
//   veltra::sim::Simulator sim;
//   sim.openPty();                 // then open sim.devicePath() from the client
//   sim.start();
//   ... sim.setFaults({...}); sim.requests(); sim.state(); ...
//   sim.stop();                    // or let the destructor do it
#pragma once

#include "sim/devicemodel.h"
#include "sim/devicestate.h"
#include "sim/protocol.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace veltra::sim {

// Ways the line can misbehave. Several may be on at once.
struct Faults
{
    bool noAnswer = false;     // requests are carried out but never answered
    bool badCheckByte = false; // replies carry a wrong check byte
    bool rejectedType = false; // replies carry type byte 5, which a configurator rejects
    bool splitReply = false;   // each reply is sent in two halves splitPauseMs apart
    int forcedResultCode = -1; // 0..255: replaces the result code (data still sent)
    bool flood = false;        // bytes are sent without ever pausing for long
    int splitPauseMs = 500;    // the pause inside a split reply
    double currentOffset = 0;  // mA added to the loop current the device reports
    // The device keeps a written upper range rounded to a whole degree, and
    // reads it back so: a write that verification must catch.
    bool roundUpperRange = false;
};

class Simulator
{
public:
    static constexpr std::chrono::milliseconds kFloodInterval{10};
    static constexpr size_t kFloodChunk = 64;

    Simulator();
    ~Simulator(); // stops serving and closes the line
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // Opens a pseudo-terminal pair in raw mode. The terminal side stays open in
    // here as well, so a client may open and close it as often as it likes.
    bool openPty();
    // Opens a real serial port at 9600 baud, 8 data bits, odd parity, 1 stop bit.
    bool openPort(const std::string &device);
    // The path a client opens: the terminal side of the pty, or the port itself.
    std::string devicePath() const;

    void start(); // no effect without an open line or when already serving
    void stop();
    bool isServing() const;
    // Stops serving and closes the line, as a pulled cable or a killed
    // simulator does: a client's end of a pty then fails every read.
    void hangUp();

    void setFaults(const Faults &faults);
    Faults faults() const;
    void setPassword(const std::string &password);
    void setProcess(const Process &process);
    Process process() const;
    double temperature() const; // at the sensor now, without the noise
    double loopCurrent() const; // mA in the loop now, as a meter reads it
    DeviceState state() const;
    void setState(const DeviceState &state);

    std::vector<LineChunk> lineLog() const;     // every chunk read from the line, in order
    std::vector<uint8_t> receivedBytes() const; // all bytes read, concatenated
    std::vector<Request> requests() const;      // every complete request with a good check byte
    size_t droppedFrames() const;               // garbage runs, unpaired and orphan frames
    size_t badCheckFrames() const;              // frames answered with result code 136
    size_t repliesSent() const;                 // replies written to the line in full
    // When the write of the last byte of each of those replies began, in order.
    std::vector<std::chrono::steady_clock::time_point> replyTimes() const;
    void clearLogs(); // the logs, the reply times and all three counters

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace veltra::sim
