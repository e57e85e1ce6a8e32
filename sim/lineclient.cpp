#include "sim/lineclient.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace veltra::sim {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

LineClient::LineClient(const std::string &path)
{
    m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return;
    termios settings{};
    if (tcgetattr(m_fd, &settings) == 0) {
        cfmakeraw(&settings);
        tcsetattr(m_fd, TCSANOW, &settings);
    }
    tcflush(m_fd, TCIFLUSH);
}

LineClient::~LineClient()
{
    close();
}

void LineClient::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool LineClient::send(const Bytes &bytes)
{
    size_t written = 0;
    const auto deadline = Clock::now() + milliseconds(1000);
    while (m_fd >= 0 && written < bytes.size() && Clock::now() < deadline) {
        const ssize_t n = write(m_fd, bytes.data() + written, bytes.size() - written);
        if (n > 0)
            written += static_cast<size_t>(n);
        else
            std::this_thread::sleep_for(milliseconds(1));
    }
    return m_fd >= 0 && written == bytes.size();
}

bool LineClient::sendRequest(const Request &request)
{
    if (!send(encodeHeaderFrame(request)))
        return false;
    if (request.type == TypeRead || request.payload.empty())
        return true;
    std::this_thread::sleep_for(milliseconds(10));
    return send(encodePayloadFrame(request));
}

std::vector<LineChunk> LineClient::receive(milliseconds quiet, milliseconds limit)
{
    std::vector<LineChunk> chunks;
    const Clock::time_point end = Clock::now() + limit;
    while (m_fd >= 0) {
        Clock::time_point wake = end;
        if (!chunks.empty())
            wake = std::min(wake, chunks.back().when + quiet);
        const auto left = std::chrono::duration_cast<milliseconds>(wake - Clock::now()).count();
        if (left <= 0)
            break;
        pollfd input{m_fd, POLLIN, 0};
        const int ready = poll(&input, 1, static_cast<int>(left));
        if (ready > 0 && !(input.revents & POLLIN))
            std::this_thread::sleep_for(milliseconds(5)); // far end gone; just wait out the time
        if (ready <= 0 || !(input.revents & POLLIN))
            continue;
        uint8_t buffer[1024];
        const ssize_t n = read(m_fd, buffer, sizeof buffer);
        if (n > 0)
            chunks.push_back({Clock::now(), Bytes(buffer, buffer + n)});
    }
    return chunks;
}

Bytes joinChunks(const std::vector<LineChunk> &chunks)
{
    Bytes bytes;
    for (const LineChunk &chunk : chunks)
        bytes.insert(bytes.end(), chunk.bytes.begin(), chunk.bytes.end());
    return bytes;
}

milliseconds longestPause(const std::vector<LineChunk> &chunks)
{
    milliseconds longest{0};
    for (size_t i = 1; i < chunks.size(); ++i)
        longest = std::max(
            longest, std::chrono::duration_cast<milliseconds>(chunks[i].when - chunks[i - 1].when));
    return longest;
}

} // namespace veltra::sim
