// A tiny HTTP server on 127.0.0.1 for the tests: answers every request with the response set
// last (status line and body) and keeps the requests it received (head and body).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace apptest {

class HttpTestServer {
 public:
  HttpTestServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 8);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~HttpTestServer() {
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    ::close(listener_);
    thread_.join();
  }

  // "127.0.0.1:<port>"
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
  void respond(const std::string& status, const std::string& body) {
    std::lock_guard lock(mutex_);
    status_ = status;
    body_ = body;
  }
  std::vector<std::string> requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  void serve() {
    while (!stopping_) {
      const int client = ::accept(listener_, nullptr, nullptr);
      if (client < 0) return;
      std::string request = readRequest(client);
      std::string response;
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        response = "HTTP/1.1 " + status_ + "\r\nContent-Length: " + std::to_string(body_.size()) +
                   "\r\nConnection: close\r\n\r\n" + body_;
      }
      for (size_t sent = 0; sent < response.size();) {
        const ssize_t n =
            ::send(client, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
      }
      ::close(client);
    }
  }
  static std::string readRequest(int client) {
    std::string data;
    char buffer[4096];
    size_t expected = std::string::npos;
    while (data.size() < expected) {
      const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      data.append(buffer, static_cast<size_t>(n));
      const size_t end = data.find("\r\n\r\n");
      if (end != std::string::npos && expected == std::string::npos) {
        size_t length = 0;
        const size_t at = data.find("Content-Length: ");
        if (at != std::string::npos && at < end) length = std::stoul(data.substr(at + 16));
        expected = end + 4 + length;
      }
    }
    return data;
  }

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  mutable std::mutex mutex_;
  std::string status_ = "200 OK";
  std::string body_;
  std::vector<std::string> requests_;
};

}  // namespace apptest
