// The program's two built-in pictures: icon 1 (a bell, also the main window's icon)
// and icon 2 (a musical note), 32 by 32 pixels in 16 colours.
#pragma once

#include <wx/bitmap.h>
#include <wx/icon.h>

namespace morrowby {

// Icon resource 1 or 2; any other number gives icon 1.
wxBitmap IconBitmap(int resource);
wxIcon IconResource(int resource);

}  // namespace morrowby
