// A whole project through to the state document: a project file, as quorvane-sim reads it, built
// in the simulated host, loaded by the extension, played for a few seconds of a show and then
// practised. Every document on the way must parse and list the project's songs and its stored
// setlist, and the host must not have been misused.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "sim/app/project_file.h"

namespace {

using quorvane::fuzz::CheckedStateDocument;
using quorvane::fuzz::DocumentFacts;
using quorvane::fuzz::Require;
using quorvane::fuzz::RequireNoHostProblems;
using quorvane::fuzz::RunFor;
using quorvane::fuzz::System;
using quorvane::sim::ProjectDescription;

void RequireListsProject(const DocumentFacts& document, const ProjectDescription& project) {
  Require(document.regions == project.songs.size(), "the document lists every song of the project",
          document.text);
  Require(document.setlistItems == project.setlist.size(), "the document lists the stored setlist",
          document.text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ProjectDescription project;
  quorvane::sim::ProjectFileError error;
  if (!quorvane::sim::ReadProjectText(quorvane::fuzz::AsText(data, size), &project, &error)) {
    return 0;
  }
  quorvane::sim::Host host;
  quorvane::sim::BuildProject(host, project);
  System system(host);
  RunFor(host, system, 33);
  if (project.durationMinutes > 0) {  // as quorvane-sim sends it once connected
    system.core.RunRemoteCommand(R"({"cmd":"SETUP_DURATION","minutes":)" +
                                 std::to_string(project.durationMinutes) + "}");
  }
  RequireListsProject(CheckedStateDocument(system), project);

  // The show: started, the first song played for a while, then the next one.
  system.engine.StartShow();
  system.engine.PlayNext();
  RunFor(host, system, 2000);
  CheckedStateDocument(system);
  system.engine.PlayNext();
  RunFor(host, system, 2000);
  RequireListsProject(CheckedStateDocument(system), project);
  system.engine.EndShow();
  RunFor(host, system, 100);
  CheckedStateDocument(system);

  // The first song practised from its start.
  for (const char* line : {R"({"cmd":"MODE_PRACTISE"})", R"({"cmd":"PRACTISE_PLAY"})"})
    system.core.RunRemoteCommand(line);
  RunFor(host, system, 1000);
  CheckedStateDocument(system);
  system.core.RunRemoteCommand(R"({"cmd":"PRACTISE_STOP"})");
  RequireNoHostProblems(host);
  return 0;
}
