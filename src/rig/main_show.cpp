#include "rig/main_show.h"

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>

namespace quorvane::rig {
namespace {

using nlohmann::json;

show::ShowStatus StatusNamed(const std::string& name) {
  if (name == "LIVE") return show::ShowStatus::kLive;
  if (name == "FINISHED") return show::ShowStatus::kFinished;
  return show::ShowStatus::kPrepared;
}

// The end of the section playing, when the document names one.
std::optional<double> SectionEnd(const json& document) {
  const json& sections = document.value("sections", json::array());
  const int64_t index = document.value("sectionIndex", int64_t{-1});
  if (!sections.is_array() || index < 0 || index >= static_cast<int64_t>(sections.size())) {
    return std::nullopt;
  }
  const json& section = sections[static_cast<std::size_t>(index)];
  if (!section.is_object() || !section.contains("end") || !section["end"].is_number()) {
    return std::nullopt;
  }
  return section["end"].get<double>();
}

}  // namespace

std::optional<MainShow> ReadMainShow(std::string_view document) {
  const json root = json::parse(document.begin(), document.end(), nullptr, false);
  if (!root.is_object() || root.value("type", std::string()) != "STATE") return std::nullopt;
  const json& setlist = root.value("setlist", json());
  if (!setlist.is_array() || !root.contains("showStatus")) return std::nullopt;
  try {
    MainShow show;
    show.status = StatusNamed(root.at("showStatus").get<std::string>());
    show.elapsed = root.value("showElapsed", 0.0);
    if (!std::isfinite(show.elapsed) || show.elapsed < 0.0) show.elapsed = 0.0;
    show.currentIndex = root.value("currentIndex", int32_t{-1});
    for (const json& entry : setlist) {
      show::SetlistItem item = entry.value("pause", false)
                                   ? show::SetlistItem::Pause()
                                   : show::SetlistItem::Song(entry.at("regionId").get<int32_t>(),
                                                             entry.value("autoStart", false));
      item.note = entry.value("note", std::string());
      if (entry.value("played", false)) show.played.insert(static_cast<int32_t>(show.items.size()));
      show.items.push_back(std::move(item));
    }
    show.vamp = root.value("vamp", false);
    show.queuedSection = root.value("queuedSection", int32_t{-1});
    const double queuedAt = root.value("queuedAt", 0.0);
    const std::optional<double> sectionEnd = SectionEnd(root);
    show.queuedAtSectionEnd = sectionEnd && std::fabs(queuedAt - *sectionEnd) < 1e-3;
    return show;
  } catch (const json::exception&) {
    return std::nullopt;  // a member of the wrong type: not a document we can follow
  }
}

}  // namespace quorvane::rig
