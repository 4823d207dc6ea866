// Template builder: font mapping, dialog-unit conversion with automatic growth, one
// wx control per template entry, access keys, and the keyboard's order.
#include "ui/dialog_builder.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <set>

#include <wx/arrstr.h>
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
#include "ui/shown_text.h"

namespace morrowby {
namespace {

constexpr double kMaxGrowth = 3.0;
// The desktop font size at which the templates' point sizes hold as given: GTK's own
// default ("Sans 10").
constexpr double kReferencePoints = 10.0;
// A static text lower than two lines (in dialog units, eight to a line, the second
// line's leading not counted) is one line: it never wraps.
constexpr int kTwoLines = 15;

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

bool IsButton(ControlKind kind) {
  return kind == ControlKind::kPushButton || kind == ControlKind::kPushLikeCheckBox ||
         kind == ControlKind::kRadioButton;
}

bool IsOneLine(const ControlTemplate& c) {
  return c.kind == ControlKind::kStaticText && c.h < kTwoLines;
}

// The letters and digits a caption may take as its access key, best first: the first
// of each word, then every other one. `*initials` tells how many are first ones.
std::vector<size_t> KeyCandidates(const wxString& caption, size_t* initials) {
  std::vector<size_t> firsts, others;
  bool word_start = true;
  for (size_t i = 0; i < caption.length(); ++i) {
    const bool alnum = wxIsalnum(caption[i]);
    if (alnum) (word_start ? firsts : others).push_back(i);
    word_start = !alnum;
  }
  *initials = firsts.size();
  firsts.insert(firsts.end(), others.begin(), others.end());
  return firsts;
}

// Marks one letter of each button's caption as its access key ("&", with "&&" for an
// ampersand of the caption itself), unique within the window where the captions allow:
// first each caption's word initials, in the order of the keyboard, then any letter.
// A caption with none left keeps its first; the toolkit then cycles between the
// buttons that share it.
void MarkAccessKeys(const DialogTemplate& t, std::vector<wxString>* texts) {
  std::vector<long> chosen(texts->size(), -1);
  std::set<wxUniChar> used;
  for (bool initials_only : {true, false})
    for (size_t i = 0; i < texts->size(); ++i) {
      if (!IsButton(t.controls[i].kind) || chosen[i] >= 0) continue;
      size_t initials = 0;
      const std::vector<size_t> keys = KeyCandidates((*texts)[i], &initials);
      const size_t end = initials_only ? initials : keys.size();
      for (size_t k = 0; k < end && chosen[i] < 0; ++k)
        if (used.insert(wxTolower((*texts)[i][keys[k]])).second)
          chosen[i] = static_cast<long>(keys[k]);
      if (!initials_only && chosen[i] < 0 && !keys.empty()) chosen[i] = keys.front();
    }
  for (size_t i = 0; i < texts->size(); ++i) {
    if (!IsButton(t.controls[i].kind)) continue;
    const wxString caption = (*texts)[i];
    wxString marked;
    for (size_t j = 0; j < caption.length(); ++j) {
      if (static_cast<long>(j) == chosen[i] || caption[j] == '&') marked += '&';
      marked += caption[j];
    }
    (*texts)[i] = marked;
  }
}

// Tab goes through `controls` in their order. wxGTK leaves the order to GTK, which
// would go by position on the window.
void SetKeyboardOrder(const std::vector<wxWindow*>& controls) {
  if (controls.empty()) return;
  GtkWidget* container = gtk_widget_get_parent(GTK_WIDGET(controls.front()->GetHandle()));
  if (container == nullptr || !GTK_IS_CONTAINER(container)) return;
  GList* chain = nullptr;
  for (wxWindow* w : controls) chain = g_list_prepend(chain, w->GetHandle());
  chain = g_list_reverse(chain);
  // Deprecated for GTK 4, which has no focus chains; GTK 3 has no other way.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_container_set_focus_chain(GTK_CONTAINER(container), chain);
  G_GNUC_END_IGNORE_DEPRECATIONS
  g_list_free(chain);
}

// A static text. wxGTK makes each label the label of the next control that takes the
// focus, for screen readers; but that may be a button with a caption of its own (a
// radio button so labelled makes GTK's accessibility code fail an assertion), or a
// window opened over this one, gone once closed. Only an edit box, which has no
// caption, is given the label before it.
class TemplateText : public wxStaticText {
 public:
  using wxStaticText::wxStaticText;

