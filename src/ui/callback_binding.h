// Fills the window's callback slots with the engine operations, so that a button and the
// matching remote command take the same path.
#pragma once

namespace quorvane::host {
class HostApi;
}
namespace quorvane::practise {
class PractiseSession;
}

namespace quorvane::show {
class Setlist;
class ShowEngine;
}  // namespace quorvane::show

namespace quorvane::ui {

class PluginUI;

void ConfigurePluginUI(PluginUI& ui, show::Setlist& setlist, show::ShowEngine& engine,
                       practise::PractiseSession& practise, host::HostApi& host);

}  // namespace quorvane::ui
