// Who may open the WebSocket: a request must carry the token (in the query as ?token=… or as
// "Authorization: Bearer …"), and a request from a web page (one with an Origin header) must
// come from the service's own page or from an origin on the allow-list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace oposd {

struct AccessDecision {
  int status = 0;      // 0: allowed; otherwise 401 or 403
  std::string reason;  // for the log and the refusal's body
};

class AccessPolicy {
 public:
  AccessPolicy(std::string token, std::vector<std::string> allowed_origins)
      : token_(std::move(token)), allowed_origins_(std::move(allowed_origins)) {}

  // The origins the service's own page has: http://<address>:<port> for each address it
  // listens on, and http://localhost:<port>.
  void SetOwnOrigins(std::vector<std::string> origins) { own_origins_ = std::move(origins); }

  // `target` is the request target ("/ws?token=…"); an empty `origin` means no Origin header.
  AccessDecision Check(std::string_view target, std::string_view authorization,
                       std::string_view origin, bool has_origin) const;

 private:
  bool OriginAllowed(std::string_view origin) const;

  std::string token_;
  std::vector<std::string> allowed_origins_;
  std::vector<std::string> own_origins_;
};

// The value of `name` in the query of `target`, percent-decoded; empty when absent.
std::string QueryValue(std::string_view target, std::string_view name);

}  // namespace oposd
