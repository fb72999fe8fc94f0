// The device service over loopback: the round trip of a `get`, the delay from a status change
// of the printer to its WebSocket event, and many clients sharing one printer through claim
// and release, with every OutputComplete checked to reach the client that printed.
// oposd runs as its own process; the virtual printer and display run in this one.
// Usage: device_service_bench [clients, 50] [receipts per client, 20] [gets, 2000]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "rpc_client.h"
#include "service_rig.h"

namespace {

using Clock = std::chrono::steady_clock;
using nlohmann::json;
using oposd::testing::RpcClient;
using oposd::testing::ServiceRig;

ServiceRig* running_rig = nullptr;  // stopped on a failure, so no service is left behind

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "benchmark failed: %s\n", what.c_str());
  if (running_rig) running_rig->Terminate();
  std::_Exit(1);
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  const size_t index = std::min(values.size() - 1, static_cast<size_t>(p * values.size()));
  return values[index];
}

json Must(RpcClient& client, const std::string& method, const json& params) {
  json response = client.Request(method, params, 120000);
  if (!response.is_object() || !response.contains("result"))
    Fail(method + " " + params.dump() + " -> " + response.dump());
  return response["result"];
}

int64_t OpenReady(RpcClient& client, const std::string& name) {
  const int64_t handle = Must(client, "open", {{"name", name}})["handle"];
  if (Must(client, "call", {{"handle", handle}, {"method", "ClaimDevice"}, {"args", {5000}}})["result"] != 0)
    Fail("claim");
  Must(client, "set", {{"handle", handle}, {"property", "DeviceEnabled"}, {"value", true}});
  return handle;
}

void Connect(RpcClient& client, const ServiceRig& rig) {
  if (client.Connect(rig.Port(), "/ws?token=" + rig.Token()) != 101) Fail("connect");
}

void GetRoundTrip(ServiceRig& rig, int gets) {
  RpcClient client;
  Connect(client, rig);
  const int64_t printer = OpenReady(client, "Receipt1");
  std::vector<double> times;
  for (int i = 0; i < gets; ++i) {
    const auto start = Clock::now();
    Must(client, "get", {{"handle", printer}, {"property", "State"}});
    times.push_back(Ms(Clock::now() - start));
  }
  std::printf("get round trip (%d gets of State): median %.3f ms, p99 %.3f ms\n", gets,
              Percentile(times, 0.5), Percentile(times, 0.99));

  // A status change of the device to the event on the WebSocket.
  std::vector<double> delays;
  client.events().clear();
  for (int i = 0; i < 20; ++i) {
    const bool open = i % 2 == 0;
    const int expected = open ? 11 : 12;  // cover open / cover OK
    const auto start = Clock::now();
    if (!rig.PrinterCommand(open ? "cover open" : "cover close")) Fail("printer command");
    const json event = client.WaitForEvent(
        [&](const json& e) { return e["type"] == "StatusUpdate" && e["data"] == expected; }, 10000);
    if (event.is_null()) Fail("no StatusUpdate for the cover");
    delays.push_back(Ms(Clock::now() - start));
  }
  std::printf("cover status change to WebSocket event (20 changes): median %.1f ms, max %.1f ms\n",
              Percentile(delays, 0.5), Percentile(delays, 1.0));
  Must(client, "close", {{"handle", printer}});
}

void SharedPrinter(ServiceRig& rig, int clients, int receipts) {
  std::atomic<int> delivered{0}, misdelivered{0}, claim_retries{0}, errors{0};
  std::mutex failure_mutex;
  std::string failure;
  const size_t bytes_before = rig.printer().Capture().size();
  const auto start = Clock::now();
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      auto fail = [&](const std::string& what) {
        std::lock_guard lock(failure_mutex);
        if (failure.empty()) failure = "client " + std::to_string(c) + ": " + what;
      };
      RpcClient client;
      if (client.Connect(rig.Port(), "/ws?token=" + rig.Token()) != 101) return fail("connect");
      json opened = client.Request("open", {{"name", "Receipt1"}}, 60000);
      if (!opened.contains("result")) return fail("open " + opened.dump());
      const int64_t handle = opened["result"]["handle"];
      auto call = [&](const std::string& method, const json& args) {
        json r = client.Request("call", {{"handle", handle}, {"method", method}, {"args", args}},
                                180000);
        return r.contains("result") ? r["result"].value("result", -1) : -1;
      };
      for (int r = 0; r < receipts; ++r) {
        while (call("ClaimDevice", {60000}) != 0) ++claim_retries;
        client.Request("set", {{"handle", handle}, {"property", "DeviceEnabled"}, {"value", true}});
        client.Request("set", {{"handle", handle}, {"property", "AsyncMode"}, {"value", true}});
        const std::string text =
            "client " + std::to_string(c) + " receipt " + std::to_string(r) + "\n";
        if (call("PrintNormal", {2, text}) != 0) return fail("PrintNormal");
        const json id = client.Request("get", {{"handle", handle}, {"property", "OutputID"}});
        // An Error event (the printer did not confirm in time) is answered with retry, as a
        // till would; the receipt must still complete.
        json done;
        for (;;) {
          done = client.WaitForEvent([](const json& e) {
            return e["type"] == "OutputComplete" || e["type"] == "Error";
          }, 60000);
          if (done.is_null() || done["type"] == "OutputComplete") break;
          ++errors;
          {
            std::lock_guard lock(failure_mutex);
            std::fprintf(stderr, "client %d receipt %d: Error event %s\n", c, r, done.dump().c_str());
          }
          client.Request("answerError", {{"handle", handle}, {"response", 11}});
        }
        if (done.is_null()) return fail("no OutputComplete for receipt " + std::to_string(r));
        if (done["handle"] != handle || done["outputId"] != id["result"]) ++misdelivered;
        ++delivered;
        if (call("ReleaseDevice", json::array()) != 0) return fail("ReleaseDevice");
      }
      client.Request("close", {{"handle", handle}});
    });
  }
  for (auto& t : threads) t.join();
  const double seconds = Ms(Clock::now() - start) / 1000;
  if (!failure.empty()) Fail(failure + "\n" + rig.Log());

  const auto capture = rig.printer().Capture();
  const std::string printed(capture.begin() + bytes_before, capture.end());
  int found = 0;
  for (int c = 0; c < clients; ++c)
    for (int r = 0; r < receipts; ++r)
      if (printed.find("client " + std::to_string(c) + " receipt " + std::to_string(r) + "\n") !=
          std::string::npos)
        ++found;
  std::printf("%d clients x %d receipts through claim and release: %.1f s, %d of %d printed, "
              "%d OutputComplete delivered, %d to a wrong client or id, %d claims retried, "
              "%d Error events answered with retry\n",
              clients, receipts, seconds, found, clients * receipts, delivered.load(),
              misdelivered.load(), claim_retries.load(), errors.load());
  if (found != clients * receipts || misdelivered != 0 || delivered != clients * receipts)
    Fail("receipts or events were lost or misdelivered");
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const int clients = argc > 1 ? std::atoi(argv[1]) : 50;
  const int receipts = argc > 2 ? std::atoi(argv[2]) : 20;
  const int gets = argc > 3 ? std::atoi(argv[3]) : 2000;
  ServiceRig rig;
  running_rig = &rig;
  if (rig.Port() == 0) Fail("oposd did not start");
  GetRoundTrip(rig, gets);
  SharedPrinter(rig, clients, receipts);
  return 0;
}
