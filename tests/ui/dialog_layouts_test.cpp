// Every window as built on this desktop: no label clipped in any text it can show,
// every control inside its window, every window on the screen, and the fixed texts
// and ids the windows' code relies on.
#include "resources/dialog_layouts.h"

#include <gtest/gtest.h>
#include <wx/dcclient.h>
#include <wx/display.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "ui/dialog_builder.h"

namespace morrowby {
namespace {

class DialogLayoutsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (dialog_ != nullptr) dialog_->Destroy();
  }

  // Builds `t` on a plain dialog; the controls come back in template order.
  std::vector<wxWindow*> Build(const DialogTemplate& t) {
    if (dialog_ != nullptr) dialog_->Destroy();
    dialog_ = new wxDialog;
    BuildDialog(dialog_, nullptr, t);
    std::vector<wxWindow*> controls;
    for (wxWindow* w : dialog_->GetChildren()) controls.push_back(w);
    return controls;
  }

  // Why `control` does not show `text` whole; empty when it does.
  static std::string Clipping(wxWindow* control, ControlKind kind, const wxString& text) {
    SetControlText(control, text);
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

  wxDialog* dialog_ = nullptr;
};

TEST_F(DialogLayoutsTest, NoTextIsClippedInAnyWindow) {
  for (const DialogTemplate* t : AllDialogTemplates()) {
    const std::vector<wxWindow*> controls = Build(*t);
    ASSERT_EQ(controls.size(), t->controls.size()) << "resource " << t->id;
    for (std::size_t i = 0; i < controls.size(); ++i) {
      const ControlTemplate& c = t->controls[i];
      if (c.kind == ControlKind::kStaticIcon) continue;
      std::vector<const char*> texts = c.later_texts;
      texts.push_back(c.text);
      for (const char* text : texts)
        EXPECT_EQ(Clipping(controls[i], c.kind, wxString::FromUTF8(text)), "")
            << "resource " << t->id << ", control " << c.id << ": \"" << text << "\"";
    }
  }
}

TEST_F(DialogLayoutsTest, ControlsStayInsideTheirWindowAndWindowsOnTheScreen) {
  const wxRect screen = wxDisplay(0u).GetGeometry();
  for (const DialogTemplate* t : AllDialogTemplates()) {
    const std::vector<wxWindow*> controls = Build(*t);
    const wxRect client(dialog_->GetClientSize());
    for (std::size_t i = 0; i < controls.size(); ++i)
      EXPECT_TRUE(client.Contains(controls[i]->GetRect()))
          << "resource " << t->id << ", control " << t->controls[i].id;
    EXPECT_TRUE(screen.Contains(dialog_->GetScreenRect())) << "resource " << t->id;
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
