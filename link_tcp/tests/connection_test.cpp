// The process's one connection: sends from several threads arrive whole, one after the
// other, however the socket splits them.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "network_connection.h"

namespace service_core {
namespace {

TEST(NetworkConnection, SendsFromSeveralThreadsAreNeverInterleaved) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  socklen_t length = sizeof address;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);

  NetworkConnection& connection = NetworkConnection::Process();
  ASSERT_TRUE(connection.Connect("127.0.0.1", ntohs(address.sin_port)));
  const int peer = ::accept(listener, nullptr, nullptr);
  ASSERT_GE(peer, 0);
  // A small receive buffer and a slow reader make the kernel take each send in parts.
  const int small = 4096;
  ::setsockopt(peer, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);

  constexpr size_t kBlock = 16 * 1024;
  constexpr int kBlocksPerThread = 4;
  std::vector<std::thread> senders;
  for (uint8_t id = 1; id <= 3; ++id) {
    senders.emplace_back([&connection, id] {
      const std::vector<uint8_t> block(kBlock, id);
      for (int i = 0; i < kBlocksPerThread; ++i)
        EXPECT_TRUE(connection.Send(block.data(), block.size()));
    });
  }
  std::vector<uint8_t> received;
  const size_t total = 3 * kBlocksPerThread * kBlock;
  uint8_t buffer[1500];
  while (received.size() < total) {
    const ssize_t n = ::recv(peer, buffer, sizeof buffer, 0);
    ASSERT_GT(n, 0);
    received.insert(received.end(), buffer, buffer + n);
  }
  for (auto& t : senders) t.join();
  for (size_t at = 0; at < total; at += kBlock) {
    const uint8_t id = received[at];
    EXPECT_EQ(std::count(received.begin() + at, received.begin() + at + kBlock, id),
              static_cast<long>(kBlock))
        << "block at " << at;
  }
  connection.Close();
  ::close(peer);
  ::close(listener);
}

}  // namespace
}  // namespace service_core
