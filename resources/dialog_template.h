// Dialog layouts as data: what the program's windows hold, where, and in which font,
// in dialog units (a quarter of the font's average character width across, an eighth
// of its height down). One builder (ui/dialog_builder.h) turns a template into
// controls. No toolkit here: the layouts are plain data.
#pragma once

#include <vector>

namespace morrowby {

// The commands every window knows by the same id: its OK, its Cancel (also the Escape
// key and the title bar's close box), and its Help.
enum CommonCommand : int {
  kCmOk = 1,
  kCmCancel = 2,
  kCmHelp = 9,
};

enum class ControlKind {
  kPushButton,
  kPushLikeCheckBox,  // toggles between pressed in and released on each click
  kRadioButton,
  kStaticText,
  kEdit,              // single line
  kStaticIcon,        // `icon` names the picture
};

enum ControlStyle : unsigned {
  kAlignLeft = 0,
  kAlignCenter = 1u << 0,
  kAlignRight = 1u << 1,
  kSunken = 1u << 2,
  kBorder = 1u << 3,
  kGroup = 1u << 4,   // first radio button of a group
  kNoTabStop = 1u << 5,
  kAsSpoken = 1u << 6,  // an English word of the spoken announcement, shown as heard
};

// A control's texts are the program's English, which the windows show in the user's
// language (ui/shown_text.h); the message catalogue takes them from here (N_).
struct ControlTemplate {
  int id;
  ControlKind kind;
  const char* text;  // paragraphs are separated by one blank line
  int x, y, w, h;
  unsigned style = 0;
  int icon = 0;      // for kStaticIcon: icon resource 1 or 2
  // Texts the window may put in the control later; the builder makes room for them.
  std::vector<const char*> later_texts = {};
  // Facts put in place of the text's "%s", in order: a version, a folder, a date.
  std::vector<const char*> fill = {};
};

enum class FontFace { kSans, kHeavySans, kSerif };

enum DialogStyle : unsigned {
  kCaption = 1u << 0,     // title bar with a close box
  kThinBorder = 1u << 1,  // no title bar, a thin border (the launch button)
  kStayOnTop = 1u << 2,
};

struct DialogTemplate {
  int id;
  const char* title;
  int x, y, w, h;  // position relative to the owner's top-left corner
  FontFace face;
  int point_size;
  unsigned style;
  std::vector<ControlTemplate> controls;
};

}  // namespace morrowby
