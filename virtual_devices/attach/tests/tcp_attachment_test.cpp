#include "virtual_devices/tcp_attachment.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "display_capture.h"
#include "test_support.h"

namespace vdev {
namespace {

using testing::ConnectTcp;
using testing::WaitFor;
using testing::WriteBytes;

// True when the peer closed or reset the connection, seen within the wait.
bool ConnectionEnded(int fd) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, 10000) <= 0) return false;
  char c;
  return ::recv(fd, &c, 1, 0) <= 0;
}

// True when a socket of its own could bind the port on 127.0.0.1.
bool PortFree(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return bound;
}

TEST(TcpAttachmentTest, OneHostAtATimeTheNextOneWaits) {
  VirtualDisplay display;
  TcpAttachment tcp(display, {"127.0.0.1", 0});
  std::string error;
  ASSERT_TRUE(tcp.Start(error)) << error;
  ASSERT_GT(tcp.Port(), 0);
  EXPECT_EQ(tcp.Where(), "tcp 127.0.0.1:" + std::to_string(tcp.Port()));

  const int first = ConnectTcp(tcp.Port());
  ASSERT_GE(first, 0);
  ASSERT_TRUE(WriteBytes(first, "one"));
  ASSERT_TRUE(WaitFor([&] { return Received(display) == "one"; }));
  const int second = ConnectTcp(tcp.Port());  // completes in the listen queue
  ASSERT_GE(second, 0);
  ASSERT_TRUE(WriteBytes(second, "two"));
  ASSERT_TRUE(WriteBytes(first, "!"));
  ASSERT_TRUE(WaitFor([&] { return Received(display) == "one!"; }));
  ::close(first);
  EXPECT_TRUE(WaitFor([&] { return Received(display) == "one!two"; }));
  ::close(second);
}

TEST(TcpAttachmentTest, DisconnectDropsTheHostAndRefuseKeepsNewOnesOut) {
  VirtualDisplay display;
  TcpAttachment tcp(display, {"127.0.0.1", 0});
  std::string error, reply;
  ASSERT_TRUE(tcp.Start(error)) << error;
  const int port = tcp.Port();
  int host = ConnectTcp(port);
  ASSERT_GE(host, 0);
  ASSERT_TRUE(WaitFor([&] { return tcp.HostConnected(); }));
  ASSERT_TRUE(tcp.Command("disconnect", reply)) << reply;
  EXPECT_FALSE(tcp.HostConnected());
  EXPECT_TRUE(ConnectionEnded(host));
  ::close(host);
  ASSERT_TRUE(tcp.Command("disconnect", reply));
  EXPECT_EQ(reply, "no host connected");

  ASSERT_TRUE(tcp.Command("refuse on", reply)) << reply;
  EXPECT_EQ(ConnectTcp(port), -1);
  EXPECT_EQ(errno, ECONNREFUSED);
  // While refusing, the port stays the printer's: a program picking a free port, or a host's
  // own end of a connection, cannot take it meanwhile.
  EXPECT_FALSE(PortFree(port));
  ASSERT_TRUE(tcp.Command("refuse off", reply)) << reply;
  host = ConnectTcp(port);
  ASSERT_GE(host, 0);
  ASSERT_TRUE(WriteBytes(host, "back"));
  EXPECT_TRUE(WaitFor([&] { return Received(display) == "back"; }));

  // Refusing keeps the connection that is already there.
  ASSERT_TRUE(tcp.Command("refuse on", reply));
  ASSERT_TRUE(WriteBytes(host, "+"));
  EXPECT_TRUE(WaitFor([&] { return Received(display) == "back+"; }));
  EXPECT_FALSE(tcp.Command("refuse maybe", reply));
  ::close(host);
  tcp.Stop();
}

TEST(TcpAttachmentTest, BadAddressesAndBusyPortsAreReported) {
  VirtualDisplay display;
  std::string error;
  TcpAttachment bad(display, {"printer.example", 0});
  EXPECT_FALSE(bad.Start(error));
  EXPECT_NE(error.find("not an IPv4 address"), std::string::npos);
  TcpAttachment out_of_range(display, {"127.0.0.1", 70000});
  EXPECT_FALSE(out_of_range.Start(error));

  TcpAttachment first(display, {"127.0.0.1", 0});
  ASSERT_TRUE(first.Start(error)) << error;
  VirtualDisplay other;
  TcpAttachment second(other, {"127.0.0.1", first.Port()});
  EXPECT_FALSE(second.Start(error));
  EXPECT_NE(error.find("bind"), std::string::npos);
}

TEST(TcpAttachmentTest, StopWithAHostConnectedEndsTheConnection) {
  VirtualDisplay display;
  auto tcp = std::make_unique<TcpAttachment>(display, TcpOptions{"127.0.0.1", 0});
  std::string error;
  ASSERT_TRUE(tcp->Start(error)) << error;
  const int port = tcp->Port();
  const int host = ConnectTcp(port);
  ASSERT_GE(host, 0);
  ASSERT_TRUE(WaitFor([&] { return tcp->HostConnected(); }));
  tcp.reset();
  EXPECT_TRUE(ConnectionEnded(host));
  ::close(host);
  EXPECT_EQ(ConnectTcp(port), -1);
}

}  // namespace
}  // namespace vdev
