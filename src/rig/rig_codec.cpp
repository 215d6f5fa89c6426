#include "rig/rig_codec.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>

namespace quorvane::rig {
namespace {

using Json = nlohmann::json;

// Project lengths and positions beyond these are nonsense from a broken or hostile peer.
constexpr double kMaxSeconds = 1e7;
constexpr double kMaxBeat = 1e12;
constexpr double kMaxRate = 10.0;
constexpr std::size_t kMaxKeyBytes = 256;
constexpr std::size_t kMaxAddressBytes = 2048;

std::string Dump(const Json& json) {
  // A region's name need not be valid UTF-8: it is replaced rather than refused.
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json PrintJson(const ProjectPrint& print) {
  Json regions = Json::array();
  for (const RegionPrint& region : print.regions)
    regions.push_back({{"id", region.id}, {"name", region.name}, {"length", region.length}});
  Json setlist = Json::array();
  for (const SetlistPrint& item : print.setlist)
    setlist.push_back({{"regionId", item.regionId}, {"autoStart", item.autoStart}});
  return {{"regions", std::move(regions)}, {"setlist", std::move(setlist)}};
}

// Readers of one member each: false when it is missing or not what it must be.
bool ReadString(const Json& object, const char* key, std::size_t maxBytes, std::string* out) {
  const auto found = object.find(key);
  if (found == object.end() || !found->is_string()) return false;
  const std::string& text = found->get_ref<const std::string&>();
  if (text.size() > maxBytes) return false;
  *out = text;
  return true;
}

bool ReadNumber(const Json& object, const char* key, double low, double high, double* out) {
  const auto found = object.find(key);
  if (found == object.end() || !found->is_number()) return false;
  const double value = found->get<double>();
  if (!std::isfinite(value) || value < low || value > high) return false;
  *out = value;
  return true;
}

bool ReadInt32(const Json& object, const char* key, int32_t* out) {
  const auto found = object.find(key);
  if (found == object.end() || !found->is_number_integer()) return false;
  if (found->is_number_unsigned()) {
    const uint64_t value = found->get<uint64_t>();
    if (value > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return false;
    *out = static_cast<int32_t>(value);
    return true;
  }
  const int64_t value = found->get<int64_t>();
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
    return false;
  *out = static_cast<int32_t>(value);
  return true;
}

bool ReadBool(const Json& object, const char* key, bool* out) {
  const auto found = object.find(key);
  if (found == object.end() || !found->is_boolean()) return false;
  *out = found->get<bool>();
  return true;
}

bool ReadPrint(const Json& object, ProjectPrint* out) {
  const auto project = object.find("project");
  if (project == object.end() || !project->is_object()) return false;
  const auto regions = project->find("regions");
  const auto setlist = project->find("setlist");
  if (regions == project->end() || !regions->is_array() || regions->size() > kMaxPrintRegions)
    return false;
  if (setlist == project->end() || !setlist->is_array() || setlist->size() > kMaxPrintSetlist)
    return false;
  for (const Json& entry : *regions) {
    RegionPrint region;
    if (!entry.is_object() || !ReadInt32(entry, "id", &region.id) ||
        !ReadString(entry, "name", kMaxNameBytes, &region.name) ||
        !ReadNumber(entry, "length", 0.0, kMaxSeconds, &region.length)) {
      return false;
    }
    out->regions.push_back(std::move(region));
  }
  for (const Json& entry : *setlist) {
    SetlistPrint item;
    if (!entry.is_object() || !ReadInt32(entry, "regionId", &item.regionId) ||
        !ReadBool(entry, "autoStart", &item.autoStart)) {
      return false;
    }
    out->setlist.push_back(item);
  }
  return true;
}

Json SampleJson(const TimelineSample& sample) {
  return {{"type", "timeline"},          {"sequence", sample.sequence},
          {"linkBeat", sample.linkBeat}, {"position", sample.position},
          {"rate", sample.rate},         {"playing", sample.playing},
          {"regionId", sample.regionId}};
}

std::optional<TimelineSample> ReadSample(const Json& json) {
  TimelineSample sample;
  const auto sequence = json.find("sequence");
  if (sequence == json.end() || !sequence->is_number_unsigned()) return std::nullopt;
  sample.sequence = sequence->get<uint64_t>();
  if (!ReadNumber(json, "linkBeat", -kMaxBeat, kMaxBeat, &sample.linkBeat) ||
      !ReadNumber(json, "position", -kMaxSeconds, kMaxSeconds, &sample.position) ||
      !ReadNumber(json, "rate", 0.0, kMaxRate, &sample.rate) || sample.rate <= 0.0 ||
      !ReadBool(json, "playing", &sample.playing) ||
      !ReadInt32(json, "regionId", &sample.regionId)) {
    return std::nullopt;
  }
  return sample;
}

std::optional<ForwardedCommand> ReadCommand(const Json& json) {
  ForwardedCommand command;
  if (!ReadString(json, "line", kMaxSmallMessageBytes, &command.line) || command.line.empty())
    return std::nullopt;
  return command;
}

// The object a message's text holds, and its type; nullopt when it is no object with a type or is
// larger than any message may be.
std::optional<Json> Parse(std::string_view text) {
  if (text.size() > kMaxChannelMessageBytes) return std::nullopt;
  Json json = Json::parse(text, nullptr, false);
  if (json.is_discarded() || !json.is_object()) return std::nullopt;
  const auto type = json.find("type");
  if (type == json.end() || !type->is_string()) return std::nullopt;
  return json;
}

bool FitsSmall(std::string_view text) {
  return text.size() <= kMaxSmallMessageBytes;
}

// What the leading rig sends either way (its state document, its timeline) and a forwarded
// command: the same members whichever rig leads.
template <typename Message, typename State>
std::optional<Message> DecodeFromLeader(const Json& json, const std::string& type,
                                        std::string_view text) {
  if (type == "state") {
    State state;
    if (!ReadString(json, "document", kMaxLargeMessageBytes, &state.document)) return std::nullopt;
    return state;
  }
  if (type == "timeline" && FitsSmall(text)) {
    if (std::optional<TimelineSample> sample = ReadSample(json)) return *sample;
    return std::nullopt;
  }
  if (type == "command" && FitsSmall(text)) {
    if (std::optional<ForwardedCommand> command = ReadCommand(json)) return *command;
    return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

std::string Encode(const FromMain& message) {
  if (const auto* hello = std::get_if<MainHello>(&message)) {
    return Dump({{"type", "hello"},
                 {"project", PrintJson(hello->project)},
                 {"controlKey", hello->controlKey},
                 {"viewKey", hello->viewKey}});
  }
  if (const auto* state = std::get_if<MainState>(&message))
    return Dump({{"type", "state"}, {"document", state->document}});
  if (const auto* command = std::get_if<ForwardedCommand>(&message))
    return Dump({{"type", "command"}, {"line", command->line}});
  return Dump(SampleJson(std::get<TimelineSample>(message)));
}

std::string Encode(const FromBackup& message) {
  if (const auto* hello = std::get_if<BackupHello>(&message)) {
    return Dump({{"type", "hello"},
                 {"project", PrintJson(hello->project)},
                 {"webAddress", hello->webAddress},
                 {"leading", hello->leading}});
  }
  if (const auto* state = std::get_if<BackupState>(&message))
    return Dump({{"type", "state"}, {"document", state->document}});
  if (const auto* sample = std::get_if<TimelineSample>(&message)) return Dump(SampleJson(*sample));
  return Dump({{"type", "command"}, {"line", std::get<ForwardedCommand>(message).line}});
}

std::optional<FromMain> DecodeFromMain(std::string_view text) {
  const std::optional<Json> json = Parse(text);
  if (!json) return std::nullopt;
  const std::string& type = (*json)["type"].get_ref<const std::string&>();
  if (type == "hello") {
    MainHello hello;
    if (!ReadPrint(*json, &hello.project) ||
        !ReadString(*json, "controlKey", kMaxKeyBytes, &hello.controlKey) ||
        !ReadString(*json, "viewKey", kMaxKeyBytes, &hello.viewKey)) {
      return std::nullopt;
    }
    return hello;
  }
  return DecodeFromLeader<FromMain, MainState>(*json, type, text);
}

std::optional<FromBackup> DecodeFromBackup(std::string_view text) {
  const std::optional<Json> json = Parse(text);
  if (!json) return std::nullopt;
  const std::string& type = (*json)["type"].get_ref<const std::string&>();
  if (type == "hello") {
    BackupHello hello;
    if (!ReadPrint(*json, &hello.project) ||
        !ReadString(*json, "webAddress", kMaxAddressBytes, &hello.webAddress)) {
      return std::nullopt;
    }
    // Missing: a backup that never leads (an older one) says nothing of it.
    if (json->contains("leading") && !ReadBool(*json, "leading", &hello.leading))
      return std::nullopt;
    return hello;
  }
  return DecodeFromLeader<FromBackup, BackupState>(*json, type, text);
}

}  // namespace quorvane::rig
