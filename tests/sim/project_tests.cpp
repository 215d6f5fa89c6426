// Projects: tabs and paths, extended state, the dirty counter, markers and regions in host order.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/host_api.h"
#include "sim_test_support.h"

namespace quorvane::sim {
namespace {

using testing::Bind;

TEST(SimProjects, EnumProjectsAnswersTabsAndCopiesPaths) {
  Host host;
  host.SaveProjectAs("/shows/First Show.rpp");
  host.AddProject("/shows/Second.rpp");
  auto enumProjects = Bind<hostfn::EnumProjects>(host, "EnumProjects");

  char path[4096] = {};
  ReaProject* first = enumProjects(-1, path, sizeof path);
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(path, "/shows/First Show.rpp");
  EXPECT_EQ(enumProjects(0, nullptr, 0), first);
  ReaProject* second = enumProjects(1, path, sizeof path);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, first);
  EXPECT_STREQ(path, "/shows/Second.rpp");
  EXPECT_EQ(enumProjects(2, path, sizeof path), nullptr);
  EXPECT_STREQ(path, "");

  char small[8];
  std::memset(small, 'x', sizeof small);
  enumProjects(-1, small, sizeof small);
  EXPECT_STREQ(small, "/shows/");  // truncated: seven bytes and the NUL

