#include "CurlNetwork.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <glib-unix.h>
#include <glib.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "PropertyList.h"

namespace {

const char kProtocols[] = "http,https";
constexpr long kMaxRedirects = 5;

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  const size_t length = std::strlen(prefix);
  return text.size() >= length && strncasecmp(text.c_str(), prefix, length) == 0;
}

std::string EffectiveURL(CURL* easy, const std::string& fallback) {
  char* url = nullptr;
  return curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url != nullptr
             ? url
             : fallback;
}

long InfoLong(CURL* easy, CURLINFO what) {
  long value = 0;
  curl_easy_getinfo(easy, what, &value);
  return value;
}

// The last segment of an address's path, decoded.
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

bool MakeFolders(const std::string& folder) {
  struct stat info;
  if (stat(folder.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return true;
    errno = ENOTDIR;
    return false;
  }
  const size_t slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash)))
    return false;
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

double Seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

bool RedirectDowngrades(const std::string& from, const std::string& location) {
  return StartsWithNoCase(from, "https:") && StartsWithNoCase(location, "http:");
}

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
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, net->options.connectSeconds);
    if (!net->options.caFile.empty())
      curl_easy_setopt(easy, CURLOPT_CAINFO, net->options.caFile.c_str());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "corvan3d");
    curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Request::Write);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Request::Header);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Request::Connected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);
  }
  virtual ~Request() { curl_easy_cleanup(easy); }

  // Takes a chunk of the body; false aborts the transfer.
  virtual bool Receive(const char* data, size_t size) = 0;
  // The transfer ended (CURLE_OK or why not). True once the last event has
  // been delivered; false while work goes on off the main loop.
  virtual bool Complete(CURLcode result) = 0;
  // Whether that work has ended and delivered its event.
  virtual bool Settle() { return false; }
  // The transfer is dropped without an event; leave nothing behind.
  virtual void Discard() {}

  void Cancel() {
    if (cancelled) return;
    cancelled = true;
    // Inside curl's callbacks the handle must stay; Act drops it afterwards.
    if (!net->acting) net->Remove(this);
  }

  // Why the transfer failed, once, in our words.
  std::string Reason(CURLcode result) const {
    if (!failure.empty()) return failure;
    switch (result) {
      case CURLE_HTTP_RETURNED_ERROR:
        return "HTTP " + std::to_string(InfoLong(easy, CURLINFO_RESPONSE_CODE));
      case CURLE_OPERATION_TIMEDOUT:
        if (!connected)
          return "could not connect in " + std::to_string(net->options.connectSeconds) + " s";
        return TimedOut();
      case CURLE_COULDNT_CONNECT: {
        const int error = int(InfoLong(easy, CURLINFO_OS_ERRNO));
        return error != 0 ? std::string("could not connect: ") + std::strerror(error)
                          : "could not connect";
      }
      case CURLE_COULDNT_RESOLVE_HOST:
        return "the server's name could not be found";
      case CURLE_TOO_MANY_REDIRECTS:
        return "more than " + std::to_string(kMaxRedirects) + " redirects";
      case CURLE_UNSUPPORTED_PROTOCOL:
        return "only http and https addresses are fetched";
      case CURLE_GOT_NOTHING:
        return "the server closed the connection without answering";
      case CURLE_PARTIAL_FILE:
        return CutShort();
      case CURLE_PEER_FAILED_VERIFICATION:
        return "the server's certificate is not trusted";
      case CURLE_SSL_CONNECT_ERROR:
        return "no secure connection could be made";
      case CURLE_RECV_ERROR:
      case CURLE_SEND_ERROR:
        return "the connection broke";
      default:
        return errorText[0] != '\0' ? errorText : curl_easy_strerror(result);
    }
  }

  CurlNetwork* net;
  std::string url;
  CURL* easy;
  char errorText[CURL_ERROR_SIZE];
  std::string failure;  // our own reason for ending the transfer
  bool cancelled = false;
  bool connected = false;  // to some server, on the way
  int64_t received = 0;

protected:
  virtual std::string TimedOut() const = 0;
  const NetOptions& Options() const { return net->options; }
  void WakeNetwork() { net->Wake(); }

  std::string CutShort() const {
    curl_off_t length = -1;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (length < 0)
      return "the server closed the connection after " + std::to_string(received) + " bytes";
    return "the server closed the connection after " + std::to_string(received) + " of " +
           std::to_string(length) + " bytes";
  }

