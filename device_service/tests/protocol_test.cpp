// The service through a real WebSocket client, against the virtual printer, drawer and display.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/registry.h"
#include "rpc_client.h"
#include "service_rig.h"

namespace oposd::testing {
namespace {

using nlohmann::json;

constexpr int kCoverOpen = 11;  // PTR_SUE_COVER_OPEN

int ErrorCode(const json& response) {
  if (!response.is_object() || !response.contains("error")) return 0;
  return response["error"].value("code", 0);
}

class ProtocolTest : public ::testing::Test {
 protected:
  // Connected with the token in the query.
  void Connect(RpcClient& client) {
    ASSERT_EQ(client.Connect(rig_.Port(), "/ws?token=" + rig_.Token()), 101) << rig_.Log();
  }
  // Opens, claims and enables a device; its handle.
  int64_t Ready(RpcClient& client, const std::string& name) {
    const json opened = client.Result("open", {{"name", name}});
    const int64_t handle = opened.value("handle", int64_t{0});
    EXPECT_EQ(client.Result("call", {{"handle", handle}, {"method", "ClaimDevice"}, {"args", {3000}}})
                  .value("result", -1),
              0);
    client.Result("set", {{"handle", handle}, {"property", "DeviceEnabled"}, {"value", true}});
    return handle;
  }

