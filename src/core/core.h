// The extension's core: every process-wide record (the host binding, the clocks, the setlist, the
// show engine, the practise session, the window state, the remote and web servers and their views),
// wired in one place, with one Init and one Tick that holds the order of the host's timer tick. The
// extension (host/extension.cpp) adds only the host's business around it: registrations, actions,
// the callbacks' thunks and the window. Tests and benchmarks drive this same object.
//
// Everything here belongs to the host's main thread; only the server runs threads of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/failure_reports.h"
#include "host/held_settings.h"
#include "host/host_api.h"
#include "host/listener_list.h"
#include "host/project_tracker.h"
#include "inbox/command_inbox.h"
#include "inbox/transport.h"
#include "link/link_session.h"
#include "operations/user_operations.h"
#include "platform/clock.h"
#include "platform/main_thread_wake.h"
#include "platform/message_box.h"
#include "practise/count_in_player.h"
#include "practise/practise_session.h"
#include "remote/command_handler.h"
#include "remote/discovery_responder.h"
#include "remote/remote_server.h"
#include "remote/state_document.h"
#include "remote/system_view.h"
#include "core/room_beat.h"
#include "rig/main_link_client.h"
#include "rig/rig_channel.h"
#include "rig/rig_settings.h"
#include "show/setlist.h"
#include "show/show_engine.h"
#include "ui/model_views.h"
#include "ui/plugin_ui.h"
#include "web/rig_endpoint.h"
#include "web/web_remote.h"

namespace quorvane::core {

using GetFunc = void* (*)(const char* name);

struct CoreOptions {
  uint16_t discoveryPort = remote::kDiscoveryPort;
  // Paces the TCP server's documents and bounds each run of the commands; empty: the real steady
  // clock.
  remote::RemoteServer::SteadyClock serverClock;
  // False keeps the servers closed (no socket is opened); their handlers and document still work.
  bool listen = true;
  // The entry record's main window, for hosts that do not offer GetMainHwnd.
  HWND hostMainWindow = nullptr;

  // A core whose server stays closed, for tests that drive it by hand.
  static CoreOptions Closed() {
    CoreOptions options;
    options.listen = false;
    return options;
  }
};

class Core {
 public:
  // `getFunc` is the host's function lookup; the clocks and message boxes take the simulator's
  // seams from it when it offers them.
  explicit Core(GetFunc getFunc, CoreOptions options = {});
  // Gives back what the core changed in the host and stops what it started (Shutdown).
  ~Core();
  Core(const Core&) = delete;
  Core& operator=(const Core&) = delete;

  // Binds the host functions (the one list of host_functions.h, the preview functions included),
  // loads the project's setlist, wires the views and starts the server; false when a required host
  // function is missing (Host().MissingRequired() names them).
  bool Init();
  // The host's timer tick: project change, remote commands, the show and practise ticks, the show
  // clock, the views, the state broadcast, in that order.
  void Tick();
  // Stops the server and any practise run and puts back every host setting held (HeldSettings).
  // Idempotent.
  void Shutdown();

  // The wake that hands work to the main thread between ticks (the extension's message-only
  // window, or the simulator's seam); null detaches it. Before Init: the command inbox tells it
  // about arrived commands, and the count-in's end and a held command result are armed on its
  // one-shot timer. Without one, the tick does all of it a little later.
  void AttachWake(const platform::MainThreadWake* wake);
  // The main thread woken: the current project is tracked first, exactly as the tick does, then
  // queued remote commands run now, in arrival order whatever transport brought them, and their
  // result goes to the clients at once; or the count-in ends on time. Nothing happens inside our
  // own tick or another of our handlers (a message box or menu of ours runs a modal loop that
  // dispatches wakes; the tick drains what is left) nor once Shutdown has begun. The timer also
  // sends a command's result that the TCP server's pace held.
  void OnWake(platform::WakeReason reason);

  // Joins the room's Link session while the "Ableton Link" option is on or this rig is a main or
  // a backup, leaves it otherwise (a single rig without the option stays silent on the network),
  // and notes what the pages show of it. Every tick and every remote command calls it; the rig's
  // code calls it at once after a change of role.
  void UpdateLinkMembership();

  // One remote command line, decoded and run as the inbox runs it between ticks; a line that names
  // no command is refused as "unknown command".
  remote::CommandResult RunRemoteCommand(const std::string& line);
  std::string StateDocument() const;

