// What the band reads when the two rigs' projects differ: every difference that would make the
// backup play something else, none for projects that agree.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rig/project_print.h"

namespace quorvane::rig {
namespace {

using ::testing::ElementsAre;

ProjectPrint Main() {
  return {
      {{1, "Opener", 60.0}, {2, "Second", 90.0}, {3, "Outro (long)", 200.0}, {5, "Encore", 180.0}},
      {{1, false}, {2, true}, {-1, false}, {3, false}}};
}

TEST(ProjectComparison, AgreeingProjectsShowNothing) {
  EXPECT_TRUE(Compare(Main(), Main(), "the main").empty());
  // A length a rounding apart is the same length.
  ProjectPrint here = Main();
  here.regions[0].length += 0.0004;
  EXPECT_TRUE(Compare(Main(), here, "the main").empty());
}

TEST(ProjectComparison, EveryDifferenceIsOneLineSaidFromThisRig) {
  ProjectPrint here = Main();
  here.regions[2].name = "Outro";
  here.regions[1].length = 90.5;
  here.regions.erase(here.regions.begin() + 3);     // no Encore here
  here.regions.push_back({7, "Soundcheck", 30.0});  // one the main lacks
  here.setlist[1].autoStart = false;
  here.setlist.pop_back();
  EXPECT_THAT(Compare(Main(), here, "the main"),
              ElementsAre("Region 2: length 90.500 s here, 90.000 s on the main",
                          "Region 3: name 'Outro' here, 'Outro (long)' on the main",
                          "Region 5 ('Encore') missing here",
                          "Region 7 ('Soundcheck') only here, not on the main",
                          "Setlist item 2: region 2 here, region 2 (auto-start) on the main",
                          "Setlist item 4 (region 3) missing here"));
  // The main names the backup.
  EXPECT_THAT(Compare(here, Main(), "the backup"),
              ::testing::Contains("Region 3: name 'Outro (long)' here, 'Outro' on the backup"));
}

TEST(ProjectComparison, AProjectFarApartIsSummedUpAfterTheFirstLines) {
  ProjectPrint here;
  ProjectPrint main;
  for (int32_t id = 1; id <= 50; ++id)
    main.regions.push_back({id, "Song " + std::to_string(id), 100.0});
  const std::vector<std::string> lines = Compare(main, here, "the main");
  ASSERT_EQ(lines.size(), kMaxListedDifferences);
  EXPECT_EQ(lines.front(), "Region 1 ('Song 1') missing here");
  EXPECT_EQ(lines.back(), "... and 31 more differences");
}

}  // namespace
}  // namespace quorvane::rig
