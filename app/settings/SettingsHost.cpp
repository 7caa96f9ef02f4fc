// The settings application: a window with a live preview of the saver and
// an "Options…" button that opens the view's settings sheet beside it, so
// that what Save rebuilds is seen at once.
//
// The preview is a view with the preview flag, drawn by the real view and
// world into an offscreen EGL context (fixed-function OpenGL everywhere Mesa
// runs, whatever GL the window system offers) and painted into the window
// with Cairo after each frame. Everything runs on GTK's main loop: the
// view's ticks, the network's transfers and the sheet's actions. The preview
// stops drawing while its window is hidden or minimised.
#include "SettingsHost.h"

#include <GL/gl.h>
#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "CurlNetwork.h"
#include "GtkToolkit.h"
#include "HeadlessGL.h"
#include "HostCommon.h"
#include "IdleAutostart.h"
#include "host/Corvan3DSSView.h"
#include "world/Notes.h"

namespace {

constexpr int kPreviewWidth = 480;
constexpr int kPreviewHeight = 270;

struct SurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

class SettingsHost;

// The preview's surface: an offscreen context whose frames are copied into
// an image the window paints.
class PreviewGLView : public GLView {
public:
  PreviewGLView(HeadlessGL* gl, SettingsHost* host) : gl(gl), host(host) {}
  void MakeCurrent() override { gl->MakeCurrent(); }
  void FlushBuffer() override;
  void SetFrameSize(double width, double height) override {
    std::string error;
    if (!gl->Resize(int(width), int(height), &error))
      std::fprintf(stderr, "corvan3d: %s\n", error.c_str());
  }

private:
  HeadlessGL* gl;
  SettingsHost* host;
};

class SettingsHost : public CommonServices {
public:
  SettingsHost(PreferencesStore* store, HeadlessGL* gl) : CommonServices(store), gl(gl) {}

  std::unique_ptr<GLView> CreateGLView() override {
    return std::make_unique<PreviewGLView>(gl, this);
  }
  Toolkit* Interface() override { return toolkit.get(); }
  Network* Net() override { return &network; }
  bool IdleStartEnabled() override { return ::IdleStartEnabled(); }
  bool SetIdleStart(bool on, std::string* why) override { return ::SetIdleStart(on, why); }

  int Run();
  void FrameDrawn();

private:
  void BuildWindow();
  void ReportStoreProblem(GtkWidget* box);
  void Resize(int width, int height);
  void Tick();
  void OpenOptions();
  void Describe();
  void PrintStatistics() const;

  void ScheduleTick();
  // Ticks while the window can be seen, and only then.
  void Seen(bool seen);
  static gboolean OnTick(gpointer self);
  static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer self);
  static void OnSizeAllocate(GtkWidget* widget, GdkRectangle* allocation, gpointer self);
  static void OnOptions(GtkButton* button, gpointer self);
  static gboolean OnWindowState(GtkWidget* widget, GdkEventWindowState* event, gpointer self);
  static void OnMapped(GtkWidget* widget, gpointer self);
  static void OnOptionsShown(GtkWidget* slot, gpointer self);

  HeadlessGL* gl;
  CurlNetwork network;
  std::unique_ptr<GtkToolkit> toolkit;
  std::unique_ptr<Corvan3DSSView> view;
  GtkWidget* window = nullptr;
  GtkWidget* preview = nullptr;
  GtkWidget* options = nullptr;   // the button
  GtkWidget* slot = nullptr;      // where the sheet is shown
  GdkRectangle sizeWithout = {};  // the window's size before the options were shown
  SurfacePtr frame;
  guint tickSource = 0;
  bool minimised = false;
  std::unique_ptr<TickPacer> pacer;
  std::string description;
  long frames = 0;
  double firstFrameAt = 0.0;
  double firstFrameCpu = 0.0;
};

void PreviewGLView::FlushBuffer() { host->FrameDrawn(); }

