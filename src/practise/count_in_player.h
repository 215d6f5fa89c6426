// The count-in click: four or eight beats synthesised into a small stereo WAV file in the user's
// temporary folder, loaded as a host audio source and played through the host's preview
// mechanism, which mixes it into the output independently of the transport.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/host_api.h"
#include "host/reaper_api.h"
#include "platform/temp_file.h"

namespace quorvane::practise {

inline constexpr int kClickSampleRate = 48000;
inline constexpr int kClickLengthFrames = 480;  // 10 ms per click
inline constexpr int kMinFramesPerBeat = 32;
inline constexpr int kWaveHeaderSize = 44;
inline constexpr size_t kMaxClickPathBytes = 1023;
inline constexpr const char* kClickFilePrefix = "QRV";

// Frames per beat at `bpm` (60 / bpm x 48000, halves away from zero); 0 when the tempo is not
// finite and positive, the beat is shorter than 32 frames, or the file would not fit a WAV file.
int64_t ClickFramesPerBeat(double bpm);

// The click as interleaved stereo 16-bit samples (left, right, both equal): `beats` beats (4 or 8)
// at `bpm`, followed by 480 silent frames. Empty when rejected.
std::vector<int16_t> SynthesiseClick(double bpm, int32_t beats);

// The RIFF WAVE image (44-byte header, then the samples little-endian) of interleaved stereo
// 16-bit samples at 48000 frames per second.
std::vector<uint8_t> EncodeClickWave(const std::vector<int16_t>& samples);

// Synthesises the click and writes it to a new unique file in the temporary folder. The returned
// file owns it; empty when rejected or when the file could not be written (nothing stays behind).
platform::TempFile WriteClickFile(double bpm, int32_t beats);

// The host's preview functions, as bound at load.
struct PreviewFunctions {
  hostfn::PCM_Source_CreateFromFile PCM_Source_CreateFromFile = nullptr;
  hostfn::PCM_Source_Destroy PCM_Source_Destroy = nullptr;
  hostfn::PlayPreviewEx PlayPreviewEx = nullptr;
  hostfn::StopPreview StopPreview = nullptr;
  bool previewAvailable = false;  // all four were found

  bool AllBound() const {
    return PCM_Source_CreateFromFile && PCM_Source_Destroy && PlayPreviewEx && StopPreview;
  }
};

// The four functions of a bound host, with previewAvailable set when all four exist.
PreviewFunctions PreviewFunctionsOf(const host::HostApi& host);

// Owns a host audio source: released with PCM_Source_Destroy.
class HostSource {
 public:
  HostSource() = default;
  HostSource(PCM_source* source, hostfn::PCM_Source_Destroy destroy)
      : source_(source), destroy_(destroy) {}
  ~HostSource() { Reset(); }
  HostSource(HostSource&& other) noexcept;
  HostSource& operator=(HostSource&& other) noexcept;
  HostSource(const HostSource&) = delete;
  HostSource& operator=(const HostSource&) = delete;

  PCM_source* Get() const { return source_; }
  void Reset();

 private:
  PCM_source* source_ = nullptr;
  hostfn::PCM_Source_Destroy destroy_ = nullptr;
};

// Owns a host preview record. The host reads it on its audio thread from PlayPreviewEx until
// StopPreview returns, so it is stopped before its lock is deleted and the memory freed.
class PreviewRecord {
 public:
  PreviewRecord() = default;
  ~PreviewRecord() { Reset(); }
  PreviewRecord(PreviewRecord&& other) noexcept;
  PreviewRecord& operator=(PreviewRecord&& other) noexcept;
  PreviewRecord(const PreviewRecord&) = delete;
  PreviewRecord& operator=(const PreviewRecord&) = delete;

  // A zeroed record with its lock initialised, playing `source` from the start on the first
  // output pair at full volume, without looping; empty when memory runs out.
  static PreviewRecord Create(PCM_source* source, hostfn::StopPreview stop);
  // Hands the record to the host; true when it plays.
  bool Start(hostfn::PlayPreviewEx play);
  explicit operator bool() const { return record_ != nullptr; }
  const preview_register_t* Get() const { return record_; }
  void Reset();

 private:
  preview_register_t* record_ = nullptr;
  hostfn::StopPreview stop_ = nullptr;
  bool started_ = false;
};

class CountInPlayer {
 public:
  CountInPlayer() = default;
  explicit CountInPlayer(const PreviewFunctions& functions) : fns_(functions) {}
  // Unload: stops the click, releases the source and deletes the click file.
  ~CountInPlayer();
  CountInPlayer(const CountInPlayer&) = delete;
  CountInPlayer& operator=(const CountInPlayer&) = delete;

  // Hands in the functions bound at load. Releases whatever the old functions created first.
  void SetPreviewFunctions(const PreviewFunctions& functions);
  bool PreviewAvailable() const { return fns_.previewAvailable && fns_.AllBound(); }

  // A new click of `beats` beats (4 or 8) at `bpm`, started at once; true when it sounds.
  bool PlayCountIn(double bpm, int32_t beats);
  // Stops the click if one is playing; the source and the file stay until the next PlayCountIn.
  void StopCountIn();

  bool ClickPlaying() const { return clickPlaying_; }
  const std::string& ClickFilePath() const { return clickFile_.Path(); }
  // The record the host is reading while the click plays; null otherwise.
  const preview_register_t* ClickPreview() const { return clickPreview_.Get(); }

 private:
  // Back to empty: stop, release the source, delete the file (in that order).
  void Unload();

  PreviewFunctions fns_;
  // Declared in release order reversed: the preview goes first, then the source, then the file.
  platform::TempFile clickFile_;
  HostSource clickSource_;
  PreviewRecord clickPreview_;
  bool clickPlaying_ = false;
};

}  // namespace quorvane::practise
