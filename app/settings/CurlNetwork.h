// The network on libcurl and libplist: every transfer is an easy handle on
// one multi handle, driven by the GLib main loop's file descriptors and
// timers, so nothing blocks the host's thread. The check of an arrived file
// runs on a worker thread and its result comes back through the same loop.
// Only http and https, at most five redirects, never from https to http,
// and timeouts so that a silent server ends in a failure.
#pragma once

#include <list>
#include <map>
#include <memory>
#include <string>

#include "platform/Net.h"

struct NetOptions {
  long connectSeconds = 10;     // to reach the server
  long textSeconds = 30;        // a whole text read
  long stallSeconds = 30;       // a download that receives nothing this long fails
  long downloadSeconds = 1800;  // and one that trickles on fails after this
  std::string caFile;           // certificates to trust instead of the system's, if set
};

class CurlNetwork : public Network {
public:
  explicit CurlNetwork(NetOptions options = NetOptions());
  ~CurlNetwork() override;  // cancels what is under way
  CurlNetwork(const CurlNetwork&) = delete;
  CurlNetwork& operator=(const CurlNetwork&) = delete;

  NetRequest* readText(const std::string& url, size_t maxBytes, TextHandler done) override;
  URLDownload* startDownload(const std::string& url, int64_t maxBytes, DownloadCheck check,
                             DownloadDelegate* delegate) override;
  bool resolveURL(const std::string& base, const std::string& reference, std::string* url,
                  std::string* why) override;
  bool parseArray(const std::string& text, std::vector<PropertyListItem>* items,
                  std::string* why) override;

  bool busy() const { return !requests.empty(); }

  class Request;

private:
  void Add(std::unique_ptr<Request> request);
  void Remove(Request* request);
  bool Holds(const Request* request) const;
  // Lets curl act on a socket (or on its timer), then delivers what ended.
  void Act(int socket, int events);
  void Finish(Request* request, int result);
  void Wake();  // from a worker thread: a check has ended

  struct Callbacks;  // curl's and GLib's, which reach the members above

  NetOptions options;
  void* multi;                        // CURLM*
  std::map<int, unsigned> watches;    // socket: its GLib source
  unsigned timer = 0;                 // curl's timeout, as a GLib source
  int wakeRead = -1, wakeWrite = -1;  // a pipe the workers write to
  unsigned wakeWatch = 0;
  bool acting = false;  // inside curl: handles must stay
  std::list<std::unique_ptr<Request>> requests;
};

// Whether a redirect from an address to location (as a Location header gives
// it) would leave https for plain http.
bool RedirectDowngrades(const std::string& from, const std::string& location);