private:
  static size_t Write(char* data, size_t, size_t size, void* self) {
    Request* request = static_cast<Request*>(self);
    if (request->cancelled || !request->failure.empty()) return 0;
    return request->Receive(data, size) ? size : 0;
  }

  static int Connected(void* self, char*, char*, int, int) {
    static_cast<Request*>(self)->connected = true;
    return CURL_PREREQFUNC_OK;
  }

  // Watches the redirects curl follows: never from https down to http.
  static size_t Header(char* data, size_t, size_t size, void* self) {
    Request* request = static_cast<Request*>(self);
    std::string line(data, size);
    if (!StartsWithNoCase(line, "location:")) return size;
    line = line.substr(9);
    line.erase(0, line.find_first_not_of(" \t"));
    line.erase(line.find_last_not_of(" \t\r\n") + 1);
    if (!RedirectDowngrades(EffectiveURL(request->easy, request->url), line)) return size;
    request->failure = "a redirect from https to http is refused (" + line + ")";
    return 0;
  }
};

namespace {

class TextRequest : public CurlNetwork::Request, public NetRequest {
public:
  TextRequest(CurlNetwork* net, const std::string& url, size_t maxBytes, Network::TextHandler done,
              long seconds)
      : Request(net, url), maxBytes(maxBytes), done(std::move(done)), seconds(seconds) {
    curl_easy_setopt(easy, CURLOPT_TIMEOUT, seconds);
  }

  void cancel() override { Cancel(); }

  bool Receive(const char* data, size_t size) override {
    if (text.size() + size > maxBytes) {
      failure = "the text is larger than " + std::to_string(maxBytes) + " bytes";
      return false;
    }
    text.append(data, size);
    received += int64_t(size);
    return true;
  }

  bool Complete(CURLcode result) override {
    TextReply reply;
    reply.address = EffectiveURL(easy, url);
    reply.ok = result == CURLE_OK && failure.empty();
    if (reply.ok)
      reply.text = std::move(text);
    else
      reply.error = Reason(result);
    done(reply);
    return true;
  }

private:
  std::string TimedOut() const override {
    if (received == 0) return "no answer in " + std::to_string(seconds) + " s";
    return "only " + std::to_string(received) + " bytes arrived in " + std::to_string(seconds) +
           " s";
  }

  size_t maxBytes;
  Network::TextHandler done;
  long seconds;
  std::string text;
};

class DownloadRequest : public CurlNetwork::Request, public URLDownload {
public:
  DownloadRequest(CurlNetwork* net, const std::string& url, int64_t maxBytes, DownloadCheck check,
                  DownloadDelegate* delegate)
      : Request(net, url), maxBytes(maxBytes), check(std::move(check)), delegate(delegate) {
    const NetOptions& options = Options();
    // A server that sends nothing for a while has stalled.
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, options.stallSeconds);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT, options.downloadSeconds);
    started = Seconds();
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

  bool Complete(CURLcode result) override {
    if (result == CURLE_OK && failure.empty() && !responded) Respond();  // an empty file
    // Closed before the first byte: a length past the limit is still the reason.
    if (failure.empty() && !responded) failure = TooLarge();
    if (failure.empty() && result != CURLE_OK) failure = Reason(result);
    if (!failure.empty()) return Fail();
    // The file is synced and checked on a worker, which may take seconds.
    worker = std::thread([this] {
      Verify();
      verified.store(true);
      WakeNetwork();
    });
    return false;
  }

  bool Settle() override {
    if (!verified.load()) return false;
    worker.join();
    if (failure.empty()) Install();
    if (!failure.empty()) return Fail();
    delegate->downloadDidFinish(this);
    return true;
  }

  void Discard() override {
    stop.store(true);
    if (worker.joinable()) worker.join();
    if (fd >= 0) close(fd);
    fd = -1;
    if (!temporary.empty()) unlink(temporary.c_str());
    temporary.clear();
  }

private:
  std::string TimedOut() const override {
    if (Seconds() - started < double(Options().downloadSeconds) - 1.0)
      return "no data for " + std::to_string(Options().stallSeconds) + " s";
    return "not complete after " + std::to_string(Options().downloadSeconds) + " s";
  }

