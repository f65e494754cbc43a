// Stands in for the main application in the launch helper's tests. Appends its process id to the
// file named by ORVELLA_FAKE_APP_RECORD, then runs until the file named by ORVELLA_FAKE_APP_STOP
// exists (at most 30 s, so that a failed test leaves nothing behind for long).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main() {
    const char* record = std::getenv("ORVELLA_FAKE_APP_RECORD");
    const char* stop = std::getenv("ORVELLA_FAKE_APP_STOP");
    if (!record || !stop) return 2;
    const int fd = ::open(record, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return 1;
    const std::string line = std::to_string(::getpid()) + "\n";
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    ::close(fd);
    if (!written) return 1;
    struct stat info {};
    for (int i = 0; i < 1500 && ::stat(stop, &info) != 0; ++i) ::usleep(20000);
    return 0;
}
