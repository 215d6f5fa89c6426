// The core's part in a two-rig show: the role read at Init, the rig channel's arrivals taken each
// tick, the state documents to the rig that follows, and the following rig's commands passed to
// the one that leads. A backup leads once its main went; a main that comes back follows it until
// the lead is handed back (RIG_HAND_BACK on the backup, between songs). The follower
// (rig::ShowFollowing) plays the leading rig's show; this file handles the channel itself.
#include <chrono>
#include <string>
#include <type_traits>
#include <variant>

#include "core/core.h"
#include "rig/follower.h"
#include "rig/project_print.h"

namespace quorvane::core {
namespace {

// The project's print is taken again at most this often (an edit on stage is rare; the walk is
// kept, but the names are copied).
constexpr uint64_t kPrintEveryMs = 500;

const char* const kMainUnreachable = "The main rig is not reachable.";
const char* const kBackupUnreachable = "The backup rig is not reachable.";

}  // namespace

void Core::InitRig() {
  rigSettings_ = rig::RigSettings::Read({host_.GetExtState, host_.SetExtState});
  ui_.rig.role = rig::RoleName(rigSettings_.role);
  ui_.rig.mainAddress = rigSettings_.mainAddress;
  // A main's web server carries the channel from its start.
  if (rigSettings_.role == rig::Role::kMain)
    backups_ = std::make_unique<web::RigEndpoint>(web_.Server());
  // A main samples its show for the backups; a backup plays the main's until it takes the lead.
  if (rigSettings_.role != rig::Role::kSingle) {
    // The window's and the host's actions act on the leading rig's show while this one follows;
    // a refusal is also told in the host's console, as an action has no other way to say it.
    operations_.SetLeaderPass([this](const std::string& line) {
      std::optional<std::string> refusal = ForwardToLeader(line);
      if (refusal && !refusal->empty()) failures_.Report("the rig", *refusal);
      return refusal;
    });
    following_ = std::make_unique<rig::Follower>(
        rig::FollowerParts{host_, held_, clock_, engine_, setlist_, ui_.rig}, link_,
        rigSettings_.role, std::chrono::milliseconds(rigSettings_.failoverMs));
  }
}

void Core::StartRig() {
  if (rigSettings_.role == rig::Role::kSingle) return;
  RefreshProjectPrint();
  printTakenAt_ = clock_.MillisecondsSinceStart();
  if (backups_) {
    backups_->Send(rig::MainHello{projectPrint_, web_.Keys().control, web_.Keys().view});
    return;
  }
  // A backup follows until it takes the lead (the follower decides that).
  ui_.rig.leading = false;
  const auto report = [this](std::string_view where, std::string_view what) {
    failures_.Report(where, what);
  };
  mainLink_ = std::make_unique<rig::MainLinkClient>(report);
  if (web_.Server().IsRunning()) {
    const std::string host = web_.Hosts().empty() ? "127.0.0.1" : web_.Hosts().front();
    ownWebAddress_ = "http://" + host + ":" + std::to_string(web_.Server().Port()) + "/";
  }
  mainLink_->Open(rigSettings_.mainAddress, rig::BackupHello{projectPrint_, ownWebAddress_});
  ui_.rig.problem = mainLink_->AddressProblem();
}

bool Core::RefreshProjectPrint() {
  rig::ProjectPrint print = rig::PrintProject(host_, setlist_);
  if (print == projectPrint_) return false;
  projectPrint_ = std::move(print);
  return true;
}

void Core::TakeRigArrivals() {
  if (!backups_ && !mainLink_) return;
  const char* const there = backups_ ? "the backup" : "the main";
  bool compare = false;
  const uint64_t now = clock_.MillisecondsSinceStart();
  if (now - printTakenAt_ >= kPrintEveryMs) {
    printTakenAt_ = now;
    if (RefreshProjectPrint()) {
      compare = true;
      if (backups_) {
        backups_->Send(rig::MainHello{projectPrint_, web_.Keys().control, web_.Keys().view});
      } else {
        helloLeading_ = ui_.rig.leading;
        mainLink_->UpdateHello(rig::BackupHello{projectPrint_, ownWebAddress_, helloLeading_});
      }
    }
  }
  if (backups_) {
    for (rig::FromBackup& message : backups_->TakeArrived()) {
      if (auto* hello = std::get_if<rig::BackupHello>(&message)) {
        if (!hello->webAddress.empty()) ui_.rig.backupAddress = hello->webAddress;
        otherPrint_ = std::move(hello->project);
        compare = true;
        // A backup that leads is followed (this main came back after it took over); one that
        // says it no longer does handed the lead back.
        if (following_ && hello->leading && ui_.rig.leading) following_->FollowTheOther();
        if (following_ && !hello->leading && !ui_.rig.leading) following_->TakeTheLead();
      } else if (auto* command = std::get_if<rig::ForwardedCommand>(&message)) {
        // Runs as any client's command here, in its turn; a refusal has no way back.
        inbox_.Push({inbox::Origin::kRig, std::move(command->line), {}});
      } else if (auto* state = std::get_if<rig::BackupState>(&message)) {
        if (following_) following_->OnMainMessage(rig::MainState{std::move(state->document)});
      } else if (following_) {
        following_->OnMainMessage(std::get<rig::TimelineSample>(message));
      }
    }
    ui_.rig.connected = backups_->ConnectedBackups() > 0;
  } else {
    for (rig::FromMain& message : mainLink_->TakeArrived()) {
      if (auto* hello = std::get_if<rig::MainHello>(&message)) {
        // The same phone address opens the show on either rig.
        web_.AdoptKeys({hello->controlKey, hello->viewKey});
        otherPrint_ = std::move(hello->project);
        compare = true;
      } else if (auto* command = std::get_if<rig::ForwardedCommand>(&message)) {
        // A command given on the main while this backup leads; one that comes while it follows
        // is from a moment the lead was changing hands, and is dropped.
        if (ui_.rig.leading) inbox_.Push({inbox::Origin::kRig, std::move(command->line), {}});
      } else if (following_) {
        following_->OnMainMessage(message);
      }
    }
    ui_.rig.connected = mainLink_->Connected();
    ui_.rig.problem = mainLink_->Problem();
  }
  if (compare && otherPrint_)
    ui_.rig.projectDifferences = rig::Compare(*otherPrint_, projectPrint_, there);
}

void Core::PublishToOtherRig() {
  if (mainLink_) {
    if (helloLeading_ != ui_.rig.leading) {
      helloLeading_ = ui_.rig.leading;
      mainLink_->UpdateHello(rig::BackupHello{projectPrint_, ownWebAddress_, helloLeading_});
    }
    if (!ui_.rig.leading || !mainLink_->Connected()) {
      sentToMain_.clear();
      return;
    }
    std::string document = StateDocument();
    if (document == sentToMain_) return;
    if (mainLink_->Send(rig::BackupState{document})) sentToMain_ = std::move(document);
    return;
  }
  if (!backups_) return;
  if (backups_->ConnectedBackups() == 0) {
    // The next backup to connect gets a fresh one.
    sentToBackups_.clear();
    return;
  }
  std::string document = StateDocument();
  if (document == sentToBackups_) return;
  sentToBackups_ = document;
  backups_->Send(rig::MainState{std::move(document)});
}

std::optional<std::string> Core::ForwardToLeader(const std::string& line) {
  if (ui_.rig.leading) return std::nullopt;
  if (mainLink_) {
    if (mainLink_->Send(rig::ForwardedCommand{line})) return std::string();
    return std::string(kMainUnreachable);
  }
  if (backups_) {
    if (backups_->ConnectedBackups() == 0) return std::string(kBackupUnreachable);
    backups_->Send(rig::ForwardedCommand{line});
    return std::string();
  }
  return std::nullopt;
}

std::string Core::HandTheLeadBack() {
  if (!mainLink_ || !ui_.rig.leading || !following_)
    return "Only a backup rig that leads can hand the show back.";
  if (!mainLink_->Connected()) return "The main rig is not connected.";
  if (engine_.Player().Playing()) return "Hand the show back between songs.";
  // The hello that says so goes out with this tick's state; the main leads on it.
  following_->FollowTheOther();
  return {};
}

}  // namespace quorvane::core
