#include "sim/frameparser.h"

#include <algorithm>

namespace veltra::sim {

constexpr size_t kHeaderFrameLength = 6;

std::vector<ParsedRequest> FrameParser::feed(const uint8_t *data, size_t size,
                                             Clock::time_point now)
{
    std::vector<ParsedRequest> out;
    if (size == 0)
        return out;
    m_buffer.insert(m_buffer.end(), data, data + size);
    m_lastByte = now;
    process(out, now, false);
    return out;
}

std::vector<ParsedRequest> FrameParser::expire(Clock::time_point now)
{
    std::vector<ParsedRequest> out;
    if (!m_buffer.empty() && now - m_lastByte > kSilenceTimeout) {
        process(out, now, true);
        m_inGarbage = false; // silence ends a run of garbage
    }
    if (m_pending) {
        Clock::time_point lastActivity = m_pending->since;
        if (!m_buffer.empty())
            lastActivity = std::max(lastActivity, m_lastByte);
        if (now - lastActivity > kPairTimeout)
            dropPending();
    }
    return out;
}

void FrameParser::reset()
{
    m_buffer.clear();
    m_pending.reset();
    m_inGarbage = false;
    m_dropped = 0;
}

FrameParser::Scan FrameParser::scanAt(size_t pos, size_t &frameLength) const
{
    const size_t available = m_buffer.size() - pos;
    if (available < 4)
        return Scan::Incomplete;
    const uint8_t type = m_buffer[pos + 1];
    const uint8_t length = m_buffer[pos + 3];
    frameLength = type == kPayloadFrameType ? kHeaderFrameLength + length : kHeaderFrameLength;
    if (available < frameLength)
        return Scan::Incomplete;
    if (m_buffer[pos + frameLength - 1] != kDelimiter)
        return Scan::NotFrame;
    const uint8_t expected = checkByte(&m_buffer[pos], frameLength - 2);
    return expected == m_buffer[pos + frameLength - 2] ? Scan::Good : Scan::BadCheck;
}

// Position of the first delimiter in (0, limit) that starts a frame with a good
// check byte, or 0 when there is none. A frame that is still incomplete or has
// a bad check byte may really be garbage in front of such a frame.
size_t FrameParser::findGoodFrameAfter(size_t limit) const
{
    limit = std::min(limit, m_buffer.size());
    for (size_t pos = 1; pos < limit; ++pos) {
        size_t length = 0;
        if (m_buffer[pos] == kDelimiter && scanAt(pos, length) == Scan::Good)
            return pos;
    }
    return 0;
}

// True when a delimiter inside a complete frame of `frameLength` bytes at the
// front of the buffer starts a frame that is still arriving, so the frame at the
// front may be garbage that borrowed that frame's opening delimiter. A closing
// delimiter followed by another delimiter is just the end of the frame.
bool FrameParser::mayHideFrame(size_t frameLength) const
{
    for (size_t pos = 1; pos < frameLength; ++pos) {
        size_t length = 0;
        if (m_buffer[pos] != kDelimiter || scanAt(pos, length) != Scan::Incomplete)
            continue;
        const bool endFollowedByFrame = pos == frameLength - 1 && m_buffer.size() > frameLength &&
                                        m_buffer[frameLength] == kDelimiter;
        if (!endFollowedByFrame)
            return true;
    }
    return false;
}

// Takes every frame it can from the front of the buffer. After silence nothing
// more will arrive, so whatever cannot be a frame yet is garbage.
void FrameParser::process(std::vector<ParsedRequest> &out, Clock::time_point now, bool silent)
{
    for (;;) {
        const auto start = std::find(m_buffer.begin(), m_buffer.end(), kDelimiter);
        if (start != m_buffer.begin())
            dropGarbage(static_cast<size_t>(start - m_buffer.begin()));
        if (m_buffer.empty())
            return;
        size_t length = 0;
        const Scan scan = scanAt(0, length);
        if (scan == Scan::Good) {
            takeFrame(length, true, out, now);
            continue;
        }
        if (scan == Scan::NotFrame) {
            dropGarbage(1);
            continue;
        }
        const size_t limit = scan == Scan::BadCheck ? length : m_buffer.size();
        if (const size_t good = findGoodFrameAfter(limit)) {
            dropGarbage(good);
            continue;
        }
        if (scan == Scan::BadCheck && (silent || !mayHideFrame(length))) {
            takeFrame(length, false, out, now);
            continue;
        }
        if (!silent)
            return; // wait for more bytes
        if (scan == Scan::Incomplete)
            dropGarbage(1);
    }
}

void FrameParser::takeFrame(size_t length, bool checkOk, std::vector<ParsedRequest> &out,
                            Clock::time_point now)
{
    const uint8_t type = m_buffer[1];
    const uint8_t command = m_buffer[2];
    const uint8_t declared = m_buffer[3];
    Bytes payload(m_buffer.begin() + 4, m_buffer.begin() + static_cast<long>(length) - 2);
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<long>(length));
    m_inGarbage = false;

    // A payload frame always announces a payload; one that announces none can
    // only be a header with type byte 3, which the device will refuse.
    if (type == kPayloadFrameType && declared != 0) {
        if (m_pending && m_pending->command == command && m_pending->length == declared) {
            const PendingHeader header = *m_pending;
            m_pending.reset();
            if (header.answered)
                return;
            out.push_back({{header.type, command, checkOk ? payload : Bytes{}}, checkOk});
            return;
        }
        dropPending();
        ++m_dropped; // a payload frame that belongs to no header
        return;
    }

    dropPending(); // a header frame ends the wait for an earlier one
    const bool carriesPayload = type != TypeRead && declared != 0;
    if (!checkOk) {
        out.push_back({{type, command, {}}, false});
        if (carriesPayload)
            m_pending = PendingHeader{type, command, declared, now, true};
        return;
    }
    if (carriesPayload)
        m_pending = PendingHeader{type, command, declared, now, false};
    else
        out.push_back({{type, command, {}}, true});
}

void FrameParser::dropGarbage(size_t count)
{
    if (count == 0)
        return;
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<long>(count));
    if (!m_inGarbage)
        ++m_dropped;
    m_inGarbage = true;
}

void FrameParser::dropPending()
{
    if (m_pending && !m_pending->answered)
        ++m_dropped;
    m_pending.reset();
}

} // namespace veltra::sim
