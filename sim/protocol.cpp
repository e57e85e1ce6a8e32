#include "sim/protocol.h"

#include <cstring>

namespace veltra::sim {

uint8_t checkByte(const uint8_t *data, size_t size)
{
    size_t i = 0;
    while (i < size && data[i] == kDelimiter)
        ++i;
    uint8_t result = 0;
    for (; i < size; ++i)
        result ^= data[i];
    return result;
}

Bytes encodeReply(const Reply &reply)
{
    Bytes frame{kDelimiter,       reply.type,
                reply.command,    static_cast<uint8_t>(2 + reply.data.size()),
                reply.resultCode, reply.status};
    frame.insert(frame.end(), reply.data.begin(), reply.data.end());
    frame.push_back(checkByte(frame));
    frame.push_back(kDelimiter);
    return frame;
}

Bytes encodeHeaderFrame(const Request &request)
{
    Bytes frame{kDelimiter, request.type, request.command,
                static_cast<uint8_t>(request.payload.size())};
    frame.push_back(checkByte(frame));
    frame.push_back(kDelimiter);
    return frame;
}

Bytes encodePayloadFrame(const Request &request)
{
    Bytes frame{kDelimiter, kPayloadFrameType, request.command,
                static_cast<uint8_t>(request.payload.size())};
    frame.insert(frame.end(), request.payload.begin(), request.payload.end());
    frame.push_back(checkByte(frame));
    frame.push_back(kDelimiter);
    return frame;
}

void putU8(Bytes &out, uint8_t value)
{
    out.push_back(value);
}

void putF32(Bytes &out, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(bits >> shift));
}

void putI32(Bytes &out, int32_t value)
{
    const auto bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(bits >> shift));
}

void putU16BE(Bytes &out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void putText(Bytes &out, const std::string &text)
{
    out.insert(out.end(), text.begin(), text.end());
}

bool ByteReader::take(size_t count)
{
    if (remaining() < count) {
        m_ok = false;
        m_pos = m_bytes.size();
        return false;
    }
    return true;
}

uint8_t ByteReader::u8()
{
    if (!take(1))
        return 0;
    return m_bytes[m_pos++];
}

float ByteReader::f32()
{
    if (!take(4))
        return 0.0f;
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= static_cast<uint32_t>(m_bytes[m_pos++]) << (8 * i);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

int32_t ByteReader::i32()
{
    if (!take(4))
        return 0;
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= static_cast<uint32_t>(m_bytes[m_pos++]) << (8 * i);
    return static_cast<int32_t>(bits);
}

uint16_t ByteReader::u16BE()
{
    if (!take(2))
        return 0;
    const uint16_t value = static_cast<uint16_t>((m_bytes[m_pos] << 8) | m_bytes[m_pos + 1]);
    m_pos += 2;
    return value;
}

} // namespace veltra::sim
