// The screen saver view: loads the settings, owns the GL surface and the
// frame driver, and turns the host's ticks into frame steps of measured
// length, at most 60 a second, absorbing long pauses.
#pragma once

#include <cstdint>
#include <memory>

#include "host/SSMain.h"
#include "host/Settings.h"
#include "platform/Net.h"
#include "platform/ScreenSaverView.h"
#include "platform/Toolkit.h"

// One currency the catalogue offers.
struct DOWNLOADDATA {
  char Name[40];       // display name, as the currency file's header carries it
  char Location[512];  // where the file is: an address, or a name beside the catalogue
};

// The GL state every frame relies on: smooth shading, black clear, depth
// test, colour material tracking ambient and diffuse on both faces.
void SetupSceneState();

// The perspective projection of a view of this size (45 degrees vertically,
// near 1, far 100), then the identity model-view.
void SetupPerspective(double width, double height);

// The lifecycle and the frame loop are here; the settings sheet and the
// downloads (config/ConfigureSheet.cpp, config/Downloads.cpp) are
// operations of the same view, kept apart.
class Corvan3DSSView : public ScreenSaverView, public DownloadDelegate {
public:
  bool MainMonitorOnly = false;
  bool ThisScreenIsOn = true;
  std::unique_ptr<GLView> glView;
  bool viewAllocated = false;
  bool glReady = false;      // false: the next frame sets up GL for the size
  bool initialized = false;  // mainSetup has run
  SETTINGS mySettings;
  double animtime = 0.0;  // when the last step was taken
  ViewSize Scrn;
  SSMAIN* ssMain = nullptr;

  // The sheet's outlets, connected when its interface file is loaded.
  std::unique_ptr<InterfaceFile> sheetFile;  // owns the controls below
  SheetWindow* sheet = nullptr;              // the outlet "configureSheet"
  Button* oSave = nullptr;
  CheckBox* oMainMonitorOnly = nullptr;
  CheckBox* oShowClock = nullptr;
  CheckBox* o12HrClock = nullptr;
  IntegerField* oClockSize = nullptr;
  PopUpButton* oCurrency = nullptr;
  PopUpButton* oRotMode = nullptr;
  CheckBox* oZoomIn = nullptr;
  IntegerField* oNoteSize = nullptr;
  IntegerField* oNumNotes = nullptr;
  Button* oDirectory = nullptr;
  PopUpButton* oAvailableDownloads = nullptr;
  Button* oCheckDownloads = nullptr;
  ProgressIndicator* oProgress = nullptr;
  Button* oDownload = nullptr;
  TextLabel* oDownloadText = nullptr;
  TextField* oCatalogueServer = nullptr;  // the store's "CatalogueServer"; empty: the built-in one
  IntegerField* oIdleMinutes = nullptr;   // the store's "IdleMinutes"
  CheckBox* oIdleStart = nullptr;         // the idle watcher starts with the session

  // The downloads.
  int64_t bytesReceived = 0;
  int64_t expectedBytes = 0;           // 0 or less: the server stated no length
  URLDownload* theDownload = nullptr;  // the running download, owned by the network
  uint32_t numDownloads = 0;
  DOWNLOADDATA* downloadData = nullptr;  // the last listing, numDownloads entries
  NetRequest* catalogueRead = nullptr;   // a catalogue read under way
  std::string catalogueURL;              // where the last listing came from, after redirects
  DOWNLOADDATA downloadEntry = {};       // what the running download fetches
  bool statusShowsListingError = false;  // the next good listing clears the status

  Corvan3DSSView(ViewSize frame, bool isPreview, HostServices* host);
  ~Corvan3DSSView() override;

  void setFrameSize(ViewSize size) override;
  void startAnimation() override;
  void stopAnimation() override;
  void animateOneFrame() override;

  // Replaces the running world by one set up afresh from mySettings, as the
  // sheet's Save does; false when there was no world or the new one failed.
  bool RebuildWorld();

  // The settings sheet (config/ConfigureSheet.cpp).
  bool hasConfigureSheet() override { return true; }
  SheetWindow* configureSheet() override;
  void configureSheet_cancel();
  void configureSheet_save();
  void configureSheet_defaults();
  void configureSheet_update();
  void configureSheet_updatestates();
  void configureSheet_directory();
  void configureSheet_openwebsite();

  // The downloads (config/Downloads.cpp).
  void configureSheet_checkdownloads();
  void configureSheet_download();
  // The destination is the entry's own file name; the suggestion is ignored.
  void download_decideDestinationWithSuggestedFilename(URLDownload* download,
                                                       const std::string& filename) override;
  void download_didReceiveResponse(URLDownload* download, int64_t expectedContentLength) override;
  void download_didReceiveDataOfLength(URLDownload* download, uint32_t length) override;
  void downloadDidFinish(URLDownload* download) override;
  void download_didFailWithError(URLDownload* download, const NetError& error) override;
  // Whether a download of this MIME type should be decoded on arrival: only
  // gzip. No transfer asks; a packed currency fails its check like any other.
  static bool download_shouldDecode(URLDownload* download, const std::string& mimeType);

  bool mainSetup();
  // Stops a catalogue read and a download under way; nothing is left behind.
  void cancelDownloads();
  void glInit();
  void glReshape();
};