 private:
  void GTKWidgetDoSetMnemonic(GtkWidget* widget) override {
    const bool edit_box = widget != nullptr && GTK_IS_ENTRY(widget) &&
                          gtk_widget_get_toplevel(widget) == gtk_widget_get_toplevel(m_widget);
    gtk_label_set_mnemonic_widget(GTK_LABEL(m_widget), edit_box ? widget : nullptr);
  }
};

// The text each control shows, in template order; the access keys are chosen on the
// texts as shown, so that they fit whatever words the captions have.
std::vector<wxString> ShownTexts(const DialogTemplate& t) {
  std::vector<wxString> texts;
  for (const ControlTemplate& c : t.controls) texts.push_back(ShownControlText(c));
  MarkAccessKeys(t, &texts);
  return texts;
}

BuiltControl MakeControl(wxDialog* dialog, const ControlTemplate& c, const wxString& text) {
  const long tab = (c.style & kNoTabStop) ? 0 : wxTAB_TRAVERSAL;
  BuiltControl built;
  built.id = c.id;
  switch (c.kind) {
    // Exact fit: the layout gives the size, and GTK's minimum button width would
    // otherwise make short labels ("of", "PM") look clipped to the growth rule.
    case ControlKind::kPushButton:
      built.window = new wxButton(dialog, c.id, text, wxDefaultPosition, wxDefaultSize,
                                  tab | wxBU_EXACTFIT);
      break;
    case ControlKind::kPushLikeCheckBox:
      built.window = built.toggle = new wxToggleButton(dialog, c.id, text, wxDefaultPosition,
                                                       wxDefaultSize, wxBU_EXACTFIT);
      break;
    case ControlKind::kRadioButton:
      built.window = built.radio = new wxRadioButton(dialog, c.id, text, wxDefaultPosition,
                                                     wxDefaultSize, (c.style & kGroup) ? wxRB_GROUP : 0);
      break;
    case ControlKind::kStaticText: {
      long style = wxST_NO_AUTORESIZE;
      if (c.style & kAlignCenter) style |= wxALIGN_CENTRE_HORIZONTAL;
      if (c.style & kAlignRight) style |= wxALIGN_RIGHT;
      if (c.style & kSunken) style |= wxBORDER_SUNKEN;
      if (c.style & kBorder) style |= wxBORDER_SIMPLE;
      built.window = built.label = new TemplateText(dialog, c.id, text, wxDefaultPosition,
                                                    wxDefaultSize, style);
      break;
    }
    case ControlKind::kEdit:
      built.window = built.edit = new wxTextCtrl(dialog, c.id, text);
      break;
    case ControlKind::kStaticIcon:
      // Icons share their ids with the OK and Cancel commands; as pictures they send
      // none, so they get no id of their own here.
      built.id = wxID_ANY;
      built.window = new wxStaticBitmap(dialog, wxID_ANY, IconBitmap(c.icon));
      break;
  }
  return built;
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

// The size a control needs for its text: a one-line static text its whole width.
wxSize NeededForText(wxWindow* control, const ControlTemplate& c) {
  wxSize need = NeededSize(control, c.kind);
  if (IsOneLine(c)) {
    int widest = 0;
    const wxString text = control->GetLabel();
    for (const wxString& line : wxSplit(text, '\n', '\0'))
      widest = std::max(widest, control->GetTextExtent(line).x);
    need.x = std::max(need.x, widest + control->GetSize().x - control->GetClientSize().x);
  }
  return need;
}

// The size a control needs for its template text and every text it may show later.
wxSize NeededForAllTexts(wxWindow* control, const ControlTemplate& c) {
  wxSize need = NeededForText(control, c);
  if (c.later_texts.empty()) return need;
  const wxString original = control->GetLabel();
  for (const char* text : c.later_texts) {
    control->SetLabel(ShownText(text));
    need.IncTo(NeededForText(control, c));
  }
  control->SetLabel(original);
  return need;
}

// The desktop's text size against the reference: the size of its font (GtkSettings'
// gtk-font-name, which desktops set from their font setting). The screen's resolution
// (Xft.dpi, which GNOME's text-scaling-factor sets) already applies to every size as
// the toolkit draws it.
double DesktopTextScale() {
  GtkSettings* settings = gtk_settings_get_default();
  if (settings == nullptr) return 1;
  gchar* name = nullptr;
  g_object_get(settings, "gtk-font-name", &name, nullptr);
  if (name == nullptr) return 1;
  PangoFontDescription* font = pango_font_description_from_string(name);
  g_free(name);
  double points = pango_font_description_get_size(font) / double(PANGO_SCALE);
  if (pango_font_description_get_size_is_absolute(font)) points = points * 72 / 96;
  pango_font_description_free(font);
  if (points <= 0) return 1;
  return std::clamp(points / kReferencePoints, 0.5, 4.0);
}

}  // namespace

wxString ShownControlText(const ControlTemplate& c) {
  // A spoken word is shown as it is heard, and the announcement is English.
  wxString text = (c.style & kAsSpoken) ? wxString::FromUTF8(c.text) : ShownText(c.text);
  std::size_t at = 0;
  for (const char* fact : c.fill) {
    const std::size_t mark = text.find("%s", at);
    if (mark == wxString::npos) break;
    const wxString shown = ShownText(fact);
    text.replace(mark, 2, shown);
    at = mark + shown.length();
  }
  return text;
}

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
  // Scaled as the desktop's own text is.
  font.SetFractionalPointSize(t.point_size * DesktopTextScale());
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

const BuiltControl& BuiltControls::Find(int id) const {
  static const BuiltControl kNone;
  for (const BuiltControl& c : all)
    if (c.id == id) return c;
  return kNone;
}

void SetControlText(wxStaticText* label, const wxString& text) {
  label->SetLabel(text);
  label->Wrap(label->GetClientSize().x);
  label->Show(!text.empty());
}

BuiltControls BuildDialog(wxDialog* dialog, wxWindow* parent, const DialogTemplate& t) {
  long style = WindowStyle(t);
  // A parent that is the hidden main window would have the window manager place the
  // dialog over it, off screen: such dialogs stand on their own. Only dialogs are
  // parents to place by, since a window manager keeps the main window on screen.
  const bool parent_visible = dynamic_cast<wxDialog*>(parent) != nullptr &&
                              parent->GetScreenRect().GetRight() > 0;
  if (!parent_visible) style |= wxDIALOG_NO_PARENT;
  dialog->Create(parent, wxID_ANY, ShownText(t.title), wxDefaultPosition,
                 wxDefaultSize, style);
  dialog->SetFont(TemplateFont(t));
  const wxSize base = UnitBase(dialog);
  const double ux = base.x / 4.0, uy = base.y / 8.0;

  // Created in template order, which is the order of the keyboard (Tab) too.
  const std::vector<wxString> texts = ShownTexts(t);
  BuiltControls built;
  std::vector<wxWindow*> controls;
  for (std::size_t i = 0; i < t.controls.size(); ++i) {
    const ControlTemplate& c = t.controls[i];
    built.all.push_back(MakeControl(dialog, c, texts[i]));
    wxWindow* w = built.all.back().window;
    w->SetSize(wxRect(std::lround(c.x * ux), std::lround(c.y * uy),
                      std::lround(c.w * ux), std::lround(c.h * uy)));
    controls.push_back(w);
  }
  SetKeyboardOrder(controls);

  // Growth across first (labels on one line, the longest word of wrapped texts), then
  // down at the grown width.
  // How much the unit base grows, across and down.
  double grow_x = 1, grow_y = 1;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const ControlTemplate& c = t.controls[i];
    if (c.kind == ControlKind::kStaticIcon || c.w <= 0) continue;
    const wxSize need = NeededForAllTexts(controls[i], c);
    // A pixel to spare, so that rounding never leaves a text a pixel short.
    grow_x = std::max(grow_x, (need.x + 1) / (c.w * ux));
  }
  grow_x = std::min(grow_x, kMaxGrowth);
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const ControlTemplate& c = t.controls[i];
    controls[i]->SetSize(std::lround(c.w * ux * grow_x), std::lround(c.h * uy));
    if (c.kind == ControlKind::kStaticIcon || c.h <= 0) continue;
    const wxSize need = NeededForAllTexts(controls[i], c);
    grow_y = std::max(grow_y, need.y / (c.h * uy));
  }
  grow_y = std::min(grow_y, kMaxGrowth);
  const double sx = ux * grow_x, sy = uy * grow_y;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const ControlTemplate& c = t.controls[i];
    controls[i]->SetSize(wxRect(std::lround(c.x * sx), std::lround(c.y * sy),
                                std::lround(c.w * sx), std::lround(c.h * sy)));
    if (built.all[i].label != nullptr) SetControlText(built.all[i].label, controls[i]->GetLabel());
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
  return built;
}

}  // namespace morrowby