// Copies the frame just drawn into the image the window paints. Cairo's
// RGB24 is GL's BGRA with the bytes reversed; rows stay bottom first and the
// drawing flips them.
void SettingsHost::FrameDrawn() {
  const int w = gl->Width(), h = gl->Height();
  if (!frame || cairo_image_surface_get_width(frame.get()) != w ||
      cairo_image_surface_get_height(frame.get()) != h)
    frame.reset(cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h));
  cairo_surface_flush(frame.get());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, cairo_image_surface_get_stride(frame.get()) / 4);
  glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
               cairo_image_surface_get_data(frame.get()));
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  cairo_surface_mark_dirty(frame.get());
  if (frames++ == 0) {
    firstFrameAt = MonotonicSeconds();
    firstFrameCpu = ProcessCpuSeconds();
  }
  gtk_widget_queue_draw(preview);
}

gboolean SettingsHost::OnDraw(GtkWidget*, cairo_t* cr, gpointer self) {
  SettingsHost* host = static_cast<SettingsHost*>(self);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_paint(cr);
  if (!host->frame) return TRUE;
  cairo_translate(cr, 0, cairo_image_surface_get_height(host->frame.get()));
  cairo_scale(cr, 1, -1);
  cairo_set_source_surface(cr, host->frame.get(), 0, 0);
  cairo_paint(cr);
  return TRUE;
}

void SettingsHost::OnSizeAllocate(GtkWidget*, GdkRectangle* allocation, gpointer self) {
  static_cast<SettingsHost*>(self)->Resize(allocation->width, allocation->height);
}

void SettingsHost::Resize(int width, int height) {
  if (width < 1 || height < 1) return;
  const ViewSize size = view->bounds();
  if (int(size.width) == width && int(size.height) == height) return;
  view->setFrameSize(ViewSize{double(width), double(height)});
}

// Ticks on a fixed schedule: a GLib interval would drift by each frame's time.
void SettingsHost::ScheduleTick() {
  tickSource = g_timeout_add(guint(pacer->MillisecondsToNext(MonotonicSeconds())), OnTick, this);
}

gboolean SettingsHost::OnTick(gpointer self) {
  SettingsHost* host = static_cast<SettingsHost*>(self);
  host->pacer->Ticked(MonotonicSeconds());
  host->Tick();
  host->ScheduleTick();
  return G_SOURCE_REMOVE;
}

void SettingsHost::Tick() {
  // While an action, a chooser or an alert runs, the world may be half built.
  if (toolkit->busy()) return;
  view->animateOneFrame();
  Describe();
}

void SettingsHost::Seen(bool seen) {
  if (seen == (tickSource != 0)) return;
  if (!seen) {
    g_source_remove(tickSource);
    tickSource = 0;
    return;
  }
  // The view skips the gap itself, as after any long pause.
  pacer = std::make_unique<TickPacer>(view->animationTimeInterval());
  ScheduleTick();
}

gboolean SettingsHost::OnWindowState(GtkWidget* widget, GdkEventWindowState* event, gpointer self) {
  SettingsHost* host = static_cast<SettingsHost*>(self);
  host->minimised = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
  host->Seen(gtk_widget_get_mapped(widget) && !host->minimised);
  return FALSE;
}

void SettingsHost::OnMapped(GtkWidget* widget, gpointer self) {
  SettingsHost* host = static_cast<SettingsHost*>(self);
  host->Seen(gtk_widget_get_mapped(widget) && !host->minimised);
}

// Says what the preview shows, for screen readers (and the tests, which
// read the window as they do).
void SettingsHost::Describe() {
  const MONEYSS* world = view->ssMain != nullptr ? view->ssMain->World : nullptr;
  std::string text = "nothing yet";
  if (world != nullptr && world->Notes == nullptr) {
    text = "no currency could be shown";
  } else if (world != nullptr) {
    const bool mixed = world->MIXCURRENCY;
    const char* name = mixed || world->CurrentCurrency >= world->NumCurrencies
                           ? "mixed currencies"
                           : world->Currencies[world->CurrentCurrency].Name;
    text = std::to_string(world->TOT_NUM_NOTES) + " notes of " + name;
  }
  if (text == description) return;
  description = text;
  atk_object_set_description(gtk_widget_get_accessible(preview), text.c_str());
}

