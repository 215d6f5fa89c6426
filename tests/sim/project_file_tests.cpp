// Project files for quorvane-sim: the example reads and becomes the project the extension sees,
// bars land where the simulator's tempo map puts them, and every kind of mistake is reported with
// its line and what is wrong.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/reaper_api.h"
#include "sim/app/project_file.h"
#include "sim_test_support.h"

QUORVANE_EXPORT int ReaperPluginEntry(HINSTANCE instance, reaper_plugin_info_t* rec);

namespace quorvane::sim {
namespace {

ProjectDescription Read(const std::string& text) {
  ProjectDescription project;
  ProjectFileError error;
  EXPECT_TRUE(ReadProjectText(text, &project, &error)) << error.line << ": " << error.message;
  return project;
}

ProjectFileError Refuse(const std::string& text) {
  ProjectDescription project;
  ProjectFileError error;
  EXPECT_FALSE(ReadProjectText(text, &project, &error)) << text;
  return error;
}

TEST(SimProjectFile, TheExampleBecomesTheProjectTheExtensionReads) {
  ProjectDescription project;
  std::string message;
  ASSERT_TRUE(LoadProjectFile(QUORVANE_EXAMPLE_PROJECT, &project, &message)) << message;
  EXPECT_EQ(project.name, "Club Night");
  EXPECT_EQ(project.durationMinutes, 30);
  ASSERT_EQ(project.songs.size(), 6u);

  Host host;
  BuildProject(host, project);
  EXPECT_EQ(host.Project().path, "Club Night.rpp");
  ASSERT_EQ(host.Project().regions.size(), 6u);
  for (const SimRegion& region : host.Project().regions) {
    EXPECT_EQ(host.BeatPosition(region.start).beatInMeasure, 0.0) << region.name;
    EXPECT_EQ(host.BeatPosition(region.end).beatInMeasure, 0.0) << region.name;
  }
  EXPECT_EQ(host.Project().markers.size(), 13u);
  ASSERT_EQ(host.Project().tracks.size(), 8u);
  EXPECT_EQ(host.Track(0).name, "Backing");
  EXPECT_EQ(host.Track(0).folderDepth, 1);
  EXPECT_EQ(host.Track(3).folderDepth, -1);  // "Synths" closes "Backing"

  ASSERT_EQ(ReaperPluginEntry(nullptr, host.Info()), 1);
  host.Run(100);
  ASSERT_TRUE(host.RunAction("Quorvane_ShowSetlist"));
  const std::string& report = host.ConsoleText();
  EXPECT_NE(report.find("Total: 7"), std::string::npos) << report;
  EXPECT_NE(report.find("1. Region ID: 1"), std::string::npos) << report;
  EXPECT_NE(report.find("4. Region ID: -1"), std::string::npos) << report;  // the pause
  EXPECT_NE(report.find("7. Region ID: 6"), std::string::npos) << report;
  EXPECT_EQ(host.ExtState("Quorvane", "Setlist.Item.1.AutoStart"), "1");
  EXPECT_EQ(host.ExtState("Quorvane", "Setlist.Item.6.AutoStart"), "1");
  ReaperPluginEntry(nullptr, nullptr);
}

TEST(SimProjectFile, BarsLandOnTheSimulatorsBarLinesAcrossTempoAndMeterChanges) {
  const ProjectDescription project = Read(
      "tempo bar 1 120 4/4\n"
      "tempo bar 5 90\n"
      "tempo bar 9 96 6/8\n"
      "tempo bar 13 140 3/4\n"
      "song 1 A bar 1 bar 5\n"
      "song 2 B bar 5 bar 9\n"
      "song 3 C bar 9 bar 13\n"
      "song 4 D bar 13 bar 20\n"
      "song 5 E 100.5 120\n");
  Host host;
  BuildProject(host, project);
  const int bars[] = {0, 4, 8, 12, 19};
  for (int i = 0; i < 4; ++i) {
    EXPECT_DOUBLE_EQ(project.songs[static_cast<size_t>(i)].start, host.MeasureToTime(bars[i]));
    EXPECT_DOUBLE_EQ(project.songs[static_cast<size_t>(i)].end, host.MeasureToTime(bars[i + 1]));
  }
  EXPECT_DOUBLE_EQ(project.songs[2].end - project.songs[2].start, 4 * 1.875);  // 6/8 at 96
  EXPECT_DOUBLE_EQ(project.songs[4].start, 100.5);
  EXPECT_EQ(host.BeatPosition(project.songs[3].start + 0.1).beatsInMeasure, 3);
  EXPECT_DOUBLE_EQ(host.DividedBpmAt(project.songs[1].start + 1.0), 90.0);
}

TEST(SimProjectFile, FoldersQuotesCommentsAndTheDefaultName) {
  const ProjectDescription project = Read(
      "# a comment line\n"
      "\n"
      "song 7 \"Say \\\"Hi\\\" # not a comment\" 0 10   # a trailing comment\n"
      "folder Outer\n"
      "  folder Inner\n"
      "    track One\n"
      "  end\n"
      "end\n"
      "track Two\n"
      "setlist 7\n");
  EXPECT_EQ(project.songs[0].name, "Say \"Hi\" # not a comment");
  ASSERT_EQ(project.tracks.size(), 4u);
  EXPECT_EQ(project.tracks[0].folderDepth, 1);
  EXPECT_EQ(project.tracks[1].folderDepth, 1);
  EXPECT_EQ(project.tracks[2].folderDepth, -2);  // closes both folders
  EXPECT_EQ(project.tracks[3].folderDepth, 0);
  EXPECT_EQ(project.name, "");
  EXPECT_EQ(project.tempoMap.size(), 1u);  // 120 in 4/4

  const auto path = std::filesystem::temp_directory_path() / "quorvane_sim_Late Set.txt";
  std::ofstream(path) << "song 1 One 0 10\n";
  ProjectDescription loaded;
  std::string message;
  ASSERT_TRUE(LoadProjectFile(path.string(), &loaded, &message)) << message;
  EXPECT_EQ(loaded.name, "quorvane_sim_Late Set");
  std::filesystem::remove(path);
}

struct BadFile {
  const char* text;
  int line;
  const char* message;
};

TEST(SimProjectFile, EachMistakeIsReportedWithItsLineAndWhatIsWrong) {
  const BadFile cases[] = {
      {"song 1 A 0 10\nsongs 2 B 10 20\n", 2,
       "unknown keyword 'songs' (expected name, duration, tempo, song, marker, track, folder, "
       "end or setlist)"},
      {"song 1 \"Open 0 10\n", 1, "a name in double quotes is not closed"},
      {"song 1 A bar 9 bar 5\n", 1, "song 1: the end (bar 5) is not after the start (bar 9)"},
      {"song 1 A 0 10\nsong 1 B 10 20\n", 2, "song: region number 1 is used twice"},
      {"song x A 0 10\n", 1, "song: the region number must be a whole number, not 'x'"},
      {"song 1 A 0\n", 1, "song: the end is missing (a time in seconds, or bar N)"},
      {"song 1 A bar 0 bar 2\n", 1, "song: the start bar must be from 1 to 100000, not 0"},
      {"song 1 A -5 10\n", 1, "song: the start must be a time in seconds or bar N, not '-5'"},
      {"song 1 A 0 10\nmarker \"Verse\" bar 2 extra\n", 2, "marker: unexpected 'extra' at the end"},
      {"tempo bar 3 120\nsong 1 A 0 10\n", 1, "tempo: the first tempo is at bar 1, not bar 3"},
      {"tempo bar 1 120\ntempo bar 9 100\ntempo bar 9 90\n", 3,
       "tempo: bar 9 is not after the previous tempo (bar 9)"},
      {"tempo bar 1 120 6-8\n", 1,
       "tempo: the time signature must look like 4/4 or 6/8, not '6-8'"},
      {"tempo bar 1 120 7/6\n", 1,
       "tempo: the time signature must look like 4/4 or 6/8, not '7/6'"},
      {"tempo bar 1 0\n", 1,
       "tempo: the tempo (quarter notes per minute) must be from 1 to 960, not 0"},
      {"tempo 1 120\n", 1, "tempo: a tempo change is placed at a bar: tempo bar N BPM [N/N]"},
      {"duration 3\n", 1, "duration: the set's length in minutes must be from 5 to 1440, not 3"},
      {"track A\nend\n", 2, "end: no folder is open"},
      {"folder A\nend\n", 2, "end: the folder has no track in it"},
      {"track \"\"\n", 1, "track: the track's name is empty"},
      {"song 1 A 0 10\nsetlist 1 9\n", 2, "setlist: '9' names no song (no song 9 in the file)"},
      {"song 1 A 0 10\nsong 2 B 10 20\nsetlist 1\nsetlist pause 2+\n", 4,
       "setlist: song 2 follows a pause, so it cannot start by itself (drop the +)"},
      {"song 1 A 0 10\nsetlist 1 1\n", 2, "setlist: song 1 is in the setlist twice"},
      {"song 1 A 0 10\nsetlist 1 two\n", 2,
       "setlist: 'two' is not a song's region number, N+ (starts by itself) or pause"},
      {"song 1 A 0 10\nsetlist\n", 2, "setlist: no songs listed (region numbers, N+ or pause)"},
      {"\"song\" 1 A 0 10\n", 1, "a line starts with a keyword, not a name"},
      {"track A\n", 0, "the file has no song: add a line like  song 1 \"Intro\" bar 1 bar 9"},
  };
  for (const BadFile& bad : cases) {
    const ProjectFileError error = Refuse(bad.text);
    EXPECT_EQ(error.line, bad.line) << bad.text;
    EXPECT_EQ(error.message, bad.message) << bad.text;
  }
}

TEST(SimProjectFile, LoadingNamesTheFileAndTheLine) {
  const auto path = std::filesystem::temp_directory_path() / "quorvane_sim_bad_show.txt";
  std::ofstream(path) << "song 1 A 0 10\n\nsetlist 4\n";
  ProjectDescription project;
  std::string message;
  EXPECT_FALSE(LoadProjectFile(path.string(), &project, &message));
  EXPECT_EQ(message, path.string() + ":3: setlist: '4' names no song (no song 4 in the file)");
  std::filesystem::remove(path);

  EXPECT_FALSE(LoadProjectFile(path.string(), &project, &message));
  EXPECT_EQ(message, path.string() + ": cannot open the file");
}

}  // namespace
}  // namespace quorvane::sim
