// The command line: each option, the ways of writing them, and what is not understood.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace morrowby {
namespace {

CommandLine Parse(std::initializer_list<std::string> words) {
  std::vector<std::string> args{"morrowby"};
  args.insert(args.end(), words);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(CommandLineTest, EachOptionChoosesItsRun) {
  struct Case {
    std::initializer_list<std::string> words;
    RunKind kind;
    std::string output;
    bool autostart_on = false;
  };
  const Case cases[] = {
      {{}, RunKind::kGreet, ""},
      {{"--setup"}, RunKind::kSetup, ""},
      {{"--say-time"}, RunKind::kSayTime, ""},
      {{"--say-time", "--output", "now.wav"}, RunKind::kSayTime, "now.wav"},
      {{"--say-time", "--output=a b.wav"}, RunKind::kSayTime, "a b.wav"},
      {{"-o", "x.wav", "--say-time"}, RunKind::kSayTime, "x.wav"},
      {{"-ox.wav"}, RunKind::kSayTime, "x.wav"},  // --output alone implies --say-time
      {{"--say"}, RunKind::kSayTime, ""},         // an unambiguous abbreviation
      {{"--chime"}, RunKind::kSayTime, ""},       // (the chime's own line is checked below)
      {{"--help"}, RunKind::kHelp, ""},
      {{"--version"}, RunKind::kVersion, ""},
      {{"--setup", "--help", "--version"}, RunKind::kHelp, ""},
      {{"--autostart", "on"}, RunKind::kAutostart, "", true},
      {{"--autostart=off"}, RunKind::kAutostart, "", false},
      {{"--auto=on"}, RunKind::kAutostart, "", true},
  };
  for (const Case& c : cases) {
    const CommandLine line = Parse(c.words);
    const std::string what = ::testing::PrintToString(std::vector<std::string>(c.words));
    EXPECT_EQ(line.kind, c.kind) << what;
    EXPECT_EQ(line.output, c.output) << what;
    EXPECT_EQ(line.autostart_on, c.autostart_on) << what;
    EXPECT_EQ(line.complaint, "") << what;
  }
}

TEST(CommandLineTest, OnlyTheChimeKeepsQuietWhenAsked) {
  EXPECT_TRUE(Parse({"--chime"}).chime);
  EXPECT_FALSE(Parse({"--say-time"}).chime);
  EXPECT_FALSE(Parse({}).chime);
}

TEST(CommandLineTest, WhatIsNotUnderstoodIsOneLineAndTheRunGreets) {
  struct Case {
    std::initializer_list<std::string> words;
    std::string named;  // what the complaint must quote
  };
  const Case cases[] = {
      {{"--frobnicate"}, "'--frobnicate' is not understood"},
      {{"--say-time", "-x"}, "'-x' is not understood"},
      {{"--s"}, "'--s' is not understood"},  // --setup or --say-time?
      {{"--setup=now"}, "'--setup=now' is not understood"},
      {{"--say-time", "--output"}, "'--output' needs a file name"},
      {{"--say-time", "-o"}, "'-o' needs a file name"},
      {{"--say-time", "--output="}, "'--output' needs a file name"},
      {{"--say-time", "now"}, "unexpected argument 'now'"},
      {{"--setup", "--say-time"}, "cannot be used together"},
      {{"--autostart"}, "'--autostart' needs on or off"},
      {{"--autostart", "yes"}, "takes on or off, not 'yes'"},
      {{"--autostart=on", "--setup"}, "--setup and --autostart cannot be used together"},
      {{"--say-time", "--autostart=off"}, "--say-time and --autostart cannot be used together"},
  };
  for (const Case& c : cases) {
    const CommandLine line = Parse(c.words);
    const std::string what = ::testing::PrintToString(std::vector<std::string>(c.words));
    EXPECT_EQ(line.kind, RunKind::kGreet) << what;
    EXPECT_EQ(line.output, "") << what;
    EXPECT_FALSE(line.autostart_on) << what;
    EXPECT_NE(line.complaint.find(c.named), std::string::npos) << what << ": " << line.complaint;
    EXPECT_EQ(line.complaint.rfind("morrowby: ", 0), 0u) << line.complaint;
    EXPECT_EQ(line.complaint.find('\n'), std::string::npos) << line.complaint;
  }
  EXPECT_FALSE(Parse({"--chime", "--setup"}).chime);
  // --help still answers, and the complaint is kept for stderr.
  const CommandLine help = Parse({"--frobnicate", "--help"});
  EXPECT_EQ(help.kind, RunKind::kHelp);
  EXPECT_NE(help.complaint, "");
}

}  // namespace
}  // namespace morrowby