  ServiceRig rig_;
};

TEST_F(ProtocolTest, ListOpenPrintDisplayAndEventsWithTheirFields) {
  RpcClient client;
  Connect(client);
  const json list = client.Result("list");
  ASSERT_EQ(list.size(), 3u) << list.dump();
  EXPECT_EQ(list[0], (json{{"name", "Receipt1"},
                           {"class", "POSPrinter"},
                           {"service", "RecPrinter.POSPrinter.SO"},
                           {"key", "ThermalS"},
                           {"logicalNames", {"Receipt1"}}}));
  EXPECT_EQ(list[1]["name"], "Drawer1");
  EXPECT_EQ(list[2]["class"], "LineDisplay");

  const int64_t printer = Ready(client, "Receipt1");
  EXPECT_EQ(client.Result("get", {{"handle", printer}, {"property", "RecLineChars"}}), 42);
  EXPECT_EQ(client.Result("get", {{"handle", printer}, {"property", "claimed"}}), true);
  EXPECT_EQ(client.Result("get", {{"handle", printer}, {"property", "CoverOpen"}}), false);
  client.Result("set", {{"handle", printer}, {"property", "AsyncMode"}, {"value", true}});
  // Bytes above 0x7F travel as the characters U+0080..U+00FF.
  const json printed = client.Result(
      "call", {{"handle", printer}, {"method", "PrintNormal"}, {"args", {2, "Gr\u00fc\u00dfe\n"}}});
  EXPECT_EQ(printed, (json{{"result", 0}, {"out", json::array()}}));
  const json complete =
      client.WaitForEvent([](const json& e) { return e["type"] == "OutputComplete"; });
  EXPECT_EQ(complete["handle"], printer);
  EXPECT_GT(complete.value("outputId", 0), 0);
  const auto capture = rig_.printer().Capture();
  const std::string received(capture.begin(), capture.end());
  EXPECT_NE(received.find("Gr\xfc\xdf" "e"), std::string::npos);

  ASSERT_TRUE(rig_.PrinterCommand("cover open"));
  const json cover = client.WaitForEvent(
      [](const json& e) { return e["type"] == "StatusUpdate" && e["data"] == kCoverOpen; });
  EXPECT_EQ(cover["handle"], printer);
  EXPECT_EQ(client.Result("get", {{"handle", printer}, {"property", "CoverOpen"}}), true);
  ASSERT_TRUE(rig_.PrinterCommand("cover close"));

  // By-reference parameters come back in "out".
  const json direct = client.Result(
      "call", {{"handle", printer}, {"method", "DirectIO"}, {"args", {0, 7, "x"}}});
  ASSERT_TRUE(direct["out"].is_array());
  EXPECT_EQ(direct["out"].size(), 2u);
  EXPECT_TRUE(direct["out"][0].is_number_integer());
  EXPECT_TRUE(direct["out"][1].is_string());

  const int64_t display = Ready(client, "Display1");
  EXPECT_NE(display, printer);
  EXPECT_EQ(client.Result("call", {{"handle", display}, {"method", "DisplayText"},
                                   {"args", {"Welcome", 0}}})["result"],
            0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (rig_.display().Screen()[0].find("Welcome") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(rig_.display().Screen()[0].substr(0, 7), "Welcome");

  EXPECT_EQ(client.Result("close", {{"handle", display}}), 0);
  EXPECT_EQ(ErrorCode(client.Request("get", {{"handle", display}, {"property", "State"}})), -32001);
}

TEST_F(ProtocolTest, MistakesGetJsonRpcErrorsAndTheConnectionStaysOpen) {
  RpcClient client;
  Connect(client);
  EXPECT_EQ(ErrorCode(client.SendRaw("{\"jsonrpc\": \"2.0\", \"id\": 1, \"method\": ")), -32700);
  EXPECT_EQ(ErrorCode(client.SendRaw("[1, 2]")), -32600);
  EXPECT_EQ(ErrorCode(client.SendRaw("{\"id\": 1, \"method\": \"list\"}")), -32600);
  EXPECT_EQ(ErrorCode(client.SendRaw("{\"jsonrpc\":\"2.0\",\"id\":{},\"method\":\"list\"}")), -32600);
  EXPECT_EQ(ErrorCode(client.SendRaw("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"list\"}", true)),
            -32600);
  EXPECT_EQ(ErrorCode(client.Request("fly")), -32601);
  EXPECT_EQ(ErrorCode(client.Request("list", json::array({1}))), -32602);
  EXPECT_EQ(ErrorCode(client.Request("open", {{"name", 5}})), -32602);
  EXPECT_EQ(ErrorCode(client.Request("open", {{"name", "NoSuchDevice"}})), -32004);
  EXPECT_EQ(ErrorCode(client.Request("get", {{"handle", 99}, {"property", "State"}})), -32001);
  EXPECT_EQ(ErrorCode(client.Request("get", {{"handle", "1"}, {"property", "State"}})), -32602);

  const int64_t printer = client.Result("open", {{"name", "Receipt1"}}).value("handle", int64_t{0});
  auto call = [&](const json& method, const json& args) {
    return client.Request("call", {{"handle", printer}, {"method", method}, {"args", args}});
  };
  EXPECT_EQ(ErrorCode(client.Request("get", {{"handle", printer}, {"property", "Colour"}})), -32002);
  EXPECT_EQ(ErrorCode(client.Request("set", {{"handle", printer}, {"property", "CoverOpen"},
                                             {"value", true}})),
            -32003);
  EXPECT_EQ(ErrorCode(client.Request("set", {{"handle", printer}, {"property", "AsyncMode"},
                                             {"value", "yes"}})),
            -32602);
  EXPECT_EQ(ErrorCode(client.Request("set", {{"handle", printer}, {"property", "AsyncMode"}})),
            -32602);
  EXPECT_EQ(ErrorCode(call("Fly", json::array())), -32002);
  EXPECT_EQ(ErrorCode(call("ClaimDevice", json::array())), -32602);
  EXPECT_EQ(ErrorCode(call("ClaimDevice", {"1000"})), -32602);
  EXPECT_EQ(ErrorCode(call("ClaimDevice", {1.5})), -32602);
  EXPECT_EQ(ErrorCode(call("ClaimDevice", {4294967296LL})), -32602);
  EXPECT_EQ(ErrorCode(call("PrintNormal", {2, "\u20ac"})), -32602);  // no byte for U+20AC
  EXPECT_EQ(ErrorCode(call("Close", json::array())), -32602);
  EXPECT_EQ(ErrorCode(client.Request("answerError", {{"handle", printer}, {"response", 11}})),
            -32005);
  EXPECT_EQ(ErrorCode(client.Request("answerError", {{"handle", printer}, {"response", 3}})),
            -32602);

  // Over 1 MiB: read to its end, answered, and the connection goes on.
  const std::string huge = "{\"jsonrpc\":\"2.0\",\"id\":7,\"method\":\"list\",\"params\":{\"x\":\"" +
                           std::string(1 << 20, 'a') + "\"}}";
  const json too_big = client.SendRaw(huge);
  EXPECT_EQ(ErrorCode(too_big), -32600) << too_big.dump();
  EXPECT_EQ(client.Result("list").size(), 3u);
  EXPECT_EQ(client.Result("get", {{"handle", printer}, {"property", "State"}}), 2);
  // A notification (no id) is run without an answer.
  EXPECT_EQ(client.SendRaw("{\"jsonrpc\":\"2.0\",\"method\":\"fly\"}", false, 300), nullptr);
  EXPECT_TRUE(client.Connected());
  EXPECT_NE(rig_.Log().find("error -32601: Method not found: fly"), std::string::npos);
}

TEST_F(ProtocolTest, UpgradeNeedsTheTokenAndAnAllowedOrigin) {
  const std::string own = "http://127.0.0.1:" + std::to_string(rig_.Port());
  RpcClient none, wrong, foreign, page, bearer;
  EXPECT_EQ(none.Connect(rig_.Port(), "/ws"), 401);
  EXPECT_EQ(wrong.Connect(rig_.Port(), "/ws?token=0123"), 401);
  EXPECT_EQ(foreign.Connect(rig_.Port(), "/ws?token=" + rig_.Token(),
                            {{"Origin", "https://evil.example"}}),
            403);
  EXPECT_EQ(page.Connect(rig_.Port(), "/ws?token=" + rig_.Token(), {{"Origin", own}}), 101);
  EXPECT_EQ(bearer.Connect(rig_.Port(), "/ws", {{"Authorization", "Bearer " + rig_.Token()}}), 101);
  RpcClient own_without_token;
  EXPECT_EQ(own_without_token.Connect(rig_.Port(), "/ws", {{"Origin", own}}), 401);
  const std::string log = rig_.Log();
  EXPECT_NE(log.find("WebSocket refused (401): no token"), std::string::npos) << log;
  EXPECT_NE(log.find("WebSocket refused (401): wrong token"), std::string::npos) << log;
  EXPECT_NE(log.find("WebSocket refused (403): origin https://evil.example"), std::string::npos);
  EXPECT_EQ(log.find(rig_.Token()), std::string::npos);  // the token is never logged
}

// A web till on another origin may import the JavaScript client; the page itself and the
// WebSocket stay its own.
TEST_F(ProtocolTest, AnyOriginMayImportTheClientButNotFrameThePage) {
  HttpAnswer client = HttpRequest(rig_.Port(), "GET", "/opos.js", {{"Origin", "https://till.example"}});
  EXPECT_EQ(client.status, 200);
  EXPECT_EQ(client.headers["access-control-allow-origin"], "*");
  EXPECT_NE(client.body.find("export"), std::string::npos);
  HttpAnswer preflight = HttpRequest(rig_.Port(), "OPTIONS", "/opos.js",
                                     {{"Origin", "https://till.example"},
                                      {"Access-Control-Request-Method", "GET"},
                                      {"Access-Control-Request-Private-Network", "true"}});
  EXPECT_EQ(preflight.status, 204);
  EXPECT_EQ(preflight.headers["access-control-allow-private-network"], "true");
  EXPECT_EQ(preflight.headers["access-control-allow-origin"], "*");

  HttpAnswer page = HttpRequest(rig_.Port(), "GET", "/", {{"Origin", "https://till.example"}});
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.headers.count("access-control-allow-origin"), 0u);
  EXPECT_EQ(page.headers["x-frame-options"], "DENY");
  EXPECT_EQ(HttpRequest(rig_.Port(), "OPTIONS", "/").status, 405);
  EXPECT_EQ(HttpRequest(rig_.Port(), "POST", "/opos.js").status, 405);
}

TEST_F(ProtocolTest, AllowListedOriginMayConnect) {
  ServiceRig rig({"--allow-origin", "https://till.example/"});
  RpcClient till, other;
  EXPECT_EQ(till.Connect(rig.Port(), "/ws?token=" + rig.Token(), {{"Origin", "https://till.example"}}),
            101);
  EXPECT_EQ(other.Connect(rig.Port(), "/ws?token=" + rig.Token(), {{"Origin", "https://till.example.com"}}),
            403);
}

TEST_F(ProtocolTest, AClientThatVanishesMidClaimFreesTheDevice) {
  RpcClient first, second;
  Connect(first);
  Connect(second);
  const int64_t mine = Ready(first, "Receipt1");
  const int64_t theirs = second.Result("open", {{"name", "Receipt1"}}).value("handle", int64_t{0});
  // Another client's handle is not this connection's.
  EXPECT_EQ(ErrorCode(second.Request("call", {{"handle", mine + 100}, {"method", "ReleaseDevice"}, {"args", json::array()}})), -32001);
  // Held by another client beyond the time-out: E_CLAIMED, and the holder is not disturbed.
  EXPECT_EQ(second.Result("call", {{"handle", theirs}, {"method", "ClaimDevice"}, {"args", {500}}})
                .value("result", 0),
            102);
  EXPECT_EQ(first.Result("get", {{"handle", mine}, {"property", "Claimed"}}), true);
  first.Drop();
  const json claim =
      second.Result("call", {{"handle", theirs}, {"method", "ClaimDevice"}, {"args", {8000}}});
  EXPECT_EQ(claim.value("result", -1), 0) << rig_.Log();
  EXPECT_NE(rig_.Log().find("releasing and closing 1 device(s)"), std::string::npos) << rig_.Log();
}

TEST_F(ProtocolTest, ErrorEventWaitsForTheClientsAnswer) {
  RpcClient client;
  Connect(client);
  const int64_t printer = Ready(client, "Receipt1");
  client.Result("set", {{"handle", printer}, {"property", "AsyncMode"}, {"value", true}});
  ASSERT_TRUE(rig_.PrinterCommand("cover open"));
  client.WaitForEvent([](const json& e) { return e["type"] == "StatusUpdate"; });
  client.Result("call", {{"handle", printer}, {"method", "PrintNormal"}, {"args", {2, "x\n"}}});
  const json error = client.WaitForEvent([](const json& e) { return e["type"] == "Error"; });
  ASSERT_TRUE(error.is_object()) << rig_.Log();
  EXPECT_EQ(error["handle"], printer);
  EXPECT_NE(error.value("resultCode", 0), 0);
  EXPECT_TRUE(error.contains("resultCodeExtended"));
  EXPECT_TRUE(error.contains("errorLocus"));
  EXPECT_EQ(error["errorResponse"], 11);
  // While the device waits for the answer, other devices' requests are served.
  EXPECT_EQ(client.Result("list").size(), 3u);
  EXPECT_EQ(client.Result("answerError", {{"handle", printer}, {"response", 12}}), nullptr);
  // Cleared: the queue is empty and the device is usable again.
  ASSERT_TRUE(rig_.PrinterCommand("cover close"));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  json state;
  do {
    state = client.Result("get", {{"handle", printer}, {"property", "State"}});
  } while (state != 2 && std::chrono::steady_clock::now() < deadline);
  EXPECT_EQ(state, 2);
}

// The control objects' test service object raises a direct I/O event on request (its
// DirectIO 5); the event reaches the client with its number, data and string.
TEST_F(ProtocolTest, DirectIOEventsReachTheClientWithTheirFields) {
  ASSERT_TRUE(test_support::RegisterServerLibrary(TEST_SO_PATH));
  ASSERT_EQ(platform::registry::ImportRegedit(
                "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\"
                "POSPrinter\\EventSource]\n@=\"Test.POSPrinter.SO\"\n"),
            platform::registry::kSuccess);
  RpcClient client;
  Connect(client);
  const int64_t source = Ready(client, "EventSource");
  const json called = client.Result(
      "call", {{"handle", source}, {"method", "DirectIO"}, {"args", {5, 41, "caf\u00e9"}}});
  EXPECT_EQ(called.value("result", -1), 0) << called.dump();
  const json event = client.WaitForEvent([](const json& e) { return e["type"] == "DirectIO"; });
  ASSERT_TRUE(event.is_object()) << rig_.Log();
  EXPECT_EQ(event["handle"], source);
  EXPECT_EQ(event["eventNumber"], 41);
  EXPECT_TRUE(event["data"].is_number_integer());
  EXPECT_EQ(event["string"], "caf\u00e9");
}

TEST_F(ProtocolTest, SigtermReleasesAndClosesEveryClaimedDevice) {
  RpcClient client;
  Connect(client);
  Ready(client, "Receipt1");
  Ready(client, "Display1");
  EXPECT_EQ(rig_.Terminate(), 0) << rig_.Log();
  const std::string log = rig_.Log();
  EXPECT_NE(log.find("stopping on SIGTERM"), std::string::npos) << log;
  EXPECT_NE(log.find("stopped; 2 open device(s) released and closed"), std::string::npos) << log;
}

// Started by a socket unit, the service serves the socket it was given, not one of its own.
TEST(SocketActivation, TheServiceServesTheSocketItWasGiven) {
  ServiceRig rig({}, true);
  ASSERT_NE(rig.ActivationPort(), 0);
  EXPECT_EQ(rig.Port(), rig.ActivationPort()) << rig.Log();
  RpcClient client;
  ASSERT_EQ(client.Connect(rig.ActivationPort(), "/ws?token=" + rig.Token()), 101) << rig.Log();
  EXPECT_EQ(client.Result("list").size(), 3u);
}

}  // namespace
}  // namespace oposd::testing
