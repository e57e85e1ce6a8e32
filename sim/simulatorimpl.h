// Private to the simulator: the state shared by its serving thread and callers.
#pragma once

#include "sim/frameparser.h"
#include "sim/lineport.h"
#include "sim/simulator.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

namespace veltra::sim {

struct Simulator::Impl
{
    using Clock = std::chrono::steady_clock;
    struct Outgoing
    {
        Clock::time_point due;
        Bytes bytes;
        bool endsReply; // the last piece of a reply
    };

    // Touched only by the serving thread (or while it is not running).
    LineHandles line;
    std::thread thread;
    std::deque<Outgoing> outgoing;
    Clock::time_point nextFlood{};
    uint8_t floodByte = 0;
    std::atomic<bool> running{false};
    const Clock::time_point powerOn = Clock::now();
    double secondsRunning() const
    {
        return std::chrono::duration<double>(Clock::now() - powerOn).count();
    }

    // Shared with callers: guarded by mutex.
    mutable std::mutex mutex;
    std::string path;
    DeviceModel model;
    FrameParser parser;
    Faults faults;
    std::vector<LineChunk> lineLog;
    std::vector<Request> requests;
    size_t droppedBase = 0;
    size_t badCheckFrames = 0;
    size_t repliesSent = 0;
    std::vector<Clock::time_point> replyTimes;

    void serve();
    bool readLine(); // false when there was nothing to read
    void answer(const std::vector<ParsedRequest> &parsed, Clock::time_point now);
    void queueReply(Reply reply, const Faults &faults, Clock::time_point now);
    void sendDue(Clock::time_point now);
    void flood(Clock::time_point now);
    int pollTimeout(Clock::time_point now, bool flooding) const;
};

} // namespace veltra::sim