  bool Fail() {
    Discard();
    delegate->download_didFailWithError(this, NetError{failure, EffectiveURL(easy, url)});
    return true;
  }

  // The response has come: choose the destination, open the file the data
  // goes to, and say how long it will be.
  bool Respond() {
    responded = true;
    delegate->download_decideDestinationWithSuggestedFilename(this, LastPathSegment(url));
    if (cancelled || !failure.empty()) return false;
    if (destination.empty()) {
      failure = "no destination was chosen";
      return false;
    }
    failure = TooLarge();
    if (!failure.empty() || !OpenTemporary()) return false;
    curl_off_t length = -1;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    delegate->download_didReceiveResponse(this, length >= 0 ? int64_t(length) : -1);
    return !cancelled;
  }

  // Why the length the server states is refused, or nothing.
  std::string TooLarge() const {
    curl_off_t length = -1;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (length <= maxBytes) return "";
    return "the file is " + std::to_string(length) + " bytes, at most " + std::to_string(maxBytes);
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

  // On the worker: the file on disk, then its check.
  void Verify() {
    const bool synced = fsync(fd) == 0;
    const int error = errno;
    const bool closed = close(fd) == 0;
    fd = -1;
    if (!synced || !closed) {
      failure = "cannot write " + temporary + ": " + std::strerror(synced ? errno : error);
      return;
    }
    std::string why;
    if (check && !check(temporary, destination, stop, &why)) failure = why;
  }

  // Back on the main loop: puts the checked file in place of the destination.
  void Install() {
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
  std::string destination;
  bool overwrite = false;
  bool responded = false;
  double started;
  std::string temporary;
  int fd = -1;
  std::thread worker;
  std::atomic<bool> stop{false};      // the worker should give up
  std::atomic<bool> verified{false};  // the worker has ended
};

}  // namespace

// ---- the main loop --------------------------------------------------------------------

struct CurlNetwork::Callbacks {
  static int Socket(CURL*, curl_socket_t socket, int what, void* self, void*) {
    CurlNetwork* net = static_cast<CurlNetwork*>(self);
    auto watch = net->watches.find(socket);
    if (watch != net->watches.end()) {
      g_source_remove(watch->second);
      net->watches.erase(watch);
    }
    if (what == CURL_POLL_REMOVE) return 0;
    const int condition =
        (what & CURL_POLL_IN ? G_IO_IN : 0) | (what & CURL_POLL_OUT ? G_IO_OUT : 0);
    net->watches[socket] = g_unix_fd_add(socket, GIOCondition(condition), &Callbacks::Ready, net);
    return 0;
  }

  static int Timer(CURLM*, long milliseconds, void* self) {
    CurlNetwork* net = static_cast<CurlNetwork*>(self);
    if (net->timer != 0) g_source_remove(net->timer);
    net->timer =
        milliseconds < 0 ? 0 : g_timeout_add(guint(milliseconds), &Callbacks::Timeout, net);
    return 0;
  }

  static gboolean Ready(gint fd, GIOCondition condition, gpointer self) {
    const int events = (condition & G_IO_IN ? CURL_CSELECT_IN : 0) |
                       (condition & G_IO_OUT ? CURL_CSELECT_OUT : 0) |
                       (condition & (G_IO_ERR | G_IO_HUP) ? CURL_CSELECT_ERR : 0);
    static_cast<CurlNetwork*>(self)->Act(fd, events);
    return G_SOURCE_CONTINUE;
  }

  static gboolean Timeout(gpointer self) {
    CurlNetwork* net = static_cast<CurlNetwork*>(self);
    net->timer = 0;
    net->Act(CURL_SOCKET_TIMEOUT, 0);
    return G_SOURCE_REMOVE;
  }

