#include "practise/count_in_player.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <numbers>
#include <utility>

#include "platform/preview_lock.h"

namespace quorvane::practise {
namespace {

constexpr int kChannels = 2;
constexpr int kBytesPerFrame = kChannels * 2;
// The data size must fit the header's 32-bit size fields.
constexpr int64_t kMaxFrames =
    (int64_t{std::numeric_limits<uint32_t>::max()} - 36) / kBytesPerFrame;

struct ClickVoice {
  double frequency;
  double amplitude;
};
constexpr ClickVoice kAccent{1600.0, 0.8};
constexpr ClickVoice kBeat{1000.0, 0.55};

bool IsClickLength(int32_t beats) {
  return beats == 4 || beats == 8;
}

int16_t ClickSample(const ClickVoice& voice, int n) {
  const double t = n / static_cast<double>(kClickSampleRate);
  const double value = std::sin(2.0 * std::numbers::pi * voice.frequency * t) * voice.amplitude *
                       std::exp(-700.0 * t);
  float sample = static_cast<float>(value);
  if (sample > 1.0f) sample = 1.0f;
  if (sample < -1.0f) sample = -1.0f;
  // Default rounding mode: to nearest, ties to even.
  return static_cast<int16_t>(std::nearbyint(sample * 32767.0f));
}

void PutU16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFFu));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFFu));
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  PutU16(out, value & 0xFFFFu);
  PutU16(out, value >> 16);
}

void PutTag(std::vector<uint8_t>& out, const char (&tag)[5]) {
  out.insert(out.end(), tag, tag + 4);
}

}  // namespace

int64_t ClickFramesPerBeat(double bpm) {
  if (!std::isfinite(bpm) || !(bpm > 0.0)) return 0;
  const double frames = std::round(60.0 / bpm * static_cast<double>(kClickSampleRate));
  if (!(frames >= kMinFramesPerBeat) || frames > static_cast<double>(kMaxFrames)) return 0;
  return static_cast<int64_t>(frames);
}

std::vector<int16_t> SynthesiseClick(double bpm, int32_t beats) {
  if (!IsClickLength(beats)) return {};
  const int64_t framesPerBeat = ClickFramesPerBeat(bpm);
  if (framesPerBeat == 0) return {};
  const int64_t frames = beats * framesPerBeat + kClickLengthFrames;
  if (frames > kMaxFrames) return {};

  std::vector<int16_t> samples;
  try {
    samples.assign(static_cast<size_t>(frames * kChannels), 0);
  } catch (const std::bad_alloc&) {
    return {};
  }
  for (int32_t b = 0; b < beats; ++b) {
    const bool accented = b == 0 || (beats == 8 && b == 4);
    const ClickVoice& voice = accented ? kAccent : kBeat;
    const int64_t first = b * framesPerBeat;
    for (int n = 0; n < kClickLengthFrames && first + n < frames; ++n) {
      const int16_t sample = ClickSample(voice, n);
      const auto at = static_cast<size_t>((first + n) * kChannels);
      samples[at] = sample;
      samples[at + 1] = sample;
    }
  }
  return samples;
}

std::vector<uint8_t> EncodeClickWave(const std::vector<int16_t>& samples) {
  const auto dataSize = static_cast<uint32_t>(samples.size() * 2);
  std::vector<uint8_t> out;
  out.reserve(kWaveHeaderSize + static_cast<size_t>(dataSize));
  PutTag(out, "RIFF");
  PutU32(out, dataSize + 36);
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  PutU32(out, 16);
  PutU16(out, 1);  // integer PCM
  PutU16(out, kChannels);
  PutU32(out, kClickSampleRate);
  PutU32(out, kClickSampleRate * kBytesPerFrame);
  PutU16(out, kBytesPerFrame);
  PutU16(out, 16);
  PutTag(out, "data");
  PutU32(out, dataSize);
  // The samples are most of the file (2.3 MB at 40 BPM): written in place, not byte by byte
  // through push_back.
  const size_t headerSize = out.size();
  out.resize(headerSize + samples.size() * 2);
  uint8_t* at = out.data() + headerSize;
  for (const int16_t sample : samples) {
    const auto value = static_cast<uint16_t>(sample);
    *at++ = static_cast<uint8_t>(value & 0xFFu);
    *at++ = static_cast<uint8_t>(value >> 8);
  }
  return out;
}

