// The commands a Quorvane instance understands, with the fields each one reads, and the short
// words (aliases) by which quorvane-remote sends the common ones. The tool uses the table to
// type an alias's arguments, to warn about fields a command does not read, and for its help.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "protocol/command_table.h"

namespace quorvane::remote_cli {

// The commands themselves are the extension's own table: the tool lists exactly what the server
// handles, with the same fields.
using FieldType = protocol::FieldType;
using FieldInfo = protocol::FieldDefinition;
using CommandInfo = protocol::CommandDefinition;
using protocol::FieldTypeName;

// A word that sends one command; its arguments are the command's fields, in order, all required.
struct AliasInfo {
  std::string_view word;
  std::string_view command;
};

std::span<const CommandInfo> Commands();
const CommandInfo* FindCommand(std::string_view name);
const FieldInfo* FindField(const CommandInfo& command, std::string_view name);

const std::vector<AliasInfo>& Aliases();
const AliasInfo* FindAlias(std::string_view word);

}  // namespace quorvane::remote_cli
