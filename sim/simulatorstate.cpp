// The simulator's accessors: faults, device state and the logs of the line.
#include "sim/simulator.h"

#include "sim/simulatorimpl.h"

namespace veltra::sim {

void Simulator::setFaults(const Faults &faults)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->faults = faults;
    d->model.setCurrentOffset(faults.currentOffset);
    d->model.setRoundsUpperRange(faults.roundUpperRange);
}

Faults Simulator::faults() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->faults;
}

void Simulator::setPassword(const std::string &password)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->model.setPassword(password);
}

void Simulator::setProcess(const Process &process)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->model.setProcess(process, d->secondsRunning());
}

Process Simulator::process() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->model.process();
}

double Simulator::temperature() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->model.temperatureAt(d->secondsRunning());
}

double Simulator::loopCurrent() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->model.loopCurrent(d->secondsRunning());
}

DeviceState Simulator::state() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->model.state();
}

void Simulator::setState(const DeviceState &state)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->model.setState(state);
}

std::vector<LineChunk> Simulator::lineLog() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->lineLog;
}

std::vector<uint8_t> Simulator::receivedBytes() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    std::vector<uint8_t> bytes;
    for (const LineChunk &chunk : d->lineLog)
        bytes.insert(bytes.end(), chunk.bytes.begin(), chunk.bytes.end());
    return bytes;
}

std::vector<Request> Simulator::requests() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->requests;
}

size_t Simulator::droppedFrames() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->parser.droppedFrames() - d->droppedBase;
}

size_t Simulator::badCheckFrames() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->badCheckFrames;
}

size_t Simulator::repliesSent() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->repliesSent;
}

std::vector<std::chrono::steady_clock::time_point> Simulator::replyTimes() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->replyTimes;
}

void Simulator::clearLogs()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->lineLog.clear();
    d->requests.clear();
    d->droppedBase = d->parser.droppedFrames();
    d->badCheckFrames = 0;
    d->repliesSent = 0;
    d->replyTimes.clear();
}

} // namespace veltra::sim