void SettingsHost::OnOptions(GtkButton*, gpointer self) {
  static_cast<SettingsHost*>(self)->OpenOptions();
}

void SettingsHost::OpenOptions() {
  if (toolkit->sheetShown()) return;
  SheetWindow* sheet = view->configureSheet();
  if (sheet == nullptr) {
    GtkWidget* dialog = gtk_message_dialog_new(
        GTK_WINDOW(window), GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK,
        "The options cannot be shown: %s is missing or damaged.",
        (BundleFolder() + "/Corvan3DSS.ui").c_str());
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    return;
  }
  toolkit->showSheet(sheet, [this] { view->configureSheet_cancel(); });
}

// The window: a note on the settings file when it could not be used, then
// the preview (kept at 16:9) over the Options… button, and beside them the
// place where the options appear.
void SettingsHost::BuildWindow() {
  window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "Corvan 3D");
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  g_signal_connect(window, "window-state-event", G_CALLBACK(OnWindowState), this);
  g_signal_connect_after(window, "map", G_CALLBACK(OnMapped), this);
  g_signal_connect_after(window, "unmap", G_CALLBACK(OnMapped), this);

  GtkWidget* outer = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(window), outer);
  ReportStoreProblem(outer);
  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
  gtk_container_set_border_width(GTK_CONTAINER(row), 6);
  gtk_box_pack_start(GTK_BOX(outer), row, TRUE, TRUE, 0);
  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
  gtk_box_pack_start(GTK_BOX(row), column, TRUE, TRUE, 0);

  GtkWidget* frame16x9 = gtk_aspect_frame_new(nullptr, 0.5f, 0.0f, 16.0f / 9.0f, FALSE);
  gtk_frame_set_shadow_type(GTK_FRAME(frame16x9), GTK_SHADOW_NONE);
  gtk_box_pack_start(GTK_BOX(column), frame16x9, TRUE, TRUE, 0);
  preview = gtk_drawing_area_new();
  gtk_widget_set_size_request(preview, kPreviewWidth, kPreviewHeight);
  atk_object_set_name(gtk_widget_get_accessible(preview), "Preview");
  g_signal_connect(preview, "draw", G_CALLBACK(OnDraw), this);
  g_signal_connect(preview, "size-allocate", G_CALLBACK(OnSizeAllocate), this);
  gtk_container_add(GTK_CONTAINER(frame16x9), preview);

  GtkWidget* buttons = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
  gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
  options = gtk_button_new_with_mnemonic("_Options…");
  g_signal_connect(options, "clicked", G_CALLBACK(OnOptions), this);
  gtk_container_add(GTK_CONTAINER(buttons), options);
  gtk_box_pack_start(GTK_BOX(column), buttons, FALSE, FALSE, 0);

  slot = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_widget_set_no_show_all(slot, TRUE);
  g_signal_connect(slot, "show", G_CALLBACK(OnOptionsShown), this);
  g_signal_connect(slot, "hide", G_CALLBACK(OnOptionsShown), this);
  gtk_box_pack_start(GTK_BOX(row), slot, FALSE, FALSE, 0);
}

// While the options are shown, the button that opens them rests; once they
// close, the window takes back the size it had.
void SettingsHost::OnOptionsShown(GtkWidget* slot, gpointer self) {
  SettingsHost* host = static_cast<SettingsHost*>(self);
  const bool shown = gtk_widget_get_visible(slot);
  gtk_widget_set_sensitive(host->options, !shown);
  if (shown)
    gtk_window_get_size(GTK_WINDOW(host->window), &host->sizeWithout.width,
                        &host->sizeWithout.height);
  else if (host->sizeWithout.width > 0)
    gtk_window_resize(GTK_WINDOW(host->window), host->sizeWithout.width, host->sizeWithout.height);
}

