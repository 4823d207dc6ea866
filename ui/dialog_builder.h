// The one builder that turns a dialog layout into a real wx dialog and its controls.
//
// Dialog units are converted with the template's font, as the layouts were designed.
// Linux fonts and GTK controls are often wider and taller than the ones the layouts
// were drawn for, so the builder grows the unit base of a template (across and down
// separately, never below the nominal size) until every label fits its control;
// texts are never cut, and a text one line high never wraps. The template's font
// follows the desktop's text size (its font's size against GTK's default, 10 points;
// the screen's resolution applies as the toolkit draws).
//
// Tab goes through the controls in template order, and the window opens with the
// focus on the first that takes it. Every button (push, push-like and radio) gets an
// access key: a letter of its caption as shown, unique within the window where the
// captions allow; GTK underlines it while Alt is held.
//
// Texts are shown in the user's language (ui/shown_text.h), the access keys chosen
// on the translation; a translation longer than the English grows the window the
// same way.
#pragma once

#include <vector>

#include <wx/dialog.h>
#include <wx/font.h>

#include "resources/dialog_template.h"

class wxRadioButton;
class wxStaticText;
class wxTextCtrl;
class wxToggleButton;

namespace morrowby {

// The font a template asks for, mapped to what a Linux desktop has.
wxFont TemplateFont(const DialogTemplate& t);

// One control as the builder made it: the window, and the same object under its own
// type (null under the others), so that a window binds its controls without casts.
struct BuiltControl {
  int id = 0;
  wxWindow* window = nullptr;
  wxToggleButton* toggle = nullptr;
  wxRadioButton* radio = nullptr;
  wxStaticText* label = nullptr;
  wxTextCtrl* edit = nullptr;
};

// A dialog's controls in template order. The look-ups give null for an id the layout
// does not have, or has as a control of another type.
struct BuiltControls {
  std::vector<BuiltControl> all;

  wxWindow* Window(int id) const { return Find(id).window; }
  wxToggleButton* Toggle(int id) const { return Find(id).toggle; }
  wxRadioButton* Radio(int id) const { return Find(id).radio; }
  wxStaticText* Label(int id) const { return Find(id).label; }
  wxTextCtrl* Edit(int id) const { return Find(id).edit; }

 private:
  const BuiltControl& Find(int id) const;
};

// Creates `dialog` with `parent` and builds every control of `t`. The layout's position
// counts from a parent dialog's corner; over any other parent (the hidden main window,
// off screen or wherever a window manager keeps it) from the screen's corner. The
// dialog is kept on screen.
BuiltControls BuildDialog(wxDialog* dialog, wxWindow* parent, const DialogTemplate& t);

// The text a control shows as built: its template text in the user's language, with
// the facts of `fill` in place.
wxString ShownControlText(const ControlTemplate& c);

// Puts `text` into a control; a static text is wrapped to its width as built, and
// shown only while it has a text, so that a screen reader finds no empty label.
void SetControlText(wxStaticText* label, const wxString& text);

// The size a control needs to show all of its text (wrapped static texts at their
// laid-out width). Used by the builder and by the layout tests.
wxSize NeededSize(wxWindow* control, ControlKind kind);

}  // namespace morrowby
