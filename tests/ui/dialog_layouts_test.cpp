// Every window as built on this desktop, in English and in each translation: no
// label clipped in any text it can show, every control inside its window, every
// window on the screen; and the fixed texts and ids the windows' code relies on.
#include "resources/dialog_layouts.h"

#include <cstring>
#include <map>
#include <set>

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/display.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/translation.h>

#include "tests/support/ui_driver.h"
#include "ui/dialog_builder.h"
#include "ui/shown_text.h"

namespace morrowby {
namespace {

// English (the texts as given), then each language of the catalogues.
const char* const kLanguages[] = {"", "de", "fr"};

class DialogLayoutsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (dialog_ != nullptr) dialog_->Destroy();
    wxTranslations::Set(nullptr);
  }

  // Shows the windows in `language`; "" for English. Fails unless the catalogue is
  // there, so that a missing one cannot pass for a translation that fits.
  static void UseLanguage(const std::string& language) {
    wxTranslations::Set(nullptr);
    if (language.empty()) return;
    UseUserLanguageInWindows(MORROWBY_BUILD_LOCALE_DIR, language);
    ASSERT_NE(ShownText("Close"), "Close") << "no catalogue for " << language;
  }

  // Builds `t` on a plain dialog; the controls come back in template order.
  std::vector<wxWindow*> Build(const DialogTemplate& t) {
    if (dialog_ != nullptr) dialog_->Destroy();
    dialog_ = new wxDialog;
    built_ = BuildDialog(dialog_, nullptr, t);
    std::vector<wxWindow*> controls;
    for (wxWindow* w : dialog_->GetChildren()) controls.push_back(w);
    return controls;
  }

  // Why `control` does not show `text` whole; empty when it does.
  static std::string Clipping(const BuiltControl& built, ControlKind kind, const wxString& text) {
    wxWindow* control = built.window;
    if (built.label != nullptr)
      SetControlText(built.label, text);
    else if (built.edit != nullptr)
      built.edit->ChangeValue(text);
    else
      control->SetLabel(text);
    const wxSize have = control->GetClientSize();
    wxSize need;
    if (kind == ControlKind::kStaticText) {
      wxClientDC dc(control);
      dc.SetFont(control->GetFont());
      need = dc.GetMultiLineTextExtent(control->GetLabel());
    } else if (kind == ControlKind::kEdit) {
      need = wxSize(0, control->GetBestSize().y);
    } else {
      need = control->GetBestSize();
      const wxSize outer = control->GetSize();
      if (need.x <= outer.x && need.y <= outer.y) return "";
      return "needs " + std::to_string(need.x) + "x" + std::to_string(need.y) + ", has " +
             std::to_string(outer.x) + "x" + std::to_string(outer.y);
    }
    if (need.x <= have.x && need.y <= have.y) return "";
    return "needs " + std::to_string(need.x) + "x" + std::to_string(need.y) + ", has " +
           std::to_string(have.x) + "x" + std::to_string(have.y);
  }

  // Every window, every text its controls can show: none clipped, and none wrapped in
  // a text one line high. Returns the windows' sizes and their fonts' heights, by
  // resource.
  std::map<int, std::pair<wxSize, int>> ExpectNothingClipped(const std::string& where) {
    std::map<int, std::pair<wxSize, int>> sizes;
    for (const DialogTemplate* t : AllDialogTemplates()) {
      const std::vector<wxWindow*> controls = Build(*t);
      sizes[t->id] = {dialog_->GetClientSize(), dialog_->GetCharHeight()};
      EXPECT_EQ(controls.size(), t->controls.size()) << "resource " << t->id;
      for (std::size_t i = 0; i < controls.size() && i < t->controls.size(); ++i) {
        const ControlTemplate& c = t->controls[i];
        if (c.kind == ControlKind::kStaticIcon) continue;
        std::vector<std::string> texts = {ShownControlText(c).utf8_string()};
        for (const char* later : c.later_texts) texts.push_back(ShownBytes(later));
        for (const std::string& text : texts) {
          const std::string context = where + ", resource " + std::to_string(t->id) +
                                      ", control " + std::to_string(c.id) + ": \"" + text + "\"";
          EXPECT_EQ(Clipping(built_.all[i], c.kind, wxString::FromUTF8(text)), "") << context;
          const std::string shown = controls[i]->GetLabel().utf8_string();
          if (c.kind == ControlKind::kStaticText && c.h < 15) {
            EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'),
                      std::count(text.begin(), text.end(), '\n'))
                << context << " wraps";
          }
        }
      }
    }
    return sizes;
  }

  // The desktop's text as a user may set it: the font's size, or the screen's dots
  // per inch (which GNOME's text scaling sets).
  static void SetDesktopText(const char* font, int dpi) {
    g_object_set(gtk_settings_get_default(), "gtk-font-name", font, "gtk-xft-dpi", dpi * 1024,
                 nullptr);
  }

  wxDialog* dialog_ = nullptr;
  BuiltControls built_;  // dialog_'s controls
};

