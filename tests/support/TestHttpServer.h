#pragma once
// A web server on 127.0.0.1 for tests that fetch over http: scripted answers per path, a server
// that never answers, a body cut short, and a port where nothing listens. It runs in a thread of
// the test and is stopped by its destructor.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace olvo::test {

// A web server on 127.0.0.1 with scripted answers, running in a thread of the test.
class TestHttpServer {
  public:
    struct Reply {
        Reply(std::string status = "200 OK", std::string body = "", std::string extraHeaders = "",
              bool silent = false, std::size_t sendOnly = std::string::npos)
            : status(std::move(status)),
              body(std::move(body)),
              extraHeaders(std::move(extraHeaders)),
              silent(silent),
              sendOnly(sendOnly) {}
        std::string status;
        std::string body;
        std::string extraHeaders;  // whole lines, each ending in "\r\n"
        bool silent;               // read the request and never answer
        std::size_t sendOnly;      // announce the whole body, send only this much of it
    };

    TestHttpServer() {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (m_listener < 0 || ::bind(m_listener, (sockaddr*)&address, sizeof address) != 0 ||
            ::listen(m_listener, 16) != 0 ||
            ::getsockname(m_listener, (sockaddr*)&address, &size) || ::pipe(m_stop) != 0)
            throw std::runtime_error("cannot start the test server");
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~TestHttpServer() {
        const ssize_t ignored = ::write(m_stop[1], "x", 1);
        (void)ignored;
        m_thread.join();
        for (int fd : m_held) ::close(fd);
        for (int fd : {m_listener, m_stop[0], m_stop[1]}) ::close(fd);
    }

    void Serve(const std::string& path, Reply reply) {
        std::lock_guard lock(m_mutex);
        m_routes[path] = std::move(reply);
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }
    int Requests(const std::string& path) {
        std::lock_guard lock(m_mutex);
        return m_requests[path];
    }

  private:
    void Run() {
        for (;;) {
            pollfd fds[2] = {{m_listener, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 || fds[1].revents != 0) return;
            const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) Answer(client);
        }
    }

    void Answer(int client) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            pollfd fd{client, POLLIN, 0};
            if (::poll(&fd, 1, 5000) <= 0) break;
            const ssize_t n = ::read(client, buffer, sizeof buffer);
            if (n <= 0) break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        const std::size_t start = request.find(' ') + 1;
        const std::string path = request.substr(start, request.find(' ', start) - start);
        Reply reply;
        {
            std::lock_guard lock(m_mutex);
            ++m_requests[path];
            const auto it = m_routes.find(path);
            reply = it != m_routes.end() ? it->second : Reply{"404 Not Found", "Not here"};
        }
        if (reply.silent) {
            m_held.push_back(client);
            return;
        }
        std::string answer = "HTTP/1.1 " + reply.status +
                             "\r\nContent-Length: " + std::to_string(reply.body.size()) +
                             "\r\nConnection: close\r\n" + reply.extraHeaders + "\r\n" +
                             reply.body.substr(0, reply.sendOnly);
        for (std::size_t sent = 0; sent < answer.size();) {
            const ssize_t n =
                ::send(client, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += static_cast<std::size_t>(n);
        }
        ::close(client);
    }

    int m_listener = -1;
    int m_stop[2] = {-1, -1};
    int m_port = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    std::map<std::string, Reply> m_routes;
    std::map<std::string, int> m_requests;
    std::vector<int> m_held;
};

// A port on 127.0.0.1 where nothing listens.
inline int ClosedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, (sockaddr*)&address, sizeof address);
    ::getsockname(fd, (sockaddr*)&address, &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

}  // namespace olvo::test
