#include "platform/CurlNetwork.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/PropertyList.h"

namespace {

const char kProtocols[] = "http,https";
constexpr long kMaxRedirects = 5;

std::string ErrorText(CURLcode code, const char* buffer) {
  return buffer[0] != '\0' ? buffer : curl_easy_strerror(code);
}

std::string EffectiveURL(CURL* easy, const std::string& fallback) {
  char* url = nullptr;
  return curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url != nullptr ? url : fallback;
}

// The last segment of an address's path, decoded: what a browser would name
// the file when the server does not.
std::string LastPathSegment(const std::string& url) {
  std::string path = url.substr(0, url.find_first_of("?#"));
  const size_t scheme = path.find("://");
  const size_t start = path.find('/', scheme == std::string::npos ? 0 : scheme + 3);
  path = start == std::string::npos ? "" : path.substr(start);
  const std::string segment = path.substr(path.rfind('/') + 1);
  int length = 0;
  char* decoded = curl_easy_unescape(nullptr, segment.c_str(), int(segment.size()), &length);
  const std::string name = decoded != nullptr ? std::string(decoded, size_t(length)) : segment;
  curl_free(decoded);
  return name;
}

// The file name a "Content-Disposition" header line suggests, if any.
bool DispositionName(const std::string& line, std::string* name) {
  static const char kHeader[] = "content-disposition:";
  if (line.size() < sizeof kHeader - 1 || strncasecmp(line.c_str(), kHeader, sizeof kHeader - 1) != 0) return false;
  const size_t at = line.find("filename=");
  if (at == std::string::npos) return false;
  std::string value = line.substr(at + 9);
  if (!value.empty() && value[0] == '"') {
    const size_t end = value.find('"', 1);
    value = value.substr(1, end == std::string::npos ? std::string::npos : end - 1);
  } else {
    value = value.substr(0, value.find_first_of("; \r\n"));
  }
  *name = value;
  return !value.empty();
}

bool MakeFolders(const std::string& folder) {
  struct stat info;
  if (stat(folder.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return true;
    errno = ENOTDIR;
    return false;
  }
  const size_t slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash))) return false;
  return mkdir(folder.c_str(), 0755) == 0 || errno == EEXIST;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= size_t(written);
  }
  return true;
}

}  // namespace

// ---- one transfer -------------------------------------------------------------------

class CurlNetwork::Request {
public:
  Request(CurlNetwork* net, const std::string& url) : net(net), url(url), easy(curl_easy_init()) {
    errorText[0] = '\0';
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, kProtocols);
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, kProtocols);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, net->timeouts.connectSeconds);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "corvan3d");
    curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Request::Write);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  }
  virtual ~Request() { curl_easy_cleanup(easy); }

  // Takes a chunk of the body; false aborts the transfer.
  virtual bool Receive(const char* data, size_t size) = 0;
  // The transfer ended (CURLE_OK or why not): deliver the last event.
  virtual void Complete(CURLcode result) = 0;
  // The transfer is dropped without an event; leave nothing behind.
  virtual void Discard() {}

  void Cancel() {
    if (cancelled) return;
    cancelled = true;
    // Inside curl's callbacks the handle must stay; poll drops it afterwards.
    if (!net->performing) net->remove(this);
  }

  CurlNetwork* net;
  std::string url;
  CURL* easy;
  char errorText[CURL_ERROR_SIZE];
  std::string failure;  // our own reason for ending the transfer
  bool cancelled = false;

private:
  static size_t Write(char* data, size_t, size_t size, void* self) {
    Request* request = static_cast<Request*>(self);
    if (request->cancelled || !request->failure.empty()) return 0;
    return request->Receive(data, size) ? size : 0;
  }
};

namespace {

class TextRequest : public CurlNetwork::Request, public NetRequest {
public:
  TextRequest(CurlNetwork* net, const std::string& url, size_t maxBytes, Network::TextHandler done)
      : Request(net, url), maxBytes(maxBytes), done(std::move(done)) {}

  void cancel() override { Cancel(); }

  bool Receive(const char* data, size_t size) override {
    if (text.size() + size > maxBytes) {
      failure = "the text is larger than " + std::to_string(maxBytes) + " bytes";
      return false;
    }
    text.append(data, size);
    return true;
  }

