// The remote commands as data: each command's name, the fields it reads with their defaults, and
// whether it offers the state to every client when it is done. The server's command handler runs
// its operation by the command's id; quorvane-remote lists, types and explains the commands from
// the same table, so a command can be neither handled without being listed nor listed without
// being handled. Plain data only: the command-line tool compiles this file in by itself.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace quorvane::protocol {

enum class CommandId : uint8_t {
  kPing,
  kRequestState,
  kModeMenu,
  kOpenAbout,
  kOpenOptions,
  kOptionsLiveMarkers,
  kOptionsTimeSigBpm,
  kOptionsLink,
  kExitOptions,
  kClosePlugin,
  kOpenLiveSetup,
  kExitMode,
  kModeLive,
  kModePractise,
  kModeSoundCheck,
  kLivePlayNext,
  kLiveStop,
  kLiveReplay,
  kLiveStartShow,
  kLiveEndShow,
  kLiveSelect,
  kLiveVamp,
  kLiveJumpSection,
  kLiveNextSection,
  kLivePreviousSection,
  kLiveCancelJump,
  kSetupAddRegion,
  kSetupAddPause,
  kSetupRemove,
  kSetupMoveUp,
  kSetupMoveDown,
  kSetupToggleAutoStart,
  kSetupNote,
  kSetupDuration,
  kSetupAutoStartShow,
  kSetupAutoStartTime,
  kProjectTrackMute,
  kProjectTrackSolo,
  kPractisePlay,
  kPractiseStop,
  kPractiseLoop,
  kPractiseRegion,
  kPractiseStart,
  kPractiseStopPoint,
  kPractisePrecount,
  kPractiseRate,
  kRigHandBack,
};

// How the extension reads a field: integers with strtol, reals with strtod, booleans by looking
// for "true" or "false" right after the colon, strings as JSON strings (escapes decoded, UTF-8
// checked).
enum class FieldType : uint8_t { kInteger, kBoolean, kReal, kString };

std::string_view FieldTypeName(FieldType type);

struct FieldDefinition {
  std::string_view name;  // the member name on the wire, e.g. "trackIndex"
  FieldType type;
  // What the field stands for when it is missing or unreadable; a command never acts on a
  // missing field, so the default only ever refuses (or, for the options, keeps the value).
  std::string_view defaultValue;
  std::string_view placeholder;  // how quorvane-remote's shortcuts name the argument
};

enum class Broadcast : uint8_t {
  kNo,           // the change goes out at the end of the tick
  kAlways,       // the state is offered at once, also when a field was missing or refused
  kWhenApplied,  // at once, but only when the command changed something
};

struct CommandDefinition {
  CommandId id;
  std::string_view name;  // the "cmd" value, e.g. "LIVE_PLAY_NEXT"
  std::span<const FieldDefinition> fields;
  Broadcast broadcast;
  std::string_view summary;
};

// Every command, in the protocol's order.
std::span<const CommandDefinition> RemoteCommands();
// The command named exactly `name` (case-sensitive); null when none is.
const CommandDefinition* FindRemoteCommand(std::string_view name);
const FieldDefinition* FindCommandField(const CommandDefinition& command, std::string_view name);

}  // namespace quorvane::protocol
