// morrowby_screenshots: renders every window of the program, with sample content, to
// <folder>/<name>.png (default docs/screenshots): its own windows, the toolkit's file
// choosers and its message boxes. Run it on an X display, e.g.
//   xvfb-run -a -s "-screen 0 1280x800x24" morrowby_screenshots [--locale=de_DE.UTF-8] docs/screenshots
// With --locale the windows are in that locale's language, from the catalogues of the
// build folder. `--text-scale S` (first) sets the desktop's font to S times its usual
// size (Sans 10), as a user who wants larger text does. It works on a scratch settings
// folder and never touches the user's own files.
#include <gtk/gtk.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/timer.h>
#include <wx/utils.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "resources/dialog_layouts.h"
#include "store/settings.h"
#include "store/song_list_file.h"
#include "store/translation.h"
#include "ui/date_words_dialog.h"
#include "ui/help_windows.h"
#include "ui/launch_window.h"
#include "ui/play_mode_dialog.h"
#include "ui/setup_window.h"
#include "ui/shown_text.h"
#include "ui/song_list_editor.h"

namespace morrowby {
namespace {

// Calls `step` from the event loop, inside whatever modal run is going on, as soon
// as `ready` holds.
class WhenReady : public wxTimer {
 public:
  WhenReady(std::function<bool()> ready, std::function<void()> step)
      : ready_(std::move(ready)), step_(std::move(step)) {
    Start(20);
  }
  void Notify() override {
    if (!ready_()) return;
    Stop();
    auto step = std::move(step_);
    delete this;
    step();
  }

 private:
  std::function<bool()> ready_;
  std::function<void()> step_;
};

// Lets the window finish painting: a few rounds of the event loop.
void Settle() {
  for (int i = 0; i < 5; ++i) {
    wxTheApp->Yield(true);
    wxMilliSleep(20);
  }
}

// The window as the X server shows it, cut from a picture of the whole screen by
// ImageMagick's import (the toolkit's own screen reading may lag behind on GTK 3).
bool SaveScreenPart(const wxRect& r, const std::string& file) {
  const wxString crop = wxString::Format("%dx%d+%d+%d", r.width, r.height, r.x, r.y);
  const wxString target = wxString::FromUTF8(file);
  const wchar_t* const command[] = {L"import",     L"-window", L"root",         L"-crop",
                                    crop.wc_str(), L"+repage", target.wc_str(), nullptr};
  return wxExecute(const_cast<wchar_t**>(command), wxEXEC_SYNC) == 0;
}

bool SaveWindowPicture(wxWindow* window, const std::string& file) {
  window->Refresh();
  window->Update();
  Settle();
  return SaveScreenPart(window->GetScreenRect(), file);
}

// The toolkit's own dialog on screen now (a file chooser, a message box), if any.
GtkWidget* ToolkitDialog() {
  GtkWidget* found = nullptr;
  GList* windows = gtk_window_list_toplevels();
  for (GList* w = windows; w != nullptr; w = w->next)
    if (GTK_IS_DIALOG(w->data) && gtk_widget_get_mapped(GTK_WIDGET(w->data)))
      found = GTK_WIDGET(w->data);
  g_list_free(windows);
  return found;
}

class ScreenshotsApp : public wxApp {
 public:
  bool OnInit() override {
    folder_ = "docs/screenshots";
    for (int i = 1; i < argc; ++i)
      if (!argv[i].StartsWith("--")) folder_ = argv[i].utf8_string();
    // The file choosers open where the program runs, the sample songs' folder.
    if (folder_[0] != '/') folder_ = start_folder_ + "/" + folder_;
    UseUserLanguageInWindows(MORROWBY_BUILD_LOCALE_DIR);
    return true;
  }

