// quorvane-remote's help: the overview, and one page per verb and per alias.
#pragma once

#include <string>
#include <string_view>

namespace quorvane::remote_cli {

// The help for `topic` (empty: the overview; else "discover", "watch", "send", "commands" or an
// alias word or a command name); empty when there is no such topic.
std::string HelpText(std::string_view topic);

}  // namespace quorvane::remote_cli
