#include "platform/GtkToolkit.h"

#include <gtk/gtk.h>
#include <spawn.h>

#include <cstdio>
#include <map>

#include "platform/Alert.h"

extern char** environ;

struct GtkToolkit::Busy {
  explicit Busy(GtkToolkit* kit) : kit(kit) { ++kit->depth; }
  ~Busy() { --kit->depth; }
  GtkToolkit* kit;
};

namespace {

// Changes the program makes to a control must not look like the user's.
int gProgrammatic = 0;
struct Programmatic {
  Programmatic() { ++gProgrammatic; }
  ~Programmatic() { --gProgrammatic; }
};

// GTK shows only UTF-8; anything else is shown with replacement characters.
std::string Displayable(const std::string& text) {
  gchar* valid = g_utf8_make_valid(text.c_str(), gssize(text.size()));
  std::string result = valid;
  g_free(valid);
  return result;
}

template <class Interface>
class GtkControl : public Interface {
public:
  explicit GtkControl(GtkWidget* widget) : widget(widget) {}
  void setEnabled(bool enabled) override { gtk_widget_set_sensitive(widget, enabled); }
  bool isEnabled() const override { return gtk_widget_get_sensitive(widget); }

protected:
  GtkWidget* widget;
};

class GtkButtonControl : public GtkControl<Button> {
public:
  using GtkControl::GtkControl;
  void setTitle(const std::string& title) override {
    gtk_button_set_label(GTK_BUTTON(widget), Displayable(title).c_str());
    // A long folder keeps its beginning and its end in view.
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(widget));
    if (GTK_IS_LABEL(label)) gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_MIDDLE);
  }
};

class GtkCheckBox : public GtkControl<CheckBox> {
public:
  using GtkControl::GtkControl;
  void setState(int state) override {
    Programmatic scope;
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), state == 1);
  }
  int state() const override { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget)) ? 1 : 0; }
};

class GtkPopUp : public GtkControl<PopUpButton> {
public:
  using GtkControl::GtkControl;
  void removeAllItems() override {
    Programmatic scope;
    gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(widget));
  }
  void addItemWithTitle(const std::string& title) override {
    Programmatic scope;
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(widget), Displayable(title).c_str());
    if (gtk_combo_box_get_active(GTK_COMBO_BOX(widget)) < 0) gtk_combo_box_set_active(GTK_COMBO_BOX(widget), 0);
  }
  void selectItemAtIndex(int index) override {
    Programmatic scope;
    gtk_combo_box_set_active(GTK_COMBO_BOX(widget), index >= 0 && index < numberOfItems() ? index : -1);
  }
  int indexOfSelectedItem() const override { return gtk_combo_box_get_active(GTK_COMBO_BOX(widget)); }
  int numberOfItems() const override {
    return gtk_tree_model_iter_n_children(gtk_combo_box_get_model(GTK_COMBO_BOX(widget)), nullptr);
  }
};

class GtkIntegerField : public GtkControl<IntegerField> {
public:
  using GtkControl::GtkControl;
  void setIntValue(int32_t value) override {
    Programmatic scope;
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(widget), value);
  }
  int32_t intValue() const override {
    gtk_spin_button_update(GTK_SPIN_BUTTON(widget));  // take what the user typed
    return gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(widget));
  }
};

// The bar shows the percent; its "animation" is the bar starting afresh.
class GtkProgress : public GtkControl<ProgressIndicator> {
public:
  using GtkControl::GtkControl;
  void setDoubleValue(double value) override {
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(widget), value <= 0 ? 0.0 : value >= 100 ? 1.0 : value / 100);
  }
  void startAnimation() override { gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(widget), 0.0); }
  void stopAnimation() override {}
};

class GtkTextLabel : public GtkControl<TextLabel> {
public:
  using GtkControl::GtkControl;
  void setStringValue(const std::string& text) override {
    gtk_label_set_text(GTK_LABEL(widget), Displayable(text).c_str());
  }
};

class GtkSheet : public SheetWindow {
public:
  explicit GtkSheet(GtkWidget* window) : window(window) {}
  GtkWidget* window;
  std::function<void()> cancel;  // what closing it from the window manager does
};

struct Action {
  GtkToolkit* kit;
  std::function<void()> run;
};

void RunAction(GObject*, gpointer data) {
  if (gProgrammatic > 0) return;
  Action* action = static_cast<Action*>(data);
  GtkToolkit::Busy busy(action->kit);
  action->run();
}

void DeleteAction(gpointer data, GClosure*) { delete static_cast<Action*>(data); }

struct Connection {
  GtkToolkit* kit;
  const ActionTable* actions;
  bool complete = true;
};

void ConnectHandler(GtkBuilder*, GObject* object, const gchar* signal, const gchar* handler, GObject*,
                    GConnectFlags flags, gpointer data) {
  Connection* connection = static_cast<Connection*>(data);
  for (const auto& [name, run] : *connection->actions) {
    if (name != handler) continue;
    g_signal_connect_data(object, signal, G_CALLBACK(RunAction), new Action{connection->kit, run}, DeleteAction,
                          GConnectFlags(flags & G_CONNECT_AFTER));
    return;
  }
  std::fprintf(stderr, "corvan3d: the interface file names an unknown action \"%s\"\n", handler);
  connection->complete = false;
}

class GtkInterfaceFile : public InterfaceFile {
public:
  explicit GtkInterfaceFile(GtkBuilder* builder) : builder(builder) {}
  ~GtkInterfaceFile() override {
    for (auto& [id, sheet] : windows) gtk_widget_destroy(sheet->window);  // top levels are ours to destroy
    g_object_unref(builder);
  }

