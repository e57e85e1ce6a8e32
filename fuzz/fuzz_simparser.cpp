// The simulator's request parser: bytes from the line in any chunking, with
// pauses between the chunks, followed by silence.
#include "sim/frameparser.h"

#include <cstdint>
#include <cstdlib>

using veltra::sim::FrameParser;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FrameParser parser;
    FrameParser::Clock::time_point now{};
    size_t pos = 0;
    // Each chunk starts with a control byte: low five bits the chunk length,
    // high three bits the pause before it in 40 ms steps.
    while (pos < size) {
        const uint8_t control = data[pos++];
        now += std::chrono::milliseconds(40 * (control >> 5));
        parser.expire(now);
        const size_t length = std::min<size_t>(control & 0x1F, size - pos);
        for (const veltra::sim::ParsedRequest &parsed : parser.feed(data + pos, length, now))
            if (parsed.request.payload.size() > 255)
                abort(); // a length byte cannot say more
        pos += length;
    }
    // Silence settles what is buffered; a header taken from it then waits its
    // own pairing time for a payload frame. After both nothing may be left.
    for (int i = 0; i < 2; ++i) {
        now += std::chrono::seconds(1);
        parser.expire(now);
    }
    if (parser.bufferedBytes() != 0 || parser.waitingForPayload())
        abort();
    return 0;
}
