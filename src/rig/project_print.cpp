#include "rig/project_print.h"

#include <cmath>
#include <cstdio>
#include <map>

namespace quorvane::rig {
namespace {

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", seconds);
  return text;
}

std::string SetlistEntry(const SetlistPrint& item) {
  std::string text = item.regionId < 0 ? "a pause" : "region " + std::to_string(item.regionId);
  if (item.autoStart) text += " (auto-start)";
  return text;
}

}  // namespace

ProjectPrint PrintProject(const host::HostApi& host, const show::Setlist& setlist) {
  ProjectPrint print;
  for (const host::ProjectRegion& region : host.EnumerateRegions())
    print.regions.push_back({region.regionId, region.name, region.end - region.start});
  for (const show::SetlistItem& item : setlist.Items())
    print.setlist.push_back({item.isPause ? -1 : item.regionId, item.autoStart});
  return print;
}

std::vector<std::string> Compare(const ProjectPrint& main, const ProjectPrint& here,
                                 const std::string& there) {
  std::vector<std::string> lines;
  // The first region with a number stands for it, as everywhere a show looks regions up.
  std::map<int32_t, const RegionPrint*> mainRegions;
  std::map<int32_t, const RegionPrint*> hereRegions;
  for (const RegionPrint& region : main.regions)
    mainRegions.emplace(region.id, &region);
  for (const RegionPrint& region : here.regions)
    hereRegions.emplace(region.id, &region);
  for (const auto& [id, onMain] : mainRegions) {
    const std::string name = "Region " + std::to_string(id);
    const auto found = hereRegions.find(id);
    if (found == hereRegions.end()) {
      lines.push_back(name + " ('" + onMain->name + "') missing here");
      continue;
    }
    const RegionPrint& local = *found->second;
    if (local.name != onMain->name) {
      lines.push_back(name + ": name '" + local.name + "' here, '" + onMain->name + "' on " +
                      there);
    }
    if (std::fabs(local.length - onMain->length) > kLengthTolerance) {
      lines.push_back(name + ": length " + Seconds(local.length) + " here, " +
                      Seconds(onMain->length) + " on " + there);
    }
  }
  for (const auto& [id, local] : hereRegions) {
    if (mainRegions.count(id) == 0) {
      lines.push_back("Region " + std::to_string(id) + " ('" + local->name +
                      "') only here, not on " + there);
    }
  }
  const std::size_t items = std::max(main.setlist.size(), here.setlist.size());
  for (std::size_t i = 0; i < items; ++i) {
    const std::string name = "Setlist item " + std::to_string(i + 1);
    if (i >= here.setlist.size()) {
      lines.push_back(name + " (" + SetlistEntry(main.setlist[i]) + ") missing here");
    } else if (i >= main.setlist.size()) {
      lines.push_back(name + " (" + SetlistEntry(here.setlist[i]) + ") only here");
    } else if (main.setlist[i].regionId != here.setlist[i].regionId ||
               main.setlist[i].autoStart != here.setlist[i].autoStart) {
      lines.push_back(name + ": " + SetlistEntry(here.setlist[i]) + " here, " +
                      SetlistEntry(main.setlist[i]) + " on " + there);
    }
  }
  if (lines.size() > kMaxListedDifferences) {
    const std::size_t more = lines.size() - (kMaxListedDifferences - 1);
    lines.resize(kMaxListedDifferences - 1);
    lines.push_back("... and " + std::to_string(more) + " more differences");
  }
  return lines;
}

bool operator==(const ProjectPrint& a, const ProjectPrint& b) {
  if (a.regions.size() != b.regions.size() || a.setlist.size() != b.setlist.size()) return false;
  for (std::size_t i = 0; i < a.regions.size(); ++i) {
    if (a.regions[i].id != b.regions[i].id || a.regions[i].name != b.regions[i].name ||
        a.regions[i].length != b.regions[i].length) {
      return false;
    }
  }
  for (std::size_t i = 0; i < a.setlist.size(); ++i) {
    if (a.setlist[i].regionId != b.setlist[i].regionId ||
        a.setlist[i].autoStart != b.setlist[i].autoStart) {
      return false;
    }
  }
  return true;
}

}  // namespace quorvane::rig
