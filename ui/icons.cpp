// Icon resources, built in from the XPM pictures under resources/icons.
#include "ui/icons.h"

#include "resources/icons/icon1.xpm"
#include "resources/icons/icon2.xpm"

namespace morrowby {

wxBitmap IconBitmap(int resource) {
  return wxBitmap(resource == 2 ? icon2_xpm : icon1_xpm);
}

wxIcon IconResource(int resource) {
  wxIcon icon;
  icon.CopyFromBitmap(IconBitmap(resource));
  return icon;
}

}  // namespace morrowby