  int OnRun() override {
    SampleList(PlayMode::kRandom);
    WriteSetting("DateLine", "yyyyyyyynyy");
    Shoot(new TDlg4(nullptr), "launch_window");
    Shoot(new TDlg2(nullptr), "setup_window");
    Shoot(new TDlg2(nullptr), "setup_window_offering_save", [](TDialog* setup) {
      // The editor left with OK puts the Setup window in its offer-to-save state.
      new WhenReady([] { return Running(kSongListEditorResource) != nullptr; },
                    [] { Running(kSongListEditorResource)->SendCommand(1); });
      setup->SendCommand(101);
    });
    SampleList(PlayMode::kRandom);
    Shoot(new TDlg1(nullptr), "song_list_editor");
    SampleList(PlayMode::kDayOfWeek);
    Shoot(new TDlg1(nullptr), "song_list_editor_day_mode");
    Shoot(new TDlg3(nullptr), "play_mode_dialog");
    Shoot(new TDlgModAn(nullptr), "date_words_dialog");
    Shoot(new TDlgHelp(nullptr, kAboutResource), "about_window");
    Shoot(new TDlgGenHelp(nullptr, kProgramDetailsResource), "program_details");
    Shoot(new TDlgHelp(nullptr, kSongEntryHelpResource), "song_entry_help");
    Shoot(new TDlgHelp(nullptr, kSelectionModesResource), "selection_modes");
    Shoot(new TDlgHelp(nullptr, kInitialSettingUpResource), "initial_setting_up");

    // The toolkit's dialogs, each opened by the command that opens it for the user.
    SampleList(PlayMode::kRandom);
    LastChosenFile = music_ + "/Morning Has Broken.wav";
    ShootToolkitDialog(new TDlg1(nullptr), SongListEditorIds::kAddSong, "file_chooser_song");
    ShootToolkitDialog(new TDlg2(nullptr), SetupIds::kSaveAs, "file_chooser_save_list");
    for (int i = 0; i < kSlotCount; ++i) SongList.SetSlotText(i, "/home/ann/Music/song.wav");
    ShootToolkitDialog(new TDlg1(nullptr), SongListEditorIds::kAddSong, "message_too_many_songs");
    SampleList(PlayMode::kRandom);
    CurrentListPath = music_ + "/no such folder/songs.dat";
    ShootToolkitDialog(new TDlg2(nullptr), SetupIds::kSave, "message_save_failed");

    // No window manager draws the titles here: they are listed beside the pictures.
    if (FILE* list = std::fopen((folder_ + "/titles.txt").c_str(), "w")) {
      std::fputs(titles_.c_str(), list);
      std::fclose(list);
    } else {
      ++failures_;
    }
    return failures_ == 0 ? 0 : 1;
  }

 private:
  static void SampleList(PlayMode mode) {
    ResetSongListState();
    const char* songs[] = {"/home/ann/Music/Morning Has Broken.wav", "/home/ann/Music/fanfare.wav",
                           "/usr/share/sounds/alsa/Front_Center.wav", "",
                           "/home/ann/Music/Here Comes the Sun.wav"};
    for (int i = 0; i < 5; ++i) SongList.SetSlotText(i, songs[i]);
    SongList.SongCount = static_cast<int16_t>(CountSongs());
    SongList.PlayMode = mode;
  }

  static TDialog* Running(int resource) {
    for (wxWindow* w : wxTopLevelWindows) {
      auto* dialog = dynamic_cast<TDialog*>(w);
      if (dialog != nullptr && dialog->IsModal() && dialog->ResourceId() == resource) return dialog;
    }
    return nullptr;
  }

  // Runs `window` modally, brings it into the state `prepare` makes, saves its
  // picture and closes it.
  void Shoot(TDialog* window, const std::string& name,
             std::function<void(TDialog*)> prepare = nullptr) {
    const std::string file = folder_ + "/" + name + ".png";
    new WhenReady([window] { return window->IsModal() && window->IsShownOnScreen(); },
                  [this, window, file, prepare, name] {
                    if (prepare) prepare(window);
                    titles_ += name + ": " + window->GetTitle().utf8_string() + "\n";
                    if (!SaveWindowPicture(window, file)) {
                      std::fprintf(stderr, "cannot write %s\n", file.c_str());
                      ++failures_;
                    }
                    window->CloseWindow(2);
                  });
    window->Execute();
    window->Destroy();
    Settle();
  }

