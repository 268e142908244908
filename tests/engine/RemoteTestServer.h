#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace logvane::test {

// A Python test server from tests/data/remote, run as a child process on 127.0.0.1. The
// constructor waits (at most 15 s) for the port it prints; the destructor kills it. The child
// also dies with the test process, so a crashed test leaves no server behind.
class TestServer {
public:
    TestServer(const std::string& script, const std::vector<std::string>& args) {
        int out[2];
        if (pipe(out) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            std::vector<std::string> argv{"/usr/bin/python3", script};
            argv.insert(argv.end(), args.begin(), args.end());
            std::vector<char*> raw;
            for (std::string& a : argv) raw.push_back(a.data());
            raw.push_back(nullptr);
            execv(raw[0], raw.data());
            _exit(127);
        }
        close(out[1]);
        ReadPort(out[0]);
        close(out[0]);
    }
    ~TestServer() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    // 0 when the server did not come up.
    int port() const { return m_port; }

private:
    void ReadPort(int fd) {
        std::string text;
        pollfd p{fd, POLLIN, 0};
        while (text.find('\n') == std::string::npos && poll(&p, 1, 15000) > 0) {
            char buffer[64];
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0) break;
            text.append(buffer, static_cast<size_t>(n));
        }
        m_port = std::atoi(text.c_str());
    }

    pid_t m_pid = -1;
    int m_port = 0;
};

// A port on 127.0.0.1 that nothing listens on (bound, then released).
inline int UnusedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

}  // namespace logvane::test
