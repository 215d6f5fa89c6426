// The records the remote side works on, wired as the extension wires them at load, over a host
// simulator; the server is built but not started, so no socket is opened.
#pragma once

#include "host/host_api.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "practise/count_in_player.h"
#include "practise/practise_session.h"
#include "remote/remote_server.h"
#include "remote/system_view.h"
#include "show/callback_binding.h"
#include "show/setlist.h"
#include "show/show_engine.h"
#include "sim/sim_host.h"
#include "ui/plugin_ui.h"

namespace quorvane::remote::testing {

struct SystemFixture {
  explicit SystemFixture(sim::Host& simHost)
      : clock(simHost.ClockSource()),
        messages(simHost.MessageSink()),
        countIn(practise::BindPreviewFunctions(simHost.Info()->GetFunc)),
        practise(host, clock, messages, ui, &countIn),
        engine(host, clock, messages, setlist, ui, practise),
        view{host, ui, setlist, engine, practise, server} {
    host.Bind(simHost.Info()->GetFunc);
    engine.InitShowEngine();
    show::ConfigurePluginUI(ui, setlist, engine, practise, host);
  }

  host::HostApi host;
  platform::Clock clock;
  platform::MessageBoxes messages;
  practise::CountInPlayer countIn;
  ui::PluginUI ui;
  show::Setlist setlist;
  practise::PractiseSession practise;
  show::ShowEngine engine;
  RemoteServer server;
  SystemView view;
};

}  // namespace quorvane::remote::testing
