#include "fuzz_support.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "show/project_store.h"

namespace quorvane::fuzz {
namespace {

// The hours, minutes and seconds of "musicTime": two or more digits, then two and two.
bool IsClockText(const std::string& text) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos || colon < 2 || text.size() != colon + 6) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool separator = i == colon || i == colon + 3;
    if (separator ? text[i] != ':' : (text[i] < '0' || text[i] > '9')) return false;
  }
  return text[colon + 1] <= '5' && text[colon + 4] <= '5';
}

}  // namespace

void Fail(std::string_view what, std::string_view detail) {
  std::fprintf(stderr, "\n*** broken: %.*s\n%.*s\n", static_cast<int>(what.size()), what.data(),
               static_cast<int>(detail.size()), detail.data());
  std::abort();
}

void RunFor(sim::Host& host, System& system, int64_t ms) {
  constexpr int64_t kTickMs = 33;
  for (int64_t done = 0; done < ms; done += kTickMs) {
    host.Advance(kTickMs);
    system.core.Tick();
  }
}

void RequireNoHostProblems(const sim::Host& host) {
  if (host.Problems().empty()) return;
  std::string all;
  for (const std::string& problem : host.Problems())
    all += problem + "\n";
  Fail("the host was misused", all);
}

StoredKeys StoredSection(const sim::Host& host) {
  const auto& sections = host.Project().extState;
  const auto section = sections.find(show::kExtStateSection);
  return section == sections.end() ? StoredKeys{} : section->second;
}

DocumentFacts CheckedStateDocument(System& system) {
  std::string text = system.core.StateDocument();
  // The same document as the last one checked (most commands change nothing a remote app sees)
  // need not be parsed again: parsing is most of a run's cost.
  static DocumentFacts last;
  if (text == last.text) return last;
  nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
  Require(!document.is_discarded() && document.is_object(), "the state document parses", text);
  Require(document.value("type", "") == "STATE", "the state document is a STATE", text);

  const nlohmann::json& setlist = document.at("setlist");
  Require(setlist.is_array() && setlist.size() == system.setlist.Items().size(),
          "the document lists every setlist item", text);
  const int64_t current = document.at("currentIndex").get<int64_t>();
  Require(current >= -1 && current < static_cast<int64_t>(setlist.size()),
          "the current index names an item or none", text);
  bool previousIsSong = false;
  for (size_t i = 0; i < setlist.size(); ++i) {
    const nlohmann::json& item = setlist[i];
    const bool pause = item.at("pause").get<bool>();
    Require(!item.at("autoStart").get<bool>() || (!pause && (i == 0 || previousIsSong)),
            "only a song that is first or follows a song starts by itself", text);
    Require(item.at("duration").get<double>() >= 0.0, "a duration is never negative", text);
    previousIsSong = !pause;
  }
  const nlohmann::json& setup = document.at("setup");
  Require(IsClockText(setup.at("musicTime").get<std::string>()),
          "the music time reads as hours:minutes:seconds", text);
  const auto durationMinutes = setup.at("durationMinutes").get<int64_t>();
  Require(durationMinutes >= 0, "the set's length is not negative", text);
  last =
      DocumentFacts{document.at("regions").size(), setlist.size(),
                    document.at("showStatus").get<std::string>(), durationMinutes, std::move(text)};
  return last;
}

}  // namespace quorvane::fuzz
