// D-Bus calls of the idle watcher (GDBus), with what they return owned.
#pragma once

#include <gio/gio.h>

#include <memory>
#include <string>

struct VariantUnref {
  void operator()(GVariant* value) const { g_variant_unref(value); }
};
using Variant = std::unique_ptr<GVariant, VariantUnref>;

struct ObjectUnref {
  void operator()(void* object) const { g_object_unref(object); }
};
using Bus = std::unique_ptr<GDBusConnection, ObjectUnref>;

// A method call: service, object path, interface and method; args may be
// null. Waits at most timeoutMs and never starts a service that is not
// running. The reply (of replyType, e.g. "(u)"), or null with *why.
Variant CallDbus(GDBusConnection* bus, const char* service, const char* path, const char* interface,
                 const char* method, GVariant* args, const char* replyType, int timeoutMs,
                 std::string* why);

// The shared connection to the session or system bus, or null with *why.
Bus OpenBus(GBusType type, std::string* why);
