// A song's sections come from the markers inside it, and what lands on the bar lands where the
// host counts its bars: across tempo changes, in 6/8, and after a time-signature change that
// cuts a bar short.
#include <gtest/gtest.h>

#include <vector>

#include "host/host_api.h"
#include "show/bar_grid.h"
#include "show/song_sections.h"
#include "sim/sim_host.h"

namespace quorvane::show {
namespace {

host::ProjectMarker Marker(const char* name, double position) {
  host::ProjectMarker marker;
  marker.name = name;
  marker.position = position;
  return marker;
}

std::vector<std::pair<std::string, std::pair<double, double>>> Spans(
    const std::vector<SongSection>& sections) {
  std::vector<std::pair<std::string, std::pair<double, double>>> spans;
  for (const SongSection& section : sections)
    spans.push_back({section.name, {section.start, section.end}});
  return spans;
}

TEST(SongSections, MarkersSplitTheSongAndTheStartBeforeTheFirstIsASectionOfItsOwn) {
  const host::ProjectRegion song{1, "Song", 10.0, 40.0};
  // Out of order, one outside before and after, one at the very end.
  const auto sections =
      SectionsOf(song, {Marker("Chorus", 30.0), Marker("Verse", 18.0), Marker("Earlier", 5.0),
                        Marker("End", 40.0), Marker("Later", 45.0)});
  using Span = std::pair<std::string, std::pair<double, double>>;
  EXPECT_EQ(
      Spans(sections),
      (std::vector<Span>{{"", {10.0, 18.0}}, {"Verse", {18.0, 30.0}}, {"Chorus", {30.0, 40.0}}}));
  EXPECT_EQ(SectionAt(sections, 10.0), 0);
  EXPECT_EQ(SectionAt(sections, 18.0), 1);
  EXPECT_EQ(SectionAt(sections, 39.99), 2);
  EXPECT_EQ(SectionAt(sections, 40.0), -1);
  EXPECT_EQ(SectionAt(sections, 9.0), -1);
}

TEST(SongSections, AMarkerOnTheStartNamesTheFirstSectionAndTwoInOnePlaceMakeOne) {
  const host::ProjectRegion song{1, "Song", 0.0, 20.0};
  const auto sections =
      SectionsOf(song, {Marker("Intro", 0.0), Marker("A", 8.0), Marker("B", 8.0)});
  using Span = std::pair<std::string, std::pair<double, double>>;
  EXPECT_EQ(Spans(sections), (std::vector<Span>{{"Intro", {0.0, 8.0}}, {"B", {8.0, 20.0}}}));
  EXPECT_EQ(Spans(SectionsOf(song, {})), (std::vector<Span>{{"", {0.0, 20.0}}}));
  EXPECT_TRUE(SectionsOf(host::ProjectRegion{2, "Empty", 5.0, 5.0}, {}).empty());
}

class BarGrid : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(api.Bind(host.Info()->GetFunc)); }
  double Next(double time) {
    double bar = -1.0;
    EXPECT_TRUE(NextBarLine(api, time, &bar)) << time;
    return bar;
  }
  double Start(double time) {
    double bar = -1.0;
    EXPECT_TRUE(BarStartAt(api, time, &bar)) << time;
    return bar;
  }
  sim::Host host;
  host::HostApi api;
};

TEST_F(BarGrid, FourFourSixEightAndATempoChange) {
  // 120 bpm 4/4 (2 s bars) to 8 s, then 60 bpm (4 s bars) to 16 s, then 6/8 at 120 (1.5 s bars).
  host.SetTempoMap({{0.0, 120.0, 4, 4}, {8.0, 60.0, 4, 4}, {16.0, 120.0, 6, 8}});
  EXPECT_DOUBLE_EQ(Next(0.0), 2.0);  // on a bar line: the next one
  EXPECT_DOUBLE_EQ(Next(7.0), 8.0);
  EXPECT_DOUBLE_EQ(Next(8.0), 12.0);
  EXPECT_DOUBLE_EQ(Next(15.9), 16.0);
  EXPECT_DOUBLE_EQ(Next(16.0), 17.5);
  EXPECT_DOUBLE_EQ(Next(17.6), 19.0);
  EXPECT_DOUBLE_EQ(Start(7.0), 6.0);
  EXPECT_DOUBLE_EQ(Start(12.0), 12.0);
  EXPECT_DOUBLE_EQ(Start(18.9), 17.5);
}

TEST_F(BarGrid, ASignatureChangeOffTheBarLineStartsABarWhereItSits) {
  host.SetTempoMap({{0.0, 120.0, 4, 4}, {5.0, 120.0, 3, 4}});  // bar 2 cut short at 5 s
  EXPECT_DOUBLE_EQ(Next(4.2), 5.0);
  EXPECT_DOUBLE_EQ(Next(5.0), 6.5);
  EXPECT_DOUBLE_EQ(Start(4.2), 4.0);
  EXPECT_DOUBLE_EQ(Start(6.0), 5.0);
}

TEST_F(BarGrid, AHostWithoutTheTempoMapCannotSay) {
  host.RemoveFunction("TimeMap2_timeToBeats");
  host::HostApi without;
  ASSERT_TRUE(without.Bind(host.Info()->GetFunc));
  double bar = -1.0;
  EXPECT_FALSE(NextBarLine(without, 1.0, &bar));
  EXPECT_FALSE(BarStartAt(without, 1.0, &bar));
  EXPECT_EQ(bar, -1.0);
}

}  // namespace
}  // namespace quorvane::show
