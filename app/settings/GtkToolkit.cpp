#include "GtkToolkit.h"

#include <gtk/gtk.h>
#include <spawn.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

// Texts that change are shortened to the room the rest of the sheet gives
// them (asking for no more than a few characters themselves), so that the
// sheet never grows or jumps with what it shows; the tooltip holds the rest.
constexpr int kShortChars = 8;
constexpr int kStatusLines = 2;

class GtkButtonControl : public GtkControl<Button> {
public:
  using GtkControl::GtkControl;
  void setTitle(const std::string& title) override {
    const std::string shown = Displayable(title);
    gtk_button_set_label(GTK_BUTTON(widget), shown.c_str());
    gtk_widget_set_tooltip_text(widget, shown.c_str());
    // A long folder keeps its beginning and its end in view.
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(widget));
    if (!GTK_IS_LABEL(label)) return;
    gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_MIDDLE);
    gtk_label_set_max_width_chars(GTK_LABEL(label), kShortChars);
  }
};

class GtkCheckBox : public GtkControl<CheckBox> {
public:
  using GtkControl::GtkControl;
  void setState(int state) override {
    Programmatic scope;
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), state == 1);
  }
  int state() const override {
    return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget)) ? 1 : 0;
  }
};

// A pop-up takes the room the sheet gives it; a longer title is cut short.
class GtkPopUp : public GtkControl<PopUpButton> {
public:
  explicit GtkPopUp(GtkWidget* widget) : GtkControl(widget) {
    GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(widget));
    for (GList* cell = cells; cell != nullptr; cell = cell->next)
      g_object_set(cell->data, "ellipsize", PANGO_ELLIPSIZE_END, "max-width-chars", kShortChars,
                   nullptr);
    g_list_free(cells);
  }
  void removeAllItems() override {
    Programmatic scope;
    gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(widget));
  }
  void addItemWithTitle(const std::string& title) override {
    Programmatic scope;
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(widget), Displayable(title).c_str());
    if (gtk_combo_box_get_active(GTK_COMBO_BOX(widget)) < 0)
      gtk_combo_box_set_active(GTK_COMBO_BOX(widget), 0);
  }
  void selectItemAtIndex(int index) override {
    Programmatic scope;
    gtk_combo_box_set_active(GTK_COMBO_BOX(widget),
                             index >= 0 && index < numberOfItems() ? index : -1);
  }
  int indexOfSelectedItem() const override {
    return gtk_combo_box_get_active(GTK_COMBO_BOX(widget));
  }
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
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(widget), value <= 0     ? 0.0
                                                            : value >= 100 ? 1.0
                                                                           : value / 100);
  }
  void startAnimation() override { gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(widget), 0.0); }
  void stopAnimation() override {}
};

// A status line of a fixed size: two lines as wide as the sheet, the rest
// wrapped away behind an ellipsis.
class GtkTextLabel : public GtkControl<TextLabel> {
public:
  explicit GtkTextLabel(GtkWidget* widget) : GtkControl(widget) {
    GtkLabel* label = GTK_LABEL(widget);
    gtk_label_set_line_wrap(label, TRUE);
    gtk_label_set_line_wrap_mode(label, PANGO_WRAP_WORD_CHAR);
    gtk_label_set_ellipsize(label, PANGO_ELLIPSIZE_END);
    gtk_label_set_lines(label, kStatusLines);
    gtk_label_set_max_width_chars(label, kShortChars);
    gtk_label_set_yalign(label, 0.0f);
    PangoLayout* layout = gtk_widget_create_pango_layout(widget, "Xy\nXy");
    int height = 0;
    pango_layout_get_pixel_size(layout, nullptr, &height);
    g_object_unref(layout);
    gtk_widget_set_size_request(widget, -1, height);
  }
  void setStringValue(const std::string& text) override {
    const std::string shown = Displayable(text);
    gtk_label_set_text(GTK_LABEL(widget), shown.c_str());
    // The tooltip holds it all; an empty status has none.
    const size_t end = shown.find_last_not_of('\n');
    gtk_widget_set_tooltip_text(
        widget, end == std::string::npos ? nullptr : shown.substr(0, end + 1).c_str());
  }
};

class GtkTextField : public GtkControl<TextField> {
public:
  using GtkControl::GtkControl;
  void setStringValue(const std::string& text) override {
    gtk_entry_set_text(GTK_ENTRY(widget), Displayable(text).c_str());
  }
  std::string stringValue() const override { return gtk_entry_get_text(GTK_ENTRY(widget)); }
  void setPlaceholder(const std::string& text) override {
    gtk_entry_set_placeholder_text(GTK_ENTRY(widget), Displayable(text).c_str());
  }
};