  host::HostApi& Host() { return host_; }
  host::HeldSettings& Held() { return held_; }
  host::FailureReports& Failures() { return failures_; }
  const platform::Clock& Clock() const { return clock_; }
  const platform::MessageBoxes& Messages() const { return messages_; }
  const host::ProjectTracker& Projects() const { return projects_; }
  ui::PluginUI& Ui() { return ui_; }
  show::Setlist& Setlist() { return setlist_; }
  show::ShowEngine& Engine() { return engine_; }
  practise::PractiseSession& Practise() { return practise_; }
  operations::UserOperations& Operations() { return operations_; }
  inbox::CommandInbox& Inbox() { return inbox_; }
  remote::RemoteServer& Server() { return server_; }
  web::WebRemote& Web() { return web_; }
  const rig::RigSettings& Rig() const { return rigSettings_; }
  const remote::SystemView& System() const { return system_; }
  link::LinkSession& Link() { return link_; }

 private:
  // Follows the host's current project: a change resets the show and loads the new project's
  // setlist before anything else reads or writes it. True when the project changed.
  bool TrackProject();
  // Runs the commands the transports queued so far, within the inbox's per-run budget.
  void RunQueuedCommands();
  // The show clock, the views and the state document for every transport, as things are now.
  void PublishState(inbox::Offer offer);
  // Two rigs, one show (core_rig.cpp). By the role read at Init: a main opens the channel on its
  // web server before it starts and says its hello after; a backup dials the main.
  void InitRig();
  void StartRig();
  // The channel's arrivals: hellos (project comparison, keys), forwarded commands (into the
  // inbox), the main's show (to the follower); the connection and the projects, as pages show them.
  void TakeRigArrivals();
  // The state document to the other rig when it changed: a main's to its backups, a leading
  // backup's to its main; and a backup's hello again when it took or gave up the lead.
  void PublishToOtherRig();
  // The rig that follows passes its clients' commands to the one that leads: nullopt when this rig
  // runs the command itself, else the refusal ("" when it went to the other rig).
  std::optional<std::string> ForwardToLeader(const std::string& line);
  // RIG_HAND_BACK: a leading backup gives the lead back to its main between songs; the refusal,
  // empty when it did.
  std::string HandTheLeadBack();
  // This rig's project print, taken again now and then; true when it changed.
  bool RefreshProjectPrint();
  // A setlist song plays live (not a practise or sound-check run) and this rig leads the room.
  bool LeadsTheRoomsBeat() const;
  // The earliest moment a result a transport's pace held may go out, in ms (0: now); -1: none.
  int64_t HeldResultDueInMs() const;
  // Asks the wake's one-shot timer for a call at the earlier of the running count-in's end and the
  // moment a command's result held by the TCP server's pace may go out (once per deadline).
  void ArmWakeTimer();

  GetFunc getFunc_;
  HWND hostMainWindow_;
  bool listen_;
  host::HostApi host_;
  host::HeldSettings held_{host_};  // before everything that takes a host setting
  host::FailureReports failures_{host_};
  platform::Clock clock_;
  platform::MessageBoxes messages_;
  host::ProjectTracker projects_;
  practise::CountInPlayer countIn_;
  ui::PluginUI ui_;
  show::Setlist setlist_;
  practise::PractiseSession practise_;
  show::ShowEngine engine_;
  ui::ModelViews views_;
  // The views follow the engine and the session from construction until they go.
  host::ListenerScope<show::ShowEngine, show::ShowListener> showViews_{engine_, views_};
  host::ListenerScope<practise::PractiseSession, practise::PractiseListener> practiseViews_{
      practise_, views_};
  operations::UserOperations operations_;
  inbox::CommandInbox inbox_;
  remote::RemoteServer server_;
  remote::SystemView system_;
  // Keeps the document's project sections between builds: a cache, hence mutable.
  mutable remote::StateDocumentBuilder documents_;
  web::WebRemote web_;
  // The rig's part, and the channel's end it has by it (both null on a single rig); the follower
  // plays the main's show here or samples it for the backups (null until a role needs it).
  rig::RigSettings rigSettings_;
  std::unique_ptr<web::RigEndpoint> backups_;
  std::unique_ptr<rig::MainLinkClient> mainLink_;
  rig::ProjectPrint projectPrint_;
  std::optional<rig::ProjectPrint> otherPrint_;  // the other rig's, from its hello
  uint64_t printTakenAt_ = 0;
  std::string ownWebAddress_;  // a backup's, where the pages go when the main is gone
  std::string sentToBackups_;
  std::string sentToMain_;     // a leading backup's last state document to its main
  bool helloLeading_ = false;  // what a backup's hello last told the main of its lead
  // Every way the clients reach us, started in this order and stopped in the reverse.
  std::vector<inbox::Transport*> transports_;
  // The room's Link session, joined only while wanted, and the song's beat published into it.
  link::LinkSession link_;
  RoomBeat roomBeat_{link_};
  // The rig's follower (null on a single rig): it reads the shared beat, so it goes before it.
  std::unique_ptr<rig::ShowFollowing> following_;
  const platform::MainThreadWake* wake_ = nullptr;
  uint64_t armedWakeDeadline_ = 0;
  bool shuttingDown_ = false;
};

}  // namespace quorvane::core
