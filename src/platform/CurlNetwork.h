// The network on libcurl and libplist: every transfer is an easy handle on
// one multi handle, which the host polls from its main loop, so nothing
// runs on another thread and nothing blocks. Only http and https, at most
// five redirects, and timeouts so that a silent server ends in a failure.
#pragma once

#include <list>
#include <memory>
#include <string>

#include "platform/Net.h"

struct NetTimeouts {
  long connectSeconds = 10;  // to reach the server
  long textSeconds = 30;     // a whole text read
  long stallSeconds = 30;    // a download that receives nothing this long fails
  long downloadSeconds = 1800;  // and one that trickles on fails after this
};

class CurlNetwork : public Network {
public:
  explicit CurlNetwork(NetTimeouts timeouts = NetTimeouts());
  ~CurlNetwork() override;  // cancels what is under way
  CurlNetwork(const CurlNetwork&) = delete;
  CurlNetwork& operator=(const CurlNetwork&) = delete;

  NetRequest* readText(const std::string& url, size_t maxBytes, TextHandler done) override;
  URLDownload* startDownload(const std::string& url, int64_t maxBytes, DownloadCheck check,
                             DownloadDelegate* delegate) override;
  bool resolveURL(const std::string& base, const std::string& reference, std::string* url,
                  std::string* why) override;
  bool parseArray(const std::string& text, std::vector<PropertyListItem>* items, std::string* why) override;

  // Moves the transfers on and delivers their events; returns at once.
  void poll();
  // Waits up to milliseconds for something to happen, then polls.
  void wait(int milliseconds);
  bool busy() const { return !requests.empty(); }

  class Request;

private:
  void finish(Request* request, int result);
  bool performing = false;  // inside curl_multi_perform: handles must stay
  void remove(Request* request);

  NetTimeouts timeouts;
  void* multi;  // CURLM*
  std::list<std::unique_ptr<Request>> requests;
};
