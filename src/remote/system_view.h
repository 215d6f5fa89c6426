// The records the remote side reads and drives: the state document is built from them and the
// command handler acts on them through the user operations. All of them belong to the host's main
// thread.
#pragma once

namespace quorvane::host {
class HostApi;
}
namespace quorvane::ui {
class PluginUI;
}
namespace quorvane::show {
class Setlist;
class ShowEngine;
}  // namespace quorvane::show
namespace quorvane::practise {
class PractiseSession;
}
namespace quorvane::operations {
class UserOperations;
}

namespace quorvane::remote {

class RemoteServer;

struct SystemView {
  host::HostApi& host;
  ui::PluginUI& ui;
  show::Setlist& setlist;
  show::ShowEngine& engine;
  practise::PractiseSession& practise;
  operations::UserOperations& operations;
  RemoteServer& server;
};

}  // namespace quorvane::remote
