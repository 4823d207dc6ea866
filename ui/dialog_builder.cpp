// Template builder: font mapping, dialog-unit conversion with automatic growth, and
// one wx control per template entry.
#include "ui/dialog_builder.h"

#include <algorithm>
#include <cmath>

#include <wx/button.h>
#include <wx/display.h>
#include <wx/fontenum.h>
#include <wx/radiobut.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/settings.h>
#include <wx/textctrl.h>
#include <wx/tglbtn.h>

#include "ui/icons.h"

namespace morrowby {
namespace {

constexpr double kMaxGrowth = 3.0;

bool FontInstalled(const wxString& face) {
  return wxFontEnumerator::IsValidFacename(face);
}

// Windows' average character width: the extent of the 52 letters, rounded.
wxSize UnitBase(wxWindow* window) {
  int w = 0, h = 0;
  window->GetTextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &w, &h);
  return wxSize((w / 26 + 1) / 2, window->GetCharHeight());
}

long WindowStyle(const DialogTemplate& t) {
  long style = 0;
  if (t.style & kCaption) style |= wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX;
  if (t.style & kThinBorder) style |= wxBORDER_SIMPLE;
  if (t.style & kStayOnTop) style |= wxSTAY_ON_TOP;
  return style;
}

wxWindow* MakeControl(wxDialog* dialog, const ControlTemplate& c) {
  const wxString text = wxString::FromUTF8(c.text != nullptr ? c.text : "");
  const long tab = (c.style & kNoTabStop) ? 0 : wxTAB_TRAVERSAL;
  switch (c.kind) {
    // Exact fit: the layout gives the size, and GTK's minimum button width would
    // otherwise make short labels ("of", "PM") look clipped to the growth rule.
    case ControlKind::kPushButton:
      return new wxButton(dialog, c.id, text, wxDefaultPosition, wxDefaultSize,
                          tab | wxBU_EXACTFIT);
    case ControlKind::kPushLikeCheckBox:
      return new wxToggleButton(dialog, c.id, text, wxDefaultPosition, wxDefaultSize,
                                wxBU_EXACTFIT);
    case ControlKind::kRadioButton:
      return new wxRadioButton(dialog, c.id, text, wxDefaultPosition, wxDefaultSize,
                               (c.style & kGroup) ? wxRB_GROUP : 0);
    case ControlKind::kStaticText: {
      long style = wxST_NO_AUTORESIZE;
      if (c.style & kAlignCenter) style |= wxALIGN_CENTRE_HORIZONTAL;
      if (c.style & kAlignRight) style |= wxALIGN_RIGHT;
      if (c.style & kSunken) style |= wxBORDER_SUNKEN;
      if (c.style & kBorder) style |= wxBORDER_SIMPLE;
      return new wxStaticText(dialog, c.id, text, wxDefaultPosition, wxDefaultSize, style);
    }
    case ControlKind::kEdit:
      return new wxTextCtrl(dialog, c.id, text);
    case ControlKind::kStaticIcon:
      // Icons share their ids with the OK and Cancel commands; as pictures they send
      // none, so they get no id of their own here.
      return new wxStaticBitmap(dialog, wxID_ANY, IconBitmap(c.icon));
  }
  return nullptr;
}

// Greedy word wrap, as wxStaticText::Wrap does it: the number of lines and the widest
// single word of `text` at `width` pixels.
void WrapMeasure(wxWindow* w, const wxString& text, int width, int* lines, int* widest_word) {
  *lines = 0;
  *widest_word = 0;
  wxString rest = text;
  for (;;) {
    const wxString paragraph = rest.BeforeFirst('\n');
    int line_width = 0;
    ++*lines;
    const int space = w->GetTextExtent(" ").x;
    wxString words = paragraph;
    while (!words.empty()) {
      const wxString word = words.BeforeFirst(' ');
      words = words.AfterFirst(' ');
      const int ww = w->GetTextExtent(word).x;
      *widest_word = std::max(*widest_word, ww);
      if (line_width > 0 && line_width + space + ww > width) {
        ++*lines;
        line_width = ww;
      } else {
        line_width += (line_width > 0 ? space : 0) + ww;
      }
    }
    if (rest.Find('\n') == wxNOT_FOUND) break;
    rest = rest.AfterFirst('\n');
  }
}

// The size a control needs for its template text and every text it may show later.
wxSize NeededForAllTexts(wxWindow* control, const ControlTemplate& c) {
  wxSize need = NeededSize(control, c.kind);
  if (c.later_texts.empty()) return need;
  const wxString original = control->GetLabel();
  for (const char* text : c.later_texts) {
    control->SetLabel(wxString::FromUTF8(text));
    need.IncTo(NeededSize(control, c.kind));
  }
  control->SetLabel(original);
  return need;
}

}  // namespace

