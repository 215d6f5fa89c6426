// The commands a Quorvane instance understands, with the fields each one reads, and the short
// words (aliases) by which quorvane-remote sends the common ones. The tool uses the table to
// type an alias's arguments, to warn about fields a command does not read, and for its help.
#pragma once

#include <string_view>
#include <vector>

namespace quorvane::remote_cli {

// How the extension reads a field: integers with strtol, reals with strtod, booleans by looking
// for "true" or "false" right after the colon. A string is never read.
enum class FieldType { kInteger, kBoolean, kReal };

std::string_view FieldTypeName(FieldType type);

struct FieldInfo {
  std::string_view name;  // the member name on the wire, e.g. "trackIndex"
  FieldType type;
  std::string_view placeholder;  // how an alias names the argument, e.g. "TRACK"
};

struct CommandInfo {
  std::string_view name;  // the "cmd" value, e.g. "LIVE_PLAY_NEXT"
  std::vector<FieldInfo> fields;
  std::string_view summary;
};

// A word that sends one command; its arguments are the command's fields, in order, all required.
struct AliasInfo {
  std::string_view word;
  std::string_view command;
};

const std::vector<CommandInfo>& Commands();
const CommandInfo* FindCommand(std::string_view name);
const FieldInfo* FindField(const CommandInfo& command, std::string_view name);

const std::vector<AliasInfo>& Aliases();
const AliasInfo* FindAlias(std::string_view word);

}  // namespace quorvane::remote_cli