  // Runs `window` and sends it `command`, which opens a dialog of the toolkit's; saves
  // that dialog's picture and cancels it, then closes `window`.
  void ShootToolkitDialog(TDialog* window, int command, const std::string& name) {
    const std::string file = folder_ + "/" + name + ".png";
    new WhenReady([window] { return window->IsModal() && window->IsShownOnScreen(); },
                  [this, window, command, file, name] {
                    new WhenReady([] { return ToolkitDialog() != nullptr; },
                                  [this, file, name] {
                                    // A file chooser fills its list from a thread of its own.
                                    for (int i = 0; i < 10; ++i) Settle();
                                    GtkWidget* dialog = ToolkitDialog();
                                    const char* title = gtk_window_get_title(GTK_WINDOW(dialog));
                                    titles_ += name + ": " + (title != nullptr ? title : "") + "\n";
                                    GdkRectangle r;
                                    gdk_window_get_frame_extents(gtk_widget_get_window(dialog), &r);
                                    if (!SaveScreenPart(wxRect(r.x, r.y, r.width, r.height), file)) {
                                      std::fprintf(stderr, "cannot write %s\n", file.c_str());
                                      ++failures_;
                                    }
                                    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
                                  });
                    window->SendCommand(command);
                    window->CloseWindow(2);
                  });
    window->Execute();
    window->Destroy();
    Settle();
  }

 public:
  std::string music_;  // sample sound files, and the folder the file choosers open
  std::string start_folder_;  // where the program was started

 private:
  std::string folder_;
  std::string titles_;  // "name: title" of each picture, a line each
  int failures_ = 0;
};

}  // namespace
}  // namespace morrowby



// With no window manager GTK often draws a window as if another one had the focus,
// with grey text. A stylesheet in the scratch configuration folder, read when GTK
// starts, gives the text the colours of the focused window the user will see.
constexpr char kFocusedLook[] =
    "label { color: #2e3436; }\n"
    "entry { color: #000000; }\n";

int main(int argc, char** argv) {
  double text_scale = 1;
  if (argc > 2 && std::strcmp(argv[1], "--text-scale") == 0) {
    text_scale = std::atof(argv[2]);
    if (text_scale < 0.5 || text_scale > 4) {
      std::fprintf(stderr, "morrowby_screenshots: --text-scale takes 0.5 to 4, not %s\n",
                   argv[2]);
      return 1;
    }
    argv[2] = argv[0];
    argv += 2;
    argc -= 2;
  }
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--locale=", 9) == 0) {
      setenv("LC_ALL", argv[i] + 9, 1);
      unsetenv("LANGUAGE");
    }
  char scratch[] = "/tmp/morrowby-screenshots-XXXXXX";
  if (mkdtemp(scratch) == nullptr) return 1;
  setenv("XDG_CONFIG_HOME", scratch, 1);
  // A folder of songs for the file choosers to show; GTK's recent files are the
  // scratch folder's own, so none of the user's show.
  setenv("XDG_DATA_HOME", scratch, 1);
  setenv("GSETTINGS_BACKEND", "memory", 1);
  const std::string music = std::string(scratch) + "/Music";
  mkdir(music.c_str(), 0700);
  for (const char* song : {"Morning Has Broken.wav", "fanfare.wav", "Here Comes the Sun.wav"})
    if (FILE* f = std::fopen((music + "/" + song).c_str(), "w")) std::fclose(f);
  char here[4096];
  const std::string start = getcwd(here, sizeof here) != nullptr ? here : ".";
  if (chdir(music.c_str()) != 0) return 1;
  const std::string gtk = std::string(scratch) + "/gtk-3.0";
  mkdir(gtk.c_str(), 0700);
  if (FILE* css = std::fopen((gtk + "/gtk.css").c_str(), "w")) {
    std::fputs(kFocusedLook, css);
    std::fclose(css);
  }
  if (FILE* settings = std::fopen((gtk + "/settings.ini").c_str(), "w")) {
    std::fprintf(settings, "[Settings]\ngtk-font-name=Sans %g\n", 10 * text_scale);
    std::fclose(settings);
  }
  // As the windows program does, before the toolkit starts.
  morrowby::UseUserLanguage(MORROWBY_BUILD_LOCALE_DIR);
  wxApp::SetInstance(new morrowby::ScreenshotsApp);
  auto* app = static_cast<morrowby::ScreenshotsApp*>(wxApp::GetInstance());
  app->music_ = music;
  app->start_folder_ = start;
  return wxEntry(argc, argv);
}
