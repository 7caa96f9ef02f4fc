// What the currency downloads need from the network: the text at an
// address, a property list parsed, an address resolved, and a file
// download that reports its progress to a delegate. Nothing here blocks:
// results and events arrive later, on the host's one thread, from the
// host's main loop. The libcurl implementation is app/settings/CurlNetwork.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One request under way. The network owns it and releases it after its
// last event; cancel() ends it at once, with no further event.
class NetRequest {
public:
  virtual ~NetRequest() = default;
  virtual void cancel() = 0;
};

struct NetError {
  std::string description;  // what went wrong, for people
  std::string failingURL;   // the address that failed
};

class URLDownload : public NetRequest {
public:
  // Where the file goes once it has arrived and passed its check; an
  // existing file there is replaced only if allowOverwrite.
  virtual void setDestination(const std::string& path, bool allowOverwrite) = 0;
  // Ends the download as failed with this reason (reported to the delegate).
  virtual void fail(const std::string& reason) = 0;
};

// The download's events, in this order: the destination, the response (the
// expected length, -1 when the server states none), any number of data
// lengths, then exactly one of finish or failure. The suggested file name is
// the last segment of the address asked for, never one the server offers.
class DownloadDelegate {
public:
  virtual ~DownloadDelegate() = default;
  virtual void download_decideDestinationWithSuggestedFilename(URLDownload* download,
                                                               const std::string& filename) = 0;
  virtual void download_didReceiveResponse(URLDownload* download,
                                           int64_t expectedContentLength) = 0;
  virtual void download_didReceiveDataOfLength(URLDownload* download, uint32_t length) = 0;
  virtual void downloadDidFinish(URLDownload* download) = 0;
  virtual void download_didFailWithError(URLDownload* download, const NetError& error) = 0;
};

// What an arrived file must pass before it replaces destination (which may
// hold an earlier file); false says why. It runs on a worker thread, so it
// touches nothing but files; stop turns true when the download is
// cancelled, and a long check gives up then.
using DownloadCheck =
    std::function<bool(const std::string& receivedFile, const std::string& destination,
                       const std::atomic<bool>& stop, std::string* why)>;

// An element of a property list's root array: a string, or something else.
struct PropertyListItem {
  bool isString = false;
  std::string text;
};

// The outcome of reading a text.
struct TextReply {
  bool ok = false;
  std::string text;     // the whole text, when ok
  std::string error;    // why not, for people
  std::string address;  // where the text came from, after any redirects
};

class Network {
public:
  virtual ~Network() = default;

  // Reads the whole text at url (at most maxBytes) and calls done once.
  using TextHandler = std::function<void(const TextReply& reply)>;
  virtual NetRequest* readText(const std::string& url, size_t maxBytes, TextHandler done) = 0;

  // Fetches url (at most maxBytes) into a temporary file beside the
  // destination the delegate chooses; once it has arrived and passed check
  // it is renamed over the destination, else removed. Nothing partial is
  // ever left behind.
  virtual URLDownload* startDownload(const std::string& url, int64_t maxBytes, DownloadCheck check,
                                     DownloadDelegate* delegate) = 0;

  // reference, absolute or relative to base, as an absolute http or https
  // address; false says why.
  virtual bool resolveURL(const std::string& base, const std::string& reference, std::string* url,
                          std::string* why) = 0;

  // Parses an XML or binary property list whose root is an array.
  virtual bool parseArray(const std::string& text, std::vector<PropertyListItem>* items,
                          std::string* why) = 0;
};