// The sheet's window as the interface file made it; what it holds is moved
// into the host's window the first time it is shown.
class GtkSheet : public SheetWindow {
public:
  explicit GtkSheet(GtkWidget* window) : window(window) {}
  GtkWidget* window;
  GtkWidget* content = nullptr;        // once moved
  GtkWidget* defaultButton = nullptr;  // the window's default, as the file set it
  GtkWidget* firstFocus = nullptr;     // and its focus
  std::function<void()> cancel;        // what Escape does
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

void ConnectHandler(GtkBuilder*, GObject* object, const gchar* signal, const gchar* handler,
                    GObject*, GConnectFlags flags, gpointer data) {
  Connection* connection = static_cast<Connection*>(data);
  for (const auto& [name, run] : *connection->actions) {
    if (name != handler) continue;
    g_signal_connect_data(object, signal, G_CALLBACK(RunAction), new Action{connection->kit, run},
                          DeleteAction, GConnectFlags(flags & G_CONNECT_AFTER));
    return;
  }
  std::fprintf(stderr, "corvan3d: the interface file names an unknown action \"%s\"\n", handler);
  connection->complete = false;
}

class GtkInterfaceFile : public InterfaceFile {
public:
  explicit GtkInterfaceFile(GtkBuilder* builder) : builder(builder) {}
  ~GtkInterfaceFile() override {
    // Top levels are ours to destroy, and so is what was moved out of them.
    for (auto& [id, sheet] : windows) {
      if (sheet->content != nullptr) {
        gtk_widget_destroy(sheet->content);
        g_object_unref(sheet->content);
      }
      gtk_widget_destroy(sheet->window);
    }
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
  CheckBox* checkBox(const char* id) override {
    return Get<GtkCheckBox>(id, GTK_TYPE_TOGGLE_BUTTON);
  }
  PopUpButton* popUpButton(const char* id) override {
    return Get<GtkPopUp>(id, GTK_TYPE_COMBO_BOX_TEXT);
  }
  IntegerField* integerField(const char* id) override {
    return Get<GtkIntegerField>(id, GTK_TYPE_SPIN_BUTTON);
  }
  ProgressIndicator* progressIndicator(const char* id) override {
    return Get<GtkProgress>(id, GTK_TYPE_PROGRESS_BAR);
  }
  TextLabel* textLabel(const char* id) override { return Get<GtkTextLabel>(id, GTK_TYPE_LABEL); }
  TextField* textField(const char* id) override { return Get<GtkTextField>(id, GTK_TYPE_ENTRY); }

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

void ReapChild(GPid pid, gint, gpointer) { g_spawn_close_pid(pid); }

}  // namespace

std::unique_ptr<InterfaceFile> GtkToolkit::loadInterface(const char* name,
                                                         const ActionTable& actions) {
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

GtkToolkit::GtkToolkit(std::string bundleFolder, GtkWindow* parent, GtkContainer* slot)
    : bundle(std::move(bundleFolder)), parent(parent), slot(slot) {
  g_signal_connect(parent, "key-press-event",
                   G_CALLBACK(+[](GtkWidget*, GdkEventKey* event, gpointer self) -> gboolean {
                     GtkToolkit* kit = static_cast<GtkToolkit*>(self);
                     if (event->keyval != GDK_KEY_Escape || kit->shown == nullptr) return FALSE;
                     static_cast<GtkSheet*>(kit->shown)->cancel();
                     return TRUE;
                   }),
                   this);
}

void GtkToolkit::showSheet(SheetWindow* sheet, std::function<void()> cancel) {
  GtkSheet* gtkSheet = static_cast<GtkSheet*>(sheet);
  if (gtkSheet->content == nullptr) {
    GtkWindow* window = GTK_WINDOW(gtkSheet->window);
    gtkSheet->defaultButton = gtk_window_get_default_widget(window);
    gtkSheet->firstFocus = gtk_window_get_focus(window);
    gtkSheet->content = gtk_bin_get_child(GTK_BIN(window));
    g_object_ref(gtkSheet->content);
    gtk_container_remove(GTK_CONTAINER(window), gtkSheet->content);
    gtk_container_add(slot, gtkSheet->content);  // our reference is dropped with the interface file
  }
  gtkSheet->cancel = [this, cancel] {
    Busy busy(this);
    cancel();
  };
  shown = sheet;
  gtk_widget_show(GTK_WIDGET(slot));
  if (gtkSheet->defaultButton != nullptr) gtk_widget_grab_default(gtkSheet->defaultButton);
  if (gtkSheet->firstFocus != nullptr) gtk_widget_grab_focus(gtkSheet->firstFocus);
}

void GtkToolkit::endSheet(SheetWindow* sheet) {
  if (sheet == nullptr || sheet != shown) return;
  shown = nullptr;
  gtk_window_set_default(parent, nullptr);
  gtk_widget_hide(GTK_WIDGET(slot));
}

bool GtkToolkit::chooseFolder(const char* title, const char* startFolder, std::string* chosen) {
  Busy busy(this);
  GtkWidget* dialog =
      gtk_file_chooser_dialog_new(title, parent, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel",
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

bool GtkToolkit::openURL(const std::string& address, std::string* why) {
  // No shell: the address is one argument, whatever it holds.
  char program[] = "xdg-open";
  std::string argument = address;
  char* argv[] = {program, &argument[0], nullptr};
  pid_t pid = 0;
  const int error = posix_spawnp(&pid, program, nullptr, nullptr, argv, environ);
  if (error != 0) {
    *why = error == ENOENT ? "xdg-open is not installed (it comes with xdg-utils)"
                           : std::string("xdg-open cannot be run: ") + std::strerror(error);
    std::fprintf(stderr, "corvan3d: cannot show %s: %s\n", address.c_str(), why->c_str());
    return false;
  }
  g_child_watch_add(pid, ReapChild, nullptr);
  return true;
}

void GtkToolkit::installAlertDialogs() {
  SetAlertHandler([this](const char* text, const char* caption) {
    Busy busy(this);
    GtkWidget* dialog =
        gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s",
                               Displayable(text != nullptr ? text : "").c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), caption != nullptr ? caption : "");
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
  });
}
