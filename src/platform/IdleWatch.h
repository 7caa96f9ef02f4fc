// What the idle watcher (corvan3d --idle) needs from the desktop: a report
// when the user has left the computer alone for a while and when they are
// back, whether something (a video playing) holds the screen saver off, and
// a saver process to start and end. Each desktop has its own backend; these
// interfaces name none of their libraries.
#pragma once

#include <string>

// The events of one idle watch, delivered on the host's thread.
class IdleListener {
public:
  virtual ~IdleListener() = default;
  virtual void UserIdle() = 0;    // no input for the time asked
  virtual void UserActive() = 0;  // the first input after UserIdle
  // The watch has ended for good (the compositor or the bus went away).
  virtual void WatchLost(const std::string& why) = 0;
};

// One backend: the Wayland idle protocols, GNOME's idle monitor, X11's
// screen saver extension.
class IdleWatch {
public:
  virtual ~IdleWatch() = default;
  // Names the backend on standard error and such logs, e.g. "Wayland ext-idle-notify-v1".
  virtual std::string Name() const = 0;
  // Starts reporting to listener after seconds without input. False, with
  // why, when the watch cannot be set up.
  virtual bool Watch(unsigned seconds, IdleListener* listener, std::string* why) = 0;
};

// The desktop's holds on the screen saver (logind's "idle" inhibitor, GNOME's
// inhibited idle action). A source that cannot be asked holds nothing.
class IdleInhibitors {
public:
  virtual ~IdleInhibitors() = default;
  // True while something holds the saver off; who then says what holds it.
  virtual bool Inhibited(std::string* who) = 0;
};

// The saver the watcher starts: corvan3d --fullscreen beside it.
class SaverProcess {
public:
  virtual ~SaverProcess() = default;
  // Starts it; false, with why, when it could not be started. The host
  // reports its end to the watcher.
  virtual bool Start(std::string* why) = 0;
  virtual void Terminate() = 0;  // asks it to end (SIGTERM)
  virtual void Kill() = 0;       // ends it (SIGKILL)
};
