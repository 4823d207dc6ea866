// Layout data of every window: ids, kinds, texts and rectangles in dialog units.
#include "resources/dialog_layouts.h"

namespace morrowby {
namespace {

using K = ControlKind;

// The launch window: one push-like button in a borderless box at the screen's corner.
const DialogTemplate kLaunch = {
    kLaunchResource, "", 0, 0, 65, 20, FontFace::kSans, 12, kThinBorder | kStayOnTop,
    {
        {101, K::kPushLikeCheckBox, "Morrowby Setup", 3, 3, 58, 14},
    }};

const DialogTemplate* const kAll[] = {&kLaunch};

}  // namespace

const DialogTemplate* FindDialogTemplate(int resource_id) {
  for (const DialogTemplate* t : kAll)
    if (t->id == resource_id) return t;
  return nullptr;
}

std::vector<const DialogTemplate*> AllDialogTemplates() {
  return std::vector<const DialogTemplate*>(std::begin(kAll), std::end(kAll));
}

}  // namespace morrowby
