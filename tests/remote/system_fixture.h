// The extension's core over a host simulator, initialised as at load; the server is built but not
// started, so no socket is opened (a test that starts it gets a discovery port of the system's
// choice).
#pragma once

#include <utility>

#include "core/core.h"
#include "sim/sim_host.h"

namespace quorvane::remote::testing {

struct SystemFixture {
  // `serverClock` paces the server's broadcasts and bounds each run of the inbox (empty: the
  // steady clock).
  explicit SystemFixture(sim::Host& simHost, RemoteServer::SteadyClock serverClock = {})
      : core(simHost.Info()->GetFunc, Options(std::move(serverClock))) {
    core.Init();
  }

  static core::CoreOptions Options(RemoteServer::SteadyClock serverClock) {
    core::CoreOptions options = core::CoreOptions::Closed();
    options.discoveryPort = 0;
    options.serverClock = std::move(serverClock);
    return options;
  }

  core::Core core;
  host::HostApi& host = core.Host();
  ui::PluginUI& ui = core.Ui();
  show::Setlist& setlist = core.Setlist();
  practise::PractiseSession& practise = core.Practise();
  show::ShowEngine& engine = core.Engine();
  inbox::CommandInbox& inbox = core.Inbox();
  RemoteServer& server = core.Server();
  const SystemView& view = core.System();
};

}  // namespace quorvane::remote::testing
