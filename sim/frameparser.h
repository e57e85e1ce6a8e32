// Turns the bytes read from the line into requests.
//
// A request is a 6-byte header frame FF type cmd len cb FF, followed for a
// non-zero type with a non-empty payload by a payload frame
// FF 03 cmd len payload... cb FF. Bytes may arrive in any chunking, mixed with
// garbage. Anything that cannot be made into a request is dropped and counted:
//  - every run of bytes that is not part of a frame counts once (including a
//    frame cut short and followed by silence of more than kSilenceTimeout);
//  - a header frame that waits for its payload frame counts once when the
//    payload frame does not arrive within kPairTimeout or another frame comes;
//  - a payload frame without a matching header frame counts once.
// A frame whose check byte is wrong yields an event with checkByteOk false so
// the device can refuse it; the payload frame of such a header is swallowed.
// Since 0xFF is not escaped, a frame with a wrong check byte may as well be
// garbage in front of a frame that has not fully arrived yet; such a frame is
// only refused once that is ruled out or the line has been silent for
// kSilenceTimeout. Frames with a good check byte are taken at once.
#pragma once

#include "sim/protocol.h"

#include <chrono>
#include <optional>
#include <vector>

namespace veltra::sim {

struct ParsedRequest
{
    Request request;
    bool checkByteOk = true;
};

class FrameParser
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kPairTimeout{100};
    static constexpr std::chrono::milliseconds kSilenceTimeout{100};

    // Appends bytes read at `now` and returns the requests they complete.
    // Time only counts through expire(), which the reader calls every few
    // milliseconds: bytes that were waiting unread while the reader was held
    // up are not taken for a pause on the line.
    std::vector<ParsedRequest> feed(const uint8_t *data, size_t size, Clock::time_point now);
    std::vector<ParsedRequest> feed(const Bytes &bytes, Clock::time_point now)
    {
        return feed(bytes.data(), bytes.size(), now);
    }
    // Settles what has waited too long: after silence, a frame with a bad check
    // byte is refused and a partial frame dropped; an unpaired header is dropped.
    std::vector<ParsedRequest> expire(Clock::time_point now);

    size_t droppedFrames() const { return m_dropped; }
    size_t bufferedBytes() const { return m_buffer.size(); }
    bool waitingForPayload() const { return m_pending.has_value(); }
    void reset();

private:
    enum class Scan { Incomplete, NotFrame, BadCheck, Good };
    struct PendingHeader
    {
        uint8_t type;
        uint8_t command;
        uint8_t length;
        Clock::time_point since;
        bool answered; // refused for its check byte already; swallow the payload frame
    };

    Scan scanAt(size_t pos, size_t &frameLength) const;
    size_t findGoodFrameAfter(size_t limit) const;
    bool mayHideFrame(size_t frameLength) const;
    void process(std::vector<ParsedRequest> &out, Clock::time_point now, bool silent);
    void takeFrame(size_t length, bool checkOk, std::vector<ParsedRequest> &out,
                   Clock::time_point now);
    void dropGarbage(size_t count);
    void dropPending();

    Bytes m_buffer;
    Clock::time_point m_lastByte{};
    std::optional<PendingHeader> m_pending;
    bool m_inGarbage = false;
    size_t m_dropped = 0;
};

} // namespace veltra::sim