  static gboolean Woken(gint fd, GIOCondition, gpointer self) {
    char drain[64];
    while (read(fd, drain, sizeof drain) > 0) {
    }
    CurlNetwork* net = static_cast<CurlNetwork*>(self);
    // Delivering an event may start or cancel other transfers.
    std::vector<Request*> all;
    for (const auto& request : net->requests) all.push_back(request.get());
    for (Request* request : all)
      if (net->Holds(request) && request->Settle() && net->Holds(request)) net->Remove(request);
    return G_SOURCE_CONTINUE;
  }
};

CurlNetwork::CurlNetwork(NetOptions options) : options(std::move(options)) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  multi = curl_multi_init();
  CURLM* m = static_cast<CURLM*>(multi);
  curl_multi_setopt(m, CURLMOPT_SOCKETFUNCTION, &Callbacks::Socket);
  curl_multi_setopt(m, CURLMOPT_SOCKETDATA, this);
  curl_multi_setopt(m, CURLMOPT_TIMERFUNCTION, &Callbacks::Timer);
  curl_multi_setopt(m, CURLMOPT_TIMERDATA, this);
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
    wakeRead = ends[0];
    wakeWrite = ends[1];
    wakeWatch = g_unix_fd_add(wakeRead, G_IO_IN, &Callbacks::Woken, this);
  }
}

CurlNetwork::~CurlNetwork() {
  while (!requests.empty()) Remove(requests.front().get());
  curl_multi_cleanup(static_cast<CURLM*>(multi));
  for (const auto& [socket, source] : watches) g_source_remove(source);
  if (timer != 0) g_source_remove(timer);
  if (wakeWatch != 0) g_source_remove(wakeWatch);
  for (int fd : {wakeRead, wakeWrite})
    if (fd >= 0) close(fd);
}

void CurlNetwork::Add(std::unique_ptr<Request> request) {
  CURL* easy = request->easy;
  requests.push_back(std::move(request));
  curl_multi_add_handle(static_cast<CURLM*>(multi), easy);  // sets curl's timer to start it
}

NetRequest* CurlNetwork::readText(const std::string& url, size_t maxBytes, TextHandler done) {
  auto request =
      std::make_unique<TextRequest>(this, url, maxBytes, std::move(done), options.textSeconds);
  TextRequest* handle = request.get();
  Add(std::move(request));
  return handle;
}

URLDownload* CurlNetwork::startDownload(const std::string& url, int64_t maxBytes,
                                        DownloadCheck check, DownloadDelegate* delegate) {
  auto request = std::make_unique<DownloadRequest>(this, url, maxBytes, std::move(check), delegate);
  DownloadRequest* handle = request.get();
  Add(std::move(request));
  return handle;
}

bool CurlNetwork::Holds(const Request* request) const {
  return std::any_of(requests.begin(), requests.end(),
                     [request](const std::unique_ptr<Request>& r) { return r.get() == request; });
}

void CurlNetwork::Remove(Request* request) {
  curl_multi_remove_handle(static_cast<CURLM*>(multi), request->easy);
  request->Discard();
  requests.remove_if([request](const std::unique_ptr<Request>& r) { return r.get() == request; });
}

void CurlNetwork::Finish(Request* request, int result) {
  curl_multi_remove_handle(static_cast<CURLM*>(multi), request->easy);
  if (request->Complete(static_cast<CURLcode>(result)) && Holds(request)) Remove(request);
}

void CurlNetwork::Act(int socket, int events) {
  CURLM* m = static_cast<CURLM*>(multi);
  int running = 0;
  acting = true;
  curl_multi_socket_action(m, socket, events, &running);
  acting = false;
  // Those cancelled from inside a callback go now, without an event.
  std::vector<Request*> cancelled;
  for (const auto& request : requests)
    if (request->cancelled) cancelled.push_back(request.get());
  // What ended is gathered first: delivering an event may start or cancel other transfers.
  std::vector<std::pair<Request*, CURLcode>> ended;
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(m, &left)) {
    if (message->msg != CURLMSG_DONE) continue;
    Request* request = nullptr;
    curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &request);
    ended.emplace_back(request, message->data.result);
  }
  for (Request* request : cancelled) Remove(request);
  for (const auto& [request, result] : ended)
    if (Holds(request) && !request->cancelled) Finish(request, result);
}

void CurlNetwork::Wake() {
  const char byte = 1;
  if (wakeWrite >= 0 && write(wakeWrite, &byte, 1) < 0) {
    // The pipe is full: a wake-up is already pending.
  }
}

bool CurlNetwork::resolveURL(const std::string& base, const std::string& reference,
                             std::string* url, std::string* why) {
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

bool CurlNetwork::parseArray(const std::string& text, std::vector<PropertyListItem>* items,
                             std::string* why) {
  return ParsePropertyListArray(text, items, why);
}