// Each translation too: a longer label grows its window as the stand-in fonts do.
TEST_F(DialogLayoutsTest, NoTextIsClippedInAnyWindowInAnyLanguage) {
  for (const char* language : kLanguages) {
    UseLanguage(language);
    ExpectNothingClipped(*language != '\0' ? language : "as set up");
  }
}

// Larger text, by the font or by the resolution: every layout grows with it, and still
// nothing is clipped and no one-line text wraps.
TEST_F(DialogLayoutsTest, LayoutsGrowWithTheDesktopsTextAndNothingIsClipped) {
  gchar* font = nullptr;
  int dpi = 0;
  g_object_get(gtk_settings_get_default(), "gtk-font-name", &font, "gtk-xft-dpi", &dpi, nullptr);
  SetDesktopText("Sans 10", 96);
  const auto base = ExpectNothingClipped("Sans 10 at 96 dpi");
  const struct {
    const char* font;
    int dpi;
    double scale;
  } kSettings[] = {{"Sans 15", 96, 1.5}, {"Sans 20", 96, 2}, {"Sans 10", 144, 1.5},
                   {"Sans 12.5", 96, 1.25}};
  for (const auto& setting : kSettings) {
    SetDesktopText(setting.font, setting.dpi);
    const std::string where = std::string(setting.font) + " at " + std::to_string(setting.dpi);
    for (const auto& [id, size] : ExpectNothingClipped(where)) {
      // The text grows as asked; the layout never shrinks (it grows less where the
      // toolkit's fixed margins, not the text, set its size before).
      EXPECT_GE(size.second, base.at(id).second * setting.scale * 0.9) << where << ", " << id;
      EXPECT_GE(size.first.x, base.at(id).first.x) << where << ", resource " << id;
      EXPECT_GE(size.first.y, base.at(id).first.y) << where << ", resource " << id;
    }
  }
  g_object_set(gtk_settings_get_default(), "gtk-font-name", font, "gtk-xft-dpi", dpi, nullptr);
  g_free(font);
}


// Grown for a translation (the whole layout, so that controls keep apart), a window
// still fits the screen.
TEST_F(DialogLayoutsTest, ControlsStayInsideTheirWindowAndWindowsOnTheScreen) {
  const wxRect screen = wxDisplay(0u).GetGeometry();
  for (const char* language : kLanguages) {
    UseLanguage(language);
    for (const DialogTemplate* t : AllDialogTemplates()) {
      const std::vector<wxWindow*> controls = Build(*t);
      const wxRect client(dialog_->GetClientSize());
      for (std::size_t i = 0; i < controls.size(); ++i)
        EXPECT_TRUE(client.Contains(controls[i]->GetRect()))
            << "[" << language << "] resource " << t->id << ", control " << t->controls[i].id;
      EXPECT_TRUE(screen.Contains(dialog_->GetScreenRect()))
          << "[" << language << "] resource " << t->id;
    }
  }
}

// The controls that Tab reaches, in the order it should: the template's, with a radio
// group reached at its checked button (the toolkit checks a group's first).
std::vector<std::size_t> KeyboardStops(const DialogTemplate& t) {
  std::vector<std::size_t> stops;
  for (std::size_t i = 0; i < t.controls.size(); ++i) {
    const ControlTemplate& c = t.controls[i];
    const bool radio = c.kind == ControlKind::kRadioButton;
    if (c.kind == ControlKind::kStaticText || c.kind == ControlKind::kStaticIcon ||
        (radio && !(c.style & kGroup)))
      continue;
    stops.push_back(i);
  }
  return stops;
}

GtkWidget* FocusedWidget(wxDialog* dialog) {
  return gtk_window_get_focus(GTK_WINDOW(dialog->GetHandle()));
}

