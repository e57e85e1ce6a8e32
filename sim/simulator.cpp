#include "sim/simulator.h"

#include "sim/simulatorimpl.h"

#include <poll.h>
#include <pthread.h>
#include <unistd.h>

namespace veltra::sim {

using Clock = std::chrono::steady_clock;

void Simulator::Impl::serve()
{
    while (running.load()) {
        bool flooding;
        {
            std::lock_guard<std::mutex> lock(mutex);
            flooding = faults.flood;
        }
        pollfd input{line.fd, POLLIN, 0};
        const int ready = poll(&input, 1, pollTimeout(Clock::now(), flooding));
        if (ready > 0 && !(input.revents & POLLIN))
            usleep(10000); // a port that went away; keep trying without spinning
        // Whatever arrived before `now` is read before the clock is applied, so
        // a reader held up by a busy machine does not see pauses that were not there.
        const Clock::time_point now = Clock::now();
        while (readLine()) {
        }
        {
            std::unique_lock<std::mutex> lock(mutex);
            std::vector<ParsedRequest> settled = parser.expire(now);
            lock.unlock();
            answer(settled, now);
        }
        sendDue(now);
        if (flooding)
            flood(now);
    }
}

int Simulator::Impl::pollTimeout(Clock::time_point now, bool flooding) const
{
    Clock::time_point wake = now + std::chrono::milliseconds(10);
    if (!outgoing.empty())
        wake = std::min(wake, outgoing.front().due);
    if (flooding)
        wake = std::min(wake, nextFlood);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(wake - now).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool Simulator::Impl::readLine()
{
    uint8_t buffer[512];
    const ssize_t n = read(line.fd, buffer, sizeof buffer);
    if (n <= 0)
        return false;
    const Clock::time_point now = Clock::now();
    std::vector<ParsedRequest> parsed;
    {
        std::lock_guard<std::mutex> lock(mutex);
        lineLog.push_back({now, Bytes(buffer, buffer + n)});
        parsed = parser.feed(buffer, static_cast<size_t>(n), now);
    }
    answer(parsed, now);
    return true;
}

void Simulator::Impl::answer(const std::vector<ParsedRequest> &parsed, Clock::time_point now)
{
    if (parsed.empty())
        return;
    const double seconds = std::chrono::duration<double>(now - powerOn).count();
    std::vector<Reply> replies;
    Faults current;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const ParsedRequest &item : parsed) {
            if (item.checkByteOk) {
                requests.push_back(item.request);
                replies.push_back(model.handle(item.request, seconds));
            } else {
                ++badCheckFrames;
                replies.push_back(model.refuseCheckByte(item.request));
            }
        }
        current = faults;
    }
    for (Reply &reply : replies)
        queueReply(std::move(reply), current, now);
}

void Simulator::Impl::queueReply(Reply reply, const Faults &faults, Clock::time_point now)
{
    if (faults.noAnswer)
        return;
    if (faults.forcedResultCode >= 0)
        reply.resultCode = static_cast<uint8_t>(faults.forcedResultCode);
    if (faults.rejectedType)
        reply.type = 5;
    Bytes bytes = encodeReply(reply);
    if (faults.badCheckByte)
        bytes[bytes.size() - 2] ^= 0x5A;
    if (!faults.splitReply) {
        outgoing.push_back({now, std::move(bytes), true});
        return;
    }
    const auto half = bytes.begin() + static_cast<long>(bytes.size() / 2);
    outgoing.push_back({now, Bytes(bytes.begin(), half), false});
    outgoing.push_back(
        {now + std::chrono::milliseconds(faults.splitPauseMs), Bytes(half, bytes.end()), true});
}

void Simulator::Impl::sendDue(Clock::time_point now)
{
    while (!outgoing.empty() && outgoing.front().due <= now) {
        const Outgoing piece = std::move(outgoing.front());
        outgoing.pop_front();
        // Stamped before the write: the last byte cannot reach the other end any
        // earlier, while a thread preempted after the write would stamp late.
        const Clock::time_point sentAt = Clock::now();
        const size_t written = writeToLine(line.fd, piece.bytes.data(), piece.bytes.size(), 100);
        if (written == piece.bytes.size() && piece.endsReply) {
            std::lock_guard<std::mutex> lock(mutex);
            ++repliesSent;
            replyTimes.push_back(sentAt);
        }
    }
}

void Simulator::Impl::flood(Clock::time_point now)
{
    if (now < nextFlood)
        return;
    Bytes bytes(kFloodChunk);
    for (uint8_t &byte : bytes)
        byte = floodByte++ % 0x80; // never a delimiter
    writeToLine(line.fd, bytes.data(), bytes.size(), 0);
    nextFlood = now + kFloodInterval;
}

Simulator::Simulator() : d(std::make_unique<Impl>()) {}

Simulator::~Simulator()
{
    stop();
    closeLine(d->line);
}

bool Simulator::openPty()
{
    stop();
    closeLine(d->line);
    const bool opened = openPtyLine(d->line);
    std::lock_guard<std::mutex> lock(d->mutex);
    d->path = d->line.path;
    return opened;
}

bool Simulator::openPort(const std::string &device)
{
    stop();
    closeLine(d->line);
    const bool opened = openSerialLine(device, d->line);
    std::lock_guard<std::mutex> lock(d->mutex);
    d->path = d->line.path;
    return opened;
}

std::string Simulator::devicePath() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->path;
}

void Simulator::start()
{
    if (d->line.fd < 0 || d->running.load())
        return;
    d->running = true;
    d->thread = std::thread([this] {
        // Named so that a process hosting simulators can tell their time from its own.
        pthread_setname_np(pthread_self(), "veltra-sim");
        d->serve();
    });
}

void Simulator::stop()
{
    d->running = false;
    if (d->thread.joinable())
        d->thread.join();
}

void Simulator::hangUp()
{
    stop();
    closeLine(d->line);
}

bool Simulator::isServing() const
{
    return d->running.load();
}

} // namespace veltra::sim
