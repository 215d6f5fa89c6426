// The extension's core over a host simulator, initialised as at load; the server is built but not
// started, so no socket is opened.
#pragma once

#include "core/core.h"
#include "sim/sim_host.h"

namespace quorvane::remote::testing {

struct SystemFixture {
  explicit SystemFixture(sim::Host& simHost)
      : core(simHost.Info()->GetFunc, core::CoreOptions::Closed()) {
    core.Init();
  }

  core::Core core;
  host::HostApi& host = core.Host();
  ui::PluginUI& ui = core.Ui();
  show::Setlist& setlist = core.Setlist();
  practise::PractiseSession& practise = core.Practise();
  show::ShowEngine& engine = core.Engine();
  RemoteServer& server = core.Server();
  const SystemView& view = core.System();
};

}  // namespace quorvane::remote::testing