  SheetWindow* window(const char* id) override {
    GObject* object = gtk_builder_get_object(builder, id);
    if (object == nullptr || !GTK_IS_WINDOW(object)) return nullptr;
    auto& sheet = windows[id];
    if (!sheet) sheet = std::make_unique<GtkSheet>(GTK_WIDGET(object));
    return sheet.get();
  }
  Button* button(const char* id) override { return Get<GtkButtonControl>(id, GTK_TYPE_BUTTON); }
  CheckBox* checkBox(const char* id) override { return Get<GtkCheckBox>(id, GTK_TYPE_TOGGLE_BUTTON); }
  PopUpButton* popUpButton(const char* id) override { return Get<GtkPopUp>(id, GTK_TYPE_COMBO_BOX_TEXT); }
  IntegerField* integerField(const char* id) override { return Get<GtkIntegerField>(id, GTK_TYPE_SPIN_BUTTON); }
  ProgressIndicator* progressIndicator(const char* id) override {
    return Get<GtkProgress>(id, GTK_TYPE_PROGRESS_BAR);
  }
  TextLabel* textLabel(const char* id) override { return Get<GtkTextLabel>(id, GTK_TYPE_LABEL); }

private:
  template <class Wrapper>
  Wrapper* Get(const char* id, GType type) {
    GObject* object = gtk_builder_get_object(builder, id);
    if (object == nullptr || !G_TYPE_CHECK_INSTANCE_TYPE(object, type)) return nullptr;
    auto& control = controls[id];
    if (!control) control = std::make_unique<Wrapper>(GTK_WIDGET(object));
    return dynamic_cast<Wrapper*>(control.get());
  }

  GtkBuilder* builder;
  std::map<std::string, std::unique_ptr<Control>> controls;
  std::map<std::string, std::unique_ptr<GtkSheet>> windows;
};

gboolean CloseSheet(GtkWidget*, GdkEvent*, gpointer data) {
  GtkSheet* sheet = static_cast<GtkSheet*>(data);
  if (sheet->cancel) sheet->cancel();
  return TRUE;  // hidden by the cancel, kept for the next opening
}

void ReapChild(GPid pid, gint, gpointer) { g_spawn_close_pid(pid); }

}  // namespace

std::unique_ptr<InterfaceFile> GtkToolkit::loadInterface(const char* name, const ActionTable& actions) {
  const std::string path = bundle + "/" + name + ".ui";
  GtkBuilder* builder = gtk_builder_new();
  GError* error = nullptr;
  if (!gtk_builder_add_from_file(builder, path.c_str(), &error)) {
    std::fprintf(stderr, "corvan3d: cannot load %s: %s\n", path.c_str(), error->message);
    g_error_free(error);
    g_object_unref(builder);
    return nullptr;
  }
  Connection connection{this, &actions};
  gtk_builder_connect_signals_full(builder, ConnectHandler, &connection);
  auto file = std::make_unique<GtkInterfaceFile>(builder);
  if (!connection.complete) return nullptr;
  return file;
}

void GtkToolkit::showSheet(SheetWindow* sheet, std::function<void()> cancel) {
  GtkSheet* gtkSheet = static_cast<GtkSheet*>(sheet);
  GtkWindow* window = GTK_WINDOW(gtkSheet->window);
  if (!gtkSheet->cancel) {
    g_signal_connect(window, "delete-event", G_CALLBACK(CloseSheet), gtkSheet);
    gtk_window_set_transient_for(window, parent);
    gtk_window_set_modal(window, TRUE);
  }
  gtkSheet->cancel = [this, cancel] {
    Busy busy(this);
    cancel();
  };
  gtk_window_present(window);
}

void GtkToolkit::endSheet(SheetWindow* sheet) {
  if (sheet != nullptr) gtk_widget_hide(static_cast<GtkSheet*>(sheet)->window);
}

bool GtkToolkit::chooseFolder(const char* title, const char* startFolder, std::string* chosen) {
  Busy busy(this);
  GtkWidget* dialog = gtk_file_chooser_dialog_new(title, parent, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel",
                                                  GTK_RESPONSE_CANCEL, "_Select", GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_file_chooser_set_select_multiple(chooser, FALSE);
  if (startFolder != nullptr && g_file_test(startFolder, G_FILE_TEST_IS_DIR))
    gtk_file_chooser_set_current_folder(chooser, startFolder);
  bool confirmed = false;
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    gchar* folder = gtk_file_chooser_get_filename(chooser);
    if (folder != nullptr) {
      *chosen = folder;
      confirmed = true;
    }
    g_free(folder);
  }
  gtk_widget_destroy(dialog);
  return confirmed;
}

void GtkToolkit::openURL(const std::string& address) {
  // No shell: the address is one argument, whatever it holds.
  char program[] = "xdg-open";
  std::string argument = address;
  char* argv[] = {program, &argument[0], nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0) {
    std::fprintf(stderr, "corvan3d: cannot run xdg-open to show %s\n", address.c_str());
    return;
  }
  g_child_watch_add(pid, ReapChild, nullptr);
}

void GtkToolkit::installAlertDialogs() {
  SetAlertHandler([this](const char* text, const char* caption) {
    Busy busy(this);
    GtkWidget* dialog = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s",
                                               Displayable(text != nullptr ? text : "").c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), caption != nullptr ? caption : "");
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
  });
}