  void Complete(CURLcode result) override {
    if (!failure.empty())
      done(false, "", failure);
    else if (result != CURLE_OK)
      done(false, "", ErrorText(result, errorText));
    else
      done(true, text, "");
  }

private:
  size_t maxBytes;
  Network::TextHandler done;
  std::string text;
};

class DownloadRequest : public CurlNetwork::Request, public URLDownload {
public:
  DownloadRequest(CurlNetwork* net, const std::string& url, int64_t maxBytes, DownloadCheck check,
                  DownloadDelegate* delegate)
      : Request(net, url), maxBytes(maxBytes), check(std::move(check)), delegate(delegate) {
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &DownloadRequest::Header);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  }
  ~DownloadRequest() override { Discard(); }

  void cancel() override { Cancel(); }
  void setDestination(const std::string& path, bool allowOverwrite) override {
    destination = path;
    overwrite = allowOverwrite;
  }
  void fail(const std::string& reason) override {
    if (failure.empty()) failure = reason;
  }

  bool Receive(const char* data, size_t size) override {
    if (!responded && !Respond()) return false;
    if (received + int64_t(size) > maxBytes) {
      failure = "the file is larger than " + std::to_string(maxBytes) + " bytes";
      return false;
    }
    if (!WriteAll(fd, data, size)) {
      failure = "cannot write " + temporary + ": " + std::strerror(errno);
      return false;
    }
    received += int64_t(size);
    delegate->download_didReceiveDataOfLength(this, uint32_t(size));
    return !cancelled;
  }

  void Complete(CURLcode result) override {
    if (result == CURLE_OK && failure.empty() && !responded) Respond();  // an empty file
    if (failure.empty() && result != CURLE_OK) failure = ErrorText(result, errorText);
    if (failure.empty()) Install();
    if (!failure.empty()) {
      Discard();
      delegate->download_didFailWithError(this, NetError{failure, EffectiveURL(easy, url)});
      return;
    }
    delegate->downloadDidFinish(this);
  }

  void Discard() override {
    if (fd >= 0) close(fd);
    fd = -1;
    if (!temporary.empty()) unlink(temporary.c_str());
    temporary.clear();
  }

private:
  static size_t Header(char* data, size_t, size_t size, void* self) {
    DownloadRequest* request = static_cast<DownloadRequest*>(self);
    const std::string line(data, size);
    if (line.compare(0, 5, "HTTP/") == 0) request->suggested.clear();  // a new response (after a redirect)
    std::string name;
    if (DispositionName(line, &name)) request->suggested = name;
    return size;
  }

  // The response has come: choose the destination, open the file the data
  // goes to, and say how long it will be.
  bool Respond() {
    responded = true;
    const std::string effective = EffectiveURL(easy, url);
    delegate->download_decideDestinationWithSuggestedFilename(this, suggested.empty() ? LastPathSegment(effective)
                                                                                      : suggested);
    if (cancelled || !failure.empty()) return false;
    if (destination.empty()) {
      failure = "no destination was chosen";
      return false;
    }
    curl_off_t length = -1;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (length > maxBytes) {
      failure = "the file is " + std::to_string(length) + " bytes, at most " + std::to_string(maxBytes);
      return false;
    }
    if (!OpenTemporary()) return false;
    delegate->download_didReceiveResponse(this, length >= 0 ? int64_t(length) : -1);
    return !cancelled;
  }

  // A hidden file beside the destination, so that the rename is atomic.
  bool OpenTemporary() {
    const size_t slash = destination.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : destination.substr(0, slash);
    if (!folder.empty() && !MakeFolders(folder)) {
      failure = "cannot create the folder " + folder + ": " + std::strerror(errno);
      return false;
    }
    std::string name = folder + "/.corvan3d-download-XXXXXX";
    fd = mkostemp(&name[0], O_CLOEXEC);
    if (fd < 0) {
      failure = "cannot create a file in " + folder + ": " + std::strerror(errno);
      return false;
    }
    temporary = name;
    // Made private; the installed file gets the mode any new file would.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    return true;
  }

  // Checks the arrived file, then puts it in place of the destination.
  void Install() {
    if (fsync(fd) != 0 || close(fd) != 0) {
      fd = -1;
      failure = "cannot write " + temporary + ": " + std::strerror(errno);
      return;
    }
    fd = -1;
    std::string why;
    if (check && !check(temporary, &why)) {
      failure = why;
      return;
    }
    struct stat info;
    if (!overwrite && stat(destination.c_str(), &info) == 0) {
      failure = destination + " exists";
      return;
    }
    if (rename(temporary.c_str(), destination.c_str()) != 0) {
      failure = "cannot place " + destination + ": " + std::strerror(errno);
      return;
    }
    temporary.clear();
  }

