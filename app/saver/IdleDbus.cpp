// D-Bus helpers of the idle watcher, and the desktop's holds on the saver:
// logind's inhibitors of "idle" (systemd-inhibit --what=idle, and what
// desktops register through it) and GNOME's session manager, through which
// GNOME applications (a video player) inhibit idle.
#include "IdleDbus.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "IdleBackends.h"

namespace {

constexpr int kAskMs = 1000;  // a hold not told within this is no hold
constexpr guint32 kGnomeInhibitIdle = 8;

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
using Error = std::unique_ptr<GError, ErrorFree>;

// A property through org.freedesktop.DBus.Properties.Get: the value, or null.
Variant Property(GDBusConnection* bus, const char* service, const char* path, const char* interface,
                 const char* name) {
  std::string ignored;
  Variant reply = CallDbus(bus, service, path, "org.freedesktop.DBus.Properties", "Get",
                           g_variant_new("(ss)", interface, name), "(v)", kAskMs, &ignored);
  if (reply == nullptr) return nullptr;
  GVariant* value = nullptr;
  g_variant_get(reply.get(), "(v)", &value);
  return Variant(value);
}

// "handle-power-key:idle:sleep" holds "idle".
bool NamesIdle(const char* what) {
  std::istringstream words(what);
  std::string word;
  while (std::getline(words, word, ':'))
    if (word == "idle") return true;
  return false;
}

class DesktopInhibitors : public IdleInhibitors {
public:
  DesktopInhibitors(Bus system, Bus session)
      : system(std::move(system)), session(std::move(session)) {}

  bool Inhibited(std::string* who) override {
    if (system != nullptr && LogindHolds()) {
      *who = "a logind inhibitor of \"idle\" (systemd-inhibit --list names it)";
      return true;
    }
    if (session != nullptr && GnomeHolds()) {
      *who = "an application inhibiting idle through GNOME's session manager";
      return true;
    }
    return false;
  }

private:
  bool LogindHolds() {
    Variant value = Property(system.get(), "org.freedesktop.login1", "/org/freedesktop/login1",
                             "org.freedesktop.login1.Manager", "BlockInhibited");
    return value != nullptr && g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING) &&
           NamesIdle(g_variant_get_string(value.get(), nullptr));
  }
  bool GnomeHolds() {
    Variant value = Property(session.get(), "org.gnome.SessionManager", "/org/gnome/SessionManager",
                             "org.gnome.SessionManager", "InhibitedActions");
    return value != nullptr && g_variant_is_of_type(value.get(), G_VARIANT_TYPE_UINT32) &&
           (g_variant_get_uint32(value.get()) & kGnomeInhibitIdle) != 0;
  }

  Bus system;
  Bus session;
};

}  // namespace

Variant CallDbus(GDBusConnection* bus, const char* service, const char* path, const char* interface,
                 const char* method, GVariant* args, const char* replyType, int timeoutMs,
                 std::string* why) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, service, path, interface, method, args, G_VARIANT_TYPE(replyType),
      G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs, nullptr, &error);
  if (reply == nullptr) {
    Error owned(error);
    *why = std::string(service) + " " + method + ": " + owned->message;
  }
  return Variant(reply);
}

namespace {

// A session's bus is named in its environment or is the user's bus in the
// runtime folder; without either, GLib would launch a bus of its own.
bool SessionBusNamed() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return (address != nullptr && *address != '\0') ||
         (runtime != nullptr && access((std::string(runtime) + "/bus").c_str(), F_OK) == 0);
}

}  // namespace

Bus OpenBus(GBusType type, std::string* why) {
  if (type == G_BUS_TYPE_SESSION && !SessionBusNamed()) {
    *why = "DBUS_SESSION_BUS_ADDRESS is not set";
    return nullptr;
  }
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(type, nullptr, &error);
  if (bus == nullptr) {
    Error owned(error);
    *why = owned->message;
    return nullptr;
  }
  g_dbus_connection_set_exit_on_close(bus, FALSE);  // a closed bus is reported, not a reason to die
  return Bus(bus);
}

std::unique_ptr<IdleInhibitors> OpenInhibitors(std::string* note) {
  std::string why;
  Bus system = OpenBus(G_BUS_TYPE_SYSTEM, &why);
  if (system == nullptr)
    *note = "no system bus (" + why + "): logind's idle inhibitors are not seen";
  Bus session = OpenBus(G_BUS_TYPE_SESSION, &why);
  return std::make_unique<DesktopInhibitors>(std::move(system), std::move(session));
}
