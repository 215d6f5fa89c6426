// Fills the window's callback slots with the engine operations, so that a button and the
// matching remote command take the same path.
#pragma once

namespace quorvane::host {
class HostApi;
}
namespace quorvane::ui {
class PluginUI;
}
namespace quorvane::practise {
class PractiseSession;
}

namespace quorvane::show {

class Setlist;
class ShowEngine;

void ConfigurePluginUI(ui::PluginUI& ui, Setlist& setlist, ShowEngine& engine,
                       practise::PractiseSession& practise, host::HostApi& host);

}  // namespace quorvane::show
