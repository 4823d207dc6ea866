// Layout data of every window: ids, kinds, texts and rectangles in dialog units, and
// the texts the windows set at run time. Texts are the program's own words, spelling
// and spacing included; paragraphs are separated by one blank line.
#include "resources/dialog_layouts.h"

#include "store/translation.h"

namespace morrowby {

const char* const kSlotNumberLabels[10] = {"1.", "2.", "3.", "4.", "5.",
                                           "6.", "7.", "8.", "9.", "10."};
const char* const kSlotDayLabels[7] = {N_("Sunday"),   N_("Monday"), N_("Tuesday"),
                                       N_("Wednesday"), N_("Thursday"), N_("Friday"),
                                       N_("Saturday")};
const char kSavePrompt[] = N_("Do you wish to save the changes to the Song List ?");
// Shown in the About window.
const char kReleaseDate[] = N_("December 2026");
const char kWordSpoken[] = N_("spoken");
const char kWordLeftOut[] = N_("left out");

namespace {

using K = ControlKind;
using E = SongListEditorIds;
using S = SetupIds;
using M = PlayModeIds;
using D = DateWordsIds;
// The labels of the editor's slots show numbers, or day names in day-of-the-week mode.
const char* const* const kNumber = kSlotNumberLabels;
const char* const* const kDay = kSlotDayLabels;

// The launch window: one push-like button in a borderless box at the screen's corner.
const DialogTemplate kLaunch = {
    kLaunchResource, "", 0, 0, 65, 20, FontFace::kSans, 12, kThinBorder | kStayOnTop,
    {
        {LaunchIds::kButton, K::kPushLikeCheckBox, N_("Morrowby Setup"), 3, 3, 58, 14},
    }};

// The song list editor: ten slots, each a label and an edit box.
const DialogTemplate kSongListEditor = {
    kSongListEditorResource, "Morrowby ", 0, 0, 312, 225, FontFace::kSans, 8, kCaption,
    {
        {E::kTitle, K::kStaticText, N_("Opening Sounds"), 72, 12, 140, 12, kAlignCenter | kSunken},
        {E::kFirstLabel + 0, K::kStaticText, "", 24, 39, 37, 10, kAlignRight, 0, {kNumber[0], kDay[0]}},
        {E::kFirstBox + 0, K::kEdit, "", 64, 38, 212, 13},
        {E::kFirstLabel + 2, K::kStaticText, "", 24, 52, 37, 10, kAlignRight, 0, {kNumber[1], kDay[1]}},
        {E::kFirstBox + 1, K::kEdit, "", 64, 51, 212, 13},
        {E::kFirstLabel + 4, K::kStaticText, "", 24, 65, 37, 10, kAlignRight, 0, {kNumber[2], kDay[2]}},
        {E::kFirstBox + 2, K::kEdit, "", 64, 64, 212, 13},
        {E::kFirstLabel + 6, K::kStaticText, "", 24, 78, 37, 10, kAlignRight, 0, {kNumber[3], kDay[3]}},
        {E::kFirstBox + 3, K::kEdit, "", 64, 77, 212, 13},
        {E::kFirstLabel + 8, K::kStaticText, "", 24, 91, 37, 10, kAlignRight, 0, {kNumber[4], kDay[4]}},
        {E::kFirstBox + 4, K::kEdit, "", 64, 90, 212, 13},
        {E::kFirstLabel + 10, K::kStaticText, "", 24, 104, 37, 10, kAlignRight, 0, {kNumber[5], kDay[5]}},
        {E::kFirstBox + 5, K::kEdit, "", 64, 103, 212, 14},
        {E::kFirstLabel + 12, K::kStaticText, "", 24, 117, 37, 10, kAlignRight, 0, {kNumber[6], kDay[6]}},
        {E::kFirstBox + 6, K::kEdit, "", 64, 116, 212, 14},
        {E::kFirstLabel + 14, K::kStaticText, "", 24, 129, 37, 10, kAlignRight, 0, {kNumber[7]}},
        {E::kFirstBox + 7, K::kEdit, "", 64, 129, 212, 13},
        {E::kFirstLabel + 16, K::kStaticText, "", 24, 142, 37, 10, kAlignRight, 0, {kNumber[8]}},
        {E::kFirstBox + 8, K::kEdit, "", 64, 142, 212, 13},
        {E::kFirstLabel + 18, K::kStaticText, "", 24, 156, 37, 10, kAlignRight, 0, {kNumber[9]}},
        {E::kFirstBox + 9, K::kEdit, "", 64, 155, 212, 13},
        {E::kAddSong, K::kPushButton, N_("Add Opening Song"), 108, 172, 108, 14},
        {kCmHelp, K::kPushButton, N_("Help"), 4, 201, 30, 14},
        {kCmCancel, K::kPushButton, N_("Cancel"), 48, 201, 50, 14},
        {E::kOpenFile, K::kPushButton, N_("Open File"), 140, 202, 64, 14},
        {kCmOk, K::kPushButton, N_("OK"), 244, 201, 48, 14},
    }};

// The Setup window. Close carries the OK command and comes first in tab order.
const DialogTemplate kSetup = {
    kSetupResource, N_("Setup"), 0, 0, 176, 82, FontFace::kHeavySans, 10, kCaption,
    {
        {kCmOk, K::kPushButton, N_("Close"), 82, 25, 71, 11},
        {S::kSongList, K::kPushButton, "Morrowby", 6, 7, 71, 11},
        {S::kSetMode, K::kPushButton, N_("Set Mode"), 82, 7, 71, 11},
        {S::kDateWords, K::kPushButton, N_("Modify Date Words"), 6, 25, 71, 11},
        {S::kSave, K::kPushButton, N_("Save"), 28, 64, 48, 9},
        {S::kSaveAs, K::kPushButton, N_("Save As"), 93, 64, 48, 9},
        {S::kPrompt, K::kStaticText, "", 19, 44, 136, 16, kAlignLeft, 0, {kSavePrompt}},
    }};

const DialogTemplate kPlayMode = {
    kPlayModeResource, N_("Play Mode"), 0, 0, 243, 126, FontFace::kSans, 8, kCaption,
    {
        {M::kTitle, K::kStaticText, N_("Select how you wish your tunes to be selected"), 31, 3, 157, 13},
        {M::kRandomly, K::kRadioButton, N_("Randomly"), 23, 18, 70, 16, kGroup},
        {M::kSerially, K::kRadioButton, N_("Serially"), 23, 35, 70, 16},
        {M::kDayOfWeek, K::kRadioButton, N_("Day of the Week"), 23, 52, 70, 16},
        {M::kOrHear, K::kStaticText, N_("or hear"), 101, 60, 30, 11},
        {M::kAnnounce, K::kRadioButton, N_("Day Name Announce"), 131, 59, 88, 12},
        {M::kSilent, K::kRadioButton, N_("No Sounds at all"), 23, 82, 71, 8},
        {kCmHelp, K::kPushButton, N_("Help"), 8, 105, 50, 14},
        {kCmCancel, K::kPushButton, N_("Cancel"), 109, 104, 50, 14},
        {kCmOk, K::kPushButton, N_("OK"), 179, 104, 50, 14},
    }};

// The component buttons sit edge to edge so that they read as one sentence.
const DialogTemplate kDateWords = {
    kDateWordsResource, N_("Personalise the Date/Time Announcement"), 1, 0, 403, 126,
    FontFace::kSans, 8, kCaption,
    {
        {kCmCancel, K::kPushButton, N_("Cancel"), 203, 111, 50, 14},
        {D::kSample, K::kStaticText, "", 21, 26, 225, 12},
        {D::kIntro, K::kStaticText,
         N_("The default Date and Time announcement includes the components shown in the "
            "typical announcement below"),
         11, 13, 352, 14},
        {D::kPressText, K::kStaticText, N_("Press any component that you wish to be omitted"), 111, 47, 164, 12},
        {D::kChime, K::kPushLikeCheckBox, "Ding Dong", 26, 26, 57, 12, kAsSpoken},
        {D::kOpener, K::kPushLikeCheckBox, "It's", 83, 26, 26, 12, kAsSpoken},
        {D::kThe, K::kPushLikeCheckBox, "the", 149, 26, 26, 12, kAsSpoken},
        {D::kDay, K::kPushLikeCheckBox, "first", 175, 26, 37, 12, kAsSpoken},
        {D::kOf, K::kPushLikeCheckBox, "of", 212, 26, 21, 12, kAsSpoken},
        {D::kMonth, K::kPushLikeCheckBox, "January", 233, 26, 47, 12, kAsSpoken},
        {D::kHour, K::kPushLikeCheckBox, "six", 280, 26, 27, 12, kAsSpoken},
        {D::kMinutes, K::kPushLikeCheckBox, "fifteen", 308, 26, 46, 12, kAsSpoken},
        {kCmOk, K::kPushButton, N_("OK"), 260, 111, 50, 14},
        {D::kAmPm, K::kPushLikeCheckBox, "PM", 354, 26, 30, 12, kAsSpoken},
        {D::kTwelveHour, K::kRadioButton, N_("12 hour clock"), 30, 67, 61, 10, kGroup},
        {D::kTwentyFourHour, K::kRadioButton, N_("24 hour clock"), 30, 79, 61, 10},
        {D::kWeekday, K::kPushLikeCheckBox, "Monday", 109, 26, 40, 12, kAsSpoken},
    }};

// The icons carry ids 1 and 2 like the commands; as pictures they send none.
const DialogTemplate kAbout = {
    kAboutResource, N_("About Morrowby"), 0, 0, 240, 120, FontFace::kSerif, 10, kCaption,
    {
        {kCmCancel, K::kPushButton, N_("Close"), 178, 99, 50, 14},
        {101, K::kStaticText, N_("Morrowby - a program to cheer up the day!"), 43, 13, 141, 11,
         kAlignCenter | kBorder},
        {1, K::kStaticIcon, nullptr, 11, 9, 18, 17, 0, 1},
        {2, K::kStaticIcon, nullptr, 201, 10, 18, 17, 0, 2},
        {102, K::kStaticText, N_("Made by the Morrowby developers, %s, version %s"),
         26, 30, 192, 13, 0, 0, {}, {kReleaseDate, MORROWBY_VERSION}},
        {104, K::kStaticText, N_("Free software under the MIT licence: copy and share it freely."),
         7, 96, 155, 18},
        {105, K::kStaticText, N_("The latest copy of this program is always available from:"),
         29, 48, 171, 11},
        {106, K::kStaticText, N_("%s\nWhere a current E-mail address can also be found."),
         32, 59, 169, 23, kAlignCenter, 0, {}, {MORROWBY_DOC_DIR}},
    }};

const DialogTemplate kProgramDetails = {
    kProgramDetailsResource, N_("Program Details"), 0, 0, 377, 166, FontFace::kSans, 8, kCaption,
    {
        {kCmCancel, K::kPushButton, N_("Close"), 311, 151, 50, 14},
        {101, K::kStaticText,
         N_("The program is designed to provide alternatives to the standard Microsoft sounds "
            "associated with the start-up of Windows.  You can enter the addresses of up to 10 "
            ".WAV sound files from which will be played when the program is called."),
         16, 17, 339, 31},
        {104, K::kPushButton, N_("Tech info"), 225, 152, 50, 14},
        {105, K::kStaticText,
         N_("To have the sounds played automatically, you should place a shortcut to the "
            "program in your 'Startup Folder'.  You could also place a shortcut on your deskto "
            "to play tunes atany time."),
         15, 44, 355, 18},
        {102, K::kStaticText,
         N_("The tunes that you select can be played in 3 different orders.  At random, "
            "Serially or according to the day of the week.  Yiur choice is made by clicking "
            "the 'Set Mode' button."),
         16, 70, 335, 21},
        {103, K::kStaticText,
         N_("A fourth option exists in which the date is announced in place a song.  "),
         17, 94, 349, 14},
        {106, K::kStaticText,
         N_("Access to the Setup Window is obtained by pressing the 'Setup' button which "
            "appears in the top left corner of the screen and remains there for just 2 "
            "seconds each time the program is run."),
         17, 113, 349, 20},
    }};

const DialogTemplate kSongEntryHelp = {
    kSongEntryHelpResource, N_("Song Entry Help"), 0, -1, 318, 94, FontFace::kSans, 8, kCaption,
    {
        {kCmCancel, K::kPushButton, N_("Close"), 232, 71, 56, 18},
        {101, K::kStaticText,
         N_("This is where you enter the addresses of the .WAV files that you would like to "
            "be played.  You must enter the full address including the drive letter.\n\n"
            "You can type-in the addresses, or, if you press one of the 'Add' buttons, you "
            "will be able to use the normal Windows 'File|Open' dialog.  The latter is "
            "probably the best method."),
         14, 12, 296, 44},
    }};

const DialogTemplate kSelectionModes = {
    kSelectionModesResource, N_("Selection Modes"), 0, 0, 240, 134, FontFace::kSans, 8, kCaption,
    {
        {kCmCancel, K::kPushButton, N_("Close"), 180, 111, 50, 14},
        {101, K::kStaticText,
         N_("If you want the program to make a random selection for you each time you "
            "re-start the compouter, click the 'Random' button.\n\n"
            "If you want the program to run through your selection advancing one tune each "
            "time you re-start the compouter, choose 'Serial'\n\n"
            "If you choose the Day selection, you will get the same selection each Monday, "
            "each Tuesday etc.  Only seven tunes can be entered for this made."),
         14, 9, 204, 77},
        {102, K::kStaticText,
         N_("If you take the 'Date Announce' option, then pre-recorded announcements of the "
            "date will be made."),
         15, 87, 205, 15},
    }};

const DialogTemplate kInitialSettingUp = {
    kInitialSettingUpResource, N_("Initial Setting-up"), 0, 0, 248, 86, FontFace::kSans, 8, kCaption,
    {
        {kCmCancel, K::kPushButton, N_("Close"), 186, 70, 50, 14},
        {101, K::kStaticText,
         N_("There are 2 stages to setting up Morrowby.\n\n"
            "1.  You must enter the songs from which you require the program to select.  "
            "These must be standard .WAV files.\n\n"
            "2 . You must choose the Mode in which you wish the songs played. (The default "
            "is 'random')."),
         10, 10, 229, 59},
    }};

const DialogTemplate* const kAll[] = {
    &kSongListEditor, &kSetup,          &kPlayMode,         &kAbout,      &kProgramDetails,
    &kSongEntryHelp,  &kSelectionModes, &kInitialSettingUp, &kDateWords,  &kLaunch,
};

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