TEST_F(DialogLayoutsTest, TheFocusStartsAtTheFirstControlAndTabFollowsTheTemplateAndOnlyEditBoxesAreLabelled) {
  for (const DialogTemplate* t : AllDialogTemplates()) {
    const std::vector<wxWindow*> controls = Build(*t);
    dialog_->Show();
    gtk_window_present(GTK_WINDOW(dialog_->GetHandle()));
    ASSERT_TRUE(testing::RunUntil([&] {
      return gtk_window_is_active(GTK_WINDOW(dialog_->GetHandle())) &&
             FocusedWidget(dialog_) != nullptr;
    })) << "resource " << t->id << " opened with no focus";
    std::vector<int> seen, expected;
    for (std::size_t i : KeyboardStops(*t)) {
      if (!expected.empty()) {
        const GtkWidget* before = FocusedWidget(dialog_);
        testing::PressKey(WXK_TAB);
        testing::RunUntil([&] { return FocusedWidget(dialog_) != before; }, 2000);
      }
      expected.push_back(t->controls[i].id);
      GtkWidget* focus = FocusedWidget(dialog_);
      int id = 0;
      for (std::size_t j = 0; j < controls.size(); ++j)
        if (focus == controls[j]->GetHandle() ||
            (focus != nullptr && gtk_widget_is_ancestor(focus, controls[j]->GetHandle())))
          id = t->controls[j].id;
      seen.push_back(id);
    }
    EXPECT_EQ(seen, expected) << "resource " << t->id;
    // The toolkit ties labels to controls as it idles; a screen reader then reads a
    // label as the name of the control it is tied to.
    wxTheApp->ProcessIdle();
    for (std::size_t i = 0; i < controls.size(); ++i) {
      if (t->controls[i].kind != ControlKind::kStaticText) continue;
      GtkWidget* labelled = gtk_label_get_mnemonic_widget(GTK_LABEL(controls[i]->GetHandle()));
      EXPECT_TRUE(labelled == nullptr || GTK_IS_ENTRY(labelled))
          << "resource " << t->id << ": the text " << t->controls[i].id << " labels a "
          << G_OBJECT_TYPE_NAME(labelled);
    }
  }
}

TEST_F(DialogLayoutsTest, EveryButtonHasItsOwnAccessKeyAndKeepsItsCaption) {
  for (const DialogTemplate* t : AllDialogTemplates()) {
    const std::vector<wxWindow*> controls = Build(*t);
    std::set<wxString> keys;
    for (std::size_t i = 0; i < controls.size(); ++i) {
      const ControlTemplate& c = t->controls[i];
      if (c.kind != ControlKind::kPushButton && c.kind != ControlKind::kPushLikeCheckBox &&
          c.kind != ControlKind::kRadioButton)
        continue;
      const wxString label = controls[i]->GetLabel();
      const int at = label.Find('&');
      ASSERT_NE(at, wxNOT_FOUND) << "resource " << t->id << ", \"" << c.text << "\"";
      EXPECT_TRUE(keys.insert(label.Mid(at + 1, 1).Lower()).second)
          << "resource " << t->id << ": the key of \"" << c.text << "\" is taken";
      EXPECT_EQ(wxControl::RemoveMnemonics(label).utf8_string(), c.text);
      // The toolkit takes the mark for its access key, not for a character.
      GtkWidget* text = gtk_bin_get_child(GTK_BIN(controls[i]->GetHandle()));
      ASSERT_TRUE(GTK_IS_LABEL(text)) << "resource " << t->id << ", \"" << c.text << "\"";
      EXPECT_EQ(gdk_keyval_to_unicode(gtk_label_get_mnemonic_keyval(GTK_LABEL(text))),
                static_cast<guint32>(label.Lower()[at + 1].GetValue()))
          << "resource " << t->id << ", \"" << c.text << "\"";
    }
  }
}

TEST_F(DialogLayoutsTest, ParagraphsAreSeparatedByOneBlankLine) {
  for (const DialogTemplate* t : AllDialogTemplates())
    for (const ControlTemplate& c : t->controls) {
      const std::string text = c.text != nullptr ? c.text : "";
      EXPECT_EQ(text.find("\n\n\n"), std::string::npos) << "resource " << t->id;
    }
  const DialogTemplate* help = FindDialogTemplate(kSelectionModesResource);
  ASSERT_NE(help, nullptr);
  const std::string modes = help->controls[1].text;
  EXPECT_EQ(std::count(modes.begin(), modes.end(), '\n'), 4);
  EXPECT_NE(modes.find("'Serial'\n\nIf you choose"), std::string::npos);
}

TEST_F(DialogLayoutsTest, EveryWindowButTheUnusedOneExists) {
  for (int id : {1, 2, 3, 4, 5, 7, 8, 9, 10, 11}) EXPECT_NE(FindDialogTemplate(id), nullptr) << id;
  EXPECT_EQ(FindDialogTemplate(6), nullptr);
  EXPECT_EQ(FindDialogTemplate(12), nullptr);
}

}  // namespace
}  // namespace morrowby
