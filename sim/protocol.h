// Wire-level pieces shared by the parser, the device model and the server:
// the check byte, the request and reply records, and the little helpers that
// put numbers into payloads and take them out again.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace veltra::sim {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kDelimiter = 0xFF;
constexpr uint8_t kPayloadFrameType = 3;

// Request types and the result codes the transmitter answers with.
enum RequestType : uint8_t { TypeRead = 0, TypeWrite = 1, TypeAction = 2 };
enum ResultCode : uint8_t {
    RcOk = 0,
    RcUnknownCommand = 2,
    RcTooBig = 3,
    RcTooSmall = 4,
    RcShortPayload = 5,
    RcAccessDenied = 16,
    RcBadRange = 29,
    RcBadCheckByte = 136,
};

// One complete request as the configurator meant it: header type and command
// plus the payload carried by the payload frame (empty when there was none).
struct Request
{
    uint8_t type = 0;
    uint8_t command = 0;
    Bytes payload;
};

// Bytes read from the line in one go, and when.
struct LineChunk
{
    std::chrono::steady_clock::time_point when;
    std::vector<uint8_t> bytes;
};

struct Reply
{
    uint8_t type = 0;
    uint8_t command = 0;
    uint8_t resultCode = RcOk;
    uint8_t status = 0;
    Bytes data;
};

// XOR of every byte after the leading run of 0xFF bytes; 0 for an empty array
// or one made only of 0xFF bytes.
uint8_t checkByte(const uint8_t *data, size_t size);
inline uint8_t checkByte(const Bytes &bytes)
{
    return checkByte(bytes.data(), bytes.size());
}

// FF type cmd L rc status data... cb FF, with L = 2 + data length (mod 256).
Bytes encodeReply(const Reply &reply);

// The frames a configurator puts on the line for one request: the header frame,
// then (non-zero type with payload only) the payload frame.
Bytes encodeHeaderFrame(const Request &request);
Bytes encodePayloadFrame(const Request &request);

// Appending values to a payload.
void putU8(Bytes &out, uint8_t value);
void putF32(Bytes &out, float value);
void putI32(Bytes &out, int32_t value);
void putU16BE(Bytes &out, uint16_t value);
void putText(Bytes &out, const std::string &text);

// Reads values from the front of a payload. Reading past the end marks the
// reader as short and yields zeros, so a handler can check ok() once at the end.
class ByteReader
{
public:
    explicit ByteReader(const Bytes &bytes) : m_bytes(bytes) {}
    explicit ByteReader(Bytes &&) = delete; // it keeps a reference
    uint8_t u8();
    float f32();
    int32_t i32();
    uint16_t u16BE();
    bool ok() const { return m_ok; }
    size_t remaining() const { return m_pos < m_bytes.size() ? m_bytes.size() - m_pos : 0; }

private:
    bool take(size_t count);
    const Bytes &m_bytes;
    size_t m_pos = 0;
    bool m_ok = true;
};

} // namespace veltra::sim