platform::TempFile WriteClickFile(double bpm, int32_t beats) {
  try {
    const std::vector<int16_t> samples = SynthesiseClick(bpm, beats);
    if (samples.empty()) return {};
    const std::vector<uint8_t> image = EncodeClickWave(samples);
    platform::TempFile file = platform::TempFile::CreateUnique(kClickFilePrefix);
    if (file.Empty()) return {};
    // A longer path could not be handed on whole; the file goes away with `file`.
    if (file.Path().size() > kMaxClickPathBytes) return {};
    if (!file.Write(image.data(), image.size())) return {};
    return file;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

PreviewFunctions PreviewFunctionsOf(const host::HostApi& host) {
  PreviewFunctions fns;
  fns.PCM_Source_CreateFromFile = host.PCM_Source_CreateFromFile;
  fns.PCM_Source_Destroy = host.PCM_Source_Destroy;
  fns.PlayPreviewEx = host.PlayPreviewEx;
  fns.StopPreview = host.StopPreview;
  fns.previewAvailable = fns.AllBound();
  return fns;
}

HostSource::HostSource(HostSource&& other) noexcept
    : source_(std::exchange(other.source_, nullptr)), destroy_(other.destroy_) {}

HostSource& HostSource::operator=(HostSource&& other) noexcept {
  if (this != &other) {
    Reset();
    source_ = std::exchange(other.source_, nullptr);
    destroy_ = other.destroy_;
  }
  return *this;
}

void HostSource::Reset() {
  if (source_ && destroy_) destroy_(source_);
  source_ = nullptr;
}

PreviewRecord::PreviewRecord(PreviewRecord&& other) noexcept
    : record_(std::exchange(other.record_, nullptr)),
      stop_(other.stop_),
      started_(std::exchange(other.started_, false)) {}

PreviewRecord& PreviewRecord::operator=(PreviewRecord&& other) noexcept {
  if (this != &other) {
    Reset();
    record_ = std::exchange(other.record_, nullptr);
    stop_ = other.stop_;
    started_ = std::exchange(other.started_, false);
  }
  return *this;
}

PreviewRecord PreviewRecord::Create(PCM_source* source, hostfn::StopPreview stop) {
  PreviewRecord preview;
  auto* record = static_cast<preview_register_t*>(std::calloc(1, sizeof(preview_register_t)));
  if (!record) return preview;
  platform::InitPreviewLock(&record->lock);
  record->src = source;
  record->m_out_chan = 0;
  record->curpos = 0.0;
  record->loop = false;
  record->volume = 1.0;
  record->peakvol[0] = 0.0;
  record->peakvol[1] = 0.0;
  record->preview_track = nullptr;
  preview.record_ = record;
  preview.stop_ = stop;
  return preview;
}

bool PreviewRecord::Start(hostfn::PlayPreviewEx play) {
  if (!record_ || started_ || !play) return false;
  started_ = play(record_, 0, 0.0) != 0;
  return started_;
}

void PreviewRecord::Reset() {
  if (!record_) return;
  if (started_ && stop_) stop_(record_);
  platform::DeletePreviewLock(&record_->lock);
  std::free(record_);
  record_ = nullptr;
  started_ = false;
}

CountInPlayer::~CountInPlayer() {
  Unload();
}

void CountInPlayer::SetPreviewFunctions(const PreviewFunctions& functions) {
  Unload();
  fns_ = functions;
}

void CountInPlayer::Unload() {
  StopCountIn();
  clickSource_.Reset();
  clickFile_.Reset();
}

bool CountInPlayer::PlayCountIn(double bpm, int32_t beats) {
  if (!PreviewAvailable() || !(bpm > 0.0) || !IsClickLength(beats)) return false;
  // Every run gets a new file and source; the old ones go first so only one file is on disk.
  Unload();

  platform::TempFile file = WriteClickFile(bpm, beats);
  if (file.Empty()) return false;
  HostSource source(fns_.PCM_Source_CreateFromFile(file.Path().c_str()), fns_.PCM_Source_Destroy);
  if (!source.Get()) return false;
  // On any failure below the locals release the record, the source and the file, in that order.
  PreviewRecord preview = PreviewRecord::Create(source.Get(), fns_.StopPreview);
  if (!preview.Start(fns_.PlayPreviewEx)) return false;

  clickFile_ = std::move(file);
  clickSource_ = std::move(source);
  clickPreview_ = std::move(preview);
  clickPlaying_ = true;
  return true;
}

void CountInPlayer::StopCountIn() {
  clickPreview_.Reset();
  clickPlaying_ = false;
}

}  // namespace quorvane::practise