wxFont TemplateFont(const DialogTemplate& t) {
  wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
  switch (t.face) {
    case FontFace::kSans:
      break;  // the desktop's own sans font
    case FontFace::kHeavySans:
      if (FontInstalled("Arial Black"))
        font.SetFaceName("Arial Black");
      else
        font.SetWeight(wxFONTWEIGHT_BOLD);
      break;
    case FontFace::kSerif:
      font = wxFont(wxFontInfo(t.point_size).Family(wxFONTFAMILY_ROMAN));
      if (FontInstalled("Liberation Serif")) font.SetFaceName("Liberation Serif");
      break;
  }
  font.SetPointSize(t.point_size);
  return font;
}

wxSize NeededSize(wxWindow* control, ControlKind kind) {
  if (kind == ControlKind::kStaticText) {
    const wxString text = control->GetLabel();
    int lines = 0, widest = 0;
    WrapMeasure(control, text, control->GetClientSize().x, &lines, &widest);
    const int border = control->GetSize().y - control->GetClientSize().y;
    return wxSize(widest + (control->GetSize().x - control->GetClientSize().x),
                  lines * control->GetCharHeight() + border);
  }
  if (kind == ControlKind::kEdit) return wxSize(0, control->GetBestSize().y);
  return control->GetBestSize();
}

void SetControlText(wxWindow* control, const wxString& text) {
  if (auto* label = dynamic_cast<wxStaticText*>(control)) {
    label->SetLabel(text);
    label->Wrap(label->GetClientSize().x);
  } else if (auto* edit = dynamic_cast<wxTextCtrl*>(control)) {
    edit->ChangeValue(text);
  } else {
    control->SetLabel(text);
  }
}

DialogScale BuildDialog(wxDialog* dialog, wxWindow* parent, const DialogTemplate& t) {
  long style = WindowStyle(t);
  // A parent that is the hidden main window would have the window manager place the
  // dialog over it, off screen: such dialogs stand on their own. Only dialogs are
  // parents to place by, since a window manager keeps the main window on screen.
  const bool parent_visible = dynamic_cast<wxDialog*>(parent) != nullptr &&
                              parent->GetScreenRect().GetRight() > 0;
  if (!parent_visible) style |= wxDIALOG_NO_PARENT;
  dialog->Create(parent, wxID_ANY, wxString::FromUTF8(t.title), wxDefaultPosition,
                 wxDefaultSize, style);
  dialog->SetFont(TemplateFont(t));
  const wxSize base = UnitBase(dialog);
  const double ux = base.x / 4.0, uy = base.y / 8.0;

  std::vector<wxWindow*> controls;
  for (const ControlTemplate& c : t.controls) {
    wxWindow* w = MakeControl(dialog, c);
    w->SetSize(wxRect(std::lround(c.x * ux), std::lround(c.y * uy),
                      std::lround(c.w * ux), std::lround(c.h * uy)));
    controls.push_back(w);
  }

  // Growth across first (labels on one line, the longest word of wrapped texts), then
  // down at the grown width.
  DialogScale scale;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const ControlTemplate& c = t.controls[i];
    if (c.kind == ControlKind::kStaticIcon || c.w <= 0) continue;
    const wxSize need = NeededForAllTexts(controls[i], c);
    scale.x = std::max(scale.x, need.x / (c.w * ux));
  }
  scale.x = std::min(scale.x, kMaxGrowth);
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const ControlTemplate& c = t.controls[i];
    controls[i]->SetSize(std::lround(c.w * ux * scale.x), std::lround(c.h * uy));
    if (c.kind == ControlKind::kStaticIcon || c.h <= 0) continue;
    const wxSize need = NeededForAllTexts(controls[i], c);
    scale.y = std::max(scale.y, need.y / (c.h * uy));
  }
  scale.y = std::min(scale.y, kMaxGrowth);
  const double sx = ux * scale.x, sy = uy * scale.y;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const ControlTemplate& c = t.controls[i];
    controls[i]->SetSize(wxRect(std::lround(c.x * sx), std::lround(c.y * sy),
                                std::lround(c.w * sx), std::lround(c.h * sy)));
    if (c.kind == ControlKind::kStaticText)
      static_cast<wxStaticText*>(controls[i])->Wrap(controls[i]->GetClientSize().x);
  }
  dialog->SetClientSize(std::lround(t.w * sx), std::lround(t.h * sy));

  // Placed relative to the owner's top-left corner, then moved fully onto the screen.
  wxPoint origin = parent_visible ? parent->GetScreenPosition() : wxPoint(0, 0);
  wxPoint pos(origin.x + std::lround(t.x * sx), origin.y + std::lround(t.y * sy));
  const int display = std::max(0, wxDisplay::GetFromPoint(pos));
  const wxRect area = wxDisplay(static_cast<unsigned>(display)).GetGeometry();
  const wxSize size = dialog->GetSize();
  pos.x = std::max(area.x, std::min(pos.x, area.GetRight() + 1 - size.x));
  pos.y = std::max(area.y, std::min(pos.y, area.GetBottom() + 1 - size.y));
  dialog->Move(pos);
  return scale;
}

}  // namespace morrowby