  host.SelectProject(1);
  EXPECT_EQ(enumProjects(-1, nullptr, 0), second);
  host.CloseProject(1);
  EXPECT_EQ(enumProjects(-1, nullptr, 0), first);
  host.CloseAllProjects();
  EXPECT_EQ(enumProjects(-1, path, sizeof path), nullptr);
  EXPECT_STREQ(path, "");
  EXPECT_FALSE(host.HasProject());
  EXPECT_THROW(host.Project(), std::logic_error);
  // A new project after all were closed is a new handle and becomes current.
  host.AddProject("/shows/Third.rpp");
  ReaProject* third = enumProjects(-1, nullptr, 0);
  EXPECT_NE(third, nullptr);
  EXPECT_NE(third, first);
  EXPECT_NE(third, second);
}

TEST(SimProjects, ExtStateTruncatesToTheBufferAndAnswersTheFullLength) {
  Host host;
  auto get = Bind<hostfn::GetProjExtState>(host, "GetProjExtState");
  auto set = Bind<hostfn::SetProjExtState>(host, "SetProjExtState");

  EXPECT_GT(set(nullptr, "Quorvane", "Setlist.Count", "12345"), 0);
  char buffer[64];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(get(nullptr, "Quorvane", "Setlist.Count", buffer, sizeof buffer), 5);
  EXPECT_STREQ(buffer, "12345");

  char four[4];
  EXPECT_EQ(get(nullptr, "Quorvane", "Setlist.Count", four, sizeof four), 5);
  EXPECT_STREQ(four, "123");
  char one[1] = {'x'};
  EXPECT_EQ(get(nullptr, "Quorvane", "Setlist.Count", one, 1), 5);
  EXPECT_EQ(one[0], '\0');

  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(get(nullptr, "Quorvane", "Absent", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(get(nullptr, "Other", "Setlist.Count", buffer, sizeof buffer), 0);

  // An empty value removes the key; a missing key removes the section.
  set(nullptr, "Quorvane", "Setlist.Count", "");
  EXPECT_FALSE(host.HasExtState("Quorvane", "Setlist.Count"));
  set(nullptr, "Quorvane", "a", "1");
  set(nullptr, "Quorvane", "b", "2");
  set(nullptr, "Quorvane", nullptr, nullptr);
  EXPECT_FALSE(host.HasExtState("Quorvane", "a"));

  ASSERT_EQ(host.CountCalls("SetProjExtState"), 5);
  EXPECT_EQ(host.CallsTo("SetProjExtState")[0].text, "Quorvane/Setlist.Count=12345");
}

TEST(SimProjects, ExtStateAndDirtyMarksBelongToTheirProject) {
  Host host;
  host.SetExtState("Quorvane", "show_status", "LIVE");
  const int second = host.AddProject("/b.rpp");
  host.SelectProject(second);
  auto get = Bind<hostfn::GetProjExtState>(host, "GetProjExtState");
  auto dirty = Bind<hostfn::MarkProjectDirty>(host, "MarkProjectDirty");
  char buffer[32];
  EXPECT_EQ(get(nullptr, "Quorvane", "show_status", buffer, sizeof buffer), 0);
  dirty(nullptr);
  dirty(nullptr);
  EXPECT_EQ(host.Project().dirtyCount, 2);
  host.SelectProject(0);
  EXPECT_EQ(host.Project().dirtyCount, 0);
  EXPECT_EQ(get(nullptr, "Quorvane", "show_status", buffer, sizeof buffer), 4);
  EXPECT_EQ(host.CountCalls("MarkProjectDirty"), 2);
}

TEST(SimProjects, MarkersAndRegionsComeInHostOrder) {
  Host host;
  host.AddRegion(2, "Second Song", 60.0, 120.0);
  host.AddMarker(1, "Verse", 10.0);
  host.AddRegion(1, "First Song", 0.0, 50.0, 0x1000000 | 0xFF0000);
  host.AddMarker(3, "Chorus", 60.0);  // same position as region 2: after it, added later
  host.AddMarker(2, "", 30.0);

  auto count = Bind<hostfn::CountProjectMarkers>(host, "CountProjectMarkers");
  auto enumerate = Bind<hostfn::EnumProjectMarkers3>(host, "EnumProjectMarkers3");
  int markers = -1;
  int regions = -1;
  EXPECT_EQ(count(nullptr, &markers, &regions), 5);
  EXPECT_EQ(markers, 3);
  EXPECT_EQ(regions, 2);

  struct Entry {
    bool region;
    double position;
    std::string name;
    int number;
  };
  std::vector<Entry> seen;
  for (int i = 0;; ++i) {
    bool isRegion = false;
    double position = 0.0;
    double end = 0.0;
    const char* name = nullptr;
    int number = 0;
    int colour = 0;
    const int next = enumerate(nullptr, i, &isRegion, &position, &end, &name, &number, &colour);
    if (next == 0) break;
    EXPECT_EQ(next, i + 1);
    seen.push_back(Entry{isRegion, position, name, number});
    if (isRegion && number == 1) {
      EXPECT_EQ(end, 50.0);
      EXPECT_EQ(colour, 0x1FF0000);
    }
  }
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_TRUE(seen[0].region);
  EXPECT_EQ(seen[0].name, "First Song");
  EXPECT_EQ(seen[1].name, "Verse");
  EXPECT_EQ(seen[2].name, "");
  EXPECT_EQ(seen[2].number, 2);
  EXPECT_TRUE(seen[3].region);
  EXPECT_EQ(seen[3].number, 2);
  EXPECT_FALSE(seen[4].region);
  EXPECT_EQ(seen[4].name, "Chorus");
  EXPECT_EQ(enumerate(nullptr, -1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);

  // The extension's own enumeration agrees.
  host::HostApi api;
  ASSERT_TRUE(api.Bind(host.Info()->GetFunc));
  const auto found = api.EnumerateRegions();
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].regionId, 1);
  EXPECT_EQ(found[1].regionId, 2);
  const auto inFirst = api.EnumerateMarkersInRegion(found[0]);
  ASSERT_EQ(inFirst.size(), 2u);
  EXPECT_EQ(inFirst[0].name, "Verse");
}

TEST(SimProjects, AProjectChangedBetweenEnumerationsIsSeenFresh) {
  Host host;
  host.AddRegion(1, "A", 0.0, 10.0);
  host.AddRegion(2, "B", 20.0, 30.0);
  host::HostApi api;
  ASSERT_TRUE(api.Bind(host.Info()->GetFunc));
  ASSERT_EQ(api.EnumerateRegions().size(), 2u);
  host.Project().regions[1].start = -5.0;  // moved in the host: now first
  host.ProjectEdited();
  const auto regions = api.EnumerateRegions();
  ASSERT_EQ(regions.size(), 2u);
  EXPECT_EQ(regions[0].regionId, 2);
  host.Project().regions.pop_back();
  host.ProjectEdited();
  EXPECT_EQ(api.EnumerateRegions().size(), 1u);
}

}  // namespace
}  // namespace quorvane::sim
