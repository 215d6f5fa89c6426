// The stored setlist and show settings as a project carries them: the input is the extension's
// section of the project's extended state, one "KEY=VALUE" per line, which the extension reads
// through its real load path. Whatever loads must save back to keys that load to the same
// setlist and save to the very same keys again; the stored show keys never change how a project
// loads.
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "show/project_store.h"

namespace {

using quorvane::fuzz::CheckedStateDocument;
using quorvane::fuzz::Require;
using quorvane::fuzz::StoredKeys;
using quorvane::fuzz::StoredSection;
using quorvane::fuzz::System;
using quorvane::show::kExtStateSection;
using quorvane::show::SetlistItem;
using quorvane::sim::Host;

// The host keeps C strings: a key or value ends at its first NUL, and an empty one is not kept.
std::string HostText(std::string_view text) {
  return std::string(text.substr(0, text.find('\0')));
}

StoredKeys ReadInput(std::string_view input) {
  StoredKeys keys;
  while (!input.empty()) {
    const size_t end = std::min(input.find('\n'), input.size());
    const std::string_view line = input.substr(0, end);
    input.remove_prefix(std::min(end + 1, input.size()));
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string key = HostText(line.substr(0, equals));
    const std::string value = HostText(line.substr(equals + 1));
    if (!key.empty() && !value.empty()) keys[key] = value;
  }
  return keys;
}

struct Loaded {
  std::vector<SetlistItem> items;
  int32_t currentIndex = -1;
  StoredKeys saved;  // the section after the extension saved what it loaded
};

// A project holding `keys`, loaded by the extension, which then saves its setlist back.
Loaded LoadAndSave(const StoredKeys& keys) {
  Host host;
  for (const auto& [key, value] : keys)
    host.SetExtState(kExtStateSection, key, value);
  System system(host);
  quorvane::fuzz::RunFor(host, system, 33);  // the first tick takes the project up again
  const auto document = CheckedStateDocument(system);
  Require(document.showStatus == "PREPARED" && document.durationMinutes == 45,
          "a loaded project starts a prepared show of the default length", document.text);
  Loaded loaded{system.setlist.Items(), system.setlist.CurrentIndex(), {}};
  Require(loaded.currentIndex == (loaded.items.empty() ? -1 : 0),
          "a loaded setlist stands on its first item");
  system.engine.SaveSetlist();
  loaded.saved = StoredSection(host);
  return loaded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const StoredKeys input = ReadInput(quorvane::fuzz::AsText(data, size));
  // One simulated host at a time: the host functions reach the newest one.
  const Loaded first = LoadAndSave(input);
  const Loaded again = LoadAndSave(first.saved);
  Require(again.items == first.items && again.currentIndex == first.currentIndex,
          "a saved setlist loads back as it was");
  Require(again.saved == first.saved, "a saved setlist saves back to the same keys");
  Require(first.saved.count("Setlist.Count") == 1 &&
              first.saved.at("Setlist.Count") == std::to_string(first.items.size()),
          "the saved count is the number of items");
  return 0;
}
