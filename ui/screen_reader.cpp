// Names and descriptions through ATK, on the control's own GTK widget.
#include "ui/screen_reader.h"

#include <gtk/gtk.h>

namespace morrowby {
namespace {

AtkObject* AccessibleOf(wxWindow* control) {
  GtkWidget* widget = control != nullptr ? GTK_WIDGET(control->GetHandle()) : nullptr;
  return widget != nullptr ? gtk_widget_get_accessible(widget) : nullptr;
}

}  // namespace

void SetScreenReaderName(wxWindow* control, const wxString& name) {
  if (AtkObject* accessible = AccessibleOf(control))
    atk_object_set_name(accessible, name.utf8_str());
}

void SetScreenReaderDescription(wxWindow* control, const wxString& description) {
  if (AtkObject* accessible = AccessibleOf(control))
    atk_object_set_description(accessible, description.utf8_str());
}

void AnnounceWhenShown(wxWindow* window) {
  if (AtkObject* accessible = AccessibleOf(window))
    atk_object_set_role(accessible, ATK_ROLE_NOTIFICATION);
}

}  // namespace morrowby
