// A stream of problems runs in constant memory: the batch command's peak
// resident size for 400,000 problems piped in is that for 20,000, within
// 1 MiB; a comment line of 100 MB costs nothing either, and a row of 100 MB
// no more than the 1 MiB a problem's rows may hold. A bounded check, not a
// timed one. Usage: stream_memory_test VARNO_CLI
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

namespace {

// Runs cli on a pipe of count problems (n = 2, 3, 4 in turn, one malformed
// in a hundred), after a line of longLine bytes starting with lead, and
// returns its peak resident size in KiB, or -1.
long PeakKiB(const char* cli, int count, char lead = '#', std::size_t longLine = 0)
{
    int in[2];
    int out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        const int quiet = open("/dev/null", O_WRONLY);  // one line per malformed problem
        if (quiet >= 0) dup2(quiet, 2);
        for (const int fd : {in[0], in[1], out[0], out[1]}) close(fd);
        execl(cli, cli, "-", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    std::thread writer([&] {
        const std::string problems[] = {"K\n2 -1\n1\nM\n1 0\n1\n", "K\n2 -1 0\n2 -1\n1\nM\n1 0 0\n1 0\n1\n",
                                        "K\n2 -1 0 0\n2 -1 0\n2 -1\n1\nM\n1 0 0 0\n1 0 0\n1 0\n1\n",
                                        "K\n1 2\n3 4 5\nM\n1 0\n1\n"};
        std::string chunk;
        if (longLine > 0) {
            chunk.assign(1 << 20, '9');
            chunk[0] = lead;
            for (std::size_t done = 0; done < longLine; done += chunk.size())
                if (write(in[1], chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) break;
            chunk.clear();
            chunk.push_back('\n');
        }
        for (int k = 0; k < count; ++k) {
            chunk += problems[k % 100 == 99 ? 3 : k % 3];
            if (chunk.size() > 60000 || k + 1 == count) {
                for (std::size_t done = 0; done < chunk.size();) {
                    const ssize_t wrote = write(in[1], chunk.data() + done, chunk.size() - done);
                    if (wrote <= 0) break;
                    done += static_cast<std::size_t>(wrote);
                }
                chunk.clear();
            }
        }
        close(in[1]);
    });
    char buffer[1 << 16];
    while (read(out[0], buffer, sizeof buffer) > 0) {
    }
    writer.join();
    close(out[0]);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 2) return -1;
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    std::signal(SIGPIPE, SIG_IGN);
    const long small = PeakKiB(argv[1], 20000);
    const long large = PeakKiB(argv[1], 400000);
    const long comment = PeakKiB(argv[1], 20000, '#', 100 << 20);
    const long row = PeakKiB(argv[1], 20000, '1', 100 << 20);
    std::printf("peak resident size: %ld KiB for 20,000 problems, %ld KiB for 400,000, %ld KiB after a "
                "comment line of 100 MiB, %ld KiB after a row of 100 MiB\n",
                small, large, comment, row);
    return small > 0 && large > 0 && comment > 0 && row > 0 && large <= small + 1024 && comment <= small + 1024 &&
                   row <= small + 4096
               ? 0
               : 1;
}