  int64_t maxBytes;
  DownloadCheck check;
  DownloadDelegate* delegate;
  std::string suggested;
  std::string destination;
  bool overwrite = false;
  bool responded = false;
  int64_t received = 0;
  std::string temporary;
  int fd = -1;
};

}  // namespace

// ---- the network --------------------------------------------------------------------

CurlNetwork::CurlNetwork(NetTimeouts timeouts) : timeouts(timeouts) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  multi = curl_multi_init();
}

CurlNetwork::~CurlNetwork() {
  while (!requests.empty()) remove(requests.front().get());
  curl_multi_cleanup(static_cast<CURLM*>(multi));
}

NetRequest* CurlNetwork::readText(const std::string& url, size_t maxBytes, TextHandler done) {
  auto request = std::make_unique<TextRequest>(this, url, maxBytes, std::move(done));
  curl_easy_setopt(request->easy, CURLOPT_TIMEOUT, timeouts.textSeconds);
  TextRequest* handle = request.get();
  curl_multi_add_handle(static_cast<CURLM*>(multi), handle->easy);
  requests.push_back(std::move(request));
  return handle;
}

URLDownload* CurlNetwork::startDownload(const std::string& url, int64_t maxBytes, DownloadCheck check,
                                        DownloadDelegate* delegate) {
  auto request = std::make_unique<DownloadRequest>(this, url, maxBytes, std::move(check), delegate);
  // A server that sends nothing for a while has stalled.
  curl_easy_setopt(request->easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(request->easy, CURLOPT_LOW_SPEED_TIME, timeouts.stallSeconds);
  curl_easy_setopt(request->easy, CURLOPT_TIMEOUT, timeouts.downloadSeconds);
  DownloadRequest* handle = request.get();
  curl_multi_add_handle(static_cast<CURLM*>(multi), handle->easy);
  requests.push_back(std::move(request));
  return handle;
}

void CurlNetwork::remove(Request* request) {
  curl_multi_remove_handle(static_cast<CURLM*>(multi), request->easy);
  request->Discard();
  requests.remove_if([request](const std::unique_ptr<Request>& r) { return r.get() == request; });
}

void CurlNetwork::finish(Request* request, int result) {
  curl_multi_remove_handle(static_cast<CURLM*>(multi), request->easy);
  request->cancelled = true;  // no more events after the last one
  request->Complete(static_cast<CURLcode>(result));
  requests.remove_if([request](const std::unique_ptr<Request>& r) { return r.get() == request; });
}

void CurlNetwork::poll() {
  CURLM* m = static_cast<CURLM*>(multi);
  int running = 0;
  performing = true;
  curl_multi_perform(m, &running);
  performing = false;
  // Those cancelled from inside a callback go now, without an event.
  for (auto it = requests.begin(); it != requests.end();) {
    Request* request = it->get();
    ++it;
    if (request->cancelled) remove(request);
  }
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(m, &left)) {
    if (message->msg != CURLMSG_DONE) continue;
    Request* request = nullptr;
    curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &request);
    finish(request, message->data.result);  // may start or cancel other transfers
  }
}

void CurlNetwork::wait(int milliseconds) {
  curl_multi_poll(static_cast<CURLM*>(multi), nullptr, 0, milliseconds, nullptr);
  poll();
}

bool CurlNetwork::resolveURL(const std::string& base, const std::string& reference, std::string* url,
                             std::string* why) {
  CURLU* u = curl_url();
  CURLUcode code = base.empty() ? CURLUE_OK : curl_url_set(u, CURLUPART_URL, base.c_str(), 0);
  if (code == CURLUE_OK) code = curl_url_set(u, CURLUPART_URL, reference.c_str(), CURLU_URLENCODE);
  char* scheme = nullptr;
  char* full = nullptr;
  if (code == CURLUE_OK) code = curl_url_get(u, CURLUPART_SCHEME, &scheme, 0);
  if (code == CURLUE_OK) code = curl_url_get(u, CURLUPART_URL, &full, 0);
  bool ok = code == CURLUE_OK;
  if (!ok) {
    *why = std::string("bad address: ") + curl_url_strerror(code);
  } else if (std::strcmp(scheme, "http") != 0 && std::strcmp(scheme, "https") != 0) {
    *why = std::string("only http and https addresses are fetched, not ") + scheme;
    ok = false;
  } else {
    *url = full;
  }
  curl_free(scheme);
  curl_free(full);
  curl_url_cleanup(u);
  return ok;
}

bool CurlNetwork::parseArray(const std::string& text, std::vector<PropertyListItem>* items, std::string* why) {
  return ParsePropertyListArray(text, items, why);
}
