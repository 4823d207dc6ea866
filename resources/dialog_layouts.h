// The program's dialog layouts, by resource number.
#pragma once

#include <vector>

#include "ui/dialog_template.h"

namespace morrowby {

// Resource numbers of the windows.
enum DialogResource {
  kSongListEditorResource = 1,
  kSetupResource = 2,
  kPlayModeResource = 3,
  kAboutResource = 4,
  kProgramDetailsResource = 5,
  kSongEntryHelpResource = 7,
  kSelectionModesResource = 8,
  kInitialSettingUpResource = 9,
  kDateWordsResource = 10,
  kLaunchResource = 11,
};

// The layout of a resource; nullptr for a number the program does not have.
const DialogTemplate* FindDialogTemplate(int resource_id);

// Every layout the program has, for tests and screenshots.
std::vector<const DialogTemplate*> AllDialogTemplates();

// Texts the windows put into their controls at run time.
extern const char* const kSlotNumberLabels[10];  // "1." to "10."
extern const char* const kSlotDayLabels[7];      // "Sunday" to "Saturday"
extern const char kSavePrompt[];                 // the Setup window's prompt line

}  // namespace morrowby
