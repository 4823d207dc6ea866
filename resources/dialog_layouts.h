// The program's dialog layouts, by resource number.
#pragma once

#include <vector>

#include "resources/dialog_template.h"

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

// The ids of each window's controls and commands, named once for its layout and its
// handlers alike (with the common commands of dialog_template.h).
struct LaunchIds {
  enum : int { kButton = 101 };
};
struct SongListEditorIds {
  enum : int {
    kFirstBox = 101,    // the edit box of slot i is kFirstBox + i
    kOpenFile = 111,
    kTitle = 121,
    kAddSong = 123,
    kFirstLabel = 125,  // the label of slot i is kFirstLabel + 2 i
  };
};
struct SetupIds {
  enum : int {
    kSongList = 101,
    kSetMode = 102,
    kDateWords = 103,
    kSave = 104,
    kSaveAs = 105,
    kPrompt = 106,
  };
};
struct PlayModeIds {
  enum : int {
    kRandomly = 101,
    kSerially = 102,
    kDayOfWeek = 103,
    kTitle = 104,
    kAnnounce = 105,
    kOrHear = 106,
    kSilent = 107,
  };
};
struct DateWordsIds {
  enum : int {
    kSample = 101,
    kIntro = 102,
    kPressText = 103,
    // The component buttons, in DateLine's order but for the last.
    kChime = 104,
    kOpener = 105,
    kWeekday = 106,
    kThe = 107,
    kDay = 108,
    kOf = 109,
    kMonth = 110,
    kHour = 111,
    kMinutes = 112,
    kTwelveHour = 113,
    kTwentyFourHour = 114,
    kAmPm = 115,
  };
};

// The layout of a resource; nullptr for a number the program does not have.
const DialogTemplate* FindDialogTemplate(int resource_id);

// Every layout the program has, for tests and screenshots.
std::vector<const DialogTemplate*> AllDialogTemplates();

// Texts the windows put into their controls at run time.
extern const char* const kSlotNumberLabels[10];  // "1." to "10."
extern const char* const kSlotDayLabels[7];      // "Sunday" to "Saturday"
extern const char kSavePrompt[];                 // the Setup window's prompt line
// What a screen reader says of a date word's button: released, the word is spoken.
extern const char kWordSpoken[];
extern const char kWordLeftOut[];

}  // namespace morrowby
