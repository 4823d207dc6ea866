// Naming rules of the file dialogs (the default extension), and the real file
// chooser on the display: it fits the screen whatever size it remembers.
#include "ui/user_prompts.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "tests/support/temp_folder.h"
#include "tests/support/ui_driver.h"

namespace morrowby {
namespace {

TEST(UserPromptsTest, DefaultExtensionIsAddedOnlyToANameWithoutOne) {
  EXPECT_EQ(WithDefaultExtension("/lists/mine", "dat"), "/lists/mine.dat");
  EXPECT_EQ(WithDefaultExtension("/lists/mine.txt", "dat"), "/lists/mine.txt");
  EXPECT_EQ(WithDefaultExtension("/lists.d/mine", "dat"), "/lists.d/mine.dat");
  EXPECT_EQ(WithDefaultExtension("/lists/.hidden", "dat"), "/lists/.hidden.dat");
  EXPECT_EQ(WithDefaultExtension("/music/song", "*"), "/music/song");
  EXPECT_EQ(WithDefaultExtension("/music/song", ""), "/music/song");
}

GtkWidget* OpenFileChooser() {
  GtkWidget* found = nullptr;
  GList* windows = gtk_window_list_toplevels();
  for (GList* w = windows; w != nullptr; w = w->next)
    if (GTK_IS_FILE_CHOOSER_DIALOG(w->data) && gtk_widget_get_mapped(GTK_WIDGET(w->data)))
      found = GTK_WIDGET(w->data);
  g_list_free(windows);
  return found;
}

// GTK's chooser opens at the size it had last (on a larger screen, say): the Save As
// chooser was seen at 1096x822 on a 1280x800 screen, its buttons off the screen.
TEST(RealFileChooserTest, OpensInsideTheScreenWhateverSizeItRemembers) {
  GSettingsSchema* schema = g_settings_schema_source_lookup(
      g_settings_schema_source_get_default(), "org.gtk.Settings.FileChooser", TRUE);
  if (schema == nullptr) GTEST_SKIP() << "GTK's file chooser settings are not installed";
  g_settings_schema_unref(schema);
  // The window tests' settings are in memory (wx_test_main), never the user's.
  GSettings* settings = g_settings_new("org.gtk.Settings.FileChooser");
  g_settings_set(settings, "window-size", "(ii)", 1096, 822);
  GdkRectangle area;
  gdk_monitor_get_workarea(gdk_display_get_monitor(gdk_display_get_default(), 0), &area);
  ASSERT_LT(area.height, 822) << "the screen is too tall to show the fault";
  testing::TempFolder folder;
  for (const bool save : {true, false}) {
    SCOPED_TRACE(save ? "Save As" : "Open");
    g_settings_set(settings, "window-size", "(ii)", 1096, 822);
    GdkRectangle seen{};
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    testing::WhenReady(
        [&] {
          GtkWidget* chooser = OpenFileChooser();
          if (chooser == nullptr) return false;
          gdk_window_get_frame_extents(gtk_widget_get_window(chooser), &seen);
          const bool inside = seen.x >= area.x && seen.y >= area.y &&
                              seen.x + seen.width <= area.x + area.width &&
                              seen.y + seen.height <= area.y + area.height;
          return inside || std::chrono::steady_clock::now() > give_up;
        },
        [] { gtk_dialog_response(GTK_DIALOG(OpenFileChooser()), GTK_RESPONSE_CANCEL); });
    FileDialogOptions options;
    options.save = save;
    options.folder = folder.path();
    options.filter = "Locations (*.dat)|*.dat";
    EXPECT_EQ(Prompts().ChooseFile(nullptr, options).outcome, FileChoice::kCancelled);
    EXPECT_LE(seen.x + seen.width, area.x + area.width) << seen.width << "x" << seen.height;
    EXPECT_LE(seen.y + seen.height, area.y + area.height) << seen.width << "x" << seen.height;
    EXPECT_GE(seen.x, area.x);
    EXPECT_GE(seen.y, area.y);
  }
  g_object_unref(settings);
}

// wx's own path is empty for a name that is not UTF-8: the song slot stayed empty
// while the song count rose. The chosen bytes come back as they are on the disk.
TEST(RealFileChooserTest, GivesTheBytesOfANameThatIsNotUtf8) {
  testing::TempFolder folder;
  const std::string latin1 = folder.path() + "/caf\xe9.wav";
  std::FILE* file = std::fopen(latin1.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  bool asked = false;
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  testing::WhenReady(
      [&] {
        GtkWidget* chooser = OpenFileChooser();
        if (chooser == nullptr) return false;
        if (!asked) asked = gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(chooser), latin1.c_str());
        gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
        const bool selected = name != nullptr && latin1 == name;
        g_free(name);
        return selected || std::chrono::steady_clock::now() > give_up;
      },
      [] { gtk_dialog_response(GTK_DIALOG(OpenFileChooser()), GTK_RESPONSE_ACCEPT); });
  FileDialogOptions options;
  options.folder = folder.path();
  options.filter = "All Files (*.*)|*";
  const FileChoice choice = Prompts().ChooseFile(nullptr, options);
  EXPECT_EQ(choice.outcome, FileChoice::kChosen);
  EXPECT_EQ(choice.path, latin1);
}

}  // namespace
}  // namespace morrowby
