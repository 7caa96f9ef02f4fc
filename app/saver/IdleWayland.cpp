// The idle watch on Wayland compositors that offer an idle protocol:
// ext_idle_notifier_v1 (KDE Plasma 5.27+, sway 1.8+, Hyprland), else KDE's
// older org_kde_kwin_idle (sway 1.7). Both tell the time without input on a
// seat and the first input after it, and respect the compositor's own idle
// inhibitors (a video player's).
#include <glib-unix.h>
#include <glib.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "IdleBackends.h"
#include "ext-idle-notify-v1-client-protocol.h"
#include "kde-idle-client-protocol.h"

namespace {

class WaylandIdle : public IdleWatch {
public:
  explicit WaylandIdle(wl_display* display) : display(display) {}
  ~WaylandIdle() override;

  bool Connect(std::string* looked);
  std::string Name() const override;
  bool Watch(unsigned seconds, IdleListener* listener, std::string* why) override;

private:
  static void Global(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t);
  static void GlobalRemove(void*, wl_registry*, uint32_t) {}
  static void Idled(void* data, ext_idle_notification_v1*) {
    static_cast<WaylandIdle*>(data)->listener->UserIdle();
  }
  static void Resumed(void* data, ext_idle_notification_v1*) {
    static_cast<WaylandIdle*>(data)->listener->UserActive();
  }
  static void KdeIdle(void* data, org_kde_kwin_idle_timeout*) {
    static_cast<WaylandIdle*>(data)->listener->UserIdle();
  }
  static void KdeResumed(void* data, org_kde_kwin_idle_timeout*) {
    static_cast<WaylandIdle*>(data)->listener->UserActive();
  }
  static gboolean Readable(gint fd, GIOCondition condition, gpointer data);
  void Lose(const char* what);

  wl_display* display;
  wl_registry* registry = nullptr;
  wl_seat* seat = nullptr;
  ext_idle_notifier_v1* notifier = nullptr;
  org_kde_kwin_idle* kdeIdle = nullptr;
  ext_idle_notification_v1* notification = nullptr;
  org_kde_kwin_idle_timeout* kdeTimeout = nullptr;
  IdleListener* listener = nullptr;
  guint source = 0;
};

std::string DisplayName() {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  return name != nullptr && *name != '\0' ? name : "wayland-0";
}

WaylandIdle::~WaylandIdle() {
  if (source != 0) g_source_remove(source);
  if (notification != nullptr) ext_idle_notification_v1_destroy(notification);
  if (kdeTimeout != nullptr) org_kde_kwin_idle_timeout_release(kdeTimeout);
  if (notifier != nullptr) ext_idle_notifier_v1_destroy(notifier);
  if (kdeIdle != nullptr) org_kde_kwin_idle_destroy(kdeIdle);
  if (seat != nullptr) wl_seat_destroy(seat);
  if (registry != nullptr) wl_registry_destroy(registry);
  wl_display_flush(display);
  wl_display_disconnect(display);
}

void WaylandIdle::Global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                         uint32_t) {
  auto* self = static_cast<WaylandIdle*>(data);
  auto bind = [&](const wl_interface* wanted) {
    return wl_registry_bind(registry, name, wanted, 1);
  };
  if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0 && self->notifier == nullptr)
    self->notifier = static_cast<ext_idle_notifier_v1*>(bind(&ext_idle_notifier_v1_interface));
  if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0 && self->kdeIdle == nullptr)
    self->kdeIdle = static_cast<org_kde_kwin_idle*>(bind(&org_kde_kwin_idle_interface));
  if (std::strcmp(interface, wl_seat_interface.name) == 0 && self->seat == nullptr)
    self->seat = static_cast<wl_seat*>(bind(&wl_seat_interface));  // the first seat: the user's
}

bool WaylandIdle::Connect(std::string* looked) {
  static const wl_registry_listener events = {Global, GlobalRemove};
  registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &events, this);
  if (wl_display_roundtrip(display) < 0) {
    *looked += "Wayland display " + DisplayName() + " failed: " + std::strerror(errno) + "; ";
    return false;
  }
  if (notifier == nullptr && kdeIdle == nullptr) {
    *looked += "Wayland display " + DisplayName() +
               " offers neither ext_idle_notifier_v1 nor org_kde_kwin_idle; ";
    return false;
  }
  if (seat == nullptr) {
    *looked += "Wayland display " + DisplayName() + " has no seat; ";
    return false;
  }
  return true;
}

std::string WaylandIdle::Name() const {
  return std::string("Wayland ") +
         (notifier != nullptr ? "ext_idle_notifier_v1" : "org_kde_kwin_idle") + " on " +
         DisplayName();
}

bool WaylandIdle::Watch(unsigned seconds, IdleListener* watcher, std::string* why) {
  listener = watcher;
  const uint32_t ms = seconds * 1000u;
  if (notifier != nullptr) {
    static const ext_idle_notification_v1_listener events = {Idled, Resumed};
    notification = ext_idle_notifier_v1_get_idle_notification(notifier, ms, seat);
    ext_idle_notification_v1_add_listener(notification, &events, this);
  } else {
    static const org_kde_kwin_idle_timeout_listener events = {KdeIdle, KdeResumed};
    kdeTimeout = org_kde_kwin_idle_get_idle_timeout(kdeIdle, seat, ms);
    org_kde_kwin_idle_timeout_add_listener(kdeTimeout, &events, this);
  }
  if (wl_display_flush(display) < 0) {
    *why =
        "cannot ask Wayland display " + DisplayName() + " for idle times: " + std::strerror(errno);
    return false;
  }
  const GIOCondition wanted = GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR);
  source = g_unix_fd_add(wl_display_get_fd(display), wanted, Readable, this);
  return true;
}

gboolean WaylandIdle::Readable(gint, GIOCondition condition, gpointer data) {
  auto* self = static_cast<WaylandIdle*>(data);
  if ((condition & G_IO_IN) == 0) {
    self->Lose("hung up");
    return G_SOURCE_REMOVE;
  }
  if (wl_display_dispatch(self->display) < 0) {
    self->Lose(std::strerror(errno));
    return G_SOURCE_REMOVE;
  }
  wl_display_flush(self->display);
  return G_SOURCE_CONTINUE;
}

void WaylandIdle::Lose(const char* what) {
  source = 0;  // the caller removes it
  listener->WatchLost("lost Wayland display " + DisplayName() + " (" + what + ")");
}

}  // namespace

std::unique_ptr<IdleWatch> OpenWaylandIdle(std::string* looked) {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || *name == '\0') {
    *looked += "no Wayland display (WAYLAND_DISPLAY is not set); ";
    return nullptr;
  }
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    *looked +=
        "cannot connect to Wayland display " + DisplayName() + ": " + std::strerror(errno) + "; ";
    return nullptr;
  }
  auto watch = std::make_unique<WaylandIdle>(display);
  if (!watch->Connect(looked)) return nullptr;
  return watch;
}
