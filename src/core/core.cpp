#include "core/core.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "platform/host_seams.h"
#include "platform/own_code_scope.h"
#include "protocol/command_scanner.h"
#include "ui/pages.h"

namespace quorvane::core {
namespace {

const platform::ClockSource* SimulatedClock(GetFunc getFunc) {
  return static_cast<const platform::ClockSource*>(getFunc(platform::kClockSourceName));
}

const platform::MessageSink* SimulatedMessages(GetFunc getFunc) {
  return static_cast<const platform::MessageSink*>(getFunc(platform::kMessageSinkName));
}

}  // namespace

Core::Core(GetFunc getFunc, CoreOptions options)
    : getFunc_(getFunc),
      hostMainWindow_(options.hostMainWindow),
      listen_(options.listen),
      clock_(SimulatedClock(getFunc)),
      messages_(SimulatedMessages(getFunc)),
      projects_(host_),
      practise_(host_, held_, clock_, &countIn_),
      engine_(host_, held_, clock_, setlist_, practise_),
      views_(ui_, practise_),
      operations_(host_, ui_, setlist_, engine_, practise_),
      inbox_(options.serverClock),
      server_(inbox_, options.discoveryPort, std::move(options.serverClock)),
      system_{host_, ui_, setlist_, engine_, practise_, operations_, server_},
      web_(inbox_),
      transports_{&server_, &web_} {}

Core::~Core() {
  Shutdown();
}

bool Core::Init() {
  if (!host_.Bind(getFunc_, hostMainWindow_)) return false;
  countIn_.SetPreviewFunctions(practise::PreviewFunctionsOf(host_));
  // The project open now is new to us: tracked here rather than on the first tick, which would
  // otherwise undo a command that arrived before it, as if the project had changed under it.
  if (!TrackProject()) engine_.InitShowEngine();  // no project open: the show starts empty
  ui_.setlist = &setlist_;
  // What the transports' threads catch reaches the host's console from the main thread.
  const auto report = [this](std::string_view where, std::string_view what) {
    failures_.Report(where, what);
  };
  inbox_.SetFailureSink(report);
  for (inbox::Transport* transport : transports_) {
    transport->SetFailureSink(report);
    transport->SetStateProvider([this] { return StateDocument(); });
  }
  // The web remote keeps its port and keys with the host's settings (a session's memory when the
  // host lacks them), as the options keep the Link switch.
  web_.UseSettings({host_.GetExtState, host_.SetExtState});
  operations_.LoadLinkOption();
  UpdateLinkMembership();
  // Without the servers the extension still runs, only not remotely.
  if (listen_) {
    InitRig();
    for (inbox::Transport* transport : transports_)
      transport->Start();
    StartRig();
  }
  return true;
}

void Core::Shutdown() {
  shuttingDown_ = true;
  if (mainLink_) mainLink_->Close();
  engine_.ReleaseHostSettings();
  for (auto transport = transports_.rbegin(); transport != transports_.rend(); ++transport)
    (*transport)->Stop();
  practise_.StopPractise();
  held_.ReleaseAll();  // the rest: the practise rate and its pitch mode
  link_.Leave();
  ui_.link.joined = false;
  ui_.link.peers = 0;
}

void Core::UpdateLinkMembership() {
  if (shuttingDown_) return;
  const bool wanted = ui_.link.option || ui_.rig.role == "main" || ui_.rig.role == "backup";
  if (wanted) {
    link_.Join();
  } else {
    link_.Leave();
  }
  ui_.link.joined = link_.Joined();
  ui_.link.peers = ui_.link.joined ? static_cast<int32_t>(link_.Peers()) : 0;
}

bool Core::LeadsTheRoomsBeat() const {
  return ui_.rig.leading && engine_.Player().Playing() && host_.IsHostPlaying() &&
         !practise_.Run().active;
}

void Core::AttachWake(const platform::MainThreadWake* wake) {
  if (wake_ && !wake) wake_->CancelTimer();
  wake_ = wake && wake->Available() ? wake : nullptr;
  armedWakeDeadline_ = 0;
  inbox::CommandInbox::ArrivalNotifier notify;
  if (wake_) notify = [wake = wake_] { wake->Post(); };
  inbox_.SetArrivalNotifier(std::move(notify));
}

void Core::Tick() {
  // A modal loop opened from here dispatches wakes: they wait for the next tick.
  const platform::OwnCodeScope ours;
  TrackProject();
  TakeRigArrivals();
  RunQueuedCommands();
  engine_.Tick();
  if (practise_.Run().active) practise_.PractiseTick();
  if (following_) following_->Tick(backups_.get(), mainLink_.get());
  UpdateLinkMembership();
  roomBeat_.Tick(host_, LeadsTheRoomsBeat());
  PublishState(inbox::Offer::kTick);
  ArmWakeTimer();
  failures_.Flush();
}

void Core::OnWake(platform::WakeReason reason) {
  if (shuttingDown_ || platform::OwnCodeScope::Active()) return;
  const platform::OwnCodeScope ours;
  // The user may have switched project tabs since the last tick: a command must act on, and store
  // into, the project that is open now.
  TrackProject();
  if (reason == platform::WakeReason::kPosted) {
    RunQueuedCommands();
    // The performer sees the result now, not on the next tick.
    PublishState(inbox::Offer::kCommandResult);
    ArmWakeTimer();  // a result held by its pace, or a practise run a command started
    failures_.Flush();
    return;
  }
  armedWakeDeadline_ = 0;
  if (HeldResultDueInMs() == 0) PublishState(inbox::Offer::kCommandResult);
  const practise::PractiseRun& run = practise_.Run();
  if (run.active && run.countingIn) {
    practise_.PractiseTick();
    if (!practise_.Run().countingIn) operations_.RefreshPractiseDisplay();
  }
  ArmWakeTimer();  // woken early, or for one of two things: the rest of the wait
  failures_.Flush();
}

void Core::RunQueuedCommands() {
  inbox_.Run([this](const std::string& line) {
    // Handing the lead back is this rig's own business, whichever rig leads.
    if (protocol::ReadCommandType(line) == "RIG_HAND_BACK") return HandTheLeadBack();
    if (std::optional<std::string> forwarded = ForwardToLeader(line)) return *forwarded;
    return RunRemoteCommand(line).refusal;
  });
}

void Core::PublishState(inbox::Offer offer) {
  engine_.UpdateShowTiming();
  // Whatever changed the show (a tick, a command, an action) is stored before anyone sees it.
  engine_.KeepShowState();
  engine_.SnapshotShowState();
  ui::SyncWindowState(ui_, engine_.Snapshot());
  operations_.RefreshPractiseDisplay();
  for (inbox::Transport* transport : transports_)
    transport->Publish(offer);
  PublishToOtherRig();
}

int64_t Core::HeldResultDueInMs() const {
  int64_t due = -1;
  for (const inbox::Transport* transport : transports_) {
    const int64_t held = transport->HeldResultDueInMs();
    if (held >= 0 && (due < 0 || held < due)) due = held;
  }
  return due;
}

void Core::ArmWakeTimer() {
  if (!wake_) return;
  const uint64_t now = clock_.MillisecondsSinceStart();
  std::optional<uint64_t> wait;
  const practise::PractiseRun& run = practise_.Run();
  if (run.active && run.countingIn)
    wait = run.countInDeadline > now ? run.countInDeadline - now : 0;
  if (const int64_t held = HeldResultDueInMs(); held >= 0)
    wait = std::min(wait.value_or(UINT64_MAX), static_cast<uint64_t>(held));
  if (!wait) return;
  const uint64_t deadline = now + *wait;
  if (armedWakeDeadline_ == deadline) return;
  constexpr uint64_t kLongestWait = 24ull * 3600 * 1000;
  wake_->ArmTimer(static_cast<int>(std::min(*wait, kLongestWait)));
  armedWakeDeadline_ = deadline;
}

bool Core::TrackProject() {
  const host::ProjectTracker::Change change = projects_.Poll();
  // Another project in the same tab may repeat the change count of the one before.
  if (change != host::ProjectTracker::Change::kNone) host_.ForgetKeptWalk();
  switch (change) {
    case host::ProjectTracker::Change::kNone:
      return false;
    case host::ProjectTracker::Change::kClosed:
      engine_.ResetForProjectChange();
      break;
    case host::ProjectTracker::Change::kOpened:
      engine_.ResetForProjectChange();
      engine_.InitShowEngine(projects_.Path());
      break;
  }
  server_.SetProjectName(projects_.DisplayName());
  // A show that went on after a restart is on stage at once.
  if (engine_.Status() == show::ShowStatus::kLive) {
    ui::ShowLivePage(ui_, practise_);
  } else {
    ui::ShowModeSelectPage(ui_);
  }
  return true;
}

remote::CommandResult Core::RunRemoteCommand(const std::string& line) {
  const std::optional<protocol::DecodedCommand> command = protocol::DecodeCommand(line);
  if (!command) return {false, "unknown command"};
  if (command->Id() == protocol::CommandId::kRigHandBack) {
    std::string refusal = HandTheLeadBack();
    return {refusal.empty(), std::move(refusal)};
  }
  remote::CommandResult result = remote::HandleRemoteCommand(system_, *command);
  UpdateLinkMembership();  // the command may have switched Link on or off
  return result;
}

std::string Core::StateDocument() const {
  return documents_.Build(system_);
}

}  // namespace quorvane::core
