#include "sim/lineport.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace veltra::sim {

namespace {

bool makeRaw(int fd)
{
    termios settings{};
    if (tcgetattr(fd, &settings) != 0)
        return false;
    cfmakeraw(&settings);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

bool makeNonBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

} // namespace

bool openPtyLine(LineHandles &line)
{
    int master = -1;
    int slave = -1;
    char name[PATH_MAX] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
        return false;
    if (!makeRaw(slave) || !makeNonBlocking(master)) {
        close(master);
        close(slave);
        return false;
    }
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    line.fd = master;
    line.keepFd = slave;
    line.path = name;
    return true;
}

bool openSerialLine(const std::string &device, LineHandles &line)
{
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    termios settings{};
    bool ok = tcgetattr(fd, &settings) == 0;
    if (ok) {
        cfmakeraw(&settings);
        settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | CRTSCTS);
        settings.c_cflag |= CS8 | PARENB | PARODD | CLOCAL | CREAD;
        settings.c_cc[VMIN] = 0;
        settings.c_cc[VTIME] = 0;
        ok = cfsetispeed(&settings, B9600) == 0 && cfsetospeed(&settings, B9600) == 0 &&
             tcsetattr(fd, TCSANOW, &settings) == 0;
    }
    if (!ok) {
        close(fd);
        return false;
    }
    tcflush(fd, TCIOFLUSH);
    line.fd = fd;
    line.keepFd = -1;
    line.path = device;
    return true;
}

void closeLine(LineHandles &line)
{
    if (line.fd >= 0)
        close(line.fd);
    if (line.keepFd >= 0)
        close(line.keepFd);
    line = LineHandles{};
}

size_t writeToLine(int fd, const uint8_t *data, size_t size, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t written = 0;
    while (written < size) {
        const ssize_t n = write(fd, data + written, size - written);
        if (n > 0) {
            written += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            break;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        pollfd waitFor{fd, POLLOUT, 0};
        poll(&waitFor, 1, static_cast<int>(left));
    }
    return written;
}

} // namespace veltra::sim
