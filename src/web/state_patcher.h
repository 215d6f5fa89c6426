// Turns the series of state documents into JSON merge patches (RFC 7386): each patch, applied to
// the previous document, gives the next one. The documents hold no null values, so a null in a
// patch always means "this member is gone". Used on the web server's thread only.
#pragma once

#include <memory>
#include <string>

namespace quorvane::web {

class StatePatcher {
 public:
  StatePatcher();
  ~StatePatcher();
  StatePatcher(const StatePatcher&) = delete;
  StatePatcher& operator=(const StatePatcher&) = delete;

  // Takes the next document. Returns the merge patch from the previous one as compact JSON, or
  // an empty string when nothing changed, when this is the first document, or when the text is
  // not a JSON object (such a document is skipped; the previous one stays current).
  std::string Update(const std::string& document);
  // The last document taken, as given; empty before the first.
  const std::string& Current() const { return current_; }

 private:
  struct Parsed;
  std::unique_ptr<Parsed> parsed_;
  std::string current_;
};

}  // namespace quorvane::web
