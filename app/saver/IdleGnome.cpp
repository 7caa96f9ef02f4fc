// The idle watch on GNOME (Wayland or X11): Mutter offers no Wayland idle
// protocol, but its idle monitor on the session bus fires a watch after a
// time without input (AddIdleWatch, which lasts) and one at the next input
// (AddUserActiveWatch, which fires once, so it is added each idle time).
#include <cstdint>

#include "IdleBackends.h"
#include "IdleDbus.h"

namespace {

constexpr const char* kService = "org.gnome.Mutter.IdleMonitor";
constexpr const char* kPath = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr const char* kInterface = "org.gnome.Mutter.IdleMonitor";
constexpr int kCallMs = 5000;

class MutterIdle : public IdleWatch {
public:
  explicit MutterIdle(Bus bus) : bus(std::move(bus)) {}
  ~MutterIdle() override;

  std::string Name() const override { return "GNOME's org.gnome.Mutter.IdleMonitor"; }
  bool Watch(unsigned seconds, IdleListener* listener, std::string* why) override;

private:
  static void Fired(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                    GVariant* parameters, gpointer data);
  static void Vanished(GDBusConnection*, const gchar*, gpointer data);
  static void Closed(GDBusConnection*, gboolean, GError*, gpointer data);
  void Fired(guint32 id);
  guint32 AddWatch(const char* method, GVariant* args, std::string* why);
  void Lose(const std::string& why);

  Bus bus;
  IdleListener* listener = nullptr;
  uint64_t idleMs = 0;
  guint32 idleWatch = 0;
  guint32 activeWatch = 0;
  guint subscription = 0;
  guint nameWatch = 0;
  gulong closedHandler = 0;
  bool lost = false;
};

MutterIdle::~MutterIdle() {
  for (guint32 id : {idleWatch, activeWatch}) {
    if (id == 0 || lost) continue;
    g_dbus_connection_call(bus.get(), kService, kPath, kInterface, "RemoveWatch",
                           g_variant_new("(u)", id), nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, -1,
                           nullptr, nullptr, nullptr);
  }
  if (nameWatch != 0) g_bus_unwatch_name(nameWatch);
  if (subscription != 0) g_dbus_connection_signal_unsubscribe(bus.get(), subscription);
  if (closedHandler != 0) g_signal_handler_disconnect(bus.get(), closedHandler);
}

guint32 MutterIdle::AddWatch(const char* method, GVariant* args, std::string* why) {
  Variant reply =
      CallDbus(bus.get(), kService, kPath, kInterface, method, args, "(u)", kCallMs, why);
  guint32 id = 0;
  if (reply != nullptr) g_variant_get(reply.get(), "(u)", &id);
  return id;
}

bool MutterIdle::Watch(unsigned seconds, IdleListener* watcher, std::string* why) {
  listener = watcher;
  idleMs = uint64_t(seconds) * 1000u;
  subscription =
      g_dbus_connection_signal_subscribe(bus.get(), kService, kInterface, "WatchFired", kPath,
                                         nullptr, G_DBUS_SIGNAL_FLAGS_NONE, Fired, this, nullptr);
  idleWatch = AddWatch("AddIdleWatch", g_variant_new("(t)", idleMs), why);
  if (idleWatch == 0) return false;
  nameWatch = g_bus_watch_name_on_connection(bus.get(), kService, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                             nullptr, Vanished, this, nullptr);
  closedHandler = g_signal_connect(bus.get(), "closed", G_CALLBACK(Closed), this);
  return true;
}

void MutterIdle::Fired(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                       GVariant* parameters, gpointer data) {
  guint32 id = 0;
  g_variant_get(parameters, "(u)", &id);
  static_cast<MutterIdle*>(data)->Fired(id);
}

void MutterIdle::Fired(guint32 id) {
  if (lost || id == 0) return;
  if (id == activeWatch) {
    activeWatch = 0;
    listener->UserActive();
    return;
  }
  if (id != idleWatch) return;
  std::string why;
  activeWatch = AddWatch("AddUserActiveWatch", nullptr, &why);
  if (activeWatch == 0) {
    Lose("cannot watch for the user's return: " + why);
    return;
  }
  listener->UserIdle();
}

void MutterIdle::Vanished(GDBusConnection*, const gchar*, gpointer data) {
  static_cast<MutterIdle*>(data)->Lose("org.gnome.Mutter.IdleMonitor left the session bus");
}

void MutterIdle::Closed(GDBusConnection*, gboolean, GError*, gpointer data) {
  static_cast<MutterIdle*>(data)->Lose("the session bus closed");
}

void MutterIdle::Lose(const std::string& why) {
  if (lost) return;
  lost = true;
  listener->WatchLost(why);
}

}  // namespace

std::unique_ptr<IdleWatch> OpenMutterIdle(std::string* looked) {
  std::string why;
  Bus bus = OpenBus(G_BUS_TYPE_SESSION, &why);
  if (bus == nullptr) {
    *looked += "no session bus (" + why + "); ";
    return nullptr;
  }
  Variant owned =
      CallDbus(bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
               "NameHasOwner", g_variant_new("(s)", kService), "(b)", kCallMs, &why);
  gboolean has = FALSE;
  if (owned != nullptr) g_variant_get(owned.get(), "(b)", &has);
  if (!has) {
    *looked += std::string("no ") + kService + " on the session bus; ";
    return nullptr;
  }
  return std::make_unique<MutterIdle>(std::move(bus));
}