// A settings file moved aside as broken, or one that cannot be read and so
// will not be saved, is said where the user looks, not only on the terminal.
void SettingsHost::ReportStoreProblem(GtkWidget* box) {
  const std::string problem = Defaults()->Problem();
  if (problem.empty()) return;
  GtkWidget* bar = gtk_info_bar_new();
  gtk_info_bar_set_message_type(GTK_INFO_BAR(bar), GTK_MESSAGE_WARNING);
  gtk_info_bar_set_show_close_button(GTK_INFO_BAR(bar), TRUE);
  g_signal_connect(bar, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
  gchar* valid = g_utf8_make_valid(problem.c_str(), -1);
  gchar* text = g_markup_printf_escaped("<b>Your settings file could not be used.</b>\n%s", valid);
  g_free(valid);
  GtkWidget* label = gtk_label_new(nullptr);
  gtk_label_set_markup(GTK_LABEL(label), text);
  g_free(text);
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_label_set_max_width_chars(GTK_LABEL(label), 60);
  gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
  gtk_container_add(GTK_CONTAINER(gtk_info_bar_get_content_area(GTK_INFO_BAR(bar))), label);
  atk_object_set_name(gtk_widget_get_accessible(bar), "Settings file");
  gtk_box_pack_start(GTK_BOX(box), bar, FALSE, FALSE, 0);
}

int SettingsHost::Run() {
  BuildWindow();
  toolkit = std::make_unique<GtkToolkit>(BundleFolder(), GTK_WINDOW(window), GTK_CONTAINER(slot));
  toolkit->installAlertDialogs();

  const ViewSize size{double(kPreviewWidth), double(kPreviewHeight)};
  view = std::make_unique<Corvan3DSSView>(size, true, this);
  view->setFrameSize(size);
  view->startAnimation();

  // Ended by a signal, it still cancels its downloads and releases its GL.
  for (int signal : {SIGTERM, SIGINT, SIGHUP})
    g_unix_signal_add(
        signal,
        [](gpointer) -> gboolean {
          gtk_main_quit();  // the innermost loop: a second signal ends the next
          return G_SOURCE_CONTINUE;
        },
        nullptr);
  gtk_widget_show_all(window);
  gtk_main();

  Seen(false);
  PrintStatistics();
  view.reset();  // cancels a download under way; releases GL with the context current
  return 0;
}

void SettingsHost::PrintStatistics() const {
  if (std::getenv("CORVAN3D_PREVIEW_STATS") == nullptr || frames < 2) return;
  const double seconds = MonotonicSeconds() - firstFrameAt;
  const double cpu = ProcessCpuSeconds() - firstFrameCpu;
  std::printf(
      "corvan3d: preview drew %ld frames at %dx%d on %s: %.1f frames/s, %.2f ms CPU a frame\n",
      frames, gl->Width(), gl->Height(), gl->Renderer().c_str(), double(frames - 1) / seconds,
      cpu * 1000.0 / double(frames - 1));
  std::fflush(stdout);
}

}  // namespace

int RunSettingsHost() {
  if (!gtk_init_check(nullptr, nullptr)) {
    std::fprintf(stderr, "corvan3d: the settings window needs a display\n");
    return 1;
  }
  HeadlessGL gl;
  std::string error;
  if (!gl.Create(kPreviewWidth, kPreviewHeight, &error)) {
    std::fprintf(stderr, "corvan3d: no OpenGL for the preview: %s\n", error.c_str());
    return 1;
  }
  std::unique_ptr<PreferencesStore> store = OpenPreferences();
  SettingsHost host(store.get(), &gl);
  return host.Run();
}
